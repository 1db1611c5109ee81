#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <vector>

#include "dbengine/file/FileHandler.h"
#include "dbengine/file/FileList.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "dbengine/util/EngineError.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using dbengine::testsupport::CodeOf;

using platform::testsupport::ReadNativeFile;
using platform::testsupport::RunInChildProcess;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

class FileLayerTest : public ::testing::Test {
protected:
    void SetUp() override { InitializeEngine(); }
    void TearDown() override { FinalizeEngine(); }

    // A handler for a file of the test drive (or of the in-memory database).
    std::unique_ptr<TFileHandler> Handler(const std::string& name, bool inMemory = false,
                                          bool exclusive = false, bool temporary = false) {
        auto h = std::make_unique<TFileHandler>();
        h->FileName = inMemory ? name : "D:\\" + name;
        h->InMemory = inMemory;
        h->Exclusive = exclusive;
        h->Temporary = temporary;
        return h;
    }
    static void Write(TFileHandler& h, std::string_view text) {
        h.WriteBuffer(text.data(), static_cast<uint32_t>(text.size()));
    }
    static std::string ReadAll(TFileHandler& h) {
        std::string s(static_cast<size_t>(h.GetFileSize()), '\0');
        h.ReadAt(0, s.data(), static_cast<uint32_t>(s.size()));
        return s;
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
};

TEST_F(FileLayerTest, NamesDifferingInCaseAndBlanksShareOneFileObject) {
    root.WriteFile("Orders.DAT", "data");
    auto a = Handler("orders.DAT ");
    a->FileName = "  " + a->FileName;
    auto b = Handler("ORDERS.dat");
    a->OpenFile();
    b->OpenFile();
    ASSERT_EQ(a->File, b->File);
    EXPECT_EQ(a->File->HandleCount, 2);
    EXPECT_NE(a->HandleNo, b->HandleNo);
    EXPECT_EQ(EngineFileList()->Count(), 1u);
    // One operating-system handle: a lock through one handler conflicts with the other.
    EXPECT_TRUE(a->LockFileRange(true, 0xFFFFFFFF, 1));
    EXPECT_FALSE(b->LockFileRange(true, 0xFFFFFFFF, 1));
    EXPECT_TRUE(a->LockFileRange(false, 0xFFFFFFFF, 1));
    a->CloseFile();
    EXPECT_EQ(b->File->HandleCount, 1);
    b->CloseFile();
    EXPECT_EQ(EngineFileList()->Count(), 0u);
}

TEST_F(FileLayerTest, ExclusiveUseAndFilesInUseRefuseCreateRenameDelete) {
    root.WriteFile("T.DAT", "content");
    auto shared = Handler("T.DAT");
    shared->OpenFile();
    auto exclusive = Handler("t.dat", false, true);
    EXPECT_EQ(CodeOf([&] { exclusive->OpenFile(); }), DBE_OSEACCES);
    EXPECT_FALSE(exclusive->IsOpen);

    auto other = Handler("T.DAT");
    EXPECT_EQ(CodeOf([&] { other->CreateFile(); }), DBE_OSEACCES);
    EXPECT_EQ(CodeOf([&] { other->RenameFile("D:\\U.DAT"); }), DBE_OSEACCES);
    EXPECT_EQ(CodeOf([&] { other->DeleteFile(); }), DBE_OSEACCES);
    EXPECT_EQ(other->FileName, "D:\\T.DAT");
    shared->CloseFile();
    EXPECT_EQ(ReadNativeFile(root / "T.DAT"), "content");

    exclusive->OpenFile();
    EXPECT_EQ(CodeOf([&] { other->OpenFile(); }), DBE_OSEACCES);
    try {
        other->OpenFile();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.Message, "Engine Error # 11013 Access denied to table 'D:\\T.DAT'");
    }
    exclusive->CloseFile();

    // Another process holding the file exclusively refuses this one (and the reverse).
    exclusive->OpenFile();
    int childResult = RunInChildProcess([] {
        TFileList list;  // the child's own registry: its opens go to the operating system
        bool ro = false, roa = false;
        TAbstractFile* f = nullptr;
        return -list.OpenFile("D:\\T.DAT", false, false, false, ro, roa, f);
    });
    EXPECT_EQ(childResult & 0xFF, DBE_OSEACCES & 0xFF);
    exclusive->CloseFile();

    // Without handles, rename and delete go through.
    other->RenameFile("D:\\U.DAT");
    EXPECT_EQ(other->FileName, "D:\\U.DAT");
    EXPECT_EQ(ReadNativeFile(root / "U.DAT"), "content");
    other->DeleteFile();
    EXPECT_FALSE(other->FileExists());
    EXPECT_EQ(CodeOf([&] { other->OpenFile(); }), DBE_OSENOENT);
    EXPECT_EQ(CodeOf([&] { other->DeleteFile(); }), DBE_OSENOENT);
}

TEST_F(FileLayerTest, MemoryFiles) {
    auto never = Handler("NEVER.DAT", true);
    EXPECT_EQ(CodeOf([&] { never->OpenFile(); }), DBE_OSENOENT);
    EXPECT_FALSE(never->FileExists());

    auto kept = Handler("KEPT.DAT", true);
    kept->CreateFile();
    Write(*kept, "0123456789");
    EXPECT_EQ(kept->SeekFile(2, -3), 7);
    char tail[3];
    kept->ReadBuffer(tail, 3);
    EXPECT_EQ(std::string(tail, 3), "789");
    EXPECT_EQ(kept->SeekFile(1, -100), -1);  // before the start: refused
    EXPECT_EQ(kept->SeekFile(1, 0), 10);
    kept->CloseFile();
    ASSERT_TRUE(kept->FileExists());
    kept->OpenFile();
    EXPECT_EQ(ReadAll(*kept), "0123456789");
    // The in-memory and the disk file of one name are different files.
    EXPECT_FALSE(Handler("KEPT.DAT")->FileExists());

    // Locks of a memory file: overlaps refused, exact unlock only.
    EXPECT_TRUE(kept->LockFileRange(true, 100, 10));
    EXPECT_FALSE(kept->LockFileRange(true, 109, 5));
    EXPECT_FALSE(kept->LockFileRange(true, 95, 6));
    EXPECT_TRUE(kept->LockFileRange(true, 110, 5));
    EXPECT_FALSE(kept->LockFileRange(false, 100, 5));
    EXPECT_FALSE(kept->LockFileRange(false, 101, 10));
    EXPECT_TRUE(kept->LockFileRange(false, 100, 10));
    EXPECT_FALSE(kept->LockFileRange(false, 100, 10));
    kept->CloseFile();

    auto temp = Handler("TEMP.DAT", true, false, true);
    temp->CreateFile();
    Write(*temp, "x");
    temp->CloseFile();
    EXPECT_FALSE(temp->FileExists());
    EXPECT_EQ(CodeOf([&] { temp->OpenFile(); }), DBE_OSENOENT);

    // Rename and delete of memory files.
    kept->RenameFile("MOVED.DAT");
    EXPECT_FALSE(Handler("KEPT.DAT", true)->FileExists());
    auto moved = Handler("moved.dat", true);
    moved->OpenFile();
    EXPECT_EQ(ReadAll(*moved), "0123456789");
    moved->CloseFile();
    moved->DeleteFile();
    EXPECT_FALSE(moved->FileExists());
}

TEST_F(FileLayerTest, MemoryFileGrowthTruncationAndExtension) {
    auto f = Handler("GROW.DAT", true);
    f->CreateFile();
    auto* memory = dynamic_cast<TMemoryFile*>(f->File);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(memory->Capacity(), 0);
    std::string block(5000, 'a');
    Write(*f, block);
    EXPECT_EQ(memory->Capacity(), 8192);
    EXPECT_EQ(f->GetFileSize(), 5000);
    f->SeekFile(0, 10);
    f->TruncateFile();
    EXPECT_EQ(f->GetFileSize(), 10);
    EXPECT_EQ(memory->Capacity(), 8192);  // blocks never shrink while in use
    f->SeekFile(0, 20);
    f->TruncateFile();  // extends with zeros
    EXPECT_EQ(ReadAll(*f), std::string(10, 'a') + std::string(10, '\0'));
    f->SeekFile(0, 0);
    f->TruncateFile();
    EXPECT_EQ(f->GetFileSize(), 0);
    EXPECT_EQ(memory->Capacity(), 0);
    f->CloseFile();
}

// An empty buffer written by mistake changes nothing; only TruncateFile sets the end.
TEST_F(FileLayerTest, WritingZeroBytesNeverTruncates) {
    for (bool inMemory : {false, true}) {
        SCOPED_TRACE(inMemory);
        auto f = Handler("Z.DAT", inMemory);
        f->CreateFile();
        Write(*f, "0123456789");
        f->WriteAt(4, "", 0);
        f->SeekFile(0, 2);
        f->WriteBuffer(nullptr, 0);
        EXPECT_EQ(f->GetFileSize(), 10);
        EXPECT_EQ(ReadAll(*f), "0123456789");
        f->SeekFile(0, 4);
        f->TruncateFile();
        EXPECT_EQ(ReadAll(*f), "0123");
        f->CloseFile();
        f->DeleteFile();
    }
}

TEST_F(FileLayerTest, WriteJournalPutsTheFileBackByteForByte) {
    for (bool inMemory : {false, true}) {
        SCOPED_TRACE(inMemory);
        auto f = Handler("J.DAT", inMemory);
        f->CreateFile();
        Write(*f, "0123456789");
        f->BeginWriteJournal();
        EXPECT_FALSE(f->JournalWrote());
        f->WriteAt(2, "ab", 2);
        f->WriteAt(1, "XYZ", 3);     // overlaps the first write
        f->WriteAt(8, "PQRSTU", 6);  // runs past the end
        f->WriteAt(2, "cd", 2);      // the same range again keeps its first image
        f->WriteAt(20, "far", 3);    // past the end with a gap
        EXPECT_TRUE(f->JournalWrote());
        EXPECT_EQ(f->GetFileSize(), 23);
        EXPECT_TRUE(f->TakeBackWrites());
        EXPECT_FALSE(f->Journaling());
        EXPECT_EQ(ReadAll(*f), "0123456789");
        // Ended, the journal keeps nothing: the writes stay.
        f->BeginWriteJournal();
        f->WriteAt(0, "kept", 4);
        f->EndWriteJournal();
        EXPECT_TRUE(f->TakeBackWrites());
        EXPECT_EQ(ReadAll(*f), "kept456789");
        f->CloseFile();
        f->DeleteFile();
    }
}

// The journal takes bytes it already knows (a trusted image of a range, what was read before
// the first write) instead of reading them again; reads that fail show which writes still read.
TEST_F(FileLayerTest, WriteJournalUsesKnownBytesOnlyWhileTheyAreCurrent) {
    auto failReads = [] {
        return platform::TScopedFileFault(
            [](platform::TFileOperation op, const std::string&, int64_t, uint32_t) {
                platform::TFileFault result;
                if (op == platform::TFileOperation::Read) result.Error = platform::ERROR_ACCESS_DENIED;
                return result;
            });
    };
    struct TCase {
        const char* Name;
        std::function<void(TFileHandler&)> Before;  // before the journal begins
        int64_t Offset;
        const char* Bytes;
        bool NeedsRead;  // whether the journal must read the range it replaces
    };
    const std::vector<TCase> cases = {
        {"trusted image",
         [](TFileHandler& f) {
             f.NoteStoredBytes(0, "0123", 4);
             f.TrustStoredBytes(true);
         },
         1, "ab", false},
        {"untrusted image", [](TFileHandler& f) { f.NoteStoredBytes(0, "0123", 4); }, 1, "ab", true},
        {"image outside the write",
         [](TFileHandler& f) {
             f.NoteStoredBytes(0, "0123", 4);
             f.TrustStoredBytes(true);
         },
         3, "ab", true},
        {"image dropped by an overlapping write",
         [](TFileHandler& f) {
             f.NoteStoredBytes(0, "0123", 4);
             f.TrustStoredBytes(true);
             f.WriteAt(2, "23", 2);
         },
         0, "ab", true},
        {"image following a write of its range",
         [](TFileHandler& f) {
             f.NoteStoredBytes(0, "0123", 4);
             f.TrustStoredBytes(true);
             f.WriteAt(0, "0123", 4);
         },
         0, "ab", false},
        {"image kept by a write beside it",
         [](TFileHandler& f) {
             f.NoteStoredBytes(0, "0123", 4);
             f.TrustStoredBytes(true);
             f.WriteAt(4, "45", 2);
         },
         0, "ab", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto f = Handler("K.DAT");
        f->CreateFile();
        Write(*f, "0123456789");
        c.Before(*f);
        f->BeginWriteJournal();
        {
            auto fault = failReads();
            if (c.NeedsRead) {
                EXPECT_EQ(CodeOf([&] { f->WriteAt(c.Offset, c.Bytes, 2); }), DBE_WRITEERR);
            } else {
                f->WriteAt(c.Offset, c.Bytes, 2);
            }
        }
        EXPECT_TRUE(f->TakeBackWrites());
        EXPECT_EQ(ReadAll(*f), "0123456789");
        f->CloseFile();
        f->DeleteFile();
    }

    // What the journal's reads returned before its first write is what it puts back.
    auto f = Handler("R.DAT");
    f->CreateFile();
    Write(*f, "0123456789");
    f->BeginWriteJournal();
    char buf[4];
    f->ReadAt(4, buf, 4);
    {
        auto fault = failReads();
        f->WriteAt(5, "xy", 2);
        f->WriteAt(10, "tail", 4);
    }
    f->WriteAt(0, "AB", 2);
    f->ReadAt(0, buf, 4);  // after a write: not taken as the start's bytes
    {
        auto fault = failReads();
        EXPECT_EQ(CodeOf([&] { f->WriteAt(2, "C", 1); }), DBE_WRITEERR);
    }
    EXPECT_TRUE(f->TakeBackWrites());
    EXPECT_EQ(ReadAll(*f), "0123456789");

    // Ranges kept ahead of their writes, in any order and past the end, need no read at the write.
    f->BeginWriteJournal();
    std::vector<std::pair<int64_t, uint32_t>> ranges = {{6, 2}, {1, 2}, {9, 4}};
    f->KeepBeforeWrites(ranges);
    {
        auto fault = failReads();
        f->WriteAt(9, "WXYZ", 4);
        f->WriteAt(1, "ab", 2);
        f->WriteAt(6, "cd", 2);
        EXPECT_EQ(CodeOf([&] { f->WriteAt(4, "e", 1); }), DBE_WRITEERR);
    }
    EXPECT_TRUE(f->TakeBackWrites());
    EXPECT_EQ(ReadAll(*f), "0123456789");
    f->CloseFile();
    f->DeleteFile();
}

// A range whose bytes earlier ranges kept between them needs no read; thousands of scattered,
// overlapping writes (a large commit) are all put back.
TEST_F(FileLayerTest, WriteJournalKeepsEachByteOnceAcrossManyRanges) {
    auto f = Handler("M.DAT");
    f->CreateFile();
    std::string original(50000, '\0');
    for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<char>('A' + i % 23);
    Write(*f, original);
    f->BeginWriteJournal();
    f->WriteAt(10, "abcd", 4);
    f->WriteAt(14, "efgh", 4);
    f->WriteAt(30, "ij", 2);
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation op, const std::string&, int64_t, uint32_t) {
                platform::TFileFault result;
                if (op == platform::TFileOperation::Read) result.Error = platform::ERROR_ACCESS_DENIED;
                return result;
            });
        f->WriteAt(12, "WXYZ", 4);                                          // across the first two ranges
        f->WriteAt(10, "12345678", 8);                                      // exactly both
        EXPECT_EQ(CodeOf([&] { f->WriteAt(17, "PQ", 2); }), DBE_WRITEERR);  // byte 18 is not kept
        EXPECT_EQ(CodeOf([&] { f->WriteAt(9, "PQ", 2); }), DBE_WRITEERR);   // nor is byte 9
    }
    std::mt19937 random(20261211u);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes(1 + random() % 200, static_cast<char>('a' + i % 26));
        f->WriteAt(static_cast<int64_t>(random() % 52000), bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    EXPECT_TRUE(f->TakeBackWrites());
    EXPECT_TRUE(ReadAll(*f) == original);
    f->CloseFile();
    f->DeleteFile();
}

TEST_F(FileLayerTest, ReadOnlyByAttributeAndBySharing) {
    std::string path = root.WriteFile("RO.DAT", "locked");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    auto ro = Handler("RO.DAT");
    ro->OpenFile();
    EXPECT_TRUE(ro->ReadOnly);
    EXPECT_TRUE(ro->ReadOnlyByAttribute);
    EXPECT_EQ(CodeOf([&] { Write(*ro, "x"); }), DBE_WRITEERR);
    EXPECT_EQ(ReadAll(*ro), "locked");
    ro->CloseFile();
    chmod(path.c_str(), 0644);

    root.WriteFile("DW.DAT", "shared");
    // Another handle reads and denies writing to everybody else.
    platform::HANDLE other = platform::CreateFile("D:\\DW.DAT", platform::GENERIC_READ,
                                                  platform::FILE_SHARE_READ, platform::OPEN_EXISTING, 0);
    ASSERT_NE(other, platform::INVALID_HANDLE_VALUE);
    auto dw = Handler("DW.DAT");
    dw->OpenFile();
    EXPECT_TRUE(dw->ReadOnly);
    EXPECT_FALSE(dw->ReadOnlyByAttribute);
    dw->CloseFile();
    platform::CloseHandle(other);
    dw->OpenFile();
    EXPECT_FALSE(dw->ReadOnly);
    dw->CloseFile();
}

TEST_F(FileLayerTest, ShortReadsAndFailedWrites) {
    auto f = Handler("IO.DAT");
    f->CreateFile();
    Write(*f, "abc");
    char buf[8];
    EXPECT_EQ(CodeOf([&] { f->ReadAt(1, buf, 8); }), DBE_READERR);
    EXPECT_EQ(f->ReadAt(1, buf, 8, true), 2u);
    EXPECT_EQ(f->ReadAt(3, buf, 8, true), 0u);
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation op, const std::string&, int64_t, uint32_t) {
                platform::TFileFault result;
                if (op == platform::TFileOperation::Write) {
                    result.Error = platform::ERROR_DISK_FULL;
                    result.Limit = 1;
                }
                return result;
            });
        try {
            f->WriteAt(0, "xyz", 3);
            FAIL();
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, DBE_WRITEERR);
            EXPECT_EQ(e.ErrorTable, "D:\\IO.DAT");
            EXPECT_EQ(e.Message, "Engine Error # 9218 Error writing to the table 'D:\\IO.DAT'");
        }
    }
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation op, const std::string&, int64_t, uint32_t) {
                platform::TFileFault result;
                if (op == platform::TFileOperation::Flush) result.Error = platform::ERROR_IO_DEVICE;
                return result;
            });
        EXPECT_EQ(CodeOf([&] { f->FlushFile(); }), DBE_WRITEERR);
    }
    f->FlushFile();
    f->CloseFile();
    // No file held.
    EXPECT_EQ(CodeOf([&] { f->ReadBuffer(buf, 1); }), DBE_READERR);
    EXPECT_EQ(CodeOf([&] { f->WriteBuffer("x", 1); }), DBE_WRITEERR);
    EXPECT_EQ(f->SeekFile(0, 5), 0);
    EXPECT_EQ(f->GetFileSize(), 0);
    EXPECT_FALSE(f->LockFileRange(true, 0, 1));
    f->FlushFile();
}

TEST_F(FileLayerTest, TemporaryPhysicalFileIsRemovedAtItsLastClose) {
    root.WriteFile("TMP1.DAT", "scratch");
    auto a = Handler("TMP1.DAT", false, false, true);
    auto b = Handler("TMP1.DAT", false, false, true);
    a->OpenFile();
    b->OpenFile();
    a->CloseFile();
    EXPECT_EQ(ReadNativeFile(root / "TMP1.DAT"), "scratch");
    b->CloseFile();
    EXPECT_FALSE(Handler("TMP1.DAT")->FileExists());
}

// Inflates concatenated zlib streams one by one; the sizes of the inflated streams.
std::vector<size_t> InflateStreams(const std::string& data, std::string& out) {
    std::vector<size_t> sizes;
    size_t pos = 0;
    while (pos < data.size()) {
        z_stream s{};
        inflateInit(&s);
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + pos));
        s.avail_in = static_cast<uInt>(data.size() - pos);
        std::string chunk(1 << 17, '\0');
        s.next_out = reinterpret_cast<Bytef*>(chunk.data());
        s.avail_out = static_cast<uInt>(chunk.size());
        int rc = inflate(&s, Z_FINISH);
        size_t produced = chunk.size() - s.avail_out;
        pos += (data.size() - pos) - s.avail_in;
        inflateEnd(&s);
        if (rc != Z_STREAM_END) return {};
        out.append(chunk.data(), produced);
        sizes.push_back(produced);
    }
    return sizes;
}

TEST_F(FileLayerTest, CopiesWithProgressAndCompression) {
    std::vector<int> reports;
    auto progress = [&](void* data, int percent) {
        EXPECT_EQ(data, &reports);
        reports.push_back(percent);
    };
    // An empty file: nothing written, no progress.
    auto empty = Handler("EMPTY.DAT");
    empty->CreateFile();
    empty->CopyToFile("D:\\EMPTY2.DAT", true, 10, progress, &reports);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(ReadNativeFile(root / "EMPTY2.DAT"), "");
    empty->CloseFile();

    // Ten chunks of 64 KiB and a bit: progress each time it has grown by 25.
    std::string content;
    for (int i = 0; i < 10 * 65536 + 100; ++i) content += static_cast<char>('a' + i % 23);
    root.WriteFile("BIG.DAT", content);
    auto big = Handler("BIG.DAT");
    big->OpenFile();
    big->CopyToFile("D:\\BIG2.DAT", false, 25, progress, &reports);
    EXPECT_EQ(reports, (std::vector<int>{29, 59, 89}));
    EXPECT_EQ(ReadNativeFile(root / "BIG2.DAT"), content);
    // The destination stays listed without handles until it is opened again.
    TAbstractFile* dest = EngineFileList()->Find("D:\\BIG2.DAT", false);
    ASSERT_NE(dest, nullptr);
    EXPECT_EQ(dest->HandleCount, 0);

    reports.clear();
    big->CopyToFile("D:\\BIG3.DAT", true, 0, progress, &reports);
    EXPECT_EQ(reports.size(), 11u);  // step 0: a report after every chunk
    std::string inflated;
    auto sizes = InflateStreams(ReadNativeFile(root / "BIG3.DAT"), inflated);
    ASSERT_EQ(sizes.size(), 11u);
    EXPECT_EQ(sizes.front(), 65536u);
    EXPECT_EQ(sizes.back(), 100u);
    EXPECT_EQ(inflated, content);

    // Exactly one chunk: the second, empty read ends the copy and writes nothing.
    root.WriteFile("ONE.DAT", content.substr(0, 65536));
    auto one = Handler("ONE.DAT");
    one->OpenFile();
    one->CopyToFile("D:\\ONE2.DAT", true, 1, nullptr, nullptr);
    inflated.clear();
    EXPECT_EQ(InflateStreams(ReadNativeFile(root / "ONE2.DAT"), inflated).size(), 1u);
    one->CloseFile();

    // Copy from a named file into this one, from position 0 without truncating first.
    root.WriteFile("SMALL.DAT", "xyz");
    big->CopyFromFile("D:\\SMALL.DAT", false, 10, nullptr, nullptr);
    EXPECT_EQ(ReadAll(*big).substr(0, 5), "xyzde");
    EXPECT_EQ(big->GetFileSize(), static_cast<int64_t>(content.size()));
    EXPECT_EQ(CodeOf([&] { big->CopyFromFile("D:\\NONE.DAT", false, 10, nullptr, nullptr); }), DBE_OSENOENT);
    big->CloseFile();

    // Memory to memory.
    auto mem = Handler("M.DAT", true);
    mem->CreateFile();
    Write(*mem, "memory");
    mem->CopyToFile("M2.DAT", false, 10, nullptr, nullptr);
    mem->CloseFile();
    auto mem2 = Handler("M2.DAT", true);
    mem2->OpenFile();
    EXPECT_EQ(ReadAll(*mem2), "memory");
    mem2->CloseFile();
}

TEST_F(FileLayerTest, FileListIsBoundToTheEngine) {
    FinalizeEngine();
    EXPECT_EQ(EngineFileList(), nullptr);
    auto f = Handler("X.DAT", true);
    EXPECT_EQ(CodeOf([&] { f->CreateFile(); }), DBE_NOTINITIALIZED);
    InitializeEngine();
    f->CreateFile();
    f->CloseFile();
    EXPECT_TRUE(f->FileExists());
}

}  // namespace
}  // namespace dbengine

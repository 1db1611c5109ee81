#include "dbengine/index/IndexFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "dbengine/data/DataFile.h"
#include "dbengine/data/DataTable.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"
#include "framework/core/Seams.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::RunInChildProcess;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

TEngineErrorCode CodeOf(auto&& f) {
    try {
        f();
    } catch (const EDbEngineError& e) {
        return e.ErrorCode;
    }
    return 0;
}

TIndexDescriptor Desc(const std::string& name, std::initializer_list<uint16_t> fields,
                      uint16_t keySize = 12) {
    TIndexDescriptor d;
    d.Name = name;
    d.KeySize = keySize;
    d.FieldCount = static_cast<uint8_t>(fields.size());
    int i = 0;
    for (uint16_t f : fields) d.FieldNumbers[i++] = f;
    return d;
}

class IndexFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        table.TableName = "T";
        table.Session = &session;
        session.SetPrivateDir("D:\\TMP");
        root.MakeFolder("TMP");
        // The table's fields: a string, an integer and a BLOB.
        std::vector<TFieldDescriptor> fields(3);
        const char* names[] = {"Name", "Count", "Notes"};
        const uint8_t types[] = {fldString, fldInteger, fldBlob};
        for (int i = 0; i < 3; ++i) {
            fields[i].FieldNo = static_cast<int16_t>(i + 1);
            fields[i].Name = names[i];
            fields[i].FieldType = types[i];
            fields[i].Size = i == 0 ? 10 : 0;
            ComputeValueSize(fields[i]);
        }
        AssignFieldOffsets(fields);
        data.FileName = "D:\\T.DAT";
        data.CreateDataFile(0, 0, 0, 0, false, "", "", 0, fields);
        index = NewIndex();
        index->CreateIndexFile();
    }
    void TearDown() override {
        index.reset();
        data.CloseFile();
        FinalizeEngine();
    }
    std::unique_ptr<TIndexFile> NewIndex() {
        auto f = std::make_unique<TIndexFile>(&table);
        f->FileName = "D:\\T.IDX";
        f->Fields = &data;
        return f;
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TDataSession session{false};
    TDataTable table{nullptr, nullptr};
    TDataFile data{&table};
    std::unique_ptr<TIndexFile> index;
};

TEST_F(IndexFileTest, NewFileGoldenBytes) {
    index->WriteHeader(false);
    std::string bytes = ReadNativeFile(root / "T.IDX");
    ASSERT_EQ(bytes.size(), 4096u);
    auto b = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(GetInt32(b + 0), 1);
    EXPECT_EQ(b[8], 5);
    EXPECT_EQ(GetInt32(b + 9), 1);
    EXPECT_EQ(b[13], 0);
    EXPECT_EQ(bytes.substr(3735, b[3734]), "Sys Deleted");
    EXPECT_EQ(GetUInt16(b + 3734 + 31), 5);
    EXPECT_EQ(b[3734 + 36], 0);
    EXPECT_EQ(bytes.substr(3855, b[3854]), "Sys Text");
    EXPECT_EQ(GetUInt16(b + 3854 + 31), 68);
    EXPECT_EQ(b[3854 + 36], 3);
    EXPECT_EQ(GetInt32(b + 3974), 0);
    EXPECT_EQ(b[3978], 0);
    EXPECT_EQ(b[3979], 1);
    std::string golden = ReadNativeFile(std::string(KORVANE_TESTDATA_DIR) + "/new_index.idx");
    if (golden != bytes) {
        std::ofstream(std::string(KORVANE_BUILD_DIR) + "/new_index.actual.idx", std::ios::binary) << bytes;
    }
    EXPECT_TRUE(golden == bytes) << "differs from testdata/new_index.idx";

    // A forced write of an unchanged header stores the mark 0; reading clears it.
    index->WriteHeader(true);
    index->CloseFile();  // a created file is held exclusively until it is opened again
    index->OpenFile();
    EXPECT_EQ(ReadNativeFile(root / "T.IDX")[3979], 0);
    auto other = NewIndex();
    other->OpenFile();
    EXPECT_EQ(other->Header.HeaderModified, 0);
    EXPECT_FALSE(other->ReloadHeaderIfChanged());
    index->SetRecordCount(7);
    index->WriteHeader(false);
    EXPECT_TRUE(other->ReloadHeaderIfChanged());
    EXPECT_EQ(other->Header.RecordCount, 7);
    other->CheckVersion();
}

TEST_F(IndexFileTest, DescriptorChecks) {
    index->SetPrimaryIndexDesc(Desc("", {1}));
    EXPECT_EQ(index->Header.InternalPrimaryIndex, 0);
    EXPECT_EQ(index->Header.Descriptors[0].Unique, 1);
    index->AddIndexDesc(Desc("byname", {1}));
    struct Case {
        const char* What;
        TIndexDescriptor D;
        TEngineErrorCode Code;
    };
    TIndexDescriptor seventeen = Desc("Wide", {});
    seventeen.FieldCount = 17;
    const Case cases[] = {
        {"17 fields", seventeen, DBE_INDEXLIMIT},
        {"empty name", Desc("", {1}), DBE_INDEXNAMEREQUIRED},
        {"name starting with a digit", Desc("2ndIndex", {1}), DBE_INVALIDINDEXNAME},
        {"name starting with a blank", Desc(" X", {1}), DBE_INVALIDINDEXNAME},
        {"existing name in another case", Desc("ByName", {2}), DBE_INDEXEXISTS},
        {"BLOB field", Desc("ByNotes", {3}), DBE_SEARCHCOLREQD},
    };
    for (const Case& c : cases) EXPECT_EQ(CodeOf([&] { index->AddIndexDesc(c.D); }), c.Code) << c.What;
    try {
        index->AddIndexDesc(Desc("ByNotes", {2, 3}));
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.Message,
                  "Engine Error # 12292 Invalid field 'Notes' specified for the index 'ByNotes' in the "
                  "table 'T'");
    }
    EXPECT_EQ(CodeOf([&] { index->SetPrimaryIndexDesc(Desc("", {2})); }), DBE_PRIMARYKEYREDEFINE);
    EXPECT_EQ(index->Header.IndexCount, 1);
    for (int i = 2; i <= 30; ++i) index->AddIndexDesc(Desc("Ix" + std::to_string(i), {2}));
    EXPECT_EQ(CodeOf([&] { index->AddIndexDesc(Desc("Ix31", {2})); }), DBE_INDEXLIMIT);
    EXPECT_TRUE(index->IndexNameExists("IX30"));
    EXPECT_FALSE(index->IndexNameExists("Ix31"));

    // Primary index checks on a fresh file.
    auto fresh = NewIndex();
    fresh->FileName = "D:\\U.IDX";
    fresh->CreateIndexFile();
    EXPECT_EQ(CodeOf([&] { fresh->SetPrimaryIndexDesc(Desc("", {3})); }), DBE_SEARCHCOLREQD);
    fresh->SetPrimaryIndexDesc(Desc("", {}));
    EXPECT_EQ(fresh->Header.InternalPrimaryIndex, 1);
}

TEST_F(IndexFileTest, RemovingRenumbersAndTheFreedSlotIsReused) {
    for (const char* name : {"A", "B", "C", "D"}) index->AddIndexDesc(Desc(name, {1}));
    index->SetFreePage(2, 77);  // B owns a chain of free pages
    index->RemoveIndexDesc(2, true);
    ASSERT_EQ(index->Header.IndexCount, 3);
    EXPECT_EQ(index->GetIndexDesc(1).Name, "A");
    EXPECT_EQ(index->GetIndexDesc(2).Name, "C");
    EXPECT_EQ(index->GetIndexDesc(3).Name, "D");
    EXPECT_EQ(index->GetIndexDesc(4).Name, "B");
    index->AddIndexDesc(Desc("E", {2}));
    EXPECT_EQ(index->GetIndexDesc(4).Name, "E");
    EXPECT_EQ(index->GetIndexDesc(4).FreePage, 77);  // the chain is taken over
    EXPECT_EQ(index->GetIndexDesc(4).FieldNumbers[0], 2);
    index->RemoveIndexDesc(0, false);
    EXPECT_EQ(index->Header.InternalPrimaryIndex, 1);
}

TEST_F(IndexFileTest, TemporaryIndexesStayOffTheDisk) {
    index->AddIndexDesc(Desc("A", {1}));
    index->AddIndexDesc(Desc("B", {2}));
    TIndexDescriptor temp = Desc("Tmp", {1});
    temp.Temporary = 1;
    index->AddIndexDesc(temp);
    ASSERT_NE(index->TemporaryFile(), nullptr);
    std::string tempName = index->TemporaryFile()->FileName;
    EXPECT_EQ(tempName.rfind("D:\\TMP\\", 0), 0u);
    EXPECT_TRUE(index->TemporaryFile()->FileExists());
    EXPECT_EQ(index->Header.IndexCount, 3);
    // A permanent index is refused while a temporary one exists.
    EXPECT_EQ(CodeOf([&] { index->AddIndexDesc(Desc("C", {2})); }), DBE_TABLEOPEN);
    // Pages of the temporary index are counted apart.
    EXPECT_EQ(index->AppendPageNo(3), 1);
    EXPECT_EQ(index->AppendPageNo(3), 2);
    EXPECT_EQ(index->Header.NextPageNo, 1);
    index->WriteHeader(true);
    std::string bytes = ReadNativeFile(root / "T.IDX");
    EXPECT_EQ(bytes[13], 2);
    for (size_t i = 14 + 120 * 3; i < 14 + 120 * 4; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(index->Header.IndexCount, 3);  // in memory it stays
    index->CloseFile();
    EXPECT_EQ(index->Header.IndexCount, 2);
    TFileHandler probe;
    probe.FileName = tempName;
    EXPECT_FALSE(probe.FileExists());
}

// A damaged descriptor count never takes the engine past its 33 descriptors.
TEST_F(IndexFileTest, DamagedIndexCounts) {
    index->WriteHeader(false);
    index->CloseFile();
    for (uint8_t count : {31, 32, 33, 127, 255}) {
        SCOPED_TRACE(int(count));
        std::string bytes = ReadNativeFile(root / "T.IDX");
        bytes[13] = static_cast<char>(count);
        std::ofstream(root / "T.IDX", std::ios::binary | std::ios::trunc) << bytes;
        auto f = NewIndex();
        TEngineErrorCode code = CodeOf([&] { f->OpenFile(); });
        EXPECT_EQ(code, count > 32 ? DBE_HEADERCORRUPT : 0);
        if (code == 0) {
            EXPECT_FALSE(f->IndexNameExists("nothing"));
            f->RemoveIndexDesc(30, true);
            EXPECT_EQ(f->GetIndexDesc(31).Name, "Sys Deleted");
            f->CloseFile();
        }
    }
}

TEST_F(IndexFileTest, PageAppendLimits) {
    index->Header.NextPageNo = 976561;
    EXPECT_EQ(index->AppendPageNo(0), 976561);
    EXPECT_EQ(index->Header.NextPageNo, 976562);
    EXPECT_EQ(index->Header.HeaderModified, 1);
    EXPECT_EQ(CodeOf([&] { index->AppendPageNo(0); }), DBE_TABLEFULL);
    EXPECT_EQ(index->PageCount(), 976561);
}

TEST_F(IndexFileTest, ReadSlotsAndTheWriteRange) {
    index->WriteHeader(false);
    index->CloseFile();
    index->OpenFile();
    framework::TFakeTime clock(45000.0);
    framework::RandSeed = 12345;
    auto other = NewIndex();
    other->OpenFile();
    int32_t slotA = 0, slotB = 0;
    ASSERT_TRUE(index->LockForRead(slotA));
    ASSERT_TRUE(other->LockForRead(slotB));
    EXPECT_NE(slotA, slotB);
    index->LockAttempts = 10;
    EXPECT_FALSE(index->LockForWrite());
    EXPECT_EQ(clock.SleepCalls(), 10);
    // Another process sees the slots too.
    int child = RunInChildProcess([&] {
        TFileList list;
        bool ro = false, roa = false;
        TAbstractFile* f = nullptr;
        if (list.OpenFile("D:\\T.IDX", false, false, false, ro, roa, f) < 0) return 2;
        return f->LockRange(IndexWriteLockOffset, IndexWriteLockLength) ? 1 : 0;
    });
    EXPECT_EQ(child, 0);
    EXPECT_TRUE(index->UnlockForRead(slotA));
    EXPECT_TRUE(other->UnlockForRead(slotB));
    EXPECT_TRUE(index->LockForWrite());
    EXPECT_FALSE(other->LockForRead(slotB));  // a writer excludes every reader
    EXPECT_TRUE(index->UnlockForWrite());
}

}  // namespace
}  // namespace dbengine

#include "dbengine/blob/BlobFile.h"

#include <gtest/gtest.h>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/file/FileList.h"
#include "dbengine/testsupport/BlobFixture.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/testsupport/FakeTime.h"
#include "platform/testsupport/ChildProcess.h"

namespace dbengine {
namespace {

using platform::testsupport::RunInChildProcess;
using testsupport::CodeOf;
using testsupport::TBlobImage;
using testsupport::TFakeCursor;

std::string Hex(const std::string& bytes, size_t from, size_t count) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = from; i < from + count && i < bytes.size(); ++i) {
        auto c = static_cast<uint8_t>(bytes[i]);
        if (i != from) s += ' ';
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

class BlobFileTest : public testsupport::BlobFixture {};

TEST_F(BlobFileTest, NewFileIsAHeaderOf512BytesWithVersion5AndNoBlocks) {
    auto f = Create();
    EXPECT_EQ(f->BlockCount(), 0);
    EXPECT_EQ(f->NewBlockNumber(), 1);
    f->CloseFile();
    std::string bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 512u);
    // ChangeCount 1 (one write), reserved, version 5, no free block, next block 1, written
    // because it had changed.
    EXPECT_EQ(Hex(bytes, 0, 18), "01 00 00 00 00 00 00 00 05 00 00 00 00 01 00 00 00 01");
    EXPECT_EQ(bytes.substr(18), std::string(494, '\0'));

    auto again = Open();
    EXPECT_NO_THROW(again->CheckHeader());
    EXPECT_EQ(again->GetChangeCount(), 1);
    EXPECT_FALSE(again->HeaderModified());
    // A forced write of an unchanged header stores the flag 0 and raises the count.
    EXPECT_FALSE(again->WriteHeader(false));
    EXPECT_TRUE(again->WriteHeader(true));
    again->CloseFile();
    EXPECT_EQ(Hex(FileBytes(), 0, 18), "02 00 00 00 00 00 00 00 05 00 00 00 00 01 00 00 00 00");
}

TEST_F(BlobFileTest, BlocksLieAtTheirOffsetsWithHeadersPinnedByteByByte) {
    auto f = Create();
    auto value = SaveValue(*f, 495, 7);
    EXPECT_EQ(value->FirstBlock, 1);
    f->WriteDirtyBlocks();
    f->WriteHeader(false);
    f->CloseFile();
    std::string bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 512u + 2 * 512u);
    EXPECT_EQ(Hex(bytes, 0, 18), "02 00 00 00 00 00 00 00 05 00 00 00 00 03 00 00 00 01");
    // Block 1 at 512: prev 0, next 2, 494 bytes used, stamp 7, BLOB size 495.
    EXPECT_EQ(Hex(bytes, 512, 18), "00 00 00 00 02 00 00 00 EE 01 07 00 00 00 EF 01 00 00");
    // Block 2 at 512 + 512: prev 1, next 0, 1 byte used, stamp 7, size 0 in a later block.
    EXPECT_EQ(Hex(bytes, 1024, 18), "01 00 00 00 00 00 00 00 01 00 07 00 00 00 00 00 00 00");
    auto pattern = Pattern(495, 1);
    EXPECT_EQ(bytes.substr(512 + 18, 494), std::string(pattern.begin(), pattern.begin() + 494));
    EXPECT_EQ(static_cast<uint8_t>(bytes[1024 + 18]), pattern[494]);
    EXPECT_EQ(bytes.substr(1024 + 19), std::string(493, '\0'));
}

TEST_F(BlobFileTest, ValuesTakeTheBlocksTheirSizeNeeds) {
    struct Case {
        uint16_t BlockSize;
        int32_t Size;
        int32_t Blocks;
        uint16_t LastUsed;
    };
    const Case cases[] = {{512, 1, 1, 1},
                          {512, 494, 1, 494},
                          {512, 495, 2, 1},
                          {512, 988, 2, 494},
                          {512, 989, 3, 1},
                          {19, 5, 5, 1},
                          {4096, 20000, 5, 20000 - 4 * 4078},
                          {1024, 70000, 70, 70000 - 69 * 1006}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "block size " << c.BlockSize << ", " << c.Size << " bytes");
        std::string name = "V" + std::to_string(++n) + ".BLB";
        auto f = Create(c.BlockSize, name);
        auto value = SaveValue(*f, c.Size, 3, static_cast<uint8_t>(n));
        EXPECT_EQ(f->BlockCount(), c.Blocks);
        EXPECT_EQ(BlobBlocksFor(c.Size, f->BlockDataSize()), c.Blocks);
        TBlock* last = f->FindCached(c.Blocks);
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->UsedBytes(), c.LastUsed);
        EXPECT_EQ(last->NextBlock(), 0);
        EXPECT_EQ(last->BlobSize(), c.Blocks == 1 ? c.Size : 0);
        f->WriteDirtyBlocks();
        f->WriteHeader(false);
        f->CloseFile();
        EXPECT_EQ(FileBytes(name).size(), 512u + size_t(c.Blocks) * c.BlockSize);

        // A fresh file object reads the value back from the disk.
        auto g = Open(c.BlockSize, name);
        auto loaded = LoadValue(*g, value->FirstBlock, 3);
        EXPECT_EQ(Contents(*loaded), Pattern(c.Size, static_cast<uint8_t>(n)));
        EXPECT_FALSE(loaded->Modified);
    }
}

TEST_F(BlobFileTest, TheFreeChainHeadSetDecidesWhereTheNextValueGoes) {
    auto f = Create();
    auto value = SaveValue(*f, 5 * 494, 1);
    SaveValue(*f, 600, 2, 9, value->FirstBlock);  // frees 3, 4, 5: the chain is 5, 4, 3
    ASSERT_EQ(f->FirstFreeBlock(), 5);
    f->SetFirstFreeBlock(4);  // the chain now starts at 4
    EXPECT_EQ(f->FirstFreeBlock(), 4);
    EXPECT_TRUE(f->HeaderModified());
    auto next = SaveValue(*f, 400, 3, 7);
    EXPECT_EQ(next->FirstBlock, 4);
    EXPECT_EQ(f->FirstFreeBlock(), 3);
    f->SetFirstFreeBlock(0);  // no free chain: the next value is appended
    auto appended = SaveValue(*f, 400, 4, 8);
    EXPECT_EQ(appended->FirstBlock, 6);
    EXPECT_EQ(Contents(*LoadValue(*f, 4, 3)), Pattern(400, 7));
}

TEST_F(BlobFileTest, ShorterRewriteFreesTheSurplusAndLongerRewriteReusesFreedBlocksFirst) {
    auto f = Create();
    auto value = SaveValue(*f, 5 * 494, 1);  // blocks 1..5
    ASSERT_EQ(f->BlockCount(), 5);

    // Shorter: the chain keeps its first block; 3, 4, 5 go to the free chain in that order, so
    // the last freed one is its head and the first freed one (freed into an empty chain) ends it.
    auto shorter = SaveValue(*f, 600, 2, 9, value->FirstBlock);
    EXPECT_EQ(shorter->FirstBlock, 1);
    EXPECT_EQ(f->FirstFreeBlock(), 5);
    EXPECT_EQ(f->FindCached(5)->NextBlock(), 4);
    EXPECT_EQ(f->FindCached(4)->NextBlock(), 3);
    EXPECT_EQ(f->FindCached(3)->NextBlock(), 0);
    EXPECT_EQ(f->FindCached(2)->NextBlock(), 0);
    EXPECT_EQ(f->FindCached(1)->BlobSize(), 600);
    EXPECT_TRUE(f->HeaderModified());

    // Longer: blocks 1 and 2 stay, then the free chain gives 5 and 4 before anything is appended.
    auto longer = SaveValue(*f, 4 * 494, 3, 5, shorter->FirstBlock);
    EXPECT_EQ(f->FindCached(2)->NextBlock(), 5);
    EXPECT_EQ(f->FindCached(5)->NextBlock(), 4);
    EXPECT_EQ(f->FindCached(4)->PrevBlock(), 5);
    EXPECT_EQ(f->FindCached(4)->NextBlock(), 0);
    EXPECT_EQ(f->FirstFreeBlock(), 3);
    EXPECT_EQ(f->BlockCount(), 5);
    EXPECT_EQ(Contents(*LoadValue(*f, 1, 3)), Pattern(4 * 494, 5));

    // A new value takes the remaining free block, then appends.
    auto other = SaveValue(*f, 800, 4, 6);
    EXPECT_EQ(other->FirstBlock, 3);
    EXPECT_EQ(f->FindCached(3)->NextBlock(), 6);
    EXPECT_EQ(f->FirstFreeBlock(), 0);
    EXPECT_EQ(f->BlockCount(), 6);

    // Deleting frees the whole chain and empties the reference.
    other->SetSize(0);
    other->Delete();
    EXPECT_EQ(other->FirstBlock, 0);
    EXPECT_EQ(f->FirstFreeBlock(), 6);
    EXPECT_EQ(f->FindCached(6)->NextBlock(), 3);
    // A value of 0 bytes has no chain: deleting it frees nothing.
    TBlobBuffer empty(nullptr, f.get());
    empty.Delete();
    EXPECT_EQ(f->FirstFreeBlock(), 6);
}

// Crafted files whose chains or headers are damaged: each fault is reported with its code, and a
// walk that fails changes nothing (no block freed, header untouched).
TEST_F(BlobFileTest, DamagedChainsStopWithAnErrorBeforeAnythingChanges) {
    struct Case {
        const char* Name;
        std::string Image;
        int32_t Stamp;
        TEngineErrorCode Load;
        TEngineErrorCode Free;
    };
    const Case cases[] = {
        {"self-pointing next block", TBlobImage().Block({0, 1, 494, 5, 2000}).Bytes(), 5, DBE_MEMOCORRUPT,
         DBE_MEMOCORRUPT},
        {"two blocks pointing at each other",
         TBlobImage().Block({0, 2, 494, 5, 2000}).Block({1, 1, 494, 5, 0}).Bytes(), 5, DBE_MEMOCORRUPT,
         DBE_MEMOCORRUPT},
        {"next block past the block count", TBlobImage().Block({0, 9, 494, 5, 600}).Bytes(), 5,
         DBE_MEMOCORRUPT, DBE_MEMOCORRUPT},
        {"negative next block", TBlobImage().Block({0, -3, 494, 5, 600}).Bytes(), 5, DBE_MEMOCORRUPT,
         DBE_MEMOCORRUPT},
        {"chain longer than its size needs",
         TBlobImage().Block({0, 2, 100, 5, 100}).Block({1, 3, 1, 5, 0}).Block({2, 0, 1, 5, 0}).Bytes(), 5, 0,
         DBE_MEMOCORRUPT},
        // Loading must not size its buffer by a damaged size; freeing the one block is harmless.
        {"size larger than the file's blocks", TBlobImage().Block({0, 0, 494, 5, 2000000000}).Bytes(), 5,
         DBE_MEMOCORRUPT, 0},
        {"chain ends before the size",
         TBlobImage().Block({0, 0, 494, 5, 600}).Block({0, 0, 106, 5, 106}).Bytes(), 5, DBE_ENDOFBLOB, 0},
        {"block with fewer bytes than it should hold",
         TBlobImage().Block({0, 2, 300, 5, 600}).Block({1, 0, 106, 5, 0}).Bytes(), 5, DBE_ENDOFBLOB, 0},
        {"first block of another value", TBlobImage().Block({0, 0, 10, 6, 10}).Bytes(), 5,
         DBE_KEYORRECDELETED, DBE_MEMOCORRUPT},
        {"later block of another value",
         TBlobImage().Block({0, 2, 494, 5, 600}).Block({1, 0, 106, 6, 0}).Bytes(), 5, DBE_KEYORRECDELETED,
         DBE_MEMOCORRUPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteImage(c.Image);
        auto f = Open();
        EXPECT_EQ(CodeOf([&] { LoadValue(*f, 1, c.Stamp); }), c.Load);
        int32_t first = 1;
        EXPECT_EQ(CodeOf([&] { f->FreeBlob(nullptr, first, c.Stamp, 1, false); }), c.Free);
        if (c.Free != 0) {
            EXPECT_EQ(first, 1);
            EXPECT_EQ(f->FirstFreeBlock(), 0);
            EXPECT_FALSE(f->HeaderModified());
            EXPECT_FALSE(f->WriteDirtyBlocks());
        }
        // Nothing stays held after an error.
        for (int32_t no = 1; no <= f->BlockCount(); ++no) {
            TBlock* b = f->FindCached(no);
            if (b != nullptr) {
                EXPECT_EQ(b->RefCount, 0) << "block " << no;
            }
        }
        f->CloseFile();
        EXPECT_EQ(FileBytes(), c.Image);
    }
}

TEST_F(BlobFileTest, TolerantFreeCorrectsStampsAndSaveRefusesADamagedOldChain) {
    WriteImage(TBlobImage().Block({0, 2, 494, 8, 600}).Block({1, 0, 106, 9, 0}).Bytes());
    auto f = Open();
    int32_t first = 1;
    EXPECT_TRUE(f->FreeBlob(nullptr, first, 5, 1, true));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(f->FirstFreeBlock(), 2);
    EXPECT_EQ(f->FindCached(2)->NextBlock(), 1);
    EXPECT_EQ(f->FindCached(1)->NextBlock(), 0);
    EXPECT_EQ(f->FindCached(1)->Stamp(), 5);
    EXPECT_EQ(f->FindCached(2)->Stamp(), 5);
    f->CloseFile();

    // Rewriting over a cycle is refused before the first block is touched.
    WriteImage(TBlobImage().Block({0, 2, 494, 5, 2000}).Block({1, 1, 494, 5, 0}).Bytes());
    auto g = Open();
    EXPECT_EQ(CodeOf([&] { SaveValue(*g, 100, 5, 1, 1); }), DBE_MEMOCORRUPT);
    EXPECT_FALSE(g->WriteDirtyBlocks());
    EXPECT_FALSE(g->HeaderModified());
}

// Freeing a block that is already free would loop the free chain and later hand one block to two
// values: every such free is refused before anything changes.
TEST_F(BlobFileTest, ABlockAlreadyFreeIsNeverFreedAgain) {
    auto f = Create();
    auto a = SaveValue(*f, 600, 1);     // blocks 1, 2
    auto b = SaveValue(*f, 100, 2, 3);  // block 3
    int32_t stale = a->FirstBlock;
    a->SetSize(0);
    a->Delete();
    ASSERT_EQ(f->FirstFreeBlock(), 2);
    // A second delete through a stale reference: the stamps still match, the blocks are free.
    for (bool tolerant : {false, true}) {
        int32_t first = stale;
        EXPECT_EQ(CodeOf([&] { f->FreeBlob(nullptr, first, 1, 1, tolerant); }), DBE_MEMOCORRUPT);
        EXPECT_EQ(first, stale);
    }
    EXPECT_EQ(f->FirstFreeBlock(), 2);
    EXPECT_EQ(f->FindCached(2)->NextBlock(), 1);
    EXPECT_EQ(f->FindCached(1)->NextBlock(), 0);
    // Allocation still walks 2, 1, then appends.
    auto c = SaveValue(*f, 1200, 4, 4);
    EXPECT_EQ(c->FirstBlock, 2);
    EXPECT_EQ(f->FindCached(2)->NextBlock(), 1);
    EXPECT_EQ(f->FindCached(1)->NextBlock(), 4);
    EXPECT_EQ(f->FirstFreeBlock(), 0);

    // Read from the disk: a chain that runs into the free chain, and a free chain with a cycle.
    using B = TBlobImage::TBlockSpec;
    struct Case {
        const char* Name;
        std::string Image;
    };
    const Case cases[] = {
        {"chain into the free chain",
         TBlobImage().Block(B{0, 2, 494, 5, 600}).Block(B{1, 0, 106, 5, 0}).SetHeader(2, 3).Bytes()},
        {"free chain with a cycle", TBlobImage()
                                        .Block(B{0, 0, 10, 5, 10})
                                        .Block(B{0, 3, 0, 5, 0})
                                        .Block(B{0, 2, 0, 5, 0})
                                        .SetHeader(2, 4)
                                        .Bytes()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Name);
        f.reset();
        WriteImage(k.Image);
        auto g = Open();
        int32_t first = 1;
        EXPECT_EQ(CodeOf([&] { g->FreeBlob(nullptr, first, 5, 1, true); }), DBE_MEMOCORRUPT);
        EXPECT_EQ(CodeOf([&] { SaveValue(*g, 50, 5, 1, 1); }), DBE_MEMOCORRUPT);
        EXPECT_FALSE(g->WriteDirtyBlocks());
        EXPECT_FALSE(g->HeaderModified());
    }
    // Allocating from a looping free chain would hand out a block twice.
    TBlock* taken = nullptr;
    auto g = Open();
    EXPECT_EQ(CodeOf([&] { taken = g->AllocateBlock(nullptr); }), DBE_MEMOCORRUPT);
    EXPECT_EQ(g->FirstFreeBlock(), 2);
    EXPECT_EQ(g->FindCached(2), nullptr);
}

TEST_F(BlobFileTest, HeaderChecksAndLimits) {
    struct Case {
        const char* Name;
        std::string Image;
        TEngineErrorCode Check;
    };
    const Case cases[] = {
        {"fresh", TBlobImage().Bytes(), 0},
        {"free block without blocks", TBlobImage(512, 1, 1).Bytes(), DBE_HEADERCORRUPT},
        {"free block past the count", TBlobImage().Block({}).Block({}).SetHeader(3, 3).Bytes(),
         DBE_HEADERCORRUPT},
        {"free block within the count", TBlobImage().Block({}).Block({}).SetHeader(2, 3).Bytes(), 0},
        {"more blocks than the file holds", TBlobImage().Block({}).SetHeader(0, 3).Bytes(),
         DBE_HEADERCORRUPT},
        {"negative free block", TBlobImage().Block({}).Block({}).SetHeader(-1, 3).Bytes(), DBE_HEADERCORRUPT},
        {"next block 0", TBlobImage(512, 0, 0).Bytes(), DBE_HEADERCORRUPT},
        {"version 4", TBlobImage(512, 0, 1, 4).Bytes(), DBE_OLDVERSION},
        {"version 6 and bad free block", TBlobImage(512, 7, 1, 6).Bytes(), DBE_OLDVERSION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteImage(c.Image);
        auto f = Open();
        EXPECT_EQ(CodeOf([&] { f->CheckHeader(); }), c.Check);
    }
    WriteImage(TBlobImage(512, 0, 1, 4).Bytes());
    auto old = Open();
    try {
        old->CheckVersion();
        ADD_FAILURE() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_OLDVERSION);
        EXPECT_EQ(e.ErrorTable, "T");
    }

    // Appending stops at a file of 4,000,000,000 bytes (and at block 2,000,000,000, which even the
    // smallest block reaches only past that size).
    struct Limit {
        uint16_t BlockSize;
        int32_t NextBlockNo;
        TEngineErrorCode Append;
    };
    const Limit limits[] = {{512, 7812499, 0},  // ends at exactly 4,000,000,000
                            {512, 7812500, DBE_TABLEFULL},
                            {19, 2000000001, DBE_TABLEFULL},
                            {4096, 976562, 0},  // ends at 3,999,998,464
                            {4096, 976563, DBE_TABLEFULL}};
    for (const Limit& l : limits) {
        SCOPED_TRACE(l.NextBlockNo);
        WriteImage(TBlobImage(l.BlockSize, 0, l.NextBlockNo).Bytes());
        auto f = Open(l.BlockSize);
        TBlock* b = nullptr;
        EXPECT_EQ(CodeOf([&] { b = f->AllocateBlock(nullptr); }), l.Append);
        EXPECT_EQ(f->NextBlockNo(), l.NextBlockNo + (l.Append == 0 ? 1 : 0));
        f->ReleaseBlock(b);
        f->DropAllBlocks();
    }
}

TEST_F(BlobFileTest, BlockAccessErrors) {
    auto f = Create();
    TBlock* b = nullptr;
    EXPECT_EQ(CodeOf([&] { f->GetBlock(nullptr, 0, b, 1, false); }), DBE_MEMOCORRUPT);
    EXPECT_EQ(CodeOf([&] { f->GetBlock(nullptr, 2, b, 1, false); }), DBE_MEMOCORRUPT);
    b = f->AllocateBlock(nullptr);
    EXPECT_EQ(b->RefCount, 1);
    EXPECT_EQ(b->Dirty, 0);
    std::vector<uint8_t> bytes(495, 0xAB);
    EXPECT_EQ(CodeOf([&] { b->WriteData(0, 495, bytes.data()); }), DBE_INVALIDBLOBLEN);
    EXPECT_EQ(CodeOf([&] { b->WriteData(10, 490, bytes.data()); }), DBE_INVALIDBLOBLEN);
    EXPECT_EQ(b->WriteData(0, 494, bytes.data()), 494u);
    EXPECT_EQ(CodeOf([&] { b->ReadData(0, 495, bytes.data()); }), DBE_INVALIDBLOBLEN);
    EXPECT_EQ(b->ReadData(490, 100, bytes.data()), 4u);
    // Setting a field to its value changes nothing; a new value marks the block.
    f->WriteDirtyBlocks();  // held: not written
    EXPECT_EQ(b->Dirty, 1);
    f->ReleaseBlock(b);
    EXPECT_TRUE(f->WriteDirtyBlocks());
    EXPECT_EQ(b->Dirty, 0);
    b->SetStamp(0);
    EXPECT_EQ(b->Dirty, 0);
    b->SetStamp(4);
    EXPECT_EQ(b->Dirty, 1);
    f->ReleaseBlock(b);  // RefCount stays at 0
    EXPECT_EQ(b->RefCount, 0);
    f->ReleaseBlock(nullptr);
    // Marked while nobody held it: still written by the next write-back.
    EXPECT_TRUE(f->WriteDirtyBlocks());
    EXPECT_EQ(b->Dirty, 0);
}

TEST_F(BlobFileTest, EncryptedFilesScrambleTheHeaderAndEachBlockHeaderAndDataApart) {
    auto f = NewFile();
    f->Encrypted = true;
    f->CreateFile();
    auto value = SaveValue(*f, 700, 11);
    f->WriteDirtyBlocks();
    f->WriteHeader(false);
    f->CloseFile();
    std::string bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 1536u);
    EXPECT_NE(static_cast<uint8_t>(bytes[8]), 5);
    // Both blocks scramble their header from the same seeds: equal plain bytes, equal scrambled.
    std::string plain = TBlobImage().Block({0, 2, 494, 11, 700}).Block({1, 0, 206, 11, 0}).Bytes();
    EXPECT_NE(bytes.substr(512, 18), plain.substr(512, 18));
    std::string h1 = bytes.substr(512, 18), h2 = bytes.substr(1024, 18);
    auto p1 = reinterpret_cast<uint8_t*>(h1.data());
    UnscrambleBuffer(p1, 18, BlobSeed1, BlobSeed2);
    EXPECT_EQ(h1, plain.substr(512, 18));
    auto p2 = reinterpret_cast<uint8_t*>(h2.data());
    UnscrambleBuffer(p2, 18, BlobSeed1, BlobSeed2);
    EXPECT_EQ(h2, plain.substr(1024, 18));

    auto g = NewFile();
    g->Encrypted = true;
    g->OpenFile();
    EXPECT_NO_THROW(g->CheckHeader());
    EXPECT_EQ(g->BlockCount(), 2);
    EXPECT_EQ(Contents(*LoadValue(*g, 1, 11)), Pattern(700, 1));
}

TEST_F(BlobFileTest, TheCacheRecyclesWritesAndTrimsWithinItsLimit) {
    table->Session->BlobBufferSize = 4 * 512;  // four blocks
    auto f = Create();
    EXPECT_EQ(f->CacheCapacity(), 4);
    EXPECT_EQ(f->GetBlocksPerRead(), 32);
    // Ten blocks through a four-block cache: clean or written blocks make room.
    auto value = SaveValue(*f, 10 * 494, 1);
    EXPECT_LE(f->CachedBlockCount(), 5u);
    f->WriteDirtyBlocks();
    f->WriteHeader(false);
    f->DropAllBlocks();
    EXPECT_EQ(f->CachedBlockCount(), 0u);
    auto cursor = TFakeCursor(f.get());
    TBlobBuffer loaded(&cursor, f.get());
    loaded.FirstBlock = 1;
    loaded.Stamp = 1;
    loaded.Load();
    EXPECT_EQ(Contents(loaded), Pattern(10 * 494, 1));
    // Misses read ahead: far fewer change checks than blocks.
    EXPECT_LE(cursor.Calls, 4);
    EXPECT_EQ(cursor.Resyncs, 0);

    // Every block held or dirty: the cache grows by 32 instead of failing.
    std::vector<TBlock*> held;
    for (int i = 0; i < 6; ++i) held.push_back(f->AllocateBlock(nullptr));
    EXPECT_EQ(f->CacheCapacity(), 36);
    for (TBlock* b : held) f->ReleaseBlock(b);
    f->TrimCache();
    EXPECT_EQ(f->CachedBlockCount(), 4u);
    EXPECT_EQ(f->CacheCapacity(), 4);
    EXPECT_FALSE(f->WriteDirtyBlocks());  // trimming wrote what it dropped

    // A block held while the cache is dropped stays usable until released.
    TBlock* b = nullptr;
    ASSERT_TRUE(f->GetBlock(nullptr, 1, b, 1, false));
    f->DropAllBlocks();
    EXPECT_EQ(b->BlockNo, 1);
    EXPECT_EQ(b->BlobSize(), 10 * 494);
    f->ReleaseBlock(b);
    EXPECT_EQ(f->FindCached(1), nullptr);
}

TEST_F(BlobFileTest, AnotherProcessesHeaderWriteIsNoticedAndTheLoadStartsOver) {
    auto f = Create();
    auto value = SaveValue(*f, 1000, 4, 1);
    f->WriteDirtyBlocks();
    f->WriteHeader(false);
    EXPECT_FALSE(f->ReloadHeaderIfChanged());
    f->DropAllBlocks();

    int child = RunInChildProcess([this] {
        // The child's own file objects, so that its handle is its own.
        FreeEngineFileList();
        CreateEngineFileList();
        try {
            auto g = Open();
            SaveValue(*g, 1200, 4, 2, 1);
            g->WriteDirtyBlocks();
            g->WriteHeader(true);  // as the table writes it after changing BLOBs
            g->CloseFile();
        } catch (...) {
            return 1;
        }
        return 0;
    });
    ASSERT_EQ(child, 0);
    EXPECT_EQ(Hex(FileBytes(), 0, 4), "03 00 00 00");

    TFakeCursor cursor(f.get());
    TBlobBuffer loaded(&cursor, f.get());
    loaded.FirstBlock = 1;
    loaded.Stamp = 4;
    loaded.Load();
    EXPECT_EQ(cursor.Resyncs, 1);
    EXPECT_EQ(f->GetChangeCount(), 3);
    EXPECT_EQ(f->BlockCount(), 3);
    EXPECT_EQ(Contents(loaded), Pattern(1200, 2));

    // Strict change detection leaves the check to the caller's read bracket.
    table->Session->StrictChangeDetection = true;
    f->DropAllBlocks();
    TFakeCursor quiet(f.get());
    TBlobBuffer again(&quiet, f.get());
    again.FirstBlock = 1;
    again.Stamp = 4;
    again.Load();
    EXPECT_EQ(quiet.Calls, 0);
}

TEST_F(BlobFileTest, ExclusiveRangeAndSharedSlotsExcludeEachOther) {
    framework::TFakeTime clock(45000.0);
    auto a = Create();
    auto b = Open();
    framework::RandSeed = 1234;
    uint16_t slot = 0;
    ASSERT_TRUE(a->LockShared(slot));
    EXPECT_GE(slot, 1);
    // The slot's byte is taken; its neighbour is free.
    EXPECT_FALSE(b->LockFileRange(true, 0xFFFFFFFF - slot, 1));
    uint16_t neighbour = slot == 65535 ? slot - 1 : slot + 1;
    EXPECT_TRUE(b->LockFileRange(true, 0xFFFFFFFF - neighbour, 1));
    EXPECT_TRUE(b->LockFileRange(false, 0xFFFFFFFF - neighbour, 1));

    // The exclusive range is tried once and retried 32,766 times, 3 ms apart.
    EXPECT_FALSE(b->LockExclusive());
    EXPECT_EQ(clock.SleepCalls(), 32766);
    EXPECT_EQ(clock.SleptMilliseconds(), 3u * 32766u);
    EXPECT_TRUE(a->UnlockShared(slot));
    ASSERT_TRUE(b->LockExclusive());
    uint16_t other = 0;
    EXPECT_FALSE(a->LockShared(other));

    // Another process: every slot byte and the exclusive range itself are refused to it.
    int child = RunInChildProcess([] {
        TFileList list;
        bool ro = false, roa = false;
        TAbstractFile* file = nullptr;
        if (list.OpenFile("D:\\T.BLB", false, false, false, ro, roa, file) <= 0) return 10;
        const int64_t slots[] = {0xFFFFFFFF - 1, 0xFFFFFFFF - 32768, 0xFFFFFFFF - 65535};
        for (int64_t at : slots)
            if (file->LockRange(at, 1)) return 11;
        if (file->LockRange(0xFFFEFFFF, 65536)) return 12;
        if (!file->LockRange(0xFFFFFFFF, 1)) return 13;  // outside the range
        return 0;
    });
    EXPECT_EQ(child, 0);
    EXPECT_TRUE(b->UnlockExclusive());

    // And the reverse: a slot held here keeps the exclusive range away from the other process.
    ASSERT_TRUE(a->LockShared(slot));
    int refused = RunInChildProcess([] {
        TFileList list;
        bool ro = false, roa = false;
        TAbstractFile* file = nullptr;
        if (list.OpenFile("D:\\T.BLB", false, false, false, ro, roa, file) <= 0) return 10;
        return file->LockRange(0xFFFEFFFF, 65536) ? 11 : 0;
    });
    EXPECT_EQ(refused, 0);
    EXPECT_TRUE(a->UnlockShared(slot));
}

}  // namespace
}  // namespace dbengine

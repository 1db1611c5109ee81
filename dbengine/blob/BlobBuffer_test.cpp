#include "dbengine/blob/BlobBuffer.h"

#include <gtest/gtest.h>

#include "dbengine/testsupport/BlobFixture.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::TBlobImage;

class BlobBufferTest : public testsupport::BlobFixture {};

TEST_F(BlobBufferTest, SizeChangesMarkTheValueAndGrowWithZeros) {
    auto f = Create();
    TBlobBuffer b(nullptr, f.get());
    b.SetSize(0);
    EXPECT_FALSE(b.Modified);  // unchanged
    b.SetSize(5);
    EXPECT_TRUE(b.Modified);
    std::fill(b.GetData(), b.GetData() + 5, uint8_t{0x7F});
    b.KeepOldData();
    b.SetSize(2);  // cut: the tail is gone, growing again brings zeros
    b.SetSize(4);
    EXPECT_EQ(Contents(b), (std::vector<uint8_t>{0x7F, 0x7F, 0, 0}));
    EXPECT_EQ(b.GetOldSize(), 5);
    EXPECT_EQ(std::vector<uint8_t>(b.GetOldData(), b.GetOldData() + 5), std::vector<uint8_t>(5, 0x7F));
    b.Modified = false;
    b.SetSize(-1);
    EXPECT_TRUE(b.Modified);
    EXPECT_EQ(b.Size, 0);

    b.AddRef();
    b.AddRef();
    b.Release();
    b.Release();
    b.Release();
    EXPECT_EQ(b.OpenCount, 0);

    // A value never stored loads as nothing and keeps its bytes.
    TBlobBuffer fresh(nullptr, f.get());
    fresh.SetSize(3);
    fresh.Load();
    EXPECT_EQ(fresh.Size, 3);
}

TEST_F(BlobBufferTest, ShortReadsAreTakenOnlyByAWriterThatNobodyCanWriteBeside) {
    using B = TBlobImage::TBlockSpec;
    // The header counts a third block that is not on disk yet, as after this process appended it.
    std::string image =
        TBlobImage().Block(B{0, 2, 494, 3, 600}).Block(B{1, 0, 106, 3, 0}).SetHeader(0, 4).Bytes();
    struct Case {
        bool Exclusive, TransactionLocked, FilesWritten;
        TEngineErrorCode Code;
    };
    const Case cases[] = {{false, false, false, DBE_READERR},
                          {false, false, true, DBE_READERR},
                          {true, false, false, DBE_READERR},
                          {true, false, true, 0},
                          {false, true, true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Exclusive << c.TransactionLocked << c.FilesWritten);
        WriteImage(image);
        auto f = NewFile();
        f->Exclusive = c.Exclusive;
        f->OpenFile();
        table->TransactionLocked = c.TransactionLocked;
        table->FilesWritten = c.FilesWritten;
        // Block 1 with read-ahead over all three blocks.
        TBlock* b = nullptr;
        EXPECT_EQ(CodeOf([&] { f->GetBlock(nullptr, 1, b, 3, true); }), c.Code);
        if (c.Code == 0) {
            EXPECT_EQ(b->BlobSize(), 600);
            EXPECT_NE(f->FindCached(2), nullptr);
            f->ReleaseBlock(b);
            // Only whole blocks read are placed: the missing one is not invented.
            EXPECT_EQ(CodeOf([&] { f->GetBlock(nullptr, 3, b, 1, false); }), DBE_MEMOCORRUPT);
        }
        f->CloseFile();
    }
}

TEST_F(BlobBufferTest, EmptyingTouchingAndReloadingTheHeader) {
    auto f = Create();
    SaveValue(*f, 2000, 1);
    f->WriteDirtyBlocks();
    f->WriteHeader(false);
    EXPECT_EQ(FileBytes().size(), 512u + 5 * 512u);
    EXPECT_FALSE(f->ReloadHeaderIfChanged());

    table->FilesWritten = false;
    f->TouchHeader();
    EXPECT_TRUE(table->FilesWritten);
    EXPECT_EQ(f->GetChangeCount(), 3);
    EXPECT_TRUE(f->HeaderModified());
    // The image now differs from the file: a reload takes the file's header.
    EXPECT_TRUE(f->ReloadHeaderIfChanged());
    EXPECT_EQ(f->GetChangeCount(), 2);

    f->DropAllBlocks();
    f->EmptyFile();
    EXPECT_EQ(FileBytes().size(), 512u);
    EXPECT_EQ(f->BlockCount(), 0);
    EXPECT_EQ(f->FirstFreeBlock(), 0);
    EXPECT_TRUE(f->HeaderModified());
    EXPECT_TRUE(f->IsFreeBlockValid(0));
    EXPECT_FALSE(f->IsFreeBlockValid(1));
    auto again = SaveValue(*f, 10, 2);
    EXPECT_EQ(again->FirstBlock, 1);
}

TEST_F(BlobBufferTest, ChangesTakenBackLeaveTheFileAsItWasAndKeptChangesAreWritten) {
    auto f = Create();
    // Value 1: three blocks; value 2: one block, then freed, so the free chain is not empty.
    auto one = SaveValue(*f, 3 * 494, 7, 1);
    auto two = SaveValue(*f, 10, 8, 2);
    f->FreeBlob(nullptr, two->FirstBlock, 8, 0, false);
    f->WriteDirtyBlocks();
    f->WriteHeader(false);
    std::string before = FileBytes();

    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        f->BeginChanges();
        EXPECT_TRUE(f->InChanges());
        // Rewritten shorter (surplus freed), a new value of more blocks than the cache holds
        // (the free block first, then appended), one block rewritten in place.
        one->SetSize(20);
        std::fill(one->GetData(), one->GetData() + 20, uint8_t{0x55});
        one->Save();
        auto big = SaveValue(*f, 100 * 494, 9, 3);
        EXPECT_GT(f->NextBlockNo(), 100);
        if (keep) {
            f->EndChanges();
        } else {
            f->TakeBackChanges();
            EXPECT_FALSE(f->InChanges());
            one->FirstBlock = 1;
        }
        f->WriteDirtyBlocks();
        f->WriteHeader(false);
        if (!keep) {
            EXPECT_TRUE(FileBytes() == before) << "taken-back changes reached the file";
            EXPECT_EQ(LoadValue(*f, 1, 7)->Size, 3 * 494);
        } else {
            EXPECT_FALSE(FileBytes() == before);
            EXPECT_EQ(Contents(*LoadValue(*f, big->FirstBlock, 9)), Pattern(100 * 494, 3));
            EXPECT_EQ(LoadValue(*f, 1, 7)->Size, 20);
        }
    }
}

}  // namespace
}  // namespace dbengine

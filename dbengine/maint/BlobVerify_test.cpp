#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbengine/blob/BlobFile.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/testsupport/BlobFixture.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::TBlobImage;
using Lines = std::vector<std::string>;

class BlobVerifyTest : public testsupport::BlobFixture {
protected:
    void SetUp() override {
        BlobFixture::SetUp();
        cursor.SetLogCallback([this](TDataCursor&, const std::string& text) { log.push_back(text); });
    }
    // Writes what repair changed, as the table does when it writes its buffers.
    static void Flush(TBlobFile& f) {
        f.WriteDirtyBlocks();
        f.WriteHeader(false);
    }

    TDataCursor cursor{nullptr};
    Lines log;
};

const std::string Aligned = "BLOB blocks not aligned on even block size boundaries";
const std::string Count = "Physical BLOB block count not correct";
const std::string FreePtr = "Invalid free BLOB block pointer in header";

Lines Fixed(Lines lines) {
    for (auto& l : lines) l += ", error fixed";
    return lines;
}

TEST_F(BlobVerifyTest, HeaderChecksReportInBothModesAndRepairLeavesACleanFile) {
    const std::string twoBlocks = TBlobImage().Block({0, 2, 494, 5, 600}).Block({1, 0, 106, 5, 0}).Bytes();
    struct Case {
        const char* What;
        std::string Image;
        Lines Expected;
        size_t SizeAfterRepair;
    };
    const Case cases[] = {
        {"empty file", TBlobImage().Bytes(), {}, 512},
        {"two sound blocks", twoBlocks, {}, 512 + 2 * 512},
        {"ten bytes past the last block", twoBlocks + std::string(10, 'x'), {Aligned}, 512 + 2 * 512},
        {"a partial block and a header that counts it",
         TBlobImage(512, 0, 4).Block({}).Block({}).Block({}).Bytes() + std::string(10, 'x'),
         {Aligned},
         512 + 3 * 512},
        {"header counting one block too many",
         TBlobImage(512).Block({}).SetHeader(0, 3).Bytes(),
         {Count},
         1024},
        {"header counting no block", TBlobImage(512).Block({}).SetHeader(0, 1).Bytes(), {Count}, 1024},
        {"free pointer on an empty file", TBlobImage().SetHeader(1, 1).Bytes(), {FreePtr}, 512},
        {"free pointer past the blocks", TBlobImage().Block({}).SetHeader(2, 2).Bytes(), {FreePtr}, 1024},
        {"negative free pointer", TBlobImage().Block({}).SetHeader(-1, 2).Bytes(), {FreePtr}, 1024},
        {"free pointer on the last block", TBlobImage().Block({}).SetHeader(1, 2).Bytes(), {}, 1024},
        {"misaligned, miscounted and a bad free pointer",
         TBlobImage().Block({}).SetHeader(7, 9).Bytes() + "abc",
         {Aligned, Count, FreePtr},
         1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        WriteImage(c.Image);
        {
            auto f = Open();
            log.clear();
            EXPECT_EQ(f->VerifyHeader(cursor, true), c.Expected.empty());
            EXPECT_EQ(log, c.Expected);
            f->CloseFile();
        }
        EXPECT_EQ(FileBytes(), c.Image);  // verification changes nothing
        {
            auto f = Open();
            log.clear();
            EXPECT_EQ(f->VerifyHeader(cursor, false), c.Expected.empty());
            EXPECT_EQ(log, Fixed(c.Expected));
            Flush(*f);
            f->CloseFile();
        }
        EXPECT_EQ(FileBytes().size(), c.SizeAfterRepair);
        // The repaired file passes both checks.
        auto f = Open();
        log.clear();
        EXPECT_TRUE(f->VerifyHeader(cursor, true));
        EXPECT_EQ(log, Lines{});
        EXPECT_EQ(CodeOf([&] { f->CheckHeader(); }), 0);
        f->CloseFile();
    }
}

// One value per case, starting at block 1 with stamp 5, for physical record 7.
TEST_F(BlobVerifyTest, ChainChecksReportTheRecordAndRepairCutsOrResizes) {
    const std::string offset = "Invalid BLOB offset in BLOB file for physical record # 7";
    const std::string size = "BLOB size mismatch in BLOB file for physical record # 7";
    const std::string blockSize = "Invalid block size in BLOB file for physical record # 7";
    const std::string pointer = "Invalid intra-block pointer in BLOB file for physical record # 7";
    const std::string recursive = "Recursive intra-block pointer in BLOB file for physical record # 7";
    struct Case {
        const char* What;
        std::string Image;
        Lines Expected;
        int32_t FirstAfterRepair;  // 0: the value is dropped
        int32_t SizeAfterRepair;   // BlobSize of block 1 after repair
    };
    const Case cases[] = {
        {"sound two-block value",
         TBlobImage().Block({0, 2, 494, 5, 600}).Block({1, 0, 106, 5, 0}).Bytes(),
         {},
         1,
         600},
        {"sound one-block value", TBlobImage().Block({0, 0, 10, 5, 10}).Bytes(), {}, 1, 10},
        {"first block of another value", TBlobImage().Block({0, 0, 10, 6, 10}).Bytes(), {offset}, 0, 10},
        {"size 0", TBlobImage().Block({0, 0, 10, 5, 0}).Bytes(), {size}, 0, 0},
        {"negative size", TBlobImage().Block({0, 0, 10, 5, -4}).Bytes(), {size}, 0, -4},
        {"size 1000 with 900 bytes in the chain",
         TBlobImage().Block({0, 2, 494, 5, 1000}).Block({1, 0, 406, 5, 0}).Bytes(),
         {size},
         1,
         900},
        {"last block points back at the first",
         TBlobImage().Block({0, 2, 494, 5, 988}).Block({1, 1, 494, 5, 0}).Bytes(),
         {recursive},
         1,
         988},
        {"block points at itself",
         TBlobImage().Block({0, 1, 494, 5, 988}).Bytes(),
         {recursive, size},
         1,
         494},
        {"next block past the block count",
         TBlobImage().Block({0, 9, 494, 5, 600}).Bytes(),
         {pointer, size},
         1,
         494},
        {"negative next block", TBlobImage().Block({0, -3, 494, 5, 600}).Bytes(), {pointer, size}, 1, 494},
        {"later block of another value",
         TBlobImage().Block({0, 2, 494, 5, 600}).Block({1, 0, 106, 6, 0}).Bytes(),
         {pointer, size},
         1,
         494},
        {"block holding fewer bytes than it should",
         TBlobImage().Block({0, 2, 300, 5, 600}).Block({1, 0, 106, 5, 0}).Bytes(),
         {blockSize, size},
         1,
         300},
        {"chain longer than its size",
         TBlobImage().Block({0, 2, 100, 5, 100}).Block({1, 3, 1, 5, 0}).Block({2, 0, 1, 5, 0}).Bytes(),
         {blockSize},
         1,
         100},
        {"last block claiming more bytes than it holds",
         TBlobImage().Block({0, 0, 600, 5, 600}).Bytes(),
         {blockSize, size},
         1,
         494},
        {"chain holding no byte", TBlobImage().Block({0, 0, 0, 5, 30}).Bytes(), {size}, 0, 30},
        {"one block more than its size needs",
         TBlobImage().Block({0, 2, 100, 5, 100}).Block({1, 0, 1, 5, 0}).Bytes(),
         {size},
         1,
         100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        WriteImage(c.Image);
        {
            auto f = Open();
            log.clear();
            int32_t first = 1;
            EXPECT_EQ(f->VerifyBlobs(cursor, true, first, 5, 7, false), c.Expected.empty());
            EXPECT_EQ(log, c.Expected);
            EXPECT_EQ(first, 1);
            for (int32_t no = 1; no <= f->BlockCount(); ++no) {
                TBlock* b = f->FindCached(no);
                if (b != nullptr) {
                    EXPECT_EQ(b->RefCount, 0) << "block " << no;
                }
            }
            EXPECT_FALSE(f->WriteDirtyBlocks());
            f->CloseFile();
        }
        EXPECT_EQ(FileBytes(), c.Image);
        int32_t first = 1;
        {
            auto f = Open();
            log.clear();
            EXPECT_EQ(f->VerifyBlobs(cursor, false, first, 5, 7, false), c.Expected.empty());
            EXPECT_EQ(log, Fixed(c.Expected));
            EXPECT_EQ(first, c.FirstAfterRepair);
            Flush(*f);
            f->CloseFile();
        }
        if (c.Expected.empty()) {
            EXPECT_EQ(FileBytes(), c.Image);
        }
        auto f = Open();
        TBlock* b = nullptr;
        f->GetBlock(nullptr, 1, b, 1, false);
        EXPECT_EQ(b->BlobSize(), c.SizeAfterRepair);
        f->ReleaseBlock(b);
        if (first != 0) {
            // A repaired chain verifies clean and loads whole.
            log.clear();
            EXPECT_TRUE(f->VerifyBlobs(cursor, true, first, 5, 7, false));
            EXPECT_EQ(log, Lines{});
            EXPECT_EQ(CodeOf([&] { LoadValue(*f, first, 5); }), 0);
        }
        f->CloseFile();
    }
}

TEST_F(BlobVerifyTest, TolerantRepairTakesOverStampsAndAFirstBlockOutsideTheFileIsABadOffset) {
    const std::string image = TBlobImage().Block({0, 2, 494, 8, 600}).Block({1, 0, 106, 9, 0}).Bytes();
    WriteImage(image);
    auto f = Open();
    int32_t first = 1;
    EXPECT_TRUE(f->VerifyBlobs(cursor, true, first, 5, 3, true));
    EXPECT_FALSE(f->WriteDirtyBlocks());
    EXPECT_TRUE(f->VerifyBlobs(cursor, false, first, 5, 3, true));
    EXPECT_EQ(log, Lines{});
    Flush(*f);
    EXPECT_TRUE(f->VerifyBlobs(cursor, true, first, 5, 3, false));
    EXPECT_EQ(CodeOf([&] { LoadValue(*f, 1, 5); }), 0);

    for (int32_t bad : {3, 99, -1}) {
        SCOPED_TRACE(bad);
        log.clear();
        int32_t ref = bad;
        EXPECT_FALSE(f->VerifyBlobs(cursor, true, ref, 5, 12, false));
        EXPECT_EQ(ref, bad);
        EXPECT_FALSE(f->VerifyBlobs(cursor, false, ref, 5, 12, false));
        EXPECT_EQ(ref, 0);
        EXPECT_EQ(log, (Lines{"Invalid BLOB offset in BLOB file for physical record # 12",
                              "Invalid BLOB offset in BLOB file for physical record # 12, error fixed"}));
        EXPECT_EQ(f->BlockCount(), 2);  // nothing was appended
    }
    int32_t none = 0;
    EXPECT_TRUE(f->VerifyBlobs(cursor, false, none, 5, 12, false));
    f->CloseFile();
}

}  // namespace
}  // namespace dbengine

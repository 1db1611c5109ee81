#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/testsupport/TableFixture.h"

namespace dbengine {
namespace {

using Lines = std::vector<std::string>;

class DataTableVerifyTest : public testsupport::TableFixture {
protected:
    void SetUp() override {
        TableFixture::SetUp();
        cursor.SetLogCallback([this](TDataCursor&, const std::string& text) { log.push_back(text); });
    }
    void Append(const std::string& fileName, const std::string& bytes) {
        std::ofstream out(Root / fileName, std::ios::binary | std::ios::app);
        out << bytes;
    }
    // Opens the table exclusively, runs the three header checks and releases it again (writing
    // what repair changed).
    Lines VerifyFiles(bool verifyOnly, bool& dataOk, bool& indexOk, bool& blobOk) {
        return VerifyFiles("T", verifyOnly, dataOk, indexOk, blobOk);
    }
    Lines VerifyFiles(const std::string& name, bool verifyOnly, bool& dataOk, bool& indexOk, bool& blobOk) {
        log.clear();
        TDataTable* t = Open(name, true);
        EXPECT_NE(t, nullptr);
        if (t == nullptr) return log;
        t->VerifyFiles(cursor, verifyOnly, dataOk, indexOk, blobOk);
        t->FlushBuffers(false, !verifyOnly, !verifyOnly, !verifyOnly);
        EXPECT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
        return log;
    }

    TDataCursor cursor{nullptr};
    Lines log;
};

TEST_F(DataTableVerifyTest, SoundFilesGiveNoLineAndStayByteIdentical) {
    for (bool withMemo : {false, true}) {
        SCOPED_TRACE(withMemo);
        const std::string name = withMemo ? "M" : "T";
        MakeTable(name, withMemo, 3);
        std::vector<std::string> names = {name + ".DAT", name + ".IDX"};
        if (withMemo) names.push_back(name + ".BLB");
        std::vector<std::string> before;
        for (auto& n : names) before.push_back(Bytes(n));
        bool dataOk = false, indexOk = false, blobOk = false;
        EXPECT_EQ(VerifyFiles(name, true, dataOk, indexOk, blobOk), Lines{});
        EXPECT_TRUE(dataOk && indexOk && blobOk);
        for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(Bytes(names[i]) == before[i]) << names[i];
    }
}

TEST_F(DataTableVerifyTest, PartialRecordAndPartialBlockAreReportedThenCutByRepair) {
    MakeTable("T", true, 2);
    const size_t dataSize = Bytes("T.DAT").size();
    const size_t blobSize = Bytes("T.BLB").size();
    Append("T.DAT", "1234567");
    Append("T.BLB", std::string(10, 'x'));
    const Lines found = {"Physical records not aligned on even record size boundaries",
                         "BLOB blocks not aligned on even block size boundaries"};
    bool dataOk = true, indexOk = false, blobOk = true;
    EXPECT_EQ(VerifyFiles(true, dataOk, indexOk, blobOk), found);
    EXPECT_FALSE(dataOk);
    EXPECT_TRUE(indexOk);
    EXPECT_FALSE(blobOk);
    EXPECT_EQ(Bytes("T.DAT").size(), dataSize + 7);

    EXPECT_EQ(VerifyFiles(false, dataOk, indexOk, blobOk),
              (Lines{found[0] + ", error fixed", found[1] + ", error fixed"}));
    EXPECT_EQ(Bytes("T.DAT").size(), dataSize);
    EXPECT_EQ(Bytes("T.BLB").size(), blobSize);

    EXPECT_EQ(VerifyFiles(true, dataOk, indexOk, blobOk), Lines{});
    EXPECT_TRUE(dataOk && indexOk && blobOk);
    TDataTable* t = Open("T");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(testsupport::CodeOf([&] { t->CheckHeaders(); }), 0);
    EXPECT_EQ(GetCount(*t, 2), 20);  // the records survive
    int32_t first = 5;
    EXPECT_FALSE(t->VerifyBlobs(cursor, true, first, 1, 1, false));  // past the blocks
    EXPECT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
}

TEST_F(DataTableVerifyTest, WithoutBlobFieldsTheBlobChecksAnswerTrue) {
    MakeTable("T", false, 1);
    TDataTable* t = Open("T", true);
    ASSERT_NE(t, nullptr);
    int32_t first = 7;
    EXPECT_TRUE(t->VerifyBlobs(cursor, false, first, 1, 1, false));
    EXPECT_EQ(first, 7);
    EXPECT_EQ(log, Lines{});
    EXPECT_EQ(Database->ReleaseSharedTable(t, false, false, false), 0);
}

}  // namespace
}  // namespace dbengine

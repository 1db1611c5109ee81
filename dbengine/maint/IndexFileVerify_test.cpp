#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/file/FileList.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/session/DataSession.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;
using testsupport::CodeOf;
using testsupport::TFakeIndexTable;
using Lines = std::vector<std::string>;

TIndexDescriptor Index(const std::string& name, std::initializer_list<uint16_t> fields, uint16_t keySize) {
    TIndexDescriptor d;
    d.Name = name;
    d.KeySize = keySize;
    int i = 0;
    for (uint16_t f : fields) d.FieldNumbers[i++] = f;
    d.FieldCount = static_cast<uint8_t>(i);
    return d;
}

std::vector<uint8_t> Image(const TIndexHeader& h) {
    std::vector<uint8_t> bytes(IndexHeaderSize);
    EncodeIndexHeader(h, bytes.data());
    return bytes;
}

class IndexFileVerifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        GetEngineSession()->PrivateDir = "D:\\";
        table.AddField("Name", fldString, 21);           // 1
        table.AddField("Count", fldInteger, 4);          // 2
        table.AddField("Notes", fldBlob, 8, fldstMemo);  // 3
        table.AddField("Photo", fldBlob, 8, 23);         // 4 binary BLOB
        table.AddField("Long", fldString, 251);          // 5
        cursor.SetLogCallback([this](TDataCursor&, const std::string& text) { log.push_back(text); });
    }
    void TearDown() override {
        file.reset();
        FinalizeEngine();
    }

    // A unique primary index on Count (key 4 + 1), ByName on Name (21 + 1, + 4 for the record
    // number of a non-unique key) and ByCount on Count and Name; three pages, ByName's root on 2.
    TIndexFile& Create(const std::string& name = "ORDERS.IDX", bool inMemory = true) {
        file = std::make_unique<TIndexFile>(&table);
        file->FileName = name;
        file->InMemory = inMemory;
        file->CreateIndexFile();
        file->SetPrimaryIndexDesc(Index("", {2}, 5));
        file->AddIndexDesc(Index("ByName", {1}, 26));
        file->AddIndexDesc(Index("ByCount", {2, 1}, 31));
        file->Header.NextPageNo = 3;
        file->Header.Descriptors[1].RootPage = 2;
        file->Header.Descriptors[SysTextIndex].FieldNumbers[0] = 3;
        file->Header.Descriptors[SysTextIndex].FieldCount = 1;
        return *file;
    }
    Lines Verify(TIndexFile& f, bool verifyOnly, bool& result) {
        log.clear();
        result = f.VerifyHeader(cursor, verifyOnly);
        return log;
    }

    TTempFolder root;
    TScopedDrives drives{"D=" + root.Path()};
    TFakeIndexTable table;
    std::unique_ptr<TIndexFile> file;
    TDataCursor cursor{nullptr};
    Lines log;
};

Lines Suffixed(Lines lines) {
    for (auto& l : lines) l += ", error fixed";
    return lines;
}

TEST_F(IndexFileVerifyTest, EachRuleReportsInBothModesAndRepairFixesTheHeader) {
    const std::string removedField = ", error fixed and field removed from index";
    auto fields = [](TIndexFile& f, int i, std::initializer_list<uint16_t> list) {
        f.Header.Descriptors[i].FieldNumbers.fill(0);
        int j = 0;
        for (uint16_t n : list) f.Header.Descriptors[i].FieldNumbers[j++] = n;
    };
    struct Case {
        const char* What;
        std::function<void(TIndexFile&)> Damage;
        Lines Verify;
        Lines Repair;  // empty: the verify lines with ", error fixed"
        bool RepairedOpens;
        std::function<void(TIndexFile&)> Check;  // after repair
    };
    const Case cases[] = {
        {"name starting with a digit",
         [](TIndexFile& f) { f.Header.Descriptors[1].Name = "2ndIndex"; },
         {"Invalid index name for index 2ndIndex"},
         {},
         true,
         [](TIndexFile& f) { EXPECT_EQ(f.Header.Descriptors[1].Name, "_2ndIndex"); }},
        {"blank name",
         [](TIndexFile& f) { f.Header.Descriptors[1].Name = "  "; },
         {"Invalid index name for index   "},
         {},
         true,
         [](TIndexFile& f) { EXPECT_EQ(f.Header.Descriptors[1].Name, "_  "); }},
        // Both become "_": the second of the pair gets a number.
        {"two blank names",
         [](TIndexFile& f) {
             f.Header.Descriptors[1].Name = "  ";
             f.Header.Descriptors[2].Name = "";
         },
         {"Invalid index name for index   ", "Invalid index name for index "},
         {},
         true,
         [](TIndexFile& f) {
             EXPECT_EQ(f.Header.Descriptors[1].Name, "_  ");
             EXPECT_EQ(f.Header.Descriptors[2].Name, "__2");
         }},
        {"name starting with a lower-case y with diaeresis",
         [](TIndexFile& f) { f.Header.Descriptors[1].Name = "\xFFndex"; },
         {},
         {},
         true,
         nullptr},
        {"names differing in case",
         [](TIndexFile& f) { f.Header.Descriptors[2].Name = "byname"; },
         {"Duplicate index name for index ByName", "Duplicate index name for index byname"},
         {"Duplicate index name for index ByName, error fixed"},
         true,
         [](TIndexFile& f) {
             EXPECT_EQ(f.Header.Descriptors[1].Name, "_ByName");
             EXPECT_EQ(f.Header.Descriptors[2].Name, "byname");
         }},
        {"gap in the field list",
         [&](TIndexFile& f) {
             fields(f, 2, {2, 0, 1}), f.Header.Descriptors[2].FieldCount = 3;
         },
         {"Invalid field number 0 in index ByCount", "Invalid key field count of 3 for index ByCount"},
         {"Invalid field number 0 in index ByCount" + removedField,
          "Invalid key field count of 3 for index ByCount, error fixed"},
         true,
         [](TIndexFile& f) {
             EXPECT_EQ(f.Header.Descriptors[2].FieldNumbers[1], 1);
             EXPECT_EQ(f.Header.Descriptors[2].FieldCount, 2);
         }},
        {"field not in the table",
         [&](TIndexFile& f) {
             fields(f, 2, {9, 1});
         },
         {"Invalid field number 9 in index ByCount", "Invalid key size of 31 for index ByCount",
          "Invalid key field count of 2 for index ByCount"},
         {"Invalid field number 9 in index ByCount" + removedField,
          "Invalid key size of 31 for index ByCount, error fixed",
          "Invalid key field count of 2 for index ByCount, error fixed"},
         true,
         [](TIndexFile& f) {
             EXPECT_EQ(f.Header.Descriptors[2].FieldNumbers[0], 1);
             EXPECT_EQ(f.Header.Descriptors[2].KeySize, 26);
         }},
        {"BLOB field in a key",
         [&](TIndexFile& f) {
             fields(f, 2, {2, 4});
         },
         {"Invalid field number 4 in index ByCount", "Invalid key size of 31 for index ByCount",
          "Invalid key field count of 2 for index ByCount"},
         {"Invalid field number 4 in index ByCount" + removedField,
          "Invalid key size of 31 for index ByCount, error fixed",
          "Invalid key field count of 2 for index ByCount, error fixed"},
         true,
         [](TIndexFile& f) { EXPECT_EQ(f.Header.Descriptors[2].KeySize, 9); }},
        {"only field gone",
         [&](TIndexFile& f) { fields(f, 1, {9}); },
         {"Invalid field number 9 in index ByName", "Invalid key size of 0 for index ByName",
          "Invalid key field count of 1 for index ByName"},
         {"Invalid field number 9 in index ByName" + removedField,
          "Invalid key size of 0 for index ByName, error fixed and index removed",
          "Invalid key field count of 1 for index ByName, error fixed"},
         true,
         [](TIndexFile& f) {
             EXPECT_EQ(f.GetIndexCount(), 1);
             EXPECT_EQ(f.Header.Descriptors[1].Name, "ByCount");
         }},
        {"key part above 522",
         [&](TIndexFile& f) {
             fields(f, 2, {5, 5, 5});
         },
         {"Invalid key size of 756 for index ByCount", "Invalid key field count of 2 for index ByCount"},
         {"Invalid key size of 756 for index ByCount, error fixed and index removed",
          "Invalid key field count of 2 for index ByCount, error fixed"},
         true,
         [](TIndexFile& f) { EXPECT_EQ(f.GetIndexCount(), 1); }},
        {"17 fields counted",
         [](TIndexFile& f) { f.Header.Descriptors[1].FieldCount = 17; },
         {"Invalid key field count of 17 for index ByName"},
         {},
         true,
         [](TIndexFile& f) { EXPECT_EQ(f.Header.Descriptors[1].FieldCount, 1); }},
        {"wrong key size",
         [](TIndexFile& f) { f.Header.Descriptors[1].KeySize = 30; },
         {"Invalid key size of 30 for index ByName"},
         {},
         true,
         [](TIndexFile& f) { EXPECT_EQ(f.Header.Descriptors[1].KeySize, 26); }},
        {"internal flag on a primary index with fields",
         [](TIndexFile& f) { f.Header.InternalPrimaryIndex = 1; },
         {"Invalid internal primary index flag in header"},
         {},
         true,
         [](TIndexFile& f) { EXPECT_FALSE(f.GetInternalPrimaryIndex()); }},
        {"primary index without fields",
         [&](TIndexFile& f) { fields(f, 0, {}), f.Header.Descriptors[0].FieldCount = 0; },
         {"Invalid internal primary index flag in header"},
         {},
         true,
         [](TIndexFile& f) {
             EXPECT_TRUE(f.GetInternalPrimaryIndex());
             EXPECT_EQ(f.Header.Descriptors[0].KeySize, 0);
         }},
        {"root page past the last page",
         [](TIndexFile& f) { f.Header.Descriptors[1].RootPage = 3; },
         {"Invalid root page pointer for index ByName"},
         {},
         false,
         [](TIndexFile& f) { EXPECT_EQ(f.Header.Descriptors[1].RootPage, 3); }},
        {"negative free page",
         [](TIndexFile& f) { f.Header.Descriptors[0].FreePage = -1; },
         {"Invalid free page pointer for index "},
         {},
         false,
         nullptr},
        {"full-text data root past the end",
         [](TIndexFile& f) { f.Header.Descriptors[32].DataRootPage = 9; },
         {"Invalid data root page pointer for index Sys Text"},
         {},
         false,
         nullptr},
        {"full-text index on an integer",
         [&](TIndexFile& f) {
             fields(f, 32, {3, 2});
         },
         {"Invalid field number 2 in index Sys Text"},
         {"Invalid field number 2 in index Sys Text" + removedField},
         true,
         [](TIndexFile& f) { EXPECT_EQ(f.Header.Descriptors[32].FieldNumbers[1], 0); }},
        {"full-text field count",
         [](TIndexFile& f) { f.Header.Descriptors[32].FieldCount = 2; },
         {"Invalid key field count of 2 for index Sys Text"},
         {},
         true,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TIndexFile& f = Create();
        c.Damage(f);
        f.Header.HeaderModified = 0;
        const std::vector<uint8_t> before = Image(f.Header);
        bool result = true;
        EXPECT_EQ(Verify(f, true, result), c.Verify);
        EXPECT_EQ(result, c.Verify.empty());
        EXPECT_EQ(Image(f.Header), before) << "verification changed the header";

        EXPECT_EQ(Verify(f, false, result), c.Repair.empty() ? Suffixed(c.Verify) : c.Repair);
        EXPECT_EQ(result, c.Verify.empty());
        EXPECT_EQ(f.Header.HeaderModified, 1);
        EXPECT_EQ(f.Header.Descriptors[SysDeletedIndex].Name, "Sys Deleted");
        if (c.Check) c.Check(f);
        if (c.RepairedOpens) {
            EXPECT_EQ(CodeOf([&] { f.CheckHeader(); }), 0);
            EXPECT_EQ(Verify(f, true, result), Lines{});
            EXPECT_TRUE(result);
        }
        file.reset();
        EngineFileList()->DeleteFile("ORDERS.IDX", true);
    }
}

TEST_F(IndexFileVerifyTest, ASoundFileOnDiskGivesNoLineAndStaysByteIdentical) {
    {
        TIndexFile& f = Create("D:\\ORDERS.IDX", false);
        f.WriteHeader(false);
        f.CloseFile();
    }
    const std::string bytes = ReadNativeFile(root / "ORDERS.IDX");
    file = std::make_unique<TIndexFile>(&table);
    file->FileName = "D:\\ORDERS.IDX";
    file->OpenFile();
    bool result = false;
    EXPECT_EQ(Verify(*file, true, result), Lines{});
    EXPECT_TRUE(result);
    file->WriteHeader(false);
    file->CloseFile();
    EXPECT_TRUE(ReadNativeFile(root / "ORDERS.IDX") == bytes);

    // A record-order table: the internal primary index is sound too.
    file = std::make_unique<TIndexFile>(&table);
    file->FileName = "REC.IDX";
    file->InMemory = true;
    file->CreateIndexFile();
    file->SetPrimaryIndexDesc(TIndexDescriptor{});
    file->AddIndexDesc(Index("ByName", {1}, 26));
    EXPECT_EQ(Verify(*file, true, result), Lines{});
    EXPECT_TRUE(result);
    EXPECT_EQ(Verify(*file, false, result), Lines{});
    EXPECT_TRUE(result);
    EXPECT_TRUE(file->GetInternalPrimaryIndex());
    EXPECT_EQ(CodeOf([&] { file->CheckHeader(); }), 0);
}

}  // namespace
}  // namespace dbengine

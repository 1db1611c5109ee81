// A stored file definition turned into the file report's parameter block: every stored criterion
// code, the values and their conversions, columns and sort keys, and the duplicate and unique
// definitions that pass only their options and columns.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/core/DateTime.h"
#include "framework/data/Fields.h"
#include "reports/custom/CustomFileReportDefs.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/testsupport/CustomFileReportFixture.h"

namespace reports {
namespace {

using namespace framework;

class CustomFileDefinitionMapping : public testsupport::CustomFileReportTest {
protected:
    // The block a fresh report window gets from each definition of Names.
    template <class Check>
    void MappedEach(const std::vector<std::string>& Names, Check&& Verify) {
        auto defs = Table("CustomFileReportDefs");
        defs->Open();
        // One window for all (making one is slow); the arrays start empty for each definition.
        auto* report = TCustomForm::Create<TFileReportScreenForm>(Application);
        for (const std::string& name : Names) {
            ASSERT_TRUE(defs->FindKey({Variant(name)})) << name;
            report->CatalogName = "OTHER";
            report->Op = {};
            report->ColumnPos = {};
            report->SortSpec = {};
            FillFileReportFromDefinition(*defs, *report);
            Verify(name, *report, *defs);
        }
        report->Free();
        defs->Close();
    }
    template <class Check>
    void Mapped(const std::string& Name, Check&& Verify) {
        MappedEach({Name}, [&](const std::string&, TFileReportScreenForm& R, TDataSet& D) { Verify(R, D); });
    }
};

TEST_F(CustomFileDefinitionMapping, EveryStoredCriterionCodeGivesItsOperator) {
    struct TCase {
        int Item;
        std::vector<int> OpByCode;  // the operator of stored code 0, 1, 2, ...
    };
    const TCase cases[] = {
        {1, {0, 0, 1, 2}},
        {2, {0, 0, 1, 2}},
        {3, {0, 0, 1, 2}},
        {4, {0, 0, 1, 2}},
        {5, {0, 0, 1, 2, 3, 4, 5, 6}},
        {6, {0, 0, 1, 2, 3, 4, 5, 6}},
        {9, {0, 0, 1, 2}},
        {11, {0, 0, 1, 2, 10, 11, 12, 13}},
    };
    std::vector<std::pair<std::string, TDefinitionFields>> defs;
    std::map<std::string, std::pair<int, int>> expected;  // name: item, operator
    std::vector<std::string> names;
    for (const TCase& c : cases) {
        for (size_t code = 0; code < c.OpByCode.size(); ++code) {
            const std::string name = "Item " + std::to_string(c.Item) + " code " + std::to_string(code);
            defs.push_back({name,
                            {{catalog::NumberedName("MatchCriteria", c.Item), std::to_string(code)},
                             {"DateModified", "5/7/2001"}}});
            expected[name] = {c.Item, c.OpByCode[code]};
            names.push_back(name);
        }
    }
    AddDefinitions(defs);
    MappedEach(names, [&](const std::string& Name, TFileReportScreenForm& R, TDataSet&) {
        const auto [wantItem, wantOp] = expected[Name];
        for (int item = 1; item <= kReportItems; ++item)
            EXPECT_EQ(R.Op[size_t(item - 1)], item == wantItem ? wantOp : 0) << Name << ", item " << item;
    });
}

TEST_F(CustomFileDefinitionMapping, ValuesColumnsAndSortKeysPassConverted) {
    AddDefinition("Everything",
                  {{"FileName", "*.TXT"},         {"VolumeLabel", "DISK?"},
                   {"FolderName", "\\DOCS*"},     {"ArchiveID", "PACK.ZIP"},
                   {"FileSize", "9999999999999"}, {"DateModified", "5/7/2001"},
                   {"CategoryCode", "PIC"},       {"Comment", "first line\r\nsecond line\nthird"},
                   {"MatchesRequired", "3"},      {"ColumnCriteria01", "2"},
                   {"ColumnCriteria03", "5"},     {"ColumnCriteria11", "1"},
                   {"ColumnCriteria12", "7"},     {"SortColumnSpec02", "1"},
                   {"SortCriteriaSpec02", "2"},   {"SortColumnSpec12", "2"},
                   {"SortCriteriaSpec12", "1"},   {"SortColumnSpec09", "3"},
                   {"SortColumnSpec07", "4"},     {"SortCriteriaSpec07", "1"},
                   {"SortColumnSpec11", "5"},     {"SortCriteriaSpec11", "1"}});
    Mapped("Everything", [](TFileReportScreenForm& R, TDataSet&) {
        EXPECT_EQ(R.ReportTitle, "Everything");
        EXPECT_EQ(R.CatalogName, "") << "the report runs on the current catalog";
        EXPECT_EQ(R.FileNameSpec, "*.TXT");
        EXPECT_EQ(R.VolumeLabelSpec, "DISK?");
        EXPECT_EQ(R.FolderNameSpec, "\\DOCS*");
        EXPECT_EQ(R.ArchiveIDSpec, "PACK.ZIP");
        EXPECT_EQ(R.FileSizeValue, 9999999999999LL);
        EXPECT_EQ(R.DateValue, EncodeDate(2001, 5, 7));
        EXPECT_EQ(R.CategoryCodeValue, "PIC");
        EXPECT_EQ(R.CommentText, "FIRST LINE");
        EXPECT_EQ(R.MatchesRequired, 3);
        const std::array<uint8_t, kReportItems> columns{2, 0, 5, 0, 0, 0, 0, 0, 0, 0, 1, 0};
        EXPECT_EQ(R.ColumnPos, columns) << "item 12 has no column";
        // Keys of items 1 to 6, 9 and 12 only.
        const std::vector<std::pair<int, TSortKeySpec>> keys{{2, {1, 2}}, {9, {3, 0}}, {12, {2, 1}}};
        for (int item = 1; item <= kReportItems; ++item) {
            TSortKeySpec want{};
            for (const auto& [i, k] : keys)
                if (i == item) want = k;
            EXPECT_EQ(R.SortSpec[size_t(item - 1)].Priority, want.Priority) << item;
            EXPECT_EQ(R.SortSpec[size_t(item - 1)].Direction, want.Direction) << item;
        }
        EXPECT_FALSE(R.OnlyDuplicate || R.OnlyUnique || R.UseFileSize || R.UseVersions);
    });
}

TEST_F(CustomFileDefinitionMapping, BlankValuesLeaveTheDefaults) {
    AddDefinition("Blank", {{"FileSize", ""}, {"DateModified", ""}, {"Comment", "\r\nsecond"}});
    AddDefinition("Carriage", {{"Comment", "one\rtwo"}, {"CategoryCode", "ABCDEF"}});
    Mapped("Blank", [](TFileReportScreenForm& R, TDataSet&) {
        EXPECT_EQ(R.FileSizeValue, 0);
        EXPECT_EQ(R.DateValue, 0);
        EXPECT_EQ(R.CommentText, "");
    });
    Mapped("Carriage", [](TFileReportScreenForm& R, TDataSet&) {
        EXPECT_EQ(R.CommentText, "ONE");
        EXPECT_EQ(R.CategoryCodeValue, "ABCDEF");
    });
}

TEST_F(CustomFileDefinitionMapping, DuplicateAndUniqueDefinitionsPassOnlyOptionsAndColumns) {
    struct TCase {
        const char* Name;
        const char* Flag;
        const char* Option;
    };
    for (const TCase& c :
         {TCase{"Dups", "OnlyDuplicate", "UseFileSize"}, TCase{"Uniques", "OnlyUnique", "UseVersions"}}) {
        AddDefinition(c.Name, {{c.Flag, "True"},
                               {c.Option, "True"},
                               {"FileName", "*.TXT"},
                               {"MatchCriteria01", "1"},
                               {"MatchCriteria05", "4"},
                               {"FileSize", "100"},
                               {"Comment", "words"},
                               {"MatchCriteria11", "2"},
                               {"ColumnCriteria01", "4"},
                               {"ColumnCriteria02", "1"},
                               {"ColumnCriteria06", "3"},
                               {"SortColumnSpec01", "1"},
                               {"SortCriteriaSpec01", "1"}});
        Mapped(c.Name, [&](TFileReportScreenForm& R, TDataSet& Def) {
            EXPECT_FALSE(DefinitionPrompts(Def)) << "a stored Prompt is not asked for";
            EXPECT_EQ(R.OnlyDuplicate, std::string(c.Flag) == "OnlyDuplicate");
            EXPECT_EQ(R.OnlyUnique, std::string(c.Flag) == "OnlyUnique");
            EXPECT_EQ(R.UseFileSize, std::string(c.Option) == "UseFileSize");
            EXPECT_EQ(R.UseVersions, std::string(c.Option) == "UseVersions");
            EXPECT_EQ(R.ReportTitle, c.Name);
            const std::array<uint8_t, kReportItems> columns{4, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0};
            EXPECT_EQ(R.ColumnPos, columns);
            EXPECT_EQ(R.Op, (std::array<uint8_t, kReportItems>{}));
            EXPECT_EQ(R.FileNameSpec, "");
            EXPECT_EQ(R.FileSizeValue, 0);
            EXPECT_EQ(R.CommentText, "");
            EXPECT_EQ(R.SortSpec[0].Priority, 0);
        });
    }
}

TEST_F(CustomFileDefinitionMapping, OnlyAStoredPromptOfACriterionItemAsksAtRun) {
    AddDefinition("None");
    AddDefinition("Category", {{"MatchCriteria09", "1"}});
    AddDefinition("Comment", {{"MatchCriteria11", "1"}});
    // Items 7, 8, 10 and 12 carry no criterion; a stray 1 there asks nothing.
    AddDefinition("Stray", {{"MatchCriteria07", "1"}, {"MatchCriteria12", "1"}});
    for (auto [name, prompts] : {std::pair{"None", false}, std::pair{"Category", true},
                                 std::pair{"Comment", true}, std::pair{"Stray", false}})
        Mapped(name, [&](TFileReportScreenForm&, TDataSet& Def) {
            EXPECT_EQ(DefinitionPrompts(Def), prompts) << name;
        });
}

}  // namespace
}  // namespace reports

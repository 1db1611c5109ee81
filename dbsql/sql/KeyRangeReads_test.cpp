// Statements whose WHERE clause restricts an indexed column read that index's range only: the
// rows must be exactly those the whole table gives, and a change of the range's own keys must
// meet every row once.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbsql/testsupport/SqlTableTest.h"

namespace dbsql {
namespace {

using dbengine::testsupport::Field;
using dbengine::testsupport::Index;

class KeyRangeReadsTest : public SqlTableTest {
protected:
    void SetUp() override {
        SqlTableTest::SetUp();
        // Labels in several spellings under a case-insensitive index, numbers with repeats
        // under a plain one, and the same labels under a case-sensitive index in a copy.
        dbengine::TIndexDescriptor byLabel = Index("ByLabel", {2});
        byLabel.CaseInsensitive = 1;
        const std::vector<std::vector<TCell>> rows = {
            {"1", "rep1", "1"}, {"2", "REP2", "2"},         {"3", "Rep3", "2"}, {"4", "repx", "3"},
            {"5", "re", "2"},   {"6", "rf", "1"},           {"7", "ab", "2"},   {"8", std::nullopt, "2"},
            {"9", "Rep3", "4"}, {"10", "rep", std::nullopt}};
        for (const char* name : {"K_CAT", "S_CAT"})
            MakeTable(name,
                      {Field(1, "Id", dbengine::fldInteger), Field(2, "Label", dbengine::fldString, 10),
                       Field(3, "Num", dbengine::fldInteger)},
                      Index("", {1}, true),
                      {std::string(name) == "K_CAT" ? byLabel : Index("ByLabel", {2}), Index("ByNum", {3})},
                      rows);
    }

    // The Id column of a statement's rows, in ascending order.
    std::vector<int> Ids(const std::string& sql) {
        std::vector<int> ids;
        for (const std::string& row : Run(sql)) ids.push_back(std::stoi(row.substr(0, row.find('|'))));
        std::sort(ids.begin(), ids.end());
        return ids;
    }
};

TEST_F(KeyRangeReadsTest, RangedConditionsGiveTheRowsOfTheWholeTable) {
    struct TCase {
        const char* Where;
        std::vector<int> Ids;
    };
    const TCase cases[] = {
        {"Label LIKE 'rep%'", {1, 2, 3, 4, 9, 10}},
        {"Label LIKE 'REP%' AND Num = 2", {2, 3}},
        {"Num = 2 AND Label LIKE 'rep%'", {2, 3}},
        {"Label LIKE 'rep3%'", {3, 9}},
        {"Label LIKE 're%%'", {1, 2, 3, 4, 5, 9, 10}},
        {"Label LIKE 'r_p%'", {1, 2, 3, 4, 9, 10}},
        {"Label LIKE 'rep%x'", {4}},
        // NOT over a NULL comparison holds in this dialect.
        {"Label LIKE 'rep%' AND NOT (Num = 2)", {1, 4, 9, 10}},
        {"Num = 2", {2, 3, 5, 7, 8}},
        {"Num = 2 OR Label LIKE 'ab%'", {2, 3, 5, 7, 8}},
        {"Label = 'Rep3'", {3, 9}},
        {"Label = 'zzz'", {}},
        {"Label LIKE 'q%'", {}},
        // Patterns no range serves: the filter matches each record's text, any letter case,
        // a NULL text never.
        {"Label LIKE '%EP%'", {1, 2, 3, 4, 9, 10}},
        {"NOT (NOT (Label LIKE '%EP%'))", {1, 2, 3, 4, 9, 10}},
        {"Label LIKE '%3'", {3, 9}},
        {"Label LIKE '_B'", {7}},
        {"Label LIKE '%'", {1, 2, 3, 4, 5, 6, 7, 9, 10}},
        {"Label LIKE '%r%' AND Num = 1", {1, 6}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Ids(std::string("Select * From \"K_CAT\" Where ") + c.Where), c.Ids) << c.Where;
        // The case-sensitive index holds the spellings apart: no range, the same rows.
        EXPECT_EQ(Ids(std::string("Select * From \"S_CAT\" Where ") + c.Where), c.Ids) << c.Where;
    }
    // Counted, grouped and joined, the driving table read through its range.
    EXPECT_EQ(Run("Select COUNT(*) From \"K_CAT\" Where Label LIKE 'rep%'"), (TRows{"6"}));
    EXPECT_EQ(Run("Select Num, COUNT(*) From \"K_CAT\" Where Label LIKE 'rep%' Group By Num"),
              (TRows{"NULL|1", "1|1", "2|2", "3|1", "4|1"}));
    EXPECT_EQ(Ids("Select K.Id From \"K_CAT\" K, \"S_CAT\" S Where K.Label LIKE 'rep%' And K.Id = S.Num"),
              (std::vector<int>{1, 1, 2, 2, 2, 2, 2, 3, 4}));
    // The statement runs again with its range placed anew.
    TQueryStatement statement(Database);
    statement.PrepareSQL("Select * From \"K_CAT\" Where Label LIKE 'rep%'");
    for (int run = 0; run < 2; ++run) EXPECT_EQ(ReadRows(*statement.ExecuteSQL()).size(), 6u);
}

TEST_F(KeyRangeReadsTest, AnOrderThatAnIndexGivesComesThroughTheIndex) {
    struct TCase {
        const char* Sql;
        TRows Rows;
    };
    const TCase cases[] = {
        {"Select Num From \"K_CAT\" Order By Num", {"NULL", "1", "1", "2", "2", "2", "2", "2", "3", "4"}},
        {"Select Num From \"K_CAT\" Order By Num DESC",
         {"4", "3", "2", "2", "2", "2", "2", "1", "1", "NULL"}},
        {"Select Num From \"K_CAT\" Order By Num Top 3", {"NULL", "1", "1"}},
        {"Select Num From \"K_CAT\" Where Num = 2 Order By Num", {"2", "2", "2", "2", "2"}},
        {"Select Label From \"K_CAT\" Where Label LIKE 'r%' Order By Label NOCASE",
         {"re", "rep", "rep1", "REP2", "Rep3", "Rep3", "repx", "rf"}},
        {"Select Label From \"K_CAT\" Where Num = 2 Order By Label NOCASE",
         {"NULL", "ab", "re", "REP2", "Rep3"}},
    };
    for (const TCase& c : cases) EXPECT_EQ(Run(c.Sql), c.Rows) << c.Sql;
}

TEST_F(KeyRangeReadsTest, ChangesThroughARangeMeetEachRowOnce) {
    // The new label stays inside the range it is read through: each row is changed once.
    EXPECT_EQ(Execute("Update \"K_CAT\" Set Label = 'repz' Where Label LIKE 'rep%'"), 6);
    EXPECT_EQ(Ids("Select * From \"K_CAT\" Where Label = 'repz'"), (std::vector<int>{1, 2, 3, 4, 9, 10}));
    // A number moved past the range's end, and one moved before its start.
    EXPECT_EQ(Execute("Update \"K_CAT\" Set Num = Num + 5 Where Num = 2"), 5);
    EXPECT_EQ(Execute("Update \"K_CAT\" Set Num = 0 Where Num = 1"), 2);
    EXPECT_EQ(Run("Select Num, COUNT(*) From \"K_CAT\" Group By Num"),
              (TRows{"NULL|1", "0|2", "3|1", "4|1", "7|5"}));
    // A delete through the range leaves the rest.
    EXPECT_EQ(Execute("Delete From \"K_CAT\" Where Label LIKE 'REP%' And Num = 7"), 2);
    EXPECT_EQ(Ids("Select * From \"K_CAT\""), (std::vector<int>{1, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_FALSE(Database->InTransaction);
}

}  // namespace
}  // namespace dbsql

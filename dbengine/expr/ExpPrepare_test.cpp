#include "dbengine/expr/ExpPrepare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbengine/expr/ValueTypes.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/ExprTable.h"
#include "dbengine/testsupport/TokenCountingTest.h"

namespace dbengine {
namespace {

using testing::ExprRow;

class PrepareTest : public testsupport::TokenCountingTest {
protected:
    TExpToken* Prepared(const std::string& text, bool caseInsensitive = false, bool noPartial = false) {
        TExpTreeHolder tree(Table.Parse(text, true));
        return PrepareExpTree(tree.get(), &Table, 0, 0, caseInsensitive, noPartial);
    }
    bool Matches(const TExpToken* tree, const ExprRow& row) {
        auto record = Table.Record(row);
        TExpTreeHolder v(EvaluateExpToken(tree, record.data(), &Table, 0, 0));
        return ExpIntegerValue(v.get()) != 0;
    }

    testing::ExprTable Table;
};

TEST_F(PrepareTest, WildcardAndCaseRewrites) {
    struct {
        const char* Text;
        bool CaseInsensitive, NoPartial;
        uint8_t Kind, Code;
        int32_t CompareLength;
        const char* Constant;
    } cases[] = {
        {"Name = 'abc'", true, false, tkStringCompare, ecEqual, 0, "abc"},
        {"Name = 'abc'", false, false, tkBinary, ecEqual, 0, "abc"},
        {"Name = 'ab*'", false, false, tkStringCompare, ecEqual, 2, "ab"},
        {"Name = 'ab**'", false, false, tkStringCompare, ecEqual, 2, "ab"},
        {"Name <> 'ab*'", false, false, tkStringCompare, ecNotEqual, 2, "ab"},
        {"Name = 'ab***'", false, false, tkBinary, ecEqual, 0, "ab***"},
        {"Name = 'ab***'", true, false, tkStringCompare, ecEqual, 0, "ab***"},
        {"Name = 'a*b'", false, false, tkBinary, ecEqual, 0, "a*b"},
        {"Name = 'ab*'", false, true, tkBinary, ecEqual, 0, "ab*"},
        {"Name = 'ab*'", true, true, tkStringCompare, ecEqual, 0, "ab*"},
        {"Name LIKE 'abc%'", false, false, tkStringCompare, ecEqual, 3, "abc"},
        {"Name NOT LIKE 'abc%%'", false, false, tkStringCompare, ecNotEqual, 3, "abc"},
        {"Name LIKE 'a%c'", false, false, tkPredicate, ecLike, 0, nullptr},
        {"Name LIKE 'a_c%'", false, false, tkPredicate, ecLike, 0, nullptr},
        // No characters left: "not NULL" / "NULL", not a comparison with the empty text.
        {"Name LIKE '%'", false, false, tkBinary, ecNotEqual, 0, nullptr},
        {"Name NOT LIKE '%'", false, false, tkBinary, ecEqual, 0, nullptr},
        {"Name = '*'", false, false, tkBinary, ecNotEqual, 0, nullptr},
        {"Name = '**'", false, false, tkBinary, ecNotEqual, 0, nullptr},
    };
    for (const auto& c : cases) {
        TExpTreeHolder t(Prepared(c.Text, c.CaseInsensitive, c.NoPartial));
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(t->Kind, c.Kind);
        EXPECT_EQ(t->Code, c.Code);
        EXPECT_EQ(t->CompareLength, c.CompareLength);
        if (c.Constant != nullptr) {
            EXPECT_EQ(ExpTextValue(t->Right), c.Constant);
        }
        if (c.Kind == tkStringCompare) {
            EXPECT_EQ(t->CaseInsensitive,
                      c.CaseInsensitive || std::string(c.Text).find("LIKE") != std::string::npos);
        }
    }
    // A constant on the left stays as it is.
    TExpTreeHolder swapped(Prepared("'ab*' = Name"));
    EXPECT_EQ(swapped->Kind, tkBinary);
}

TEST_F(PrepareTest, FoldedConstantsKeepTheirValue) {
    TExpTreeHolder upper(Prepared("UPPER(Name) = UPPER('abc')"));
    EXPECT_EQ(upper->Right->Kind, tkConstant);
    EXPECT_EQ(ExpTextValue(upper->Right), "ABC");
    TExpTreeHolder bcd(Prepared("Price = 1"));
    EXPECT_EQ(bcd->Right->DataType, fldBCD);
    EXPECT_EQ(ExpBcdAmount(bcd->Right), 10000);
    EXPECT_EQ(bcd->Right->Scale, 2);
    TExpTreeHolder stamp(Prepared("Stamp >= CAST('2020-05-05' AS DATE)"));
    EXPECT_EQ(stamp->Right->DataType, fldTimestamp);
    // Values that the column's type cannot hold stay in their own type.
    TExpTreeHolder small(Prepared("Qty = 70000"));
    EXPECT_EQ(small->Right->DataType, fldInteger);
    TExpTreeHolder whole(Prepared("Num > 2.0"));
    EXPECT_EQ(whole->Right->DataType, fldInteger);
    TExpTreeHolder part(Prepared("Num > 2.7"));
    EXPECT_EQ(part->Right->DataType, fldFloat);
}

// The prepared tree of each expression matches exactly the rows its source tree matches.
TEST_F(PrepareTest, PreparationNeverChangesWhichRowsMatch) {
    std::vector<ExprRow> rows;
    const char* names[] = {"abc", "ABC", "ab", "abd", "a*b", "ab*", "a_c", "axc", "", "b"};
    int i = 0;
    for (const char* n : names) {
        ExprRow r;
        if (*n != 0) r.Name = n;
        r.Qty = static_cast<int16_t>(i * 1000 - 4000);
        r.Num = i - 3;
        r.Rate = i * 0.7;
        r.Price = i * 2500;
        r.Day = EncodeDayNumber(2020, 5, 1 + i);
        r.Stamp = static_cast<double>(EncodeDayNumber(2020, 5, 3)) * MSecsPerDay + i * 3600000;
        rows.push_back(r);
        ++i;
    }
    rows[3].Qty = 4464;  // 70000 cut to 16 bits
    const char* texts[] = {
        "Name LIKE '%'",
        "Name NOT LIKE '%'",
        "Name = '*'",
        "Name <> '*'",
        "Name = 'ab*'",
        "Name = 'ab**'",
        "Name = 'ab***'",
        "Name LIKE 'ab%'",
        "Name LIKE 'AB%'",
        "Name NOT LIKE 'ab%'",
        "Name LIKE 'a_c%'",
        "Name LIKE 'a_c'",
        "Qty = 70000",
        "Qty <> 70000",
        "Num < 2.7",
        "Num > 2.7",
        "Num = 2.0",
        "Num IN (1.5, 2, 3)",
        "Num BETWEEN 0.5 AND 2.5",
        "Day < CAST('2020-05-05 12:00' AS TIMESTAMP)",
        "Stamp >= CAST('2020-05-03' AS DATE)",
        "Price > 0.3",
        "Price = 0.25",
        "Rate > 1",
        "Price + 1 > 2",
        "Qty IN (70000, -4000)",
        "Name IN ('abc', 'b')",
        "UPPER(Name) = UPPER('abc')",
    };
    for (const char* text : texts) {
        // As the SQL layer prepares: case kept, "*" taken literally.
        TExpTreeHolder source(Table.Parse(text, true));
        TExpTreeHolder prepared(PrepareExpTree(source.get(), &Table, 0, 0, false, true));
        for (size_t r = 0; r < rows.size(); ++r)
            EXPECT_EQ(Matches(prepared.get(), rows[r]), Matches(source.get(), rows[r]))
                << text << " row " << r;
    }
    // With partial compare, a trailing "*" asks for a prefix; "*" alone for any value.
    struct {
        const char* Text;
        const char* Expected;  // one flag per row
    } partial[] = {{"Name = '*'", "1111111101"},
                   {"Name <> '*'", "0000000010"},
                   {"Name = 'ab*'", "1011010000"},
                   {"Name = 'ab**'", "1011010000"},
                   {"Name <> 'ab*'", "0100101111"}};
    for (const auto& p : partial) {
        TExpTreeHolder prepared(Prepared(p.Text));
        std::string got;
        for (const ExprRow& r : rows) got += Matches(prepared.get(), r) ? '1' : '0';
        EXPECT_EQ(got, p.Expected) << p.Text;
    }
}

TEST_F(PrepareTest, CaseInsensitiveOptionMatchesOtherCase) {
    TExpTreeHolder t(Prepared("Name = 'abc'", true));
    ExprRow upper;
    upper.Name = "ABC";
    EXPECT_TRUE(Matches(t.get(), upper));
    TExpTreeHolder plain(Prepared("Name = 'abc'"));
    EXPECT_FALSE(Matches(plain.get(), upper));
}

TEST_F(PrepareTest, WildcardRunTest) {
    struct {
        const char* Text;
        bool Expected;
    } cases[] = {{"", false},    {"*", true},      {"**", true},   {"***", false},  {"ab*", true},
                 {"ab**", true}, {"ab***", false}, {"a*b", false}, {"a*b*", false}, {"abc", false}};
    for (const auto& c : cases) EXPECT_EQ(EndsWithWildcardRun(0, 0, c.Text, '*'), c.Expected) << c.Text;
}

TEST_F(PrepareTest, FoldingFailureGivesEveryTokenBack) {
    Table.ThrowOn = "Num";
    TExpTreeHolder tree(Table.Parse("Name = 'a' AND Qty = LASTAUTOINC('T') AND Num = 1", true));
    // LASTAUTOINC is folded; the column read is not (it belongs to evaluation), so preparing
    // works, and evaluating then fails without stranding tokens.
    TExpTreeHolder prepared(PrepareExpTree(tree.get(), &Table, 0, 0, false, false));
    EXPECT_EQ(prepared->Left->Right->Right->Kind, tkConstant);
    ExprRow row;
    auto record = Table.Record(row);
    EXPECT_THROW(EvaluateExpToken(prepared.get(), record.data(), &Table, 0, 0), std::runtime_error);
}

}  // namespace
}  // namespace dbengine

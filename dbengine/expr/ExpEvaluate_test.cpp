#include "dbengine/expr/ExpEvaluate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbengine/expr/TextForms.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/ExprTable.h"
#include "dbengine/testsupport/FakeQuery.h"
#include "dbengine/testsupport/TokenCountingTest.h"

namespace dbengine {
namespace {

using testing::ExprRow;

int32_t DayNo(int y, int m, int d) {
    return EncodeDayNumber(y, m, d);
}

// A value as text: NULL, or by type.
std::string Show(const TExpToken* v) {
    if (v->IsNull) return "NULL";
    switch (v->DataType) {
        case fldString:
            return "'" + ExpTextValue(v) + "'";
        case fldBlob:
            return "memo'" + ExpTextValue(v) + "'";
        case fldBoolean:
            return ExpIntegerValue(v) != 0 ? "true" : "false";
        case fldSmallInt:
        case fldWord:
        case fldInteger:
        case fldLargeInt:
            return std::to_string(ExpIntegerValue(v));
        case fldFloat:
            return FloatToText(ExpFloatValue(v));
        case fldBCD:
            return "bcd" + CurrencyToText(ExpBcdAmount(v)) + "/" + std::to_string(v->Scale) + "/" +
                   std::to_string(v->Data[1] & 0x3F);
        case fldDate:
            return DateToText(static_cast<int32_t>(ExpIntegerValue(v)));
        case fldTime:
            return std::to_string(ExpIntegerValue(v)) + "ms";
        case fldTimestamp:
            return DateTimeToText(ExpFloatValue(v));
        default:
            return "type" + std::to_string(v->DataType);
    }
}

class EvaluateTest : public testsupport::TokenCountingTest {
protected:
    std::string Value(const std::string& text, const ExprRow& row = {}) {
        TExpTreeHolder tree(Table.Parse(text, false));
        auto record = Table.Record(row);
        TExpTreeHolder v(EvaluateExpToken(tree.get(), record.data(), &Table, 0, 0));
        return Show(v.get());
    }
    bool Matches(const std::string& text, const ExprRow& row) {
        TExpTreeHolder tree(Table.Parse(text, true));
        auto record = Table.Record(row);
        TExpTreeHolder v(EvaluateExpToken(tree.get(), record.data(), &Table, 0, 0));
        return ExpIntegerValue(v.get()) != 0;
    }

    testing::ExprTable Table;
};

TEST_F(EvaluateTest, NullRulesOfTheOperators) {
    ExprRow nulls;  // every field NULL
    ExprRow five;
    five.Num = 5;
    five.Name = "b";
    struct {
        const char* Text;
        const ExprRow& Row;
        bool Expected;
    } cases[] = {
        {"Num = Qty", nulls, true},      {"Num <> Qty", nulls, false},     {"Num = 5", nulls, false},
        {"Num <> 5", nulls, true},       {"Num > 5", nulls, false},        {"Num < 5", nulls, false},
        {"Num >= Qty", nulls, true},     {"Num <= Qty", nulls, true},      {"Num > Qty", nulls, false},
        {"Num = Qty", five, false},      {"Num <> Qty", five, true},       {"Name = 'a'", nulls, false},
        {"Name <> 'a'", nulls, true},    {"Name < 'a'", nulls, true},      {"Name + 'a' = 'a'", nulls, true},
        {"Name = Memo", nulls, true},    {"Name IS NULL", nulls, true},    {"Name IS NOT NULL", nulls, false},
        {"Name IS NULL", five, false},   {"Num + 1 IS NULL", nulls, true}, {"Num * 2 = 10", five, true},
        {"Num / 0 IS NULL", five, true}, {"Num / 2 IS NULL", five, false}, {"Price / 0 IS NULL", nulls, true},
        {"NOT Flag", nulls, true},       {"Flag OR Num = 5", five, true},  {"Flag AND Num = 5", five, false},
        {"-Num IS NULL", nulls, true},   {"-Num = -5", five, true},
    };
    for (const auto& c : cases) EXPECT_EQ(Matches(c.Text, c.Row), c.Expected) << c.Text;
}

TEST_F(EvaluateTest, ArithmeticAcrossTypes) {
    ExprRow row;
    row.Qty = 30000;
    row.Num = 7;
    row.Rate = 0.25;
    row.Price = 12500;  // 1.25
    row.Cost = 1;       // 0.0001
    row.Big = 5000000000LL;
    row.Day = DayNo(2024, 3, 10);
    row.Clock = 23 * 3600000;
    row.Stamp = static_cast<double>(DayNo(2024, 3, 10)) * MSecsPerDay + 3600000;
    struct {
        const char* Text;
        const char* Expected;
    } cases[] = {
        {"Qty + Qty", "60000"},
        {"Num / 2", "3.5"},
        {"Num / 0", "NULL"},
        {"Big + 1", "5000000001"},
        {"Price + 1", "bcd2.25/2/2"},
        {"1 + Price", "bcd2.25/2/2"},
        // Both decimals survive: the sum is built at the larger scale.
        {"Price + Cost", "bcd1.2501/4/4"},
        {"Price * 2", "bcd2.5/2/2"},
        {"Price / 0", "NULL"},
        {"Price - Rate", "1"},
        {"Rate - Price", "-1"},
        {"Price * Rate", "0.3125"},
        {"Day - 7", "2024-03-03"},
        {"Day - (Day - 7)", "7"},
        {"Clock + 3600000", "86400000ms"},
        {"Stamp + 1", "2024-03-11 01:00"},
        {"Stamp - Day", "0"},
        {"Stamp - Clock", "-79200000"},
        {"-Price", "bcd-1.25/2/2"},
    };
    for (const auto& c : cases) EXPECT_EQ(Value(c.Text, row), c.Expected) << c.Text;
    ExprRow midnight;
    midnight.Day = DayNo(2024, 3, 10);
    midnight.Stamp = static_cast<double>(DayNo(2024, 3, 10)) * MSecsPerDay;
    EXPECT_TRUE(Matches("Stamp = Day", midnight));
    EXPECT_TRUE(Matches("Day = Stamp", midnight));
    midnight.Stamp = *midnight.Stamp + 1;
    EXPECT_FALSE(Matches("Stamp = Day", midnight));
    EXPECT_TRUE(Matches("Stamp > Day", midnight));
}

TEST_F(EvaluateTest, Functions) {
    ExprRow row;
    row.Name = "abc";
    row.Day = DayNo(2023, 1, 1);  // a Sunday
    row.Clock = 13 * 3600000 + 5 * 60000 + 9000;
    row.Rate = -2.5;
    row.Price = -12550;  // -1.255 stored with 2 places is -1.25
    row.Memo = "Some memo text";
    ExprRow nulls;
    const std::string a150(150, 'a'), b150(150, 'b');
    struct {
        std::string Text;
        const ExprRow& Row;
        std::string Expected;
    } cases[] = {
        {"SUBSTRING('abcdef' FROM 2 FOR 3)", row, "'bcd'"},
        {"SUBSTRING('abcdef' FROM 0 FOR 2)", row, "'ab'"},
        {"SUBSTRING('abcdef' FROM 10)", row, "NULL"},
        {"SUBSTRING('abcdef' FROM 2 FOR 0)", row, "NULL"},
        {"SUBSTRING('abcdef' FROM 3)", row, "'cdef'"},
        {"SUBSTRING(Memo FROM 6 FOR 4)", row, "memo'memo'"},
        {"REPLACE('a' WITH 'bb' IN 'banana')", row, "'bbbnbbnbb'"},
        {"REPLACE('x' WITH 'y' IN 'abc')", row, "'abc'"},
        {"REPLACE('abc' WITH '' IN Name)", row, "NULL"},
        {"POS('an' IN 'banana')", row, "2"},
        {"OCCURS('an' IN 'banana')", row, "2"},
        {"OCCURS('aa' IN 'aaaa')", row, "2"},
        {"POS('x' IN 'banana')", row, "0"},
        {"POS('an' IN Name)", nulls, "NULL"},
        {"POS(Name IN 'xxabcxx')", row, "3"},
        {"OCCURS(Name IN 'abcabc')", row, "2"},
        {"TRIM(BOTH '*' FROM '**ab**')", row, "'ab'"},
        {"TRIM(LEADING '*' FROM '**ab**')", row, "'ab**'"},
        {"TRIM(TRAILING '*' FROM '**ab**')", row, "'**ab'"},
        {"TRIM(LEADING ' ' FROM '   ')", row, "NULL"},
        {"LENGTH(Name)", row, "3"},
        {"LENGTH(Name)", nulls, "NULL"},
        {"UPPER(Name)", row, "'ABC'"},
        {"LOWER('AbC')", row, "'abc'"},
        {"EXTRACT(DAYOFWEEK FROM Day)", row, "7"},
        {"EXTRACT(WEEK FROM Day)", row, "52"},
        {"EXTRACT(YEAR FROM Clock)", row, "0"},
        {"EXTRACT(HOUR FROM Clock)", row, "13"},
        {"EXTRACT(MINUTE FROM Clock)", row, "5"},
        {"EXTRACT(SECOND FROM Clock)", row, "9"},
        {"EXTRACT(HOUR FROM Day)", row, "0"},
        {"EXTRACT(DAYOFWEEK FROM Clock)", row, "6"},
        {"EXTRACT(YEAR FROM Day)", nulls, "NULL"},
        {"ROUND(2.5)", row, "3"},
        {"ROUND(-2.5)", row, "-3"},
        {"ROUND(Rate)", row, "-3"},
        {"ROUND(2.345 TO 2)", row, "2.35"},
        {"ROUND(Price TO 6)", row, "bcd-1.25/2/2"},
        {"ROUND(Price TO 1)", row, "bcd-1.3/2/2"},
        {"ABS(Price)", row, "bcd1.25/2/2"},
        {"ABS(Rate)", row, "2.5"},
        {"ABS(Num)", nulls, "NULL"},
        {"IF(Flag THEN 'yes' ELSE 'no')", nulls, "'no'"},
        {"IFNULL(Num THEN 1 ELSE 2)", nulls, "1"},
        {"IFNULL(Name THEN 'x' ELSE Name)", row, "'abc'"},
        {"COALESCE(Num, Qty, 3)", nulls, "3"},
        {"COALESCE('" + a150 + "' + '" + b150 + "', 'short')", row, "'" + a150 + std::string(100, 'b') + "'"},
        {"CAST(Qty AS INTEGER)", nulls, "NULL"},
        {"CAST('12' AS INTEGER) + 1", row, "13"},
        {"TEXTSEARCH('memo' IN Memo)", row, "true"},
        {"TEXTOCCURS('e' IN Memo)", row, "3"},
        {"LASTAUTOINC('T')", row, "41"},
    };
    for (const auto& c : cases) EXPECT_EQ(Value(c.Text, c.Row), c.Expected) << c.Text;
}

TEST_F(EvaluateTest, IsoWeekAndDayMatchTheIsoCalendar) {
    // Week, ISO weekday and day of the year of each date, as Python's isocalendar gives them.
    struct {
        int Y, M, D, Week, WeekDay, YearDay;
    } cases[] = {
        {2005, 1, 1, 53, 6, 1},    {2004, 12, 31, 53, 5, 366}, {2008, 12, 29, 1, 1, 364},
        {2010, 1, 3, 53, 7, 3},    {2009, 12, 31, 53, 4, 365}, {2012, 2, 29, 9, 3, 60},
        {2015, 6, 15, 25, 1, 166}, {1999, 1, 1, 53, 5, 1},     {2020, 12, 31, 53, 4, 366},
        {2021, 1, 4, 1, 1, 4},     {2026, 12, 10, 50, 4, 344}, {1900, 1, 1, 1, 1, 1},
    };
    for (const auto& c : cases) {
        ExprRow row;
        row.Day = DayNo(c.Y, c.M, c.D);
        row.Stamp = static_cast<double>(*row.Day) * MSecsPerDay + 1000;
        EXPECT_EQ(Value("EXTRACT(WEEK FROM Day)", row), std::to_string(c.Week))
            << c.Y << "-" << c.M << "-" << c.D;
        EXPECT_EQ(Value("EXTRACT(DAYOFWEEK FROM Stamp)", row), std::to_string(c.WeekDay));
        EXPECT_EQ(Value("EXTRACT(DAYOFYEAR FROM Day)", row), std::to_string(c.YearDay));
        EXPECT_EQ(Value("EXTRACT(MONTH FROM Stamp)", row), std::to_string(c.M));
    }
}

TEST_F(EvaluateTest, LikeInAndBetween) {
    ExprRow abc;
    abc.Name = "abc";
    abc.Qty = 0;
    abc.Num = 2;
    ExprRow nulls;
    struct {
        const char* Text;
        const ExprRow& Row;
        bool Expected;
    } cases[] = {
        {"Name LIKE 'AB%'", abc, true},      {"Name LIKE 'a_c'", abc, true},
        {"Name LIKE '%C'", abc, true},       {"Name LIKE 'ab'", abc, false},
        {"Name LIKE '%'", nulls, false},     {"Name NOT LIKE 'x%'", nulls, true},
        {"Name NOT LIKE 'a%'", abc, false},  {"Name LIKE Name", abc, true},
        {"Num IN (1, 2, 3)", abc, true},     {"Num NOT IN (1, 3)", abc, true},
        {"Num IN (1, NULL)", nulls, true},   {"Num IN (1, 3)", nulls, false},
        {"Num BETWEEN 1 AND 3", abc, true},  {"Num NOT BETWEEN 3 AND 4", abc, true},
        {"Name IN ('x', 'abc')", abc, true},
    };
    for (const auto& c : cases) EXPECT_EQ(Matches(c.Text, c.Row), c.Expected) << c.Text;

    // The high bound is read only when the low test holds.
    Table.Reads.clear();
    EXPECT_FALSE(Matches("Qty BETWEEN 1 AND Num", abc));
    EXPECT_EQ(Table.Reads["Num"], 0);
    EXPECT_TRUE(Matches("Num BETWEEN 1 AND Num", abc));
    // AND and OR evaluate their right operand first and skip the left when it decides.
    Table.Reads.clear();
    EXPECT_FALSE(Matches("Name = 'abc' AND Num = 5", abc));
    EXPECT_EQ(Table.Reads["Name"], 0);
    EXPECT_TRUE(Matches("Name = 'x' OR Num = 2", abc));
    EXPECT_EQ(Table.Reads["Name"], 0);
    // IF evaluates only the chosen branch; COALESCE stops at the first value.
    Table.Reads.clear();
    Value("IF(Num = 2 THEN 1 ELSE Qty)", abc);
    Value("COALESCE(Num, Qty)", abc);
    EXPECT_EQ(Table.Reads["Qty"], 0);
}

TEST_F(EvaluateTest, OptionCompareAndCase) {
    auto text = [](const char* s) {
        TExpToken* t = NewExpToken();
        t->Kind = tkConstant;
        t->DataType = fldString;
        SetExpText(t, s);
        return t;
    };
    TExpTreeHolder left(text("Abcd")), right(text("aBc")), result(NewExpToken());
    result->DataType = fldBoolean;
    result->DataSize = 2;
    EvaluateOperator(ecEqual, left.get(), right.get(), result.get(), 0, 0);
    EXPECT_EQ(ExpIntegerValue(result.get()), 0);
    EvaluateOptionCompare(ecEqual, 3, true, left.get(), right.get(), result.get(), 0, 0);
    EXPECT_EQ(ExpIntegerValue(result.get()), 1);
    EvaluateOptionCompare(ecEqual, 0, true, left.get(), right.get(), result.get(), 0, 0);
    EXPECT_EQ(ExpIntegerValue(result.get()), 0);
    EvaluateOptionCompare(ecNotEqual, 3, false, left.get(), right.get(), result.get(), 0, 0);
    EXPECT_EQ(ExpIntegerValue(result.get()), 1);
    // A prefix longer than the column's text compares the text's end too.
    EvaluateOptionCompare(ecEqual, 5, true, right.get(), left.get(), result.get(), 0, 0);
    EXPECT_EQ(ExpIntegerValue(result.get()), 0);
}

TEST_F(EvaluateTest, ColumnWithoutCallbackRaises) {
    TExpTreeHolder tree(Table.Parse("Num + 1", false));
    try {
        TExpToken* v = EvaluateExpToken(tree.get(), nullptr, nullptr, 0, 0);
        ReleaseExpToken(v);
        FAIL() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_SQLPARSE);
        EXPECT_EQ(e.ErrorContext, "Internal error: Column 'Num' specified illegally");
    }
    // Constant trees need no callback.
    TExpTreeHolder constant(Table.Parse("UPPER('a') + 'b'", false));
    TExpTreeHolder v(EvaluateExpToken(constant.get(), nullptr, nullptr, 0, 0));
    EXPECT_EQ(Show(v.get()), "'Ab'");
}

TEST_F(EvaluateTest, FailingValueSourceGivesEveryTokenBack) {
    ExprRow row;
    row.Num = 1;
    Table.ThrowOn = "Rate";
    for (const char* text : {"Num + Rate > 1 AND Num = 1", "COALESCE(Num + Rate, 1) = 2", "Num IN (2, Rate)",
                             "ROUND(Rate TO 2) > 1"}) {
        TExpTreeHolder tree(Table.Parse(text, true));
        auto record = Table.Record(row);
        EXPECT_THROW(EvaluateExpToken(tree.get(), record.data(), &Table, 0, 0), std::runtime_error) << text;
    }
}

TEST_F(EvaluateTest, SubSelectAsksTheQueryForItsRecords) {
    // Num IN (SELECT ...): the sub-select operand stands for the query's one result column.
    testing::FakeQuery query;
    TExpTreeHolder tree(Table.Parse("Num IN (1)", false));
    tree->Code = ecInSelect;
    TExpToken* sub = tree->Arguments[1];
    sub->Kind = tkSubSelect;
    sub->Query = &query;
    ExprRow row;
    row.Num = 3;
    auto record = Table.Record(row);
    for (int32_t count : {0, 2}) {
        Table.SubSelectCount = count;
        TExpTreeHolder v(EvaluateExpToken(tree.get(), record.data(), &Table, 0, 0));
        EXPECT_EQ(ExpIntegerValue(v.get()), count > 0 ? 1 : 0);
    }
    tree->Code = ecNotInSelect;
    TExpTreeHolder v(EvaluateExpToken(tree.get(), record.data(), &Table, 0, 0));
    EXPECT_EQ(ExpIntegerValue(v.get()), 0);
    EXPECT_EQ(std::count(query.Calls.begin(), query.Calls.end(), "filter"), 3);
}

TEST_F(EvaluateTest, AssignConvertedKeepsAtMost250Characters) {
    TExpTreeHolder value(NewExpToken()), result(NewExpToken());
    value->DataType = fldString;
    SetExpText(value.get(), std::string(300, 'x'));
    result->DataType = fldString;
    result->SetDataSize(301);
    AssignConverted(result.get(), value.get());
    EXPECT_EQ(ExpTextValue(result.get()), std::string(250, 'x'));
    // A memo into a short string: the first bytes, the last one a zero.
    value->DataType = fldBlob;
    value->SubType = fldstMemo;
    result->DataSize = 4;
    AssignConverted(result.get(), value.get());
    EXPECT_EQ(ExpTextValue(result.get()), "xxx");
    value->IsNull = true;
    AssignConverted(result.get(), value.get());
    EXPECT_TRUE(result->IsNull);
}

}  // namespace
}  // namespace dbengine

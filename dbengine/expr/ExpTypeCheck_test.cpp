#include "dbengine/expr/ExpTypeCheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/FakeQuery.h"
#include "dbengine/testsupport/TokenCountingTest.h"
#include "framework/core/SysUtils.h"

namespace dbengine {
namespace {

struct Column {
    uint8_t Type, SubType;
    int32_t Size;
    uint8_t Scale;
};

// The columns of a small table, found without regard to case.
class TableResolver : public TExpTypeResolver {
public:
    bool ResolveColumn(TExpToken* node) override {
        static const std::map<std::string, Column> columns = {
            {"NAME", {fldString, 0, 31, 0}},
            {"CODE", {fldString, 0, 7, 0}},
            {"AMOUNT", {fldFloat, fldstMoney, 8, 0}},
            {"RATE", {fldFloat, 0, 8, 0}},
            {"QTY", {fldSmallInt, 0, 2, 0}},
            {"BIG", {fldLargeInt, 0, 8, 0}},
            {"NUM", {fldInteger, 0, 4, 0}},
            {"DATECOL", {fldDate, 0, 4, 0}},
            {"TIMECOL", {fldTime, 0, 4, 0}},
            {"STAMP", {fldTimestamp, 0, 8, 0}},
            {"FLAG", {fldBoolean, 0, 2, 0}},
            {"MEMO", {fldBlob, fldstMemo, 8, 0}},
            {"PIC", {fldBlob, fldstGraphic, 8, 0}},
            {"PRICE", {fldBCD, 0, 34, 2}},
            {"RAW", {fldBytes, 0, 10, 0}},
        };
        auto it = columns.find(framework::UpperCase(node->ColumnName));
        if (it == columns.end()) return false;
        node->FieldNo = 1;
        node->DataType = it->second.Type;
        node->SubType = it->second.SubType;
        node->DataSize = it->second.Size;
        node->Scale = it->second.Scale;
        node->TableName.clear();
        return true;
    }
    void LinkAutoIncTable(TExpToken* node, const std::string& name) override {
        Linked = name;
        node->Table = this;
    }
    std::string Linked;
};

class TypeCheckTest : public testsupport::TokenCountingTest {
protected:
    TExpToken* ParseText(const std::string& text) {
        TExpressionParser p;
        p.ErrorCode = DBE_INVALIDFILTER;
        p.ContextText = "filter expression";
        p.SetExpression(text);
        p.NextToken();
        return p.ParseExpression(AllowPredicates | AllowAggregates);
    }

    // Parses and checks as a filter condition (booleans wrapped, strings may name columns).
    TExpToken* Check(const std::string& text, bool wrap = true) {
        TExpTreeHolder t(ParseText(text));
        CheckExpTokenTypes(DBE_INVALIDFILTER, "DB", "Parts", "filter expression", t.get(), nullptr, &Resolver,
                           wrap, true);
        return t.release();
    }

    std::string Error(const std::string& text, bool wrap = true) {
        TExpTreeHolder t(ParseText(text));
        try {
            CheckExpTokenTypes(DBE_INVALIDFILTER, "DB", "Parts", "filter expression", t.get(), nullptr,
                               &Resolver, wrap, true);
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, DBE_INVALIDFILTER);
            EXPECT_EQ(e.ErrorDatabase, "DB");
            EXPECT_EQ(e.ErrorTable, "Parts");
            return e.ErrorContext;
        }
        return "(none)";
    }

    TableResolver Resolver;
};

TEST_F(TypeCheckTest, NullOperands) {
    EXPECT_EQ(Error("NULL = Name"),
              "Type mismatch between constant 'NULL' and column 'Name' in filter expression");
    EXPECT_EQ(Error("Name = NULL"), "(none)");
    // Arithmetic with NULL has no type, so it cannot be compared further.
    EXPECT_EQ(Error("Num + NULL > 1"),
              "Type mismatch between expression '+' and constant '1' in filter expression");
}

TEST_F(TypeCheckTest, StringConstantsNamingColumns) {
    TExpTreeHolder bound(Check("'Amount' > 100"));
    EXPECT_EQ(bound->Left->Kind, tkColumn);
    EXPECT_TRUE(bound->Left->FromConstant);
    EXPECT_EQ(bound->Left->DataType, fldFloat);

    TExpTreeHolder text(Check("Name = 'Amount'"));
    EXPECT_EQ(text->Right->Kind, tkConstant);
    EXPECT_EQ(text->Right->DataType, fldString);
    EXPECT_EQ(text->Right->DataSize, 7);
    EXPECT_TRUE(text->Right->ColumnName.empty());

    TExpTreeHolder both(Check("'Name' = 'Code'"));  // both came from strings: the right one reverts
    EXPECT_EQ(both->Left->Kind, tkColumn);
    EXPECT_EQ(both->Right->Kind, tkConstant);

    TExpTreeHolder unknown(Check("Name = 'nothing such'"));
    EXPECT_EQ(unknown->Right->Kind, tkConstant);
    EXPECT_EQ(Error("Nothing = 1"),
              "Invalid column name 'Nothing' or table correlation name '' specified in filter expression");
}

TEST_F(TypeCheckTest, DateTextsBecomeTypedConstants) {
    TExpTreeHolder t(Check("DateCol = '2002-03-04'"));
    EXPECT_EQ(t->Right->DataType, fldDate);
    EXPECT_EQ(t->Right->DataSize, 4);
    int32_t day;
    std::memcpy(&day, t->Right->Data.get(), 4);
    EXPECT_EQ(day, EncodeDayNumber(2002, 3, 4));
    TExpTreeHolder left(Check("'10:30' < TimeCol"));
    EXPECT_EQ(left->Left->DataType, fldTime);
    TExpTreeHolder in(Check("Stamp IN ('2002-03-04 10:00', '2002-03-05')"));
    EXPECT_EQ(in->Arguments[1]->DataType, fldTimestamp);
    EXPECT_EQ(in->Arguments[2]->DataType, fldTimestamp);
    EXPECT_EQ(Error("DateCol = 'tomorrow'"),
              "Date, time, or timestamp expression expected, instead found 'tomorrow' in filter expression");
    EXPECT_EQ(Error("DateCol BETWEEN '2002-01-01' AND 'later'"),
              "Date, time, or timestamp expression expected, instead found 'later' in filter expression");
    EXPECT_EQ(Error("DateCol = Name"),
              "Type mismatch between column 'DateCol' and column 'Name' in filter expression");
}

TEST_F(TypeCheckTest, ResultTypes) {
    struct Case {
        const char* Text;
        uint8_t Type;
        uint8_t SubType;
        int32_t Size;
    } cases[] = {
        {"1 + 2", fldInteger, 0, 4},
        {"1 / 2", fldFloat, 0, 8},
        {"Qty + Big", fldLargeInt, 0, 8},
        {"Amount * Num", fldFloat, fldstMoney, 8},
        {"Num * Amount", fldFloat, fldstMoney, 8},
        {"Num - Amount", fldFloat, 0, 8},
        {"DateCol - DateCol", fldInteger, 0, 4},
        {"Stamp - Stamp", fldFloat, 0, 8},
        {"Stamp - DateCol", fldInteger, 0, 4},
        {"DateCol + 1", fldDate, 0, 4},
        {"1 + TimeCol", fldTime, 0, 4},
        {"Price * 2", fldBCD, 0, 34},
        {"Price / Rate", fldFloat, 0, 8},
        {"Memo || Name", fldBlob, fldstMemo, 8 + 31 - 1},
        {"Name + 'ab'", fldString, 0, 31 + 3 - 1},
        {"-Qty", fldSmallInt, 0, 2},
        {"Name = 'x'", fldBoolean, 0, 2},
    };
    for (const auto& c : cases) {
        TExpTreeHolder t(Check(c.Text, false));
        EXPECT_EQ(t->DataType, c.Type) << c.Text;
        EXPECT_EQ(t->SubType, c.SubType) << c.Text;
        EXPECT_EQ(t->DataSize, c.Size) << c.Text;
    }
    TExpTreeHolder bcd(Check("Price + 1", false));
    EXPECT_EQ(bcd->Scale, 2);

    for (const char* bad : {"Flag + 1", "Name * 2", "Pic || Name", "Raw > Raw", "Flag < Flag",
                            "DateCol + DateCol", "Name AND Flag", "TimeCol - DateCol"})
        EXPECT_NE(Error(bad, false).find("Type mismatch between"), std::string::npos) << bad;
    EXPECT_EQ(Error("-Flag"), "Type mismatch between '-' operator and 'Flag' in filter expression");
    EXPECT_EQ(Error("NOT Num"), "Type mismatch between 'NOT' operator and 'Num' in filter expression");
}

TEST_F(TypeCheckTest, BooleansStandingAloneBecomeComparisons) {
    TExpTreeHolder alone(Check("Flag"));
    EXPECT_EQ(alone->Kind, tkBinary);
    EXPECT_EQ(alone->Code, ecEqual);
    EXPECT_EQ(alone->Left->Kind, tkColumn);
    EXPECT_EQ(alone->Left->Parent, alone.get());
    EXPECT_EQ(alone->Right->Text, "True");
    EXPECT_EQ(alone->Right->Data[0], 1);

    TExpTreeHolder joined(Check("Flag AND NOT Flag OR Num = 1"));
    EXPECT_EQ(joined->Left->Left->Code, ecEqual);         // Flag = True under AND
    EXPECT_EQ(joined->Left->Right->Left->Code, ecEqual);  // Flag = True under NOT
    EXPECT_EQ(joined->Left->Right->Left->Left->Parent, joined->Left->Right->Left);

    TExpTreeHolder operand(Check("Flag = False"));
    EXPECT_EQ(operand->Left->Kind, tkColumn);  // an operand of "=" stays as it is

    TExpTreeHolder value(Check("Flag", false));
    EXPECT_EQ(value->Kind, tkColumn);

    TExpTreeHolder cast(Check("CAST(Num AS BOOLEAN)"));
    EXPECT_EQ(cast->Kind, tkBinary);
    EXPECT_EQ(cast->Left->Code, ecCast);
    TExpTreeHolder search(Check("TEXTSEARCH('w' IN Memo)"));
    EXPECT_EQ(search->Left->Code, ecTextSearch);
}

TEST_F(TypeCheckTest, Functions) {
    struct Case {
        const char* Text;
        uint8_t Type;
        int32_t Size;
    } cases[] = {
        {"UPPER(Name)", fldString, 31},
        {"LOWER(Memo)", fldBlob, 8},
        {"SUBSTRING(Name FROM 2 FOR 3)", fldString, 31},
        {"REPLACE('a' WITH 'b' IN Name)", fldString, 31},
        {"POS('a' IN Name)", fldInteger, 4},
        {"TRIM(BOTH ' ' FROM Name)", fldString, 31},
        {"LENGTH(Memo)", fldInteger, 4},
        {"EXTRACT(YEAR FROM DateCol)", fldInteger, 4},
        {"EXTRACT(HOUR FROM '10:30')", fldInteger, 4},
        {"ABS(Qty)", fldSmallInt, 2},
        {"ROUND(Price TO 2)", fldBCD, 34},
        {"IF(Num > 1, Name, 'x')", fldString, 31},
        {"IFNULL(Num THEN 'n/a' ELSE 'a longer text')", fldString, 14},
        {"COALESCE(Name, NULL)", fldString, 31},
        {"SUM(Amount)", fldFloat, 8},
        {"COUNT(Name)", fldInteger, 4},
        {"CAST(Name AS VARCHAR(20))", fldString, 21},
        {"CAST(Num AS DECIMAL(10, 2))", fldBCD, 34},
        {"CAST(Name AS BYTES(5))", fldBytes, 5},
        {"CAST(NULL AS DATE)", fldDate, 4},
        {"TEXTOCCURS('w' IN Memo)", fldInteger, 4},
        {"LASTAUTOINC('Other')", fldInteger, 4},
    };
    for (const auto& c : cases) {
        TExpTreeHolder t(Check(c.Text, false));
        EXPECT_EQ(t->DataType, c.Type) << c.Text;
        EXPECT_EQ(t->DataSize, c.Size) << c.Text;
    }
    TExpTreeHolder cast(Check("CAST(Num AS DECIMAL(10, 2))", false));
    EXPECT_EQ(cast->Scale, 2);
    TExpTreeHolder blob(Check("CAST(Name AS BLOB(0, 1))", false));
    EXPECT_EQ(blob->SubType, fldstMemo);
    EXPECT_EQ(Resolver.Linked, "Other");
}

// The shared argument checks on their own: the result type of IF, IFNULL and COALESCE from the
// arguments given, and the size of a data-type node from its length and scale arguments.
TEST_F(TypeCheckTest, ResultAndDataTypeArgumentChecks) {
    TExpTreeHolder coalesce(Check("COALESCE(Name, Code)", false));
    ASSERT_EQ(coalesce->DataSize, 31);
    CheckResultArguments("COALESCE", DBE_INVALIDFILTER, "DB", false, coalesce.get(), 1, "filter expression",
                         "Parts");
    EXPECT_EQ(coalesce->DataType, fldString);
    EXPECT_EQ(coalesce->DataSize, 7);  // from the arguments from the second on
    TExpTreeHolder nulls(ParseText("COALESCE(NULL, NULL)"));
    try {
        CheckResultArguments("COALESCE", DBE_INVALIDFILTER, "DB", false, nulls.get(), 0, "filter expression",
                             "Parts");
        ADD_FAILURE() << "no error";
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_INVALIDFILTER);
        EXPECT_EQ(e.ErrorContext,
                  "At least one of the COALESCE expression arguments in filter expression must be a non-NULL "
                  "value");
    }

    TExpTreeHolder cast(Check("CAST(Num AS DECIMAL(10, 2))", false));
    cast->Scale = 0;
    cast->DataSize = 0;
    CheckDataTypeArguments(DBE_INVALIDFILTER, "DB", "Parts", cast.get(), "filter expression");
    EXPECT_EQ(cast->Scale, 2);
    EXPECT_EQ(cast->DataSize, 34);
    TExpTreeHolder text(Check("CAST(Name AS VARCHAR(20))", false));
    text->DataSize = 0;
    CheckDataTypeArguments(DBE_INVALIDFILTER, "DB", "Parts", text.get(), "filter expression");
    EXPECT_EQ(text->DataSize, 21);
}

TEST_F(TypeCheckTest, FunctionErrors) {
    const std::string in = " in filter expression";
    struct Case {
        const char* Text;
        std::string Message;
    } cases[] = {
        {"SUBSTRING(Name FROM Qty)", "FROM argument of SUBSTRING function must be an integer value" + in},
        {"SUBSTRING(Name FROM 1 FOR Qty)",
         "FOR argument of SUBSTRING function must be an integer value" + in},
        {"SUBSTRING(Num FROM 1)", "Expression argument of SUBSTRING function must be a string or memo" + in},
        {"TRIM(LEADING 'ab' FROM Name)",
         "Trim character argument of TRIM function must be a single character constant" + in},
        {"TRIM(LEADING ' ' FROM Num)", "FROM argument of TRIM function must be a string or memo" + in},
        {"REPLACE('a' WITH 'b' IN Num)", "IN argument of REPLACE function must be a string or memo" + in},
        {"REPLACE(1 WITH 'b' IN Name)",
         "Type mismatch between REPLACE function and search string argument" + in},
        {"POS('a' IN Num)", "Type mismatch between POS function and IN argument" + in},
        {"OCCURS(1 IN Name)", "Type mismatch between OCCURS function and search string argument" + in},
        {"UPPER(Num)", "Type mismatch between UPPER function and function argument" + in},
        {"LENGTH(Num)", "Type mismatch between LENGTH function and function argument" + in},
        {"ROUND(Rate TO 33)",
         "Decimal places argument of ROUND function must be an integer constant between 0 and 32" + in},
        {"ROUND(Rate TO Num)", "Decimal places argument of ROUND function must be an integer constant" + in},
        {"ROUND(Num)", "Expression argument of ROUND function must be a floating-point or BCD type" + in},
        {"ABS(Name)",
         "Expression argument of ABS function must be an integer, floating-point, or BCD type" + in},
        {"COALESCE(NULL, NULL)",
         "At least one of the COALESCE expression arguments in filter expression must be a non-NULL value"},
        {"COALESCE(Name, 5)", "Type mismatch between COALESCE expression arguments" + in},
        {"COALESCE(NULL, Name)", "Type mismatch between COALESCE expression arguments" + in},
        {"IF(Flag THEN NULL ELSE Name)", "Type mismatch between IF expression arguments" + in},
        {"IF(Num THEN 1 ELSE 2)", "First expression argument of IF function must be a boolean type" + in},
        {"CAST(Name AS CHAR(0))",
         "Length argument must be an integer greater than 0 and less than or equal to 250" + in},
        {"CAST(Name AS CHAR(251))",
         "Length argument must be an integer greater than 0 and less than or equal to 250" + in},
        {"CAST(Name AS CHAR('x'))", "Length argument must be an integer" + in},
        {"CAST(Num AS DECIMAL(10,5))",
         "Scale argument must be an integer less than or equal to 4 but greater than or equal to 0 for the "
         "BCD data "
         "type filter expression"},
        {"CAST(Num AS DECIMAL(10,'x'))", "Scale argument must be an integer" + in},
        {"CAST(Name AS BLOB(1, 4))",
         "BLOB type argument must be an integer with a value of 1,2,3,5, or 7" + in},
        {"CAST(Name AS BLOB('a', 1))", "First BLOB type argument must be an integer" + in},
        {"CAST(Name AS BLOB(1, 'a'))", "BLOB type argument must be an integer" + in},
        {"CAST(DateCol AS INTEGER)", "Type mismatch between column 'DateCol' and AS argument" + in},
        {"CAST(Rate AS BOOLEAN)", "Type mismatch between column 'Rate' and AS argument" + in},
        {"EXTRACT(DAY FROM 'soon')",
         "FROM argument of EXTRACT function must be a date, time, or timestamp" + in},
        {"SUM(Name)",
         "SUM aggregate function must contain a numeric, date, time, or timestamp expression" + in},
        {"TEXTSEARCH(1 IN Memo)",
         "Type mismatch between TEXTSEARCH function and search text function argument" + in},
        {"TEXTSEARCH(Name IN Memo)",
         "TEXTSEARCH search text function argument must be a string constant" + in},
        {"TEXTOCCURS('w' IN 'x' || 'y')",
         "Right parentheses expected after TEXTOCCURS function argument, instead found '|' in filter "
         "expression"},
        {"TEXTOCCURS('w' IN (Memo))", "(none)"},
        {"TEXTSEARCH('w' IN Num)",
         "Type mismatch between TEXTSEARCH function and column function argument" + in},
        {"LASTAUTOINC(1)",
         "Type mismatch between LASTAUTOINC function and table name function argument" + in},
        {"IDENT_CURRENT(Name)", "IDENT_CURRENT table name function argument must be a string constant" + in},
        {"Num LIKE 'x'", "Type mismatch between LIKE operator and expression 'Num'" + in},
        {"Name NOT LIKE 1", "Type mismatch between NOT LIKE operator and expression '1'" + in},
        {"Num IN (1, 'x')", "Type mismatch between IN operator and expression 'x'" + in},
        {"Num NOT BETWEEN 1 AND Name",
         "Type mismatch between NOT BETWEEN operator and expression 'Name'" + in},
    };
    for (const auto& c : cases) {
        // Parse errors show up as exceptions of the parse itself.
        std::string got;
        try {
            got = Error(c.Text, false);
        } catch (const EDbEngineError& e) {
            got = e.ErrorContext;
        }
        EXPECT_EQ(got, c.Message) << c.Text;
    }
}

TEST_F(TypeCheckTest, SubSelectsBindThroughTheQuery) {
    testing::FakeQuery query;
    TExpTreeHolder node(NewExpToken());
    node->Kind = tkSubSelect;
    node->Query = &query;
    CheckExpTokenTypes(DBE_SQLPARSE, "", "", "SQL statement", node.get(), nullptr, &Resolver, false, false);
    EXPECT_EQ(query.Calls, std::vector<std::string>{"bind"});
    query.BindResult = false;
    EXPECT_THROW(CheckExpTokenTypes(DBE_SQLPARSE, "", "", "SQL statement", node.get(), nullptr, &Resolver,
                                    false, false),
                 EDbEngineError);

    struct TwoColumns : TableResolver {
        int SubSelectColumnCount(TDataQuery*) override { return 2; }
    } two;
    try {
        CheckExpTokenTypes(DBE_SQLPARSE, "", "", "SQL statement", node.get(), nullptr, &two, false, false);
        FAIL();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_SQLPARSE);
        EXPECT_EQ(e.ErrorContext, "More than 1 column for sub-select  specified in SQL statement");
    }
}

TEST_F(TypeCheckTest, DeepestAcceptedTreeIsWalkedSafely) {
    // A comparison over a chain of additions, as deep as a parse accepts.
    std::string text = "Num";
    for (int i = 2; i < MaxExpTreeDepth; ++i) text += " + 1";
    TExpTreeHolder t(Check(text + " > 0"));
    EXPECT_EQ(ExpTreeDepth(t.get()), MaxExpTreeDepth);
    EXPECT_EQ(t->Left->DataType, fldInteger);
    TExpTreeHolder copy(CopyExpTree(t.get()));
    EXPECT_TRUE(SameExpTree(t.get(), copy.get()));
}

TEST_F(TypeCheckTest, TypeTables) {
    EXPECT_TRUE(IsCastAllowed(fldString, fldBlob));
    EXPECT_FALSE(IsCastAllowed(fldDate, fldTime));
    EXPECT_TRUE(IsCastAllowed(fldTimestamp, fldTime));
    EXPECT_FALSE(IsCastAllowed(fldBoolean, fldFloat));
    EXPECT_TRUE(IsCastAllowed(fldWord, fldBoolean));
    EXPECT_FALSE(IsCastAllowed(fldInteger, fldBoolean));
    EXPECT_FALSE(IsCastAllowed(fldFourBytes, fldString));
    EXPECT_TRUE(IsUnaryOperandAllowed(ecPlusSign, fldWord));
    EXPECT_FALSE(IsUnaryOperandAllowed(ecNegate, fldWord));
    EXPECT_TRUE(IsOperandTypeAllowed(ecEqual, fldBytes, 0, fldBytes, 0));
    EXPECT_FALSE(IsOperandTypeAllowed(ecLess, fldBytes, 0, fldBytes, 0));
    EXPECT_TRUE(IsOperandTypeAllowed(ecEqual, fldBlob, fldstMemo, fldString, 0));
    EXPECT_FALSE(IsOperandTypeAllowed(ecEqual, fldBlob, fldstBinary, fldString, 0));
    EXPECT_EQ(BinaryResultType(ecAdd, fldInteger, 0), 0);
    EXPECT_EQ(BinaryResultType(ecDivide, fldBCD, fldInteger), fldBCD);
    EXPECT_EQ(BinaryResultSubType(ecSubtract, fldFloat, 0, fldFloat, fldstMoney), 0);
}

}  // namespace
}  // namespace dbengine

#include "dbengine/expr/ExpressionParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbengine/expr/ValueTypes.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/FakeQuery.h"
#include "dbengine/testsupport/TokenCountingTest.h"
#include "framework/core/Seams.h"

namespace dbengine {
namespace {

const char* const Ctx = "filter expression";

// Every test checks that the tokens it took went back to the pool, also after errors.
class ParserTest : public testsupport::TokenCountingTest {
protected:
    void Start(TExpressionParser& p, const std::string& text, bool readFirst = true) {
        p.ErrorCode = DBE_INVALIDFILTER;
        p.TableName = "Parts";
        p.ContextText = Ctx;
        p.SetExpression(text);
        if (readFirst) p.NextToken();
    }

    TExpToken* Parse(const std::string& text, uint8_t flags = AllowPredicates) {
        TExpressionParser p;
        Start(p, text);
        TExpToken* t = p.ParseExpression(flags);
        EXPECT_TRUE(p.IsTokenKind(etEnd)) << text << ": stopped at '" << p.GetTokenText() << "'";
        return t;
    }

    // The message item of the error the parse raises; "(none)" when it succeeds.
    std::string Error(const std::string& text, uint8_t flags = AllowPredicates) {
        TExpressionParser p;
        Start(p, text, false);
        try {
            p.NextToken();
            TExpTreeHolder t(p.ParseExpression(flags));
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, DBE_INVALIDFILTER);
            EXPECT_EQ(e.ErrorTable, "Parts");
            return e.ErrorContext;
        }
        return "(none)";
    }

    // Tokens of a text as kind:text, stopping at the end.
    std::vector<std::string> Tokens(const std::string& text) {
        TExpressionParser p;
        Start(p, text);
        std::vector<std::string> out;
        while (!p.IsTokenKind(etEnd)) {
            out.push_back(std::to_string(p.TokenKind()) + ":" + p.GetTokenText());
            p.NextToken();
        }
        return out;
    }
};

// Compact text of a tree: kind/code(children...) for operators, names and constant texts at
// the leaves.
std::string Show(const TExpToken* t) {
    if (t == nullptr) return "nil";
    switch (t->Kind) {
        case tkColumn:
            return t->TableName.empty() ? t->ColumnName : t->TableName + "." + t->ColumnName;
        case tkConstant:
            return t->IsNull && t->DataType == 0 ? "NULL" : "'" + t->Text + "'";
        case tkSubSelect:
            return "SELECT";
        default:
            break;
    }
    std::string s = std::to_string(t->Code) + "(";
    std::vector<const TExpToken*> kids;
    if (t->Kind == tkUnary || t->Kind == tkBinary) {
        kids.push_back(t->Left);
        if (t->Kind == tkBinary) kids.push_back(t->Right);
    } else {
        for (auto* a : t->Arguments) kids.push_back(a);
    }
    for (size_t i = 0; i < kids.size(); ++i) s += (i ? "," : "") + Show(kids[i]);
    return s + ")";
}

// Each precedence level parses its own operators and those above it, and stops at the first
// operator of a lower level; what it read is the tree the whole parse makes of that part.
TEST_F(ParserTest, EachLevelStopsAtTheFirstLowerOperator) {
    struct Case {
        TExpToken* (TExpressionParser::*Level)(uint8_t);
        const char* Text;
        const char* Part;
        const char* StopsAt;
    } cases[] = {
        {&TExpressionParser::ParseMultiplicative, "A * B / C + D", "A * B / C", "+"},
        {&TExpressionParser::ParseAdditive, "A + B * C = D", "A + B * C", "="},
        {&TExpressionParser::ParseComparison, "A + 1 > B AND C = 1", "A + 1 > B", "AND"},
        {&TExpressionParser::ParseNot, "NOT A = 1 AND B = 2", "NOT A = 1", "AND"},
        {&TExpressionParser::ParseAnd, "A = 1 AND B = 2 OR C = 3", "A = 1 AND B = 2", "OR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        TExpressionParser p;
        Start(p, c.Text);
        TExpTreeHolder level((p.*c.Level)(AllowPredicates));
        EXPECT_EQ(p.GetTokenText(), c.StopsAt);
        TExpTreeHolder whole(Parse(c.Part));
        EXPECT_EQ(Show(level.get()), Show(whole.get()));
    }
}

TEST_F(ParserTest, Scanner) {
    using V = std::vector<std::string>;
    struct Case {
        const char* Text;
        V Expected;
    } cases[] = {
        {"", {}},
        {"'it''s'", {"3:it's"}},
        {"''", {"3:"}},
        {"\"say \"\"hi\"\"\"", {"4:say \"hi\""}},
        {"[My Field]", {"2:My Field"}},
        {"[a]]", {"2:a", "93:]"}},
        {"a$b!c x@y", {"1:a$b!c", "1:x@y"}},
        {"$a", {"36:$", "1:a"}},
        {"\xFF", {"255:\xFF"}},
        {"\xE9t\xE9", {"1:\xE9t\xE9"}},
        {"#65 #", {"5:#65", "5:#"}},
        {"x/**/y", {"1:x", "1:y"}},
        {"x /* a * / b */ y", {"1:x", "1:y"}},
        {"x -- y", {"1:x", "45:-", "45:-", "1:y"}},
        {"1.2.3 12. 1e", {"7:1.2.3", "7:12.", "7:1e"}},
        {".5.3", {"7:.5", "7:.3"}},  // a full stop ends a number; the next one starts another
        {"a.5", {"1:a", "7:.5"}},
        {"1+5", {"6:1", "43:+", "6:5"}},
        {"1e+5 2E-3", {"7:1e+5", "7:2E-3"}},
        {"a<>b", {"1:a", "60:<", "62:>", "1:b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Tokens(c.Text), c.Expected) << c.Text;

    TExpressionParser p;
    Start(p, "");
    EXPECT_EQ(p.NextToken(), etEnd);
    EXPECT_EQ(p.NextToken(), etEnd);
}

TEST_F(ParserTest, ScannerErrors) {
    struct Case {
        const char* Text;
        const char* Message;
    } cases[] = {
        {"x /* open", "Missing ending comment slash and asterisk in filter expression"},
        {"'abcdef", "Missing single quote after 'abcd' in filter expression"},
        {"\"ab", "Missing double quote after '' in filter expression"},
        {"[col", "Missing right bracket after 'c' in filter expression"},
        {"'", "Missing single quote after '' in filter expression"},
        {"a = '", "Missing single quote after '' in filter expression"},
        // Found by fuzzing: a scanner error right after a character constant lost its node.
        {"#65 /*65 \r 13648", "Missing ending comment slash and asterisk in filter expression"},
    };
    for (const auto& c : cases) EXPECT_EQ(Error(c.Text), c.Message) << c.Text;
}

TEST_F(ParserTest, KeywordsAndMarkedText) {
    TExpressionParser p;
    Start(p, "select \"select\" [select]");
    EXPECT_TRUE(p.IsKeyword("SELECT"));
    p.NextToken();
    EXPECT_FALSE(p.IsKeyword("select"));
    p.NextToken();
    EXPECT_FALSE(p.IsKeyword("select"));

    // Keywords compare ASCII letters only: an accented capital is never its plain letter.
    Start(p, "like");
    EXPECT_TRUE(p.IsKeyword("LIKE"));
    Start(p, "l\xCDke l\xEDke");
    EXPECT_FALSE(p.IsKeyword("LIKE"));
    p.NextToken();
    EXPECT_FALSE(p.IsKeyword("LIKE"));

    Start(p, "a +\r\n b AS c");
    p.MarkTextStart();
    p.NextToken();
    p.NextToken();
    p.NextToken();
    EXPECT_TRUE(p.IsKeyword("AS"));
    EXPECT_EQ(p.GetMarkedText(), "a + b");
}

TEST_F(ParserTest, PrecedenceAndPredicates) {
    struct Case {
        const char* Text;
        const char* Tree;
    } cases[] = {
        {"a = 1 OR b = 2 AND c = 3", "11(3(a,'1'),10(3(b,'2'),3(c,'3')))"},
        {"NOT a = 1", "9(3(a,'1'))"},
        {"a NOT IN (1, 2)", "44(a,'1','2')"},
        {"a in (1)", "33(a,'1')"},
        {"a IS NOT NULL", "4(a,NULL)"},
        {"a is null", "3(a,NULL)"},
        {"a BETWEEN 1 AND 2 AND b", "10(41(a,'1','2'),b)"},
        {"a NOT BETWEEN 1 AND 2", "42(a,'1','2')"},
        {"x LIKE 'a%'", "32(x,'a%')"},
        {"x NOT LIKE 'a%'", "43(x,'a%')"},
        {"a < > b", "4(a,b)"},
        {"a <= b", "8(a,b)"},
        {"a >= b", "7(a,b)"},
        {"a > b", "5(a,b)"},
        {"a < b", "6(a,b)"},
        {"1 + 2 * 3 - 4 / 5", "18(17('1',19('2','3')),20('4','5'))"},
        {"-a * +b", "19(15(a),16(b))"},
        {"'a' || 'b' | | 'c'", "17(17('a','b'),'c')"},
        {"(a OR b) AND c", "10(11(a,b),c)"},
        {"t.c = 'x'.d", "3(t.c,x.d)"},
        {"[C:\\DATA\\PARTS.DAT].Name", "PARTS.Name"},
        {"[LOWER]", "LOWER"},
    };
    for (const auto& c : cases) {
        TExpTreeHolder t(Parse(c.Text));
        EXPECT_EQ(Show(t.get()), c.Tree) << c.Text;
    }

    TExpTreeHolder ne(Parse("a <> b"));
    TExpTreeHolder ne2(Parse("a < > b"));
    EXPECT_EQ(ne->Text, "< >");
    EXPECT_EQ(ne2->Text, "< >");
    TExpTreeHolder isNot(Parse("a is Not null"));
    EXPECT_EQ(isNot->Text, "is Not null");
    EXPECT_EQ(isNot->Right->Kind, tkConstant);
    EXPECT_TRUE(isNot->Right->IsNull);
    TExpTreeHolder notIn(Parse("a not IN (1)"));
    EXPECT_EQ(notIn->Text, "not IN");
    EXPECT_EQ(notIn->Kind, tkPredicate);
    EXPECT_EQ(notIn->DataType, fldBoolean);

    // Comparisons do not chain and "!=" is no operator: the rest is left to the caller.
    TExpressionParser p;
    Start(p, "a != b");
    TExpTreeHolder a(p.ParseExpression(AllowPredicates));
    EXPECT_EQ(Show(a.get()), "a");
    EXPECT_TRUE(p.IsTokenKind('!'));
    Start(p, "a = b = c");
    TExpTreeHolder ab(p.ParseExpression(AllowPredicates));
    EXPECT_EQ(Show(ab.get()), "3(a,b)");
    EXPECT_TRUE(p.IsTokenKind('='));
}

TEST_F(ParserTest, Constants) {
    struct Case {
        const char* Text;
        uint8_t Type;
        int32_t Size;
    } cases[] = {
        {"2147483647", fldInteger, 4},
        {"2147483648", fldLargeInt, 8},
        {"9223372036854775808", fldFloat, 8},
        {"1.5", fldFloat, 8},
        {"1e+5", fldFloat, 8},
        {"'abc'", fldString, 4},
        {"#65", fldString, 2},
        {"TRUE", fldBoolean, 2},
        {"current_date", fldDate, 4},
        {"CURRENT_TIME()", fldTime, 4},
        {"CURRENT_TIMESTAMP", fldTimestamp, 8},
    };
    // 5 April 2003, 01:02:03.004 on the class library's clock.
    framework::SetClock([] { return framework::EncodeDate(2003, 4, 5) + framework::EncodeTime(1, 2, 3, 4); });
    for (const auto& c : cases) {
        TExpTreeHolder t(Parse(c.Text));
        EXPECT_EQ(t->Kind, tkConstant) << c.Text;
        EXPECT_EQ(t->DataType, c.Type) << c.Text;
        EXPECT_EQ(t->DataSize, c.Size) << c.Text;
    }
    TExpTreeHolder date(Parse("CURRENT_DATE"));
    int32_t day;
    std::memcpy(&day, date->Data.get(), 4);
    EXPECT_EQ(day, EncodeDayNumber(2003, 4, 5));
    TExpTreeHolder time(Parse("CURRENT_TIME"));
    int32_t ms;
    std::memcpy(&ms, time->Data.get(), 4);
    EXPECT_EQ(ms, 3723004);
    framework::SetClock(nullptr);

    TExpTreeHolder big(Parse("2147483648"));
    int64_t v;
    std::memcpy(&v, big->Data.get(), 8);
    EXPECT_EQ(v, 2147483648LL);
    TExpTreeHolder a(Parse("#65"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(a->Data.get())), "A");
    EXPECT_EQ(a->Text, "65");
    TExpTreeHolder zero(Parse("#0"));
    EXPECT_FALSE(zero->IsNull);
    TExpTreeHolder empty(Parse("''"));
    EXPECT_TRUE(empty->IsNull);
    EXPECT_EQ(empty->DataType, fldString);
    TExpTreeHolder null(Parse("null"));
    EXPECT_TRUE(null->IsNull);
    EXPECT_EQ(null->DataType, 0);
    TExpTreeHolder f(Parse("false"));
    EXPECT_EQ(f->Data[0], 0);
}

TEST_F(ParserTest, GrammarErrors) {
    struct Case {
        const char* Text;
        uint8_t Flags;
        std::string Message;
    } cases[] = {
        {"#256", AllowPredicates,
         "Character constants (#) must be within the range of 0 to 255 in filter expression"},
        {"#", AllowPredicates,
         "Character constants (#) must be within the range of 0 to 255 in filter expression"},
        {"1.2.3", AllowPredicates, "Constant '1.2.3' is not a valid number  in filter expression"},
        {"a = 1e", AllowPredicates, "Constant '1e' is not a valid number  in filter expression"},
        {"MAX(x) > 1", AllowPredicates, "Aggregate functions are not allowed in filter expression"},
        {"a = ?", AllowPredicates, "Parameters are not allowed in filter expression"},
        {"a IN (SELECT b FROM t)", AllowPredicates,
         "Sub-select queries are not allowed in filter expression"},
        {"x LIKE 'a'", 0,
         "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in filter expression"},
        {"a NOT x", AllowPredicates, "Unknown or unexpected symbol 'x' in filter expression"},
        {"a IS x", AllowPredicates, "Unknown or unexpected symbol 'x' found in filter expression"},
        {"a IS NOT 1", AllowPredicates, "Unknown or unexpected symbol '1' found in filter expression"},
        {"", AllowPredicates, "Unknown or unexpected symbol '' found in filter expression"},
        {"a = --1", AllowPredicates, "Unknown or unexpected symbol '-' found in filter expression"},
        {"'a' | 'b'", AllowPredicates,
         "Second concatenation symbol '|' expected after first concatentation symbol, instead found 'b' in "
         "filter "
         "expression"},
        {"(a = 1", AllowPredicates, "Right parentheses expected, instead found '' in filter expression"},
        {"foo(1)", AllowPredicates, "Unknown or unexpected function 'foo' found in filter expression"},
        {"a BETWEEN 1 OR 2", AllowPredicates,
         "Expected AND operator in BETWEEN operator, instead found 'OR' in filter expression"},
        {"a NOT BETWEEN 1, 2", AllowPredicates,
         "Expected AND operator in NOT BETWEEN operator, instead found ',' in filter expression"},
        {"a IN 1", AllowPredicates,
         "Expected left parentheses for IN operator, instead found '1' in filter expression"},
        {"a NOT IN (1 2)", AllowPredicates,
         "Expected right parentheses after NOT IN operator, instead found '2' in filter expression"},
        {"t.=1", AllowPredicates,
         "Symbol or string expression expected after table correlation name separator '.', instead found '=' "
         "in "
         "filter expression"},
        {"t.*", AllowPredicates, "* (all columns) symbol is not allowed in filter expression"},
        {"*", AllowPredicates, "* (all columns) symbol is not allowed in filter expression"},
        {"SUM 1", AllowAggregates,
         "Left parentheses expected after aggregate function 'SUM', instead found '1' in filter expression"},
        {"count(a b)", AllowAggregates,
         "Right parentheses expected after aggregate count function argument, instead found 'b' in filter "
         "expression"},
        {"CURRENT_DATE(1)", AllowPredicates,
         "Right parentheses expected after first CURRENT_DATE function parentheses, instead found '1' in "
         "filter "
         "expression"},
    };
    for (const auto& c : cases) EXPECT_EQ(Error(c.Text, c.Flags), c.Message) << c.Text;

    // Allowed with the right flags.
    TExpTreeHolder star(Parse("COUNT(*)", AllowAggregates | AllowAllColumns));
    EXPECT_EQ(Show(star.get()), "25(*)");
    TExpTreeHolder qualified(Parse("t.*", AllowAllColumns));
    EXPECT_EQ(qualified->ColumnName, "*");
    EXPECT_EQ(qualified->TableName, "t");
}

TEST_F(ParserTest, OverlyDeepTextsAreRefused) {
    EXPECT_EQ(Error(std::string(50000, '(') + "1" + std::string(50000, ')')),
              "Expression nested too deeply in filter expression");
    EXPECT_EQ(Error(std::string(300, '(') + "1" + std::string(300, ')')),
              "Expression nested too deeply in filter expression");
    std::string chain = "a";
    for (int i = 0; i < 5000; ++i) chain += "+a";
    EXPECT_EQ(Error(chain), "Expression too complex in filter expression");
    std::string upper;
    for (int i = 0; i < 1000; ++i) upper += "UPPER(";
    EXPECT_EQ(Error(upper + "a" + std::string(1000, ')')),
              "Expression nested too deeply in filter expression");
    // Within the limits.
    TExpTreeHolder nested(Parse(std::string(150, '(') + "1" + std::string(150, ')')));
    EXPECT_EQ(nested->Kind, tkConstant);
}

TEST_F(ParserTest, Functions) {
    struct Case {
        const char* Text;
        const char* Tree;
        uint8_t Type;
    } cases[] = {
        {"SUBSTRING(Name FROM 2 FOR 3)", "46(Name,'2','3')", fldString},
        {"substring(Name from 2)", "46(Name,'2')", fldString},
        {"REPLACE('a' WITH 'b' IN Name)", "47('a','b',Name)", fldString},
        {"POS('a' IN Name)", "48('a',Name)", fldInteger},
        {"OCCURS('a' IN Name)", "49('a',Name)", fldInteger},
        {"TRIM(BOTH ' ' FROM Name)", "52(' ',Name)", fldString},
        {"TRIM(LEADING 'x' FROM Name)", "50('x',Name)", fldString},
        {"TRIM(trailing 'x' FROM Name)", "51('x',Name)", fldString},
        {"EXTRACT(DAYOFWEEK FROM d)", "59(d)", fldInteger},
        {"EXTRACT(year FROM d)", "55(d)", fldInteger},
        {"IF(a = 1, 'x', 'y')", "64(3(a,'1'),'x','y')", 0},
        {"IF(a = 1 THEN 'x' ELSE 'y')", "64(3(a,'1'),'x','y')", 0},
        {"IFNULL(a THEN 0 ELSE a)", "66(a,'0',a)", 0},
        {"COALESCE(a, b, c)", "65(a,b,c)", 0},
        {"LOWER(a)", "37(a)", fldString},
        {"UPPER(a || 'x')", "36(17(a,'x'))", fldString},
        {"LENGTH(a)", "53(a)", fldInteger},
        {"ABS(-a)", "67(15(a))", 0},
        {"TEXTSEARCH('w' IN Memo)", "69('w',Memo)", fldBoolean},
        {"TEXTOCCURS('w' IN Memo)", "70('w',Memo)", fldWord},
        {"LASTAUTOINC('Parts')", "71('Parts')", fldInteger},
        {"IDENT_CURRENT('Parts')", "72('Parts')", fldInteger},
        {"CAST(x AS VARCHAR(20))", "54(x,'20')", fldString},
        {"CAST(x AS DECIMAL(10, 2))", "54(x,'10','2')", fldBCD},
        {"CAST(x AS DECIMAL(10))", "54(x,'10')", fldBCD},
        {"CAST(x AS decimal)", "54(x)", fldBCD},
        {"CAST(x AS FLOAT(1, 2))", "54(x,'1','2')", fldFloat},
        {"CAST(x AS BLOB(0, 1))", "54(x,'0','1')", fldBlob},
    };
    for (const auto& c : cases) {
        TExpTreeHolder t(Parse(c.Text));
        EXPECT_EQ(Show(t.get()), c.Tree) << c.Text;
        EXPECT_EQ(t->Kind, tkFunction) << c.Text;
        EXPECT_EQ(t->DataType, c.Type) << c.Text;
    }
    // IF's condition may use predicates where the surrounding flags forbid them.
    TExpTreeHolder ifLike(Parse("IF(a LIKE 'x%', 1, 0)", AllowAggregates));
    EXPECT_EQ(Show(ifLike.get()), "64(32(a,'x%'),'1','0')");
    TExpTreeHolder upper(Parse("UPPER(a)"));
    TExpTreeHolder upperSum(Parse("UPPER(a || 'x')"));
    TExpTreeHolder search(Parse("TEXTSEARCH('w' IN m)"));
    EXPECT_TRUE(TExpressionParser::IsUpperOfColumn(upper.get()));
    EXPECT_FALSE(TExpressionParser::IsUpperOfColumn(upperSum.get()));
    EXPECT_TRUE(TExpressionParser::IsTextSearchCall(search.get()));
    EXPECT_FALSE(TExpressionParser::IsTextSearchCall(upper.get()));
    TExpTreeHolder blob(Parse("CAST(x AS BLOB(0, 1))"));
    EXPECT_EQ(blob->SubType, 0);
    TExpTreeHolder plainBlob(Parse("CAST(x AS BLOB)"));
    EXPECT_EQ(plainBlob->SubType, fldstBinary);
    TExpTreeHolder memo(Parse("CAST(x AS MEMO)"));
    EXPECT_EQ(memo->SubType, fldstMemo);
}

TEST_F(ParserTest, FunctionErrors) {
    const std::string in = "' in filter expression";
    struct Case {
        const char* Text;
        std::string Message;
    } cases[] = {
        {"SUBSTRING(Name, 2, 3)",
         "FROM keyword expected after first SUBSTRING function argument, instead found ','" + in.substr(1)},
        {"SUBSTRING(Name FROM 2 3)",
         "Right parentheses expected after SUBSTRING function arguments, instead found '3" + in},
        {"REPLACE('a', 'b')",
         "WITH keyword expected after first REPLACE function argument, instead found ','" + in.substr(1)},
        {"REPLACE('a' WITH 'b' FROM c)",
         "IN keyword expected after second REPLACE function argument, instead found 'FROM" + in},
        {"POS('a', b)",
         "IN keyword expected after first POS function argument, instead found ','" + in.substr(1)},
        {"OCCURS('a' IN b c)",
         "Right parentheses expected after OCCURS function arguments, instead found 'c" + in},
        {"TRIM(Name)",
         "LEADING, TRAILING, or BOTH keyword expected after TRIM keyword, instead found 'Name" + in},
        {"TRIM(BOTH ' ' IN Name)",
         "FROM keyword expected after second TRIM function argument, instead found 'IN" + in},
        {"EXTRACT(CENTURY FROM d)",
         "YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, or SECOND keyword expected after "
         "EXTRACT "
         "keyword, instead found 'CENTURY" +
             in},
        {"EXTRACT(DAY d)",
         "FROM keyword expected after second EXTRACT function argument, instead found 'd" + in},
        {"ROUND(Price, 2)",
         "Right parentheses expected after ROUND function arguments, instead found ','" + in.substr(1)},
        {"IF(a = 1; 2, 3)",
         "THEN keyword or comma expected after first IF function argument, instead found ';" + in},
        {"IFNULL(a, 2 3)",
         "ELSE keyword or comma expected after second IFNULL function argument, instead found '3" + in},
        {"IF(a = 1, 2, 3", "Right parentheses expected after IF function arguments, instead found '" + in},
        {"COALESCE(a b)",
         "Expected right parentheses after COALESCE expression arguments, instead found 'b" + in},
        {"TEXTSEARCH('w', m)",
         "IN keyword expected after first TEXTSEARCH function argument, instead found ','" + in.substr(1)},
        {"TEXTOCCURS('w' IN m n)",
         "Right parentheses expected after TEXTOCCURS function argument, instead found 'n" + in},
        {"LASTAUTOINC('t' 'u')",
         "Right parentheses expected after LASTAUTOINC function argument, instead found 'u" + in},
        {"lower x", "Left parentheses expected after LOWER keyword, instead found 'x" + in},
        {"UPPER(x y)", "Right parentheses expected after UPPER function argument, instead found 'y" + in},
        {"CAST(x, CHAR(2))",
         "AS keyword expected after first CAST function argument, instead found ','" + in.substr(1)},
        {"CAST(x AS CHAR)", "Left parentheses expected after CHAR data type, instead found ')" + in},
        {"CAST(x AS VARCHAR(2)",
         "Right parentheses expected after CAST function arguments, instead found '" + in},
        {"CAST(x AS CHAR(2 3))",
         "Right parentheses expected after CHAR data type arguments, instead found '3" + in},
        {"CAST(x AS STRING)", "SQL data type keyword expected, instead found 'STRING" + in},
        {"CAST(x AS NUMERIC(10 2))", "Comma expected after first NUMERIC argument, instead found '2" + in},
        {"CAST(x AS DECIMAL(10, 2 3))",
         "Right parentheses expected after DECIMAL data type arguments, instead found '3" + in},
        {"CAST(x AS FLOAT(1 2))", "Comma expected after first FLOAT argument, instead found '2" + in},
        {"CAST(x AS BLOB(1))", "Comma expected after first BLOB argument, instead found ')" + in},
        {"CAST(x AS BLOB(1, 2 3))",
         "Right parentheses expected after BLOB data type arguments, instead found '3" + in},
    };
    for (const auto& c : cases) EXPECT_EQ(Error(c.Text), c.Message) << c.Text;

    // [LOWER] is a column; the parenthesis is the caller's.
    TExpressionParser p;
    Start(p, "[LOWER](x)");
    TExpTreeHolder t(p.ParseExpression(AllowPredicates));
    EXPECT_EQ(t->Kind, tkColumn);
    EXPECT_TRUE(p.IsTokenKind('('));
}

TEST_F(ParserTest, DataTypeNames) {
    struct Case {
        const char* Name;
        uint8_t Type;
        uint8_t SubType;
        int Arguments;
    } cases[] = {
        {"SMALLINT", fldSmallInt, 0, 0},
        {"WORD", fldWord, 0, 0},
        {"INTEGER", fldInteger, 0, 0},
        {"int", fldInteger, 0, 0},
        {"LARGEINT", fldLargeInt, 0, 0},
        {"AUTOINC", fldInteger, fldstAutoInc, 0},
        {"DECIMAL(5,2)", fldBCD, 0, 3},
        {"NUMERIC", fldBCD, 0, 0},
        {"FLOAT", fldFloat, 0, 0},
        {"MONEY", fldFloat, fldstMoney, 0},
        {"CHARACTER(3)", fldString, 0, 2},
        {"CHAR(3)", fldString, 0, 2},
        {"VARCHAR(3)", fldString, 0, 2},
        {"BYTES(3)", fldBytes, 0, 2},
        {"VARBYTES(3)", fldBytes, 0, 2},
        {"BINARY(3)", fldBytes, 0, 2},
        {"VARBINARY(3)", fldBytes, 0, 2},
        {"DATE", fldDate, 0, 0},
        {"TIME", fldTime, 0, 0},
        {"TIMESTAMP", fldTimestamp, 0, 0},
        {"BOOLEAN", fldBoolean, 0, 0},
        {"BOOL", fldBoolean, 0, 0},
        {"BIT", fldBoolean, 0, 0},
        {"BLOB", fldBlob, fldstBinary, 0},
        {"BLOB(1,1)", fldBlob, 0, 3},
        {"LONGVARBINARY", fldBlob, fldstBinary, 0},
        {"LONGVARCHAR", fldBlob, fldstMemo, 0},
        {"MEMO", fldBlob, fldstMemo, 0},
        {"GRAPHIC", fldBlob, fldstGraphic, 0},
    };
    for (const auto& c : cases) {
        TExpressionParser p;
        Start(p, c.Name);
        TExpTreeHolder node(NewExpToken());
        p.ParseDataType(node.get(), 0, false);
        EXPECT_TRUE(p.IsTokenKind(etEnd)) << c.Name;
        EXPECT_EQ(node->DataType, c.Type) << c.Name;
        EXPECT_EQ(node->SubType, c.SubType) << c.Name;
        EXPECT_EQ(node->ArgumentCount(), c.Arguments) << c.Name;
    }
    TExpressionParser p;
    Start(p, "STRING");
    TExpTreeHolder node(NewExpToken());
    p.ParseDataType(node.get(), 0, true);
    EXPECT_EQ(node->DataType, 0);
    EXPECT_TRUE(p.IsKeyword("STRING"));  // nothing consumed
}

// A sub-select query that reads its SELECT from the statement's parser, up to the closing
// parenthesis, as the SQL layer's statement parser would.
class ReadingQuery : public testing::FakeQuery {
public:
    explicit ReadingQuery(TExpressionParser*& parser) : Parser(parser) {}
    void ParseStatement(bool nested, bool unionPart, TDataQuery* master) override {
        FakeQuery::ParseStatement(nested, unionPart, master);
        while (!Parser->IsTokenKind(')') && !Parser->IsTokenKind(etEnd)) Parser->NextToken();
    }
    TExpressionParser*& Parser;
};

class ReadingStatement : public testing::FakeStatement {
public:
    std::unique_ptr<TDataQuery> CreateQuery() override { return std::make_unique<ReadingQuery>(Parser); }
    TExpressionParser* Parser = nullptr;
};

TEST_F(ParserTest, StatementHooksForParametersAndSubSelects) {
    ReadingStatement statement;
    TExpressionParser p(nullptr, &statement);
    statement.Parser = &p;
    Start(p, "a = ? AND b IN (SELECT c FROM t) AND d NOT IN (SELECT e FROM u) AND f > ?");
    TExpTreeHolder t(p.ParseExpression(AllowPredicates | AllowParameters | AllowSubSelects));
    ASSERT_EQ(statement.Params.size(), 2u);
    EXPECT_TRUE(statement.Params[0]->IsParam);
    EXPECT_EQ(statement.Params[0], t->Left->Left->Left->Right);
    ASSERT_EQ(statement.Queries.size(), 2u);
    auto* query = static_cast<testing::FakeQuery*>(statement.Queries[0].get());
    EXPECT_EQ(query->SubSelect, 1);
    EXPECT_EQ(query->Calls, std::vector<std::string>{"parse nested"});
    TExpToken* in = t->Left->Left->Right;
    EXPECT_EQ(in->Code, ecInSelect);
    EXPECT_EQ(in->Arguments[1]->Kind, tkSubSelect);
    EXPECT_EQ(in->Arguments[1]->Query, query);
    EXPECT_EQ(t->Left->Right->Code, ecNotInSelect);
}

TEST_F(ParserTest, FailedParseLeavesNoParameterBehind) {
    testing::FakeStatement statement;
    TExpressionParser p(nullptr, &statement);
    Start(p, "a = ?");
    TExpTreeHolder kept(p.ParseExpression(AllowParameters));
    Start(p, "b = ? AND c = ? AND (");
    EXPECT_THROW(p.ParseExpression(AllowParameters), EDbEngineError);
    // The parameters of the failed text were given back with their tree; only the first stays.
    ASSERT_EQ(statement.Params.size(), 1u);
    EXPECT_EQ(statement.Params[0], kept->Right);
}

}  // namespace
}  // namespace dbengine

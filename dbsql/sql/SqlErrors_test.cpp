// Every syntax error of the grammar, each raised once with its exact text.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "dbsql/testsupport/SqlParseTest.h"

namespace dbsql {
namespace {

using SqlErrorTest = testsupport::SqlParseTest;

struct ErrorCase {
    const char* Sql;
    const char* Message;  // after "Engine Error # 11949 SQL error - "
};

const ErrorCase ErrorCases[] = {
    // Dispatch and end of statement.
    {"(x", "SELECT keyword expected, instead found 'x'"},
    {"CREATE VIEW v",
     "TABLE, INDEX, UNIQUE, ASC, ASCENDING, DESC, DESCENDING, or NOCASE keyword expected, instead found "
     "'VIEW'"},
    {"ALTER INDEX i", "TABLE keyword expected, instead found 'INDEX'"},
    {"DROP VIEW v", "TABLE or INDEX keyword expected, instead found 'VIEW'"},
    {"START WORK", "TRANSACTION keyword expected, instead found 'WORK'"},
    {"GRANT x",
     "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found 'GRANT'"},
    {"DELETE FROM t WHERE x = 1 NOAUTOINC", "End of DELETE statement expected, instead found 'NOAUTOINC'"},
    // SELECT.
    {"SELECT , a FROM t", "Source column expression is empty"},
    {"SELECT a AS , b FROM t", "Symbol or string expected after AS keyword, instead found ','"},
    {"SELECT a b.(c) FROM t", "Symbol or string expected after table correlation name, instead found '('"},
    {"SELECT SUM(MAX(a)) FROM t", "Aggregate functions cannot be nested"},
    {"SELECT SUM(a) + 1 FROM t", "Aggregate functions cannot be used within expressions"},
    {"INSERT INTO t SELECT a INTO r FROM u", "The INTO clause can only be used with the master query"},
    {"SELECT a INTO 1 FROM t", "Result table name expected in INTO clause, instead found '1'"},
    {"SELECT a b c", "FROM keyword expected, instead found 'c'"},
    {"SELECT a FROM t\\1", "Table name expected after FROM keyword, instead found '1'"},
    {"SELECT x FROM t a, u A", "Duplicate table correlation name 'A' found in source tables"},
    {"SELECT x FROM t ORDER BY x UNION SELECT x FROM u",
     "You cannot use an ORDER BY clause within a UNIONed query"},
    {"SELECT x FROM t INNER u ON t.a = u.a", "JOIN keyword expected after INNER keyword, instead found 'u'"},
    {"SELECT x FROM t LEFT OUTER u ON t.a = u.a",
     "JOIN keyword expected after LEFT or OUTER keyword, instead found 'u'"},
    {"SELECT x FROM t RIGHT u ON t.a = u.a",
     "JOIN keyword expected after RIGHT or OUTER keyword, instead found 'u'"},
    {"SELECT x FROM t JOIN 1", "Table name expected after JOIN keyword, instead found '1'"},
    {"SELECT x FROM t JOIN u v WHERE x = 1", "ON keyword expected in JOIN clause, instead found 'WHERE'"},
    {"SELECT x FROM t WHERE", "WHERE or JOIN clause is empty"},
    {"SELECT x FROM ((t JOIN u ON t.a = u.a) JOIN v ON u.b = v.b)", "Mismatched join parentheses"},
    {"SELECT x FROM t JOIN u ON t.a = u.a FULL OUTER JOIN v ON u.b = v.b",
     "Full outer joins are currently not supported in database engine SQL SELECT statements"},
    {"SELECT x FROM t GROUP x", "BY keyword expected after GROUP keyword, instead found 'x'"},
    {"SELECT x FROM t GROUP BY (x)",
     "Column name or column number expected in GROUP BY clause, instead found '('"},
    {"SELECT x FROM t GROUP BY x HAVING", "HAVING clause is empty"},
    {"SELECT x FROM t ORDER x", "BY keyword expected after ORDER keyword, instead found 'x'"},
    {"SELECT x FROM t ORDER BY -1",
     "Column name or column number expected in ORDER BY clause, instead found '-'"},
    {"SELECT x FROM t TOP x", "Integer value expected after TOP keyword, instead found 'x'"},
    {"SELECT x FROM t WITH x", "LOCKS keyword expected after WITH keyword, instead found 'x'"},
    {"(SELECT x FROM t UNION SELECT y FROM u)",
     "Right parentheses expected after SELECT statement, instead found 'UNION'"},
    // INSERT, UPDATE, DELETE and the COMMIT clause.
    {"INSERT t VALUES (1)", "INTO keyword expected, instead found 't'"},
    {"INSERT INTO (a) VALUES (1)", "Table name expected after INTO clause, instead found '('"},
    {"INSERT INTO MEMORY (a) VALUES (1)", "Table name expected after INTO keyword, instead found '('"},
    {"INSERT INTO t () VALUES (1)", "Table column name is empty"},
    {"INSERT INTO t (a VALUES (1)",
     "Right parentheses expected after list of table columns, instead found 'VALUES'"},
    {"INSERT INTO t VALUES 1", "Left parentheses expected after VALUES keyword, instead found '1'"},
    {"INSERT INTO t VALUES ()", "Value expression is empty"},
    {"INSERT INTO t VALUES (1 2)", "Right parentheses expected after list of values, instead found '2'"},
    {"INSERT INTO t (a) X", "VALUES or SELECT  keyword expected, instead found 'X'"},
    {"UPDATE (t) SET a = 1", "Table name expected, instead found '('"},
    {"UPDATE t c a = 1", "SET keyword expected, instead found 'a'"},
    {"UPDATE t SET a < 1", "Assignment (=) operator expected after column name, instead found '<'"},
    {"UPDATE t SET a = 1 FROM u",
     "The first source table specified in FROM clause must match the table being updated in the UPDATE "
     "statement"},
    {"DELETE FROM t COMMIT INTERVAL x", "Integer value expected after INTERVAL keyword, instead found 'x'"},
    {"DELETE FROM t COMMIT WORK",
     "INTERVAL and/or FLUSH keywords expected after COMMIT keyword, instead found 'WORK'"},
    // Table and index definitions.
    {"CREATE TABLE (a INT)", "Table name expected after CREATE TABLE keywords, instead found '('"},
    {"ALTER TABLE", "Table name expected after ALTER TABLE keywords, instead found ''"},
    {"DROP TABLE 1", "Table name expected after DROP TABLE keywords, instead found '1'"},
    {"CREATE INDEX i ON (a)", "Table name expected after ON keyword, instead found '('"},
    {"CREATE TABLE IF EXISTS t (a INT)", "NOT keyword expected after IF keyword, instead found 'EXISTS'"},
    {"CREATE TABLE IF NOT t (a INT)", "EXISTS keyword expected after NOT keyword, instead found 't'"},
    {"DROP TABLE IF NOT EXISTS t", "EXISTS keyword expected after IF keyword, instead found 'NOT'"},
    {"CREATE TABLE t a INT", "Left parentheses expected before list of table columns, instead found 'a'"},
    {"CREATE TABLE t (a x)", "SQL data type keyword expected, instead found 'x' in table column"},
    {"CREATE TABLE t (a INT NOT x)", "NULL keyword expected after NOT keyword, instead found 'x'"},
    {"CREATE TABLE t (a CHAR(5) CHARCASE x)",
     "UPPER, LOWER, or NOCHANGE keyword expected after CHARCASE keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT, UNIQUE KEY (a))", "PRIMARY keyword expected, instead found 'KEY'"},
    {"CREATE TABLE t (a INT, PRIMARY (a))", "KEY keyword expected after PRIMARY keyword, instead found '('"},
    {"CREATE TABLE t (a INT x)",
     "Right parentheses expected after CREATE TABLE statement, instead found 'x'"},
    {"CREATE TABLE t (a INT, PRIMARY KEY a)", "Left parentheses expected, instead found 'a'"},
    {"CREATE TABLE t (a INT, b INT, PRIMARY KEY (a, t.b))",
     "Invalid use of table correlation name 't' specified in indexed columns"},
    {"CREATE INDEX i ON t (a b)", "Right parentheses expected, instead found 'b'"},
    {"CREATE INDEX i ON t ()", "Index column name is empty"},
    {"CREATE INDEX i ON t (a) COMPRESS x",
     "FULL, DUPBYTE, TRAILBYTE, or NONE keyword expected after COMPRESS keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT TEXT (a))", "INDEX keyword expected after TEXT keyword, instead found '('"},
    {"CREATE TABLE t (a INT TEXT INDEX a)",
     "Left parentheses expected after TEXTINDEX keyword, instead found 'a'"},
    {"CREATE TABLE t (a INT TEXT INDEX (a b))",
     "Right parentheses expected after TEXT INDEX clause, instead found 'b'"},
    {"CREATE TABLE t (a INT TEXT INDEX (a) STOP x)",
     "WORDS keyword expected after STOP keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT TEXT INDEX (a) STOP WORDS)", "Stop words are empty"},
    {"CREATE TABLE t (a INT TEXT INDEX (a) SPACE x)",
     "CHARS keyword expected after SPACE keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT TEXT INDEX (a) INCLUDE CHARS)", "Character set is empty"},
    {"CREATE TABLE t (a INT TEXT INDEX (a) INCLUDE x)",
     "CHARS keyword expected after INCLUDE keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT BLOB SIZE 512)",
     "BLOCK keyword expected after BLOB keyword, instead found 'SIZE'"},
    {"CREATE TABLE t (a INT BLOB BLOCK 512)",
     "SIZE keyword expected after BLOCK keyword, instead found '512'"},
    {"CREATE TABLE t (a INT BLOB BLOCK SIZE x)",
     "Integer value expected after SIZE keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT LANGUAGE 'Klingon')",
     "Invalid language constant 'Klingon' specified after LANGUAGE keyword"},
    {"CREATE TABLE t (a INT LANGUAGE 'ANSI Standard' SORT 'German Phone Book Order')",
     "Invalid sort constant 'German Phone Book Order' specified after SORT keyword"},
    {"CREATE TABLE t (a INT ENCRYPTED 'x')",
     "WITH keyword expected after ENCRYPTED keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT USER MAJOR 2)",
     "VERSION keyword expected after MAJOR keyword, instead found '2'"},
    {"CREATE TABLE t (a INT USER MINOR 2)",
     "VERSION keyword expected after MINOR keyword, instead found '2'"},
    {"CREATE TABLE t (a INT USER MINOR VERSION x)",
     "Integer value expected after VERSION keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT USER x)",
     "MAJOR or MINOR keyword expected after USER keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT LAST x)", "AUTOINC keyword expected after LAST keyword, instead found 'x'"},
    {"CREATE TABLE t (a INT LAST AUTOINC)", "Next auto-increment number is empty"},
    {"CREATE TABLE t (a INT LAST AUTOINC x)",
     "Integer constant expected after AUTOINC keyword, instead found 'x'"},
    {"CREATE UNIQUE x ON t (a)", "INDEX keyword expected, instead found 'x'"},
    {"CREATE INDEX (a)", "Index name expected after INDEX keyword, instead found '('"},
    {"CREATE INDEX i t (a)", "ON keyword expected after index name, instead found 't'"},
    {"ALTER TABLE t ADD a INT AT x", "Integer value expected after AT keyword, instead found 'x'"},
    {"DROP INDEX 1", "Table name expected after DROP INDEX keywords, instead found '1'"},
};

TEST_F(SqlErrorTest, EachSyntaxErrorHasItsExactText) {
    std::set<std::string> seen;
    for (const ErrorCase& c : ErrorCases) {
        EXPECT_TRUE(seen.insert(c.Message).second) << "listed twice: " << c.Message;
        EXPECT_EQ(Error(c.Sql), std::string("Engine Error # 11949 SQL error - ") + c.Message) << c.Sql;
    }
}

// Values that do not fit their field are refused, never wrapped.
TEST_F(SqlErrorTest, IntegersOutsideTheirFieldAreRefused) {
    const ErrorCase cases[] = {
        {"SELECT x FROM t TOP 2147483648",
         "Integer value expected after TOP keyword, instead found '2147483648'"},
        {"DELETE FROM t COMMIT INTERVAL 99999999999",
         "Integer value expected after INTERVAL keyword, instead found '99999999999'"},
        {"CREATE TABLE t (a INT BLOB BLOCK SIZE 65536)",
         "Integer value expected after SIZE keyword, instead found '65536'"},
        {"CREATE TABLE t (a INT USER MAJOR VERSION 65536)",
         "Integer value expected after VERSION keyword, instead found '65536'"},
        {"ALTER TABLE t REDEFINE a AT 32768",
         "Integer value expected after AT keyword, instead found '32768'"},
        {"CREATE TABLE t (a INT LAST AUTOINC 4294967296)",
         "Integer constant expected after AUTOINC keyword, instead found '4294967296'"},
        {"CREATE TABLE t (a INT LAST AUTOINC -2)",
         "Integer constant expected after AUTOINC keyword, instead found '-2'"},
        {"CREATE TABLE t (a INT LAST AUTOINC 1.5)",
         "Integer constant expected after AUTOINC keyword, instead found '1.5'"},
        {"SELECT x FROM t ORDER BY 40000",
         "Column name or column number expected in ORDER BY clause, instead found '40000'"},
    };
    for (const ErrorCase& c : cases)
        EXPECT_EQ(Error(c.Sql), std::string("Engine Error # 11949 SQL error - ") + c.Message) << c.Sql;
}

TEST_F(SqlErrorTest, MalformedTextNamesWhereParsingStopped) {
    const ErrorCase cases[] = {
        {"SELECT ? FROM t", "Parameters are not allowed in source column expression"},
        {"SELECT a FROM t WHERE b = 'x", "Missing single quote after '' in WHERE or JOIN clause"},
        {"SELECT a FROM t RANGE 1 TO 2", "End of SELECT statement expected, instead found 'RANGE'"},
        {"COMMIT FLUSH WORK", "End of COMMIT statement expected, instead found 'WORK'"},
        {"SELECT a FROM t UNION DELETE FROM u", "SELECT keyword expected, instead found 'DELETE'"},
        {"SELECT (a FROM t", "Right parentheses expected, instead found 'FROM' in source column expression"},
        {"SELECT a FROM t WHERE b IN (SELECT c FROM u WHERE d = ",
         "Unknown or unexpected symbol '' found in WHERE or JOIN clause"},
        {"SELECT a FROM t WHERE b IN (SELECT c FROM u) AND (",
         "Unknown or unexpected symbol '' found in WHERE or JOIN clause"},
    };
    for (const ErrorCase& c : cases)
        EXPECT_EQ(Error(c.Sql), std::string("Engine Error # 11949 SQL error - ") + c.Message) << c.Sql;
}

TEST_F(SqlErrorTest, DeepNestingEndsWithAnErrorInsteadOfExhaustingTheStack) {
    auto nested = [](int depth) {
        std::string sql = "SELECT a FROM t";
        for (int i = 0; i < depth; ++i) sql += " WHERE a IN (SELECT a FROM t";
        return sql + std::string(size_t(depth), ')');
    };
    EXPECT_EQ(Error(nested(MaxQueryNesting - 1)), "(none)");
    EXPECT_EQ(Error(nested(MaxQueryNesting)),
              "Engine Error # 11949 SQL error - Sub-select and UNION queries nested too deeply, instead "
              "found 'SELECT'");

    std::string unions = "SELECT a FROM t";
    for (int i = 0; i < 5000; ++i) unions += " UNION SELECT a FROM t";
    EXPECT_EQ(Error(unions),
              "Engine Error # 11949 SQL error - Sub-select and UNION queries nested too deeply, instead "
              "found 'SELECT'");

    std::string sum = "SELECT a FROM t WHERE a IN (SELECT a";
    for (int i = 0; i < 5000; ++i) sum += "+a";
    EXPECT_EQ(Error(sum + " FROM t)"),
              "Engine Error # 11949 SQL error - Expression too complex in source column expression");
}

}  // namespace
}  // namespace dbsql

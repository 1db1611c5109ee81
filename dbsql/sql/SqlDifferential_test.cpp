// Random statements run by this SQL engine and by SQLite over the same small tables must give
// the same rows (as multisets, and in order where ORDER BY fixes it), and changing statements
// must leave the same tables.
//
// KORVANE_SQL_DIFF_SEED and KORVANE_SQL_DIFF_COUNT choose the seed and the number of statements
// of each run (default: a fixed seed and 1,000 statements, three runs over each table set).
//
// Where this dialect means something else on purpose, the generator does not go:
// - NOT IN, and IN lists or sub-selects that may hold NULL (NOT IN over a NULL is true here);
// - NOT LIKE over a NULL operand (true here);
// - the row limit of a statement, TOP, and the placement of UNION parts;
// - strings with trailing blanks and empty strings (stored without the blanks, and as NULL);
// - texts outside ASCII (case-insensitive comparison and LIKE follow the engine's character
//   table here, ASCII letters only in SQLite);
// - integer division, the type of AVG (compared as a number here) and AVG over NULLs only (0
//   here): AVG is taken of a column without NULLs;
// - comparisons with NULL in WHERE. WHERE keeps this dialect's two-valued rule: "= NULL" tests
//   for NULL, NULL = NULL holds, a NULL is unequal to every value and a NULL text is less than
//   every text. WHERE conditions run as the table engine's filters, whose evaluator has that
//   rule, and stored queries and the engine's filters rely on it, so it is kept on purpose. A
//   test of a column that may hold NULL comes after IS NOT NULL. Join conditions follow SQL: a
//   NULL on either side of an equality joins nothing, and the joined columns hold NULLs;
// - HAVING names aggregates of the select list only, and not COUNT(*);
// - MIN and MAX of texts (numbers, dates and times only here).

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dbsql/testsupport/SqlTableTest.h"

namespace dbsql {
namespace {

using TTable = std::vector<std::string>;

// One cell as both sides show it: NULL, a number (integral values without a fraction, others
// with six significant digits) or a text.
std::string NumberText(double value) {
    char text[40];
    if (std::fabs(value) < 1e15 && value == std::floor(value))
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    else
        std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string EngineCell(dbengine::TDataCursor& c, uint16_t field, const uint8_t* record) {
    dbengine::TFieldDescriptor d;
    c.GetFieldDesc(field, d);
    uint8_t v[256] = {};
    bool blank = false;
    c.GetField(field, record, v, blank);
    if (blank) return "NULL";
    switch (d.FieldType) {
        case dbengine::fldSmallInt:
            return NumberText(dbengine::GetInt16(v));
        case dbengine::fldInteger:
            return NumberText(dbengine::GetInt32(v));
        case dbengine::fldLargeInt:
            return NumberText(static_cast<double>(static_cast<int64_t>(dbengine::GetUInt64(v))));
        case dbengine::fldFloat:
            return NumberText(dbengine::GetDouble(v));
        default:
            return "'" + std::string(reinterpret_cast<const char*>(v)) + "'";
    }
}

class SqliteDatabase {
public:
    SqliteDatabase() { sqlite3_open(":memory:", &Db); }
    ~SqliteDatabase() { sqlite3_close(Db); }
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // The rows of a statement (each row's cells joined by "|"); changed rows for others.
    TTable Run(const std::string& sql, int& changes, std::string& error) {
        TTable rows;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(Db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(Db);
            return rows;
        }
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                if (i > 0) row += "|";
                switch (sqlite3_column_type(statement, i)) {
                    case SQLITE_NULL:
                        row += "NULL";
                        break;
                    case SQLITE_INTEGER:
                    case SQLITE_FLOAT:
                        row += NumberText(sqlite3_column_double(statement, i));
                        break;
                    default:
                        row += "'" +
                               std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, i))) +
                               "'";
                        break;
                }
            }
            rows.push_back(row);
        }
        if (step != SQLITE_DONE) error = sqlite3_errmsg(Db);
        sqlite3_finalize(statement);
        changes = sqlite3_changes(Db);
        return rows;
    }

    void Exec(const std::string& sql) {
        int changes = 0;
        std::string error;
        Run(sql, changes, error);
        ASSERT_TRUE(error.empty()) << sql << ": " << error;
    }

private:
    sqlite3* Db = nullptr;
};

// The columns of the three tables; A.Id and B.Id are unique, everything else repeats and may be
// NULL.
struct TColumn {
    const char* Table;
    const char* Name;
    bool Text;
};
const TColumn Columns[] = {
    {"A", "Id", false}, {"A", "Grp", false}, {"A", "Name", true},  {"A", "Val", false},
    {"B", "Id", false}, {"B", "AId", false}, {"B", "Tag", true},   {"B", "Amt", false},
    {"C", "Tag", true}, {"C", "Note", true}, {"C", "Rank", false},
};

class Generator {
public:
    explicit Generator(uint32_t seed) : Random(seed) {}

    int Pick(int n) { return static_cast<int>(Random() % static_cast<uint32_t>(n)); }

    // A text of 1 to 3 letters from a small alphabet with case variants; no blanks.
    std::string Word() {
        static const char letters[] = "abcAB";
        std::string s;
        for (int i = 0, n = 1 + Pick(3); i < n; ++i) s += letters[Pick(5)];
        return s;
    }
    std::string TextValue() { return Pick(6) == 0 ? "NULL" : "'" + Word() + "'"; }
    std::string NumberValue(int range) { return Pick(6) == 0 ? "NULL" : std::to_string(Pick(range) - 3); }

    // A condition over the columns of the given tables. A test of a column that may hold NULL
    // is written with IS NOT NULL before it.
    std::string Condition(const std::vector<std::string>& tables, int depth) {
        return Predicate(tables, depth);
    }

    std::string Guarded(const TColumn& c, const std::string& test) {
        if (std::string(c.Name) == "Id") return test;
        return "(" + Qualified(c) + " IS NOT NULL AND " + test + ")";
    }

    std::string Predicate(const std::vector<std::string>& tables, int depth) {
        switch (Pick(depth > 0 ? 10 : 7)) {
            case 0:
            case 1: {
                const TColumn& c = ColumnOf(tables);
                static const char* ops[] = {"=", "<>", "<", ">", "<=", ">="};
                return Guarded(c, Qualified(c) + " " + ops[Pick(6)] + " " + Constant(c));
            }
            case 2: {
                const TColumn& c = ColumnOf(tables);
                return Qualified(c) + (Pick(2) ? " IS NULL" : " IS NOT NULL");
            }
            case 3: {
                const TColumn& c = ColumnOf(tables);
                std::string low = Constant(c, false), high = Constant(c, false);
                return Guarded(
                    c, Qualified(c) + (Pick(3) == 0 ? " NOT" : "") + " BETWEEN " + low + " AND " + high);
            }
            case 4: {
                const TColumn& c = ColumnOf(tables);
                return Guarded(c, Qualified(c) + " IN (" + Constant(c, false) + ", " + Constant(c, false) +
                                      ", " + Constant(c, false) + ")");
            }
            case 5: {
                const TColumn& c = TextColumnOf(tables);
                static const char* shapes[] = {"%s%%", "%%%s", "%%%s%%", "%s"};
                char pattern[32];
                std::snprintf(pattern, sizeof pattern, shapes[Pick(4)], Word().c_str());
                // NOT LIKE over a NULL means something else here: only LIKE.
                return Guarded(c, Qualified(c) + " LIKE '" + pattern + "'");
            }
            case 6: {
                // IN (SELECT ...) over a column without NULLs in the sub-select.
                const TColumn& c = NumberColumnOf(tables);
                return Guarded(c, Qualified(c) +
                                      " IN (SELECT AId FROM \"B\" WHERE AId IS NOT NULL AND Amt > " +
                                      std::to_string(Pick(10)) + ")");
            }
            case 7:
            case 8:
                return "(" + Predicate(tables, depth - 1) + (Pick(2) ? ") AND (" : ") OR (") +
                       Predicate(tables, depth - 1) + ")";
            default: {
                // NOT over a NULL operand is true here: only over columns that hold no NULL.
                const TColumn& c = ColumnOf(tables);
                if (std::string(c.Name) != "Id") return Predicate(tables, depth - 1);
                return "NOT (" + Qualified(c) + " > " + Constant(c) + ")";
            }
        }
    }

    const TColumn& ColumnOf(const std::vector<std::string>& tables) {
        for (;;) {
            const TColumn& c = Columns[Pick(static_cast<int>(std::size(Columns)))];
            if (std::find(tables.begin(), tables.end(), c.Table) != tables.end()) return c;
        }
    }
    const TColumn& TextColumnOf(const std::vector<std::string>& tables) {
        for (;;) {
            const TColumn& c = ColumnOf(tables);
            if (c.Text) return c;
        }
    }
    const TColumn& NumberColumnOf(const std::vector<std::string>& tables) {
        for (;;) {
            const TColumn& c = ColumnOf(tables);
            if (!c.Text) return c;
        }
    }
    static std::string Qualified(const TColumn& c) { return std::string(c.Table) + "." + c.Name; }
    std::string Constant(const TColumn& c, bool nullable = false) {
        if (nullable && Pick(8) == 0) return "NULL";
        return c.Text ? "'" + Word() + "'" : std::to_string(Pick(12) - 3);
    }

private:
    std::mt19937 Random;
};

uint32_t EnvironmentNumber(const char* name, uint32_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != 0 ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

class SqlDifferentialTest : public SqlTableTest {
protected:
    void SetUp() override {
        SqlTableTest::SetUp();
        Seed = EnvironmentNumber("KORVANE_SQL_DIFF_SEED", 20031005);
        Count = EnvironmentNumber("KORVANE_SQL_DIFF_COUNT", 1000);
    }

    // Runs the statement on both sides; false (with a failure that names the seed and both
    // statements) when they differ.
    bool Compare(const std::string& ours, const std::string& theirs, bool ordered, size_t* rows = nullptr) {
        int changes = 0;
        std::string error;
        TTable expected = Lite.Run(theirs, changes, error);
        if (rows != nullptr) *rows = expected.size() + static_cast<size_t>(changes);
        if (!error.empty()) {
            ADD_FAILURE() << "SQLite refused a generated statement (seed " << Seed << "): " << theirs << ": "
                          << error;
            return false;
        }
        TTable actual;
        int32_t affected = 0;
        std::string failure;
        try {
            TQueryStatement statement(Database);
            statement.PrepareSQL(ours);
            dbengine::TDataCursor* cursor = statement.ExecuteSQL();
            affected = statement.RowsAffected;
            if (cursor != nullptr) actual = Rows(*cursor);
        } catch (const dbengine::EDbEngineError& e) {
            failure = e.Message;
        } catch (const std::exception& e) {
            failure = e.what();
        }
        const bool returnsRows = ours.rfind("SELECT", 0) == 0;
        if (!failure.empty()) {
            ADD_FAILURE() << "seed " << Seed << "\n  ours:   " << ours << "\n  SQLite: " << theirs
                          << "\n  raised: " << failure;
            return false;
        }
        if (!returnsRows && affected != changes) {
            ADD_FAILURE() << "seed " << Seed << "\n  ours:   " << ours << "\n  SQLite: " << theirs
                          << "\n  rows affected " << affected << ", SQLite " << changes;
            return false;
        }
        if (!ordered) {
            std::sort(actual.begin(), actual.end());
            std::sort(expected.begin(), expected.end());
        }
        if (actual != expected) {
            std::string shown;
            for (size_t i = 0; i < std::max(actual.size(), expected.size()) && i < 12; ++i)
                shown += "\n    " + (i < actual.size() ? actual[i] : "-") + "   vs   " +
                         (i < expected.size() ? expected[i] : "-");
            ADD_FAILURE() << "seed " << Seed << "\n  ours:   " << ours << "\n  SQLite: " << theirs << "\n  "
                          << actual.size() << " rows against " << expected.size()
                          << " (ours vs SQLite):" << shown;
            return false;
        }
        return true;
    }

    bool Compare(const std::string& sql, bool ordered = false) { return Compare(sql, sql, ordered); }

    static TTable Rows(dbengine::TDataCursor& c) {
        TTable rows;
        std::vector<uint8_t> b(c.GetRecordSize() + 1u);
        c.SetToBegin();
        while (c.GetNextRecord(b.data()) == 0) {
            std::string row;
            bool first = true;
            for (uint16_t f = 1; f <= c.GetFieldCount(); ++f) {
                dbengine::TFieldDescriptor d;
                c.GetFieldDesc(f, d);
                if (d.Name.rfind(AvgCountFieldPrefix, 0) == 0) continue;
                row += (first ? "" : "|") + EngineCell(c, f, b.data());
                first = false;
            }
            rows.push_back(row);
        }
        return rows;
    }

    // Both sides run the statement; it must succeed on both.
    void Both(const std::string& sql) {
        Lite.Exec(sql);
        Execute(sql);
    }

    // The three tables, filled alike on both sides: NULLs, repeats, case variants, and records
    // deleted and inserted again. With indexes on the joined and filtered columns or without.
    void MakeTables(Generator& g, bool indexed) {
        Both("CREATE TABLE \"A\" (Id INTEGER, Grp INTEGER, Name VARCHAR(8), Val INTEGER)");
        Both("CREATE TABLE \"B\" (Id INTEGER, AId INTEGER, Tag VARCHAR(8), Amt INTEGER)");
        Both("CREATE TABLE \"C\" (Tag VARCHAR(8), Note VARCHAR(8), Rank INTEGER)");
        if (indexed) {
            Both("CREATE INDEX AByGrp ON \"A\" (Grp)");
            Both("CREATE INDEX AByName ON \"A\" (Name)");
            Both("CREATE INDEX BByAId ON \"B\" (AId)");
            Both("CREATE INDEX CByTag ON \"C\" (Tag)");
        }
        std::string script;
        for (int i = 1; i <= 40; ++i)
            Both("INSERT INTO \"A\" VALUES (" + std::to_string(i) + ", " + g.NumberValue(6) + ", " +
                 g.TextValue() + ", " + g.NumberValue(20) + ")");
        for (int i = 1; i <= 60; ++i)
            Both("INSERT INTO \"B\" VALUES (" + std::to_string(i) + ", " + g.NumberValue(45) + ", " +
                 g.TextValue() + ", " + g.NumberValue(15) + ")");
        for (int i = 1; i <= 25; ++i)
            Both("INSERT INTO \"C\" VALUES (" + g.TextValue() + ", " + g.TextValue() + ", " +
                 g.NumberValue(5) + ")");
        // Deleted and reinserted records.
        Both("DELETE FROM \"A\" WHERE Id > 30");
        for (int i = 31; i <= 35; ++i)
            Both("INSERT INTO \"A\" VALUES (" + std::to_string(i) + ", " + g.NumberValue(6) + ", " +
                 g.TextValue() + ", " + g.NumberValue(20) + ")");
        Both("DELETE FROM \"B\" WHERE Id BETWEEN 10 AND 19");
    }

    bool CompareTables() {
        return Compare("SELECT * FROM \"A\"") && Compare("SELECT * FROM \"B\"") &&
               Compare("SELECT * FROM \"C\"");
    }

    // One random statement; false when it gave a difference.
    bool RandomStatement(Generator& g) {
        switch (g.Pick(20)) {
            case 0:
            case 1:
            case 2: {
                const std::string where = g.Condition({"A"}, 2);
                return Compare("SELECT Id, Grp, Name, Val FROM \"A\" WHERE " + where);
            }
            case 3: {
                return Compare("SELECT Id, Tag, Amt FROM \"B\" WHERE " + g.Condition({"B"}, 2));
            }
            case 4:
            case 5: {
                // A.Val and B.AId both hold NULLs.
                const std::string column = g.Pick(2) ? "Id" : "Val";
                return Compare("SELECT A.Id, B.Id, B.Amt FROM \"A\" INNER JOIN \"B\" ON A." + column +
                               " = B.AId WHERE " + g.Condition({"A", "B"}, 1));
            }
            case 6: {
                return Compare("SELECT A.Id, B.Id FROM \"A\" LEFT OUTER JOIN \"B\" ON A.Id = B.AId WHERE " +
                               g.Condition({"A"}, 1));
            }
            case 7: {
                return Compare(
                    "SELECT A.Id, B.Id, C.Note FROM \"A\" INNER JOIN \"B\" ON A.Id = B.AId INNER JOIN \"C\" "
                    "ON "
                    "B.Tag = C.Tag WHERE " +
                    g.Condition({"A", "B", "C"}, 1));
            }
            case 8: {
                return Compare(
                    "SELECT A.Id, C.Rank FROM \"A\" LEFT OUTER JOIN \"C\" ON A.Name = C.Tag WHERE " +
                    g.Condition({"A"}, 1));
            }
            case 9:
            case 10: {
                static const char* aggregates[] = {"COUNT(*)", "COUNT(Val)", "SUM(Val)",
                                                   "MIN(Val)", "MAX(Val)",   "AVG(Id)"};
                std::string select = std::string(aggregates[g.Pick(6)]) + ", " + aggregates[g.Pick(6)];
                std::string sql = "SELECT Grp, " + select + ", COUNT(Id) FROM \"A\" WHERE " +
                                  g.Condition({"A"}, 1) + " GROUP BY Grp";
                if (g.Pick(2)) sql += " HAVING COUNT(Id) > " + std::to_string(g.Pick(4));
                return Compare(sql);
            }
            case 11: {
                return Compare("SELECT COUNT(*), SUM(Amt), MIN(Amt), MAX(Amt) FROM \"B\" WHERE " +
                               g.Condition({"B"}, 1));
            }
            case 12: {
                static const char* columns[] = {"Grp", "Name", "Grp, Name", "Val"};
                return Compare(std::string("SELECT DISTINCT ") + columns[g.Pick(4)] + " FROM \"A\" WHERE " +
                               g.Condition({"A"}, 1));
            }
            case 13:
            case 14: {
                // The order fixes the rows up to equal ones: every selected column is a key, A.Id
                // last (unique). NULLs come first on both sides in ascending order.
                const bool desc = g.Pick(2);
                const char* direction = desc ? " DESC" : " ASC";
                std::string order = g.Pick(2) ? std::string("Grp") + direction + ", Id"
                                              : std::string("Val") + direction + ", Grp, Id";
                return Compare(
                    "SELECT Id, Grp, Val FROM \"A\" WHERE " + g.Condition({"A"}, 1) + " ORDER BY " + order,
                    true);
            }
            case 15: {
                // A case-insensitive order over ASCII texts; equal keys are ordered by Id.
                const char* direction = g.Pick(2) ? " DESC" : " ASC";
                return Compare(
                    "SELECT Name, Id FROM \"A\" WHERE Name IS NOT NULL ORDER BY Name" +
                        std::string(direction) + ", Id NOCASE",
                    "SELECT Name, Id FROM \"A\" WHERE Name IS NOT NULL ORDER BY Name COLLATE NOCASE" +
                        std::string(direction) + ", Id",
                    true);
            }
            case 16: {
                const bool all = g.Pick(2);
                return Compare("SELECT Grp, Name FROM \"A\" WHERE " + g.Condition({"A"}, 1) +
                               (all ? " UNION ALL " : " UNION ") + "SELECT AId, Tag FROM \"B\" WHERE " +
                               g.Condition({"B"}, 1));
            }
            case 17: {
                const bool ok = Compare("UPDATE \"A\" SET Val = Val + " + std::to_string(g.Pick(5)) +
                                        ", Name = " + g.TextValue() + " WHERE " + g.Condition({"A"}, 1));
                return ok && CompareTables();
            }
            case 18: {
                const bool ok = Compare("DELETE FROM \"B\" WHERE " + g.Condition({"B"}, 1));
                return ok && CompareTables();
            }
            default: {
                const bool ok = Compare(
                    "INSERT INTO \"C\" (Tag, Note, Rank) SELECT Name, Name, Grp FROM \"A\" WHERE Name IS NOT "
                    "NULL AND (" +
                    g.Condition({"A"}, 1) + ")");
                return ok && CompareTables();
            }
        }
    }

    // The seed's statements over one table set; shift gives a second run its own statements.
    void RunStatements(bool indexed, uint32_t shift) {
        Generator g(Seed + shift + (indexed ? 1 : 0));
        MakeTables(g, indexed);
        ASSERT_TRUE(CompareTables());
        int failures = 0;
        for (uint32_t i = 0; i < Count && failures < 10; ++i) {
            if (RandomStatement(g)) continue;
            ++failures;
            // Once the tables differ, every later statement would.
            if (!CompareTables()) break;
        }
    }

    SqliteDatabase Lite;
    uint32_t Seed = 0;
    uint32_t Count = 0;
};

// Statements that once gave other rows than SQLite.
TEST_F(SqlDifferentialTest, KeptStatementsAgree) {
    const char* const kept[] = {
        // A sub-select in WHERE of a join was given to a table's filter, which cannot run it.
        "SELECT A.Id, B.Id, B.Amt FROM \"A\" INNER JOIN \"B\" ON A.Id = B.AId WHERE A.Val IN (SELECT AId "
        "FROM "
        "\"B\" WHERE AId IS NOT NULL AND Amt > 2)",
        "SELECT A.Id, B.Id FROM \"A\", \"B\" WHERE A.Val IN (SELECT AId FROM \"B\" WHERE AId IS NOT NULL AND "
        "Amt > "
        "2) AND A.Id = B.AId",
        "SELECT A.Id, B.Id FROM \"A\" LEFT OUTER JOIN \"B\" ON A.Id = B.AId WHERE A.Val IN (SELECT AId FROM "
        "\"B\" "
        "WHERE AId IS NOT NULL AND Amt > 2)",
        // COUNT(*) alone counted the table's filtered records, without the sub-select.
        "SELECT COUNT(*) FROM \"A\" WHERE A.Val IN (SELECT AId FROM \"B\" WHERE AId IS NOT NULL AND Amt > 2)",
        // The target of a DELETE read by its own sub-select.
        "DELETE FROM \"B\" WHERE B.AId IN (SELECT AId FROM \"B\" WHERE AId IS NOT NULL AND Amt > 5)",
        // NULL joined NULL, through a filter (texts) and through an index (B.AId): no partner.
        "SELECT A.Id, C.Rank FROM \"A\" LEFT OUTER JOIN \"C\" ON A.Name = C.Tag",
        "SELECT B.Id, C.Note FROM \"B\" INNER JOIN \"C\" ON B.Tag = C.Tag",
        "SELECT A.Id, B.Id FROM \"A\" INNER JOIN \"B\" ON A.Val = B.AId",
        "SELECT A.Id, B.Id FROM \"A\" LEFT OUTER JOIN \"B\" ON A.Val = B.AId",
        "SELECT A.Id, B.Id FROM \"A\", \"B\" WHERE B.AId = A.Val AND B.Amt IS NULL",
    };
    Generator g(20031005);
    MakeTables(g, true);
    // Values of A.Val that B.AId holds, so that every sub-select above finds rows.
    Both("UPDATE \"A\" SET Val = Id WHERE Id <= 20");
    Both("UPDATE \"B\" SET Amt = 9 WHERE Id <= 30");
    // NULLs on both sides of every join above.
    Both("UPDATE \"A\" SET Name = NULL, Val = NULL WHERE Id = 1 OR Id = 25");
    Both("UPDATE \"B\" SET Tag = NULL, AId = NULL, Amt = NULL WHERE Id = 2 OR Id = 40");
    Both("INSERT INTO \"C\" VALUES (NULL, 'n', 1)");
    for (const char* sql : kept) {
        size_t rows = 0;
        EXPECT_TRUE(Compare(sql, sql, false, &rows));
        EXPECT_GT(rows, 0u) << sql;
    }
    EXPECT_TRUE(CompareTables());
}

// The random runs are suites of their own, so that the test run starts each in a process of its
// own and runs them side by side: three seeds over each table set.
class SqlDifferentialIndexed : public SqlDifferentialTest {};
class SqlDifferentialIndexedSecondSeed : public SqlDifferentialTest {};
class SqlDifferentialIndexedThirdSeed : public SqlDifferentialTest {};
class SqlDifferentialPlain : public SqlDifferentialTest {};
class SqlDifferentialPlainSecondSeed : public SqlDifferentialTest {};
class SqlDifferentialPlainThirdSeed : public SqlDifferentialTest {};

TEST_F(SqlDifferentialIndexed, RandomStatements) {
    RunStatements(true, 0);
}

TEST_F(SqlDifferentialIndexedSecondSeed, RandomStatements) {
    RunStatements(true, 2);
}

TEST_F(SqlDifferentialIndexedThirdSeed, RandomStatements) {
    RunStatements(true, 4);
}

TEST_F(SqlDifferentialPlain, RandomStatements) {
    RunStatements(false, 0);
}

TEST_F(SqlDifferentialPlainSecondSeed, RandomStatements) {
    RunStatements(false, 2);
}

TEST_F(SqlDifferentialPlainThirdSeed, RandomStatements) {
    RunStatements(false, 4);
}

}  // namespace
}  // namespace dbsql

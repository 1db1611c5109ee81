// Random filter expressions evaluated by the engine and by SQLite over the same rows must select
// the same rows. ASCII data without NULLs, where both languages mean the same.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "dbengine/expr/ExpPrepare.h"
#include "dbengine/testsupport/EngineRun.h"
#include "dbengine/testsupport/ExprTable.h"

namespace dbengine {
namespace {

using testing::ExprRow;

class Generator {
public:
    explicit Generator(uint32_t seed) : Random(seed) {}

    std::string Condition(int depth) {
        switch (Pick(depth > 0 ? 8 : 5)) {
            case 0:
            case 1:
                return Number(1) + " " + Comparison() + " " + Number(1);
            case 2:
                return "Name " + Comparison() + " " + Text();
            case 3:
                return Number(1) + (Pick(2) ? " NOT" : "") + " BETWEEN " + Number(0) + " AND " + Number(0);
            case 4:
                return Pick(2) ? Number(1) + (Pick(2) ? " NOT" : "") + " IN (" + Number(0) + ", " +
                                     Number(0) + ", " + Number(0) + ")"
                               : "Name" + std::string(Pick(2) ? " NOT" : "") + " IN (" + Text() + ", " +
                                     Text() + ")";
            case 5:
                return "Name" + std::string(Pick(3) == 0 ? " NOT" : "") + " LIKE " + Pattern();
            case 6:
                return "(" + Condition(depth - 1) + ") " + (Pick(2) ? "AND" : "OR") + " (" +
                       Condition(depth - 1) + ")";
            default:
                return "NOT (" + Condition(depth - 1) + ")";
        }
    }

private:
    int Pick(int n) { return static_cast<int>(Random() % static_cast<uint32_t>(n)); }
    std::string Comparison() {
        static const char* ops[] = {"=", "<>", "<", ">", "<=", ">="};
        return ops[Pick(6)];
    }
    std::string Number(int depth) {
        switch (Pick(depth > 0 ? 7 : 4)) {
            case 0:
                return "Num";
            case 1:
                return "Qty";
            case 2:
                return "Rate";
            case 3:
                return Pick(2) ? "(" + std::to_string(Pick(41) - 20) + ")"
                               : std::to_string(Pick(20) / 2.0 + 0.5).substr(0, 4);
            default: {
                static const char* ops[] = {" + ", " - ", " * "};
                return "(" + Number(depth - 1) + ops[Pick(3)] + Number(depth - 1) + ")";
            }
        }
    }
    std::string Word(const char* letters, int letterCount) {
        std::string s;
        int n = 1 + Pick(3);
        for (int i = 0; i < n; ++i) s += letters[Pick(letterCount)];
        return s;
    }
    std::string Text() { return "'" + Word("abc", 3) + "'"; }
    std::string Pattern() { return "'" + Word("abcAB%_", 7) + (Pick(2) ? "%" : "") + "'"; }

    std::mt19937 Random;
};

TEST(ExpressionDifferentialTest, SameRowsAsSqlite) {
    LibraryStartup();
    const int64_t inUse = ExpTokensInUse();
    {
        testing::ExprTable table;
        std::mt19937 random(20240611);
        std::vector<ExprRow> rows;
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE t(id INTEGER, Name TEXT, Num INTEGER, Qty INTEGER, Rate REAL)",
                     nullptr, nullptr, nullptr);
        for (int i = 0; i < 40; ++i) {
            ExprRow r;
            std::string name;
            for (int k = 0, n = 1 + static_cast<int>(random() % 3); k < n; ++k) name += "abc"[random() % 3];
            r.Name = name;
            r.Num = static_cast<int32_t>(random() % 41) - 20;
            r.Qty = static_cast<int>(random() % 41) - 20;
            r.Rate = (static_cast<int>(random() % 41) - 20) / 2.0;
            rows.push_back(r);
            std::string sql = "INSERT INTO t VALUES(" + std::to_string(i) + ", '" + name + "', " +
                              std::to_string(*r.Num) + ", " + std::to_string(*r.Qty) + ", " +
                              std::to_string(*r.Rate) + ")";
            ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        }
        std::vector<std::vector<uint8_t>> records;
        for (const ExprRow& r : rows) records.push_back(table.Record(r));

        Generator generate(7);
        int selective = 0;  // expressions that keep some rows but not all
        for (int e = 0; e < 300; ++e) {
            const std::string text = generate.Condition(2);
            std::set<int> expected;
            sqlite3_stmt* statement = nullptr;
            const std::string sql = "SELECT id FROM t WHERE " + text;
            ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
            while (sqlite3_step(statement) == SQLITE_ROW) expected.insert(sqlite3_column_int(statement, 0));
            sqlite3_finalize(statement);

            TExpTreeHolder tree(table.Parse(text, true));
            TExpTreeHolder prepared(PrepareExpTree(tree.get(), &table, 0, 0, false, true));
            std::set<int> plain, fast;
            for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
                TExpTreeHolder a(
                    EvaluateExpToken(tree.get(), records[static_cast<size_t>(i)].data(), &table, 0, 0));
                if (ExpIntegerValue(a.get()) != 0) plain.insert(i);
                TExpTreeHolder b(
                    EvaluateExpToken(prepared.get(), records[static_cast<size_t>(i)].data(), &table, 0, 0));
                if (ExpIntegerValue(b.get()) != 0) fast.insert(i);
            }
            if (!expected.empty() && expected.size() < rows.size()) ++selective;
            EXPECT_EQ(plain, expected) << text;
            EXPECT_EQ(fast, expected) << "prepared: " << text;
        }
        EXPECT_GT(selective, 150);
        sqlite3_close(db);
    }
    EXPECT_EQ(ExpTokensInUse(), inUse);
    LibraryShutdown();
}

}  // namespace
}  // namespace dbengine

#pragma once
// A fixture for SQL parser tests: statements are parsed into a TQueryStatement, errors read back as
// the engine's SQL error, and after every test each expression token must be back in the pool.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbengine/testsupport/TokenCountingTest.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql::testsupport {

class SqlParseTest : public dbengine::testsupport::TokenCountingTest {
protected:
    // A statement holding the parsed text; the test fails when the parse raises.
    std::unique_ptr<TQueryStatement> Parse(const std::string& text) {
        auto statement = std::make_unique<TQueryStatement>();
        try {
            statement->ParseSQL(text);
        } catch (const dbengine::EDbEngineError& e) {
            ADD_FAILURE() << text << ": " << e.Message;
        }
        return statement;
    }

    TDataQuery* Master(const std::unique_ptr<TQueryStatement>& statement) { return statement->MasterQuery; }

    // The full message of the SQL error the parse raises, "(none)" when it succeeds.
    std::string Error(const std::string& text) {
        TQueryStatement statement;
        try {
            statement.ParseSQL(text);
        } catch (const dbengine::EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, dbengine::DBE_SQLPARSE) << text;
            return e.Message;
        }
        return "(none)";
    }
};

}  // namespace dbsql::testsupport

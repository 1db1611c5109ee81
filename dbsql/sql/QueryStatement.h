#pragma once
// The engine-side handle of one SQL text: it owns the expression parser that scans the text, every
// TDataQuery of the statement (master, UNION parts, INSERT ... SELECT sources, sub-selects) and
// the list of its "?" parameter nodes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/util/QueryHooks.h"
#include "dbsql/sql/DataQuery.h"

namespace dbengine {
class TDataDirectory;
}

namespace dbsql {

// Sub-selects and UNION parts nest at most this deep in one statement.
constexpr int MaxQueryNesting = 100;

class TQueryStatement : public dbengine::TQueryStatement {
public:
    // The master query is created and added; Database may be null for a statement that is
    // only parsed.
    explicit TQueryStatement(dbengine::TDataDirectory* database = nullptr);
    ~TQueryStatement() override;
    TQueryStatement(const TQueryStatement&) = delete;
    TQueryStatement& operator=(const TQueryStatement&) = delete;

    std::unique_ptr<dbengine::TDataQuery> CreateQuery() override;
    int AddQuery(std::unique_ptr<dbengine::TDataQuery> query) override;
    std::vector<dbengine::TExpToken*>& ParamTokens() override { return FParamTokens; }
    std::unique_ptr<dbengine::TSourceTable> CreateSourceTable(dbengine::TDataQuery* owner) override;

    // Parses the first statement of the text into the master query: the parser takes the SQL
    // error code and the context "SQL statement", the parameter list is emptied. Raises 11949.
    void ParseSQL(std::string_view text);

    // The query at a position of Queries.
    TDataQuery* Query(size_t index) const;

    // Asked when an encrypted table's password is not among the session's; true when one may
    // have been added and the open is to look again.
    using TPasswordCallback = std::function<bool(TQueryStatement& statement)>;
    void SetPasswordCallback(TPasswordCallback callback) { PasswordCallback = std::move(callback); }
    // False when no callback is installed.
    bool AskPassword() { return PasswordCallback ? PasswordCallback(*this) : false; }

    dbengine::TDataDirectory* Database;
    std::unique_ptr<dbengine::TExpressionParser> Parser;
    TDataQuery* MasterQuery = nullptr;
    std::vector<std::unique_ptr<dbengine::TDataQuery>> Queries;  // in order of creation
    uint8_t Kind = skUnknown;
    int32_t MaxRowCount = -1;
    // Sub-selects and UNION parts being parsed inside one another.
    int ParseDepth = 0;

private:
    std::vector<dbengine::TExpToken*> FParamTokens;
    TPasswordCallback PasswordCallback;
};

}  // namespace dbsql

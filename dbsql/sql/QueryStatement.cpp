#include "dbsql/sql/QueryStatement.h"

#include "dbengine/util/EngineError.h"

namespace dbsql {

TQueryStatement::TQueryStatement(dbengine::TDataDirectory* database)
    : Database(database), Parser(std::make_unique<dbengine::TExpressionParser>(this, this)) {
    std::unique_ptr<dbengine::TDataQuery> master = CreateQuery();
    MasterQuery = static_cast<TDataQuery*>(master.get());
    AddQuery(std::move(master));
}

TQueryStatement::~TQueryStatement() {
    // The parameter nodes belong to the queries' trees.
    FParamTokens.clear();
    MasterQuery = nullptr;
    Queries.clear();
    Parser.reset();
}

std::unique_ptr<dbengine::TDataQuery> TQueryStatement::CreateQuery() {
    return std::make_unique<TDataQuery>(this);
}

int TQueryStatement::AddQuery(std::unique_ptr<dbengine::TDataQuery> query) {
    Queries.push_back(std::move(query));
    return static_cast<int>(Queries.size()) - 1;
}

std::unique_ptr<dbengine::TSourceTable> TQueryStatement::CreateSourceTable(dbengine::TDataQuery* owner) {
    return std::make_unique<TSourceTable>(dynamic_cast<TDataQuery*>(owner));
}

TDataQuery* TQueryStatement::Query(size_t index) const {
    return index < Queries.size() ? dynamic_cast<TDataQuery*>(Queries[index].get()) : nullptr;
}

void TQueryStatement::ParseSQL(std::string_view text) {
    Parser->ErrorCode = dbengine::DBE_SQLPARSE;
    Parser->DatabaseName.clear();
    Parser->TableName.clear();
    Parser->ContextText = "SQL statement";
    Parser->SetExpression(text);
    Parser->NextToken();
    FParamTokens.clear();
    MasterQuery->ParseStatement(false, false, nullptr);
    Kind = MasterQuery->Kind;
}

}  // namespace dbsql

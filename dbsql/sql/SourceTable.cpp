#include "dbsql/sql/SourceTable.h"

#include <algorithm>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/EngineUtils.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {

TTableJoin::TTableJoin(TSourceTable* owner, uint8_t joinKind, TSourceTable* joinedTable,
                       dbengine::TExpToken* condition)
    : Owner(owner), JoinKind(joinKind), JoinedTable(joinedTable), Condition(condition) {}

TTableJoin::~TTableJoin() {
    dbengine::FreeExpTree(Condition);
}

TSourceTable::TSourceTable(TDataQuery* query) : Query(query) {}

TSourceTable::~TSourceTable() {
    Joins.clear();
}

namespace {

const char* const DataExtension = ".DAT";

bool ServerSideSession(const dbengine::TDataDirectory* database) {
    return database != nullptr && database->Session != nullptr && database->Session->ServerSide;
}

}  // namespace

void TSourceTable::SetTableName(const std::string& name) {
    if (IsOpen()) return;
    std::string text = name;
    std::replace(text.begin(), text.end(), '/', '\\');
    if (text == TableName) return;
    const dbengine::TDataDirectory* statementDatabase =
        Query != nullptr && Query->Statement != nullptr ? Query->Statement->Database : nullptr;
    if (InMemory) {
        TableName = dbengine::ExtractTableName(text, DataExtension);
        DatabaseName = "Memory";
    } else if (dbengine::HasPathChars(text)) {
        const size_t lastDelimiter = text.find_last_of("\\:");
        const size_t nameStart = lastDelimiter == std::string::npos ? 0 : lastDelimiter + 1;
        TableName = dbengine::ExtractTableName(text, DataExtension);
        DatabaseName = dbengine::RemoveTrailingBackslashes(text.substr(0, nameStart));
        if (ServerSideSession(statementDatabase))
            DatabaseName = dbengine::DropLeadingBackslashes(DatabaseName);
    } else {
        TableName = dbengine::ExtractTableName(text, DataExtension);
        if (statementDatabase == nullptr)
            DatabaseName.clear();
        else if (ServerSideSession(statementDatabase))
            DatabaseName = statementDatabase->DatabaseName;
        else
            DatabaseName = statementDatabase->Directory;
    }
    if (CorrelationName.empty()) CorrelationName = TableName;
}

void TSourceTable::SetCorrelationName(const std::string& name) {
    if (IsOpen() || name == CorrelationName) return;
    CorrelationName = name;
}

bool SourceTableByNumber(const TSourceTable* a, const TSourceTable* b) {
    return a->TableNumber < b->TableNumber;
}

bool SourceTableByLevel(const TSourceTable* a, const TSourceTable* b) {
    return a->JoinLevel < b->JoinLevel;
}

}  // namespace dbsql

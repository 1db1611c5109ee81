#include "dbsql/sql/DataQuery.h"

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {

std::string StatementKindName(uint8_t kind) {
    static const char* const names[] = {
        "UNKNOWN",           "SELECT",      "INSERT",     "UPDATE",       "DELETE",
        "CREATE TABLE",      "ALTER TABLE", "DROP TABLE", "CREATE INDEX", "DROP INDEX",
        "START TRANSACTION", "ROLLBACK",    "COMMIT"};
    return kind <= skCommit ? names[kind] : names[skUnknown];
}

TResultField::~TResultField() {
    dbengine::FreeExpTree(Expression);
}

void TResultField::SetColumnName(const std::string& name) {
    if (name == ColumnName) return;
    ColumnName = name;
    if (ResultName.empty() && name != "*") ResultName = name;
}

TUpdateField::~TUpdateField() {
    dbengine::FreeExpTree(ColumnExpression);
}

TUpdateValue::~TUpdateValue() {
    dbengine::FreeExpTree(ValueExpression);
}

TCreateField::~TCreateField() {
    dbengine::FreeExpTree(Definition);
}

void TCreateField::ApplyDefinition(int16_t fieldNumber) {
    if (Definition == nullptr) return;
    ColumnName = Definition->ColumnName;
    FieldNumber = fieldNumber;
    DataType = Definition->DataType;
    SubType = Definition->SubType;
    if (DataType == dbengine::fldString)
        Size = static_cast<uint8_t>(Definition->DataSize - 1);
    else if (DataType == dbengine::fldBCD)
        Scale = Definition->Scale;
    else if (DataType == dbengine::fldBytes || DataType == dbengine::fldVarBytes)
        Size = static_cast<uint8_t>(Definition->DataSize);
    if (Definition->Third != nullptr) {
        NewColumnName = Definition->ColumnName;
        ColumnName = Definition->Third->ColumnName;
    }
}

TCreateIndex::~TCreateIndex() {
    for (dbengine::TExpToken*& column : Columns) dbengine::FreeExpTree(column);
}

void TCreateIndex::BuildColumnNames() {
    ColumnNames.clear();
    for (const dbengine::TExpToken* column : Columns) {
        if (column->Kind == dbengine::tkConstant && column->DataType == dbengine::fldString &&
            !column->IsNull)
            ColumnNames.push_back(column->Text);
        else
            ColumnNames.push_back(column->ColumnName);
    }
}

TDataQuery::TDataQuery(TQueryStatement* statement) : Statement(statement) {}

TDataQuery::~TDataQuery() {
    CloseResultTable();
    StopWords.clear();
    for (auto& pending : FOuterOnlyConditions) dbengine::FreeExpTree(pending.Tree);
    for (auto& table : SourceTables) table->Joins.clear();
    SourceTables.clear();
    FunctionTables.clear();
    ResultFields.clear();
    UpdateFields.clear();
    UpdateValues.clear();
    CreateFields.clear();
    CreateIndexes.clear();
    TextIndex.reset();
    OrderByFields.clear();
    GroupByFields.clear();
    dbengine::FreeExpTree(WhereCondition);
    dbengine::FreeExpTree(HavingCondition);
    dbengine::FreeExpTree(JoinResidualCondition);
    dbengine::FreeExpTree(TableResidualCondition);
}

void TDataQuery::Reset() {
    static_cast<TDataQueryScalars&>(*this) = TDataQueryScalars{};
    StopWords.clear();
    OnClauses.clear();
}

void TDataQuery::ReportDatabaseAccess(dbengine::TDataDirectory* database) {
    // Access codes: 1 insert, 2 update, 3 delete, 4 read or create, 5 alter, 6 drop.
    static const int codes[] = {0, 4, 1, 2, 3, 4, 5, 6, 4, 6};
    if (Kind == skUnknown || Kind > skDropIndex || database == nullptr || database->Session == nullptr)
        return;
    database->Session->DoDirectoryOpened(database, codes[Kind]);
}

}  // namespace dbsql

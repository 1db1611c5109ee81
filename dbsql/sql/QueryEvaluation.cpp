// The binding and value callbacks of the engine's type checker and evaluator over a query's
// source tables, the residual tests and row loop, and the sub-select hooks.

#include <algorithm>
#include <cstring>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpPrepare.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/DataQuery.h"

namespace dbsql {

using dbengine::TExpToken;

bool TSourceColumns::ResolveColumn(TExpToken* node) {
    return Query->BindSourceColumn(node);
}

int TSourceColumns::SubSelectColumnCount(dbengine::TDataQuery* query) {
    const auto* subSelect = dynamic_cast<const TDataQuery*>(query);
    return subSelect == nullptr ? 1 : static_cast<int>(subSelect->ResultFields.size());
}

bool TSourceColumns::GetColumnValue(const uint8_t*, TExpToken* column) {
    return Query->ReadSourceColumn(column);
}

bool TSourceColumns::TextSearch(void* table, const std::string& searchText, const std::string& columnText,
                                bool count, int32_t& answer) {
    // Column nodes of a query are bound to its source tables; the table's cursor answers with
    // its own full-text parameters.
    auto* source = static_cast<TSourceTable*>(table);
    if (source == nullptr || source->Cursor == nullptr) return false;
    return source->Cursor->AnswerTextSearch(source->Cursor, searchText, columnText, count, answer);
}

int32_t TSourceColumns::SubSelectRecordCount(dbengine::TDataQuery* query) {
    dbengine::TDataCursor* cursor = query == nullptr ? nullptr : query->ResultCursor();
    return cursor == nullptr ? 0 : cursor->GetRecordCount();
}

namespace {

// Binds node to a field of an open source table: table, field number, correlation name and type.
bool BindTableField(TExpToken* node, TSourceTable* table, uint16_t field) {
    if (table == nullptr || field == 0 || table->Cursor == nullptr) return false;
    dbengine::TFieldDescriptor desc;
    table->Cursor->GetTableFieldDesc(field, desc);
    node->Table = table;
    node->FieldNo = field;
    node->TableName = table->CorrelationName;
    node->DataType = desc.FieldType;
    node->SubType = desc.SubType;
    node->DataSize = desc.ValueSize;
    node->Scale = desc.ValueDecimals;
    return true;
}

}  // namespace

bool TDataQuery::BindSourceColumn(TExpToken* node) {
    uint16_t field = 0;
    TSourceTable* table = ResolveColumnTable(node->TableName, node->ColumnName, field);
    // COUNT(*) reads the table's first field.
    if (table != nullptr && field == 0 && node->ColumnName == "*") field = 1;
    return BindTableField(node, table, field);
}

bool TDataQuery::ReadSourceColumn(TExpToken* node) {
    auto* table = static_cast<TSourceTable*>(node->Table);
    if (table == nullptr || table->Cursor == nullptr || !table->RecordBuffer || table->AtEnd) {
        // No row: an outer-join row without a partner reads every column as NULL.
        dbengine::SetExpNull(node);
        return true;
    }
    dbengine::TDataCursor& cursor = *table->Cursor;
    dbengine::TFieldDescriptor desc;
    cursor.GetTableFieldDesc(node->FieldNo, desc);
    uint8_t* record = table->RecordBuffer.get();
    node->SetCapacity(std::max<int32_t>(desc.ValueSize + 1, 16));
    bool blank = false;
    cursor.GetTableField(node->FieldNo, record, node->Data.get(), blank);
    if (blank) {
        dbengine::SetExpNull(node);
        return true;
    }
    node->IsNull = false;
    if (desc.FieldType == dbengine::fldBlob) {
        int32_t size = 0;
        cursor.CheckError(
            cursor.OpenBlob(node->FieldNo, record, dbengine::BlobOpenRead, true, true, size, false),
            table->TableName);
        const bool memo = desc.SubType == dbengine::fldstMemo;
        dbengine::TEngineErrorCode code = 0;
        int32_t read = 0;
        node->SetCapacity(size + 1);
        std::fill_n(node->Data.get(), size + 1, uint8_t{0});
        if (size > 0) code = cursor.GetBlob(node->FieldNo, record, 0, node->Data.get(), size, read, true);
        const dbengine::TEngineErrorCode freed = cursor.FreeBlob(node->FieldNo, record, true, false);
        cursor.CheckError(code != 0 ? code : freed, table->TableName);
        node->DataSize = memo ? read + 1 : read;
        return true;
    }
    if (desc.FieldType == dbengine::fldString)
        node->DataSize =
            static_cast<int32_t>(strnlen(reinterpret_cast<const char*>(node->Data.get()), desc.ValueSize)) +
            1;
    else
        node->DataSize = desc.ValueSize;
    return true;
}

void TDataQuery::CheckCondition(TExpToken* tree) {
    dbengine::CheckExpTokenTypes(dbengine::DBE_SQLPARSE, {}, {}, "WHERE or JOIN clause", tree, nullptr,
                                 &FSourceColumns, true, true);
    if (tree->DataType != dbengine::fldBoolean) SqlError("WHERE or JOIN clause must be a boolean expression");
}

bool TDataQuery::ConditionHolds(const TExpToken* tree) {
    TExpToken* result = dbengine::EvaluateExpToken(tree, nullptr, SourceValues(), LanguageId, SortId);
    const bool holds = !result->IsNull && dbengine::ExpIntegerValue(result) != 0;
    dbengine::ReleaseExpToken(result);
    return holds;
}

bool TDataQuery::TestJoinResidual() {
    return JoinResidualCondition == nullptr || ConditionHolds(JoinResidualCondition);
}

bool TDataQuery::TestTableResidual() {
    return TableResidualCondition == nullptr || ConditionHolds(TableResidualCondition);
}

bool TDataQuery::RowPasses() {
    return TestJoinResidual() && TestTableResidual();
}

bool TDataQuery::FirstRow() {
    if (SourceTables.empty()) return false;
    TSourceTable& first = *SourceTables.front();
    if (!first.FirstMatch(0)) return false;
    while (!RowPasses())
        if (!first.NextMatch()) return false;
    return true;
}

bool TDataQuery::NextRow() {
    if (SourceTables.empty()) return false;
    TSourceTable& first = *SourceTables.front();
    do {
        if (!first.NextMatch()) return false;
    } while (!RowPasses());
    return true;
}

bool TDataQuery::NextRowAfterDelete() {
    if (SourceTables.empty()) return false;
    TSourceTable& first = *SourceTables.front();
    if (!first.ContinueMatch()) return false;
    while (!RowPasses())
        if (!first.NextMatch()) return false;
    return true;
}

bool TDataQuery::BindSubSelectColumn(TExpToken* node) {
    if (ResultFields.empty()) return false;
    const TResultField& column = *ResultFields.front();
    if (!RequestLive && !LiveResult) {
        if (column.DataType == 0) return false;
        node->FieldNo = static_cast<uint16_t>(column.ResultFieldNumber);
        node->TableName = column.TableName;
        node->DataType = column.DataType;
        node->SubType = column.SubType;
        node->DataSize = column.Size;
        node->Scale = column.Scale;
        return true;
    }
    // A live sub-select reads its one source table.
    uint16_t field = 0;
    TSourceTable* table = ResolveColumnTable(column.TableName, column.ColumnName, field);
    if (!BindTableField(node, table, field)) return false;
    if (FResultCursor == nullptr) FResultCursor = table->Cursor;
    return true;
}

void TDataQuery::ApplySubSelectFilter(TExpToken* comparison) {
    dbengine::TDataCursor* cursor = ResultCursor();
    if (cursor == nullptr || comparison == nullptr || comparison->Left == nullptr ||
        comparison->Right == nullptr)
        return;
    // The sub-select's column on the left, the tested value (in the column's type where that
    // loses nothing) on the right.
    dbengine::TExpTreeHolder tree(dbengine::NewExpToken());
    tree->Assign(*comparison);
    tree->Left = tree->Right = tree->Third = tree->Parent = nullptr;
    tree->Arguments.clear();
    TExpToken* column = dbengine::NewExpToken();
    tree->Left = column;
    column->Parent = tree.get();
    const TExpToken* bound = comparison->Right;
    column->Kind = dbengine::tkColumn;
    column->ColumnName = ResultFields.empty() ? std::string() : ResultFields.front()->ColumnName;
    column->FieldNo = bound->FieldNo;
    column->DataType = bound->DataType;
    column->SubType = bound->SubType;
    column->DataSize = bound->DataSize;
    column->Scale = bound->Scale;
    const TExpToken* value = comparison->Left;
    TExpToken* right =
        value->IsNull || value->DataType == dbengine::fldString || value->DataType == column->DataType
            ? dbengine::CopyExpTree(value)
            : dbengine::FoldConstantOperand(column, value, SourceValues(), LanguageId, SortId);
    tree->Right = right;
    right->Parent = tree.get();
    auto* filter = static_cast<dbengine::TFilter*>(SubSelectFilter);
    if (filter != nullptr) {
        cursor->ReplaceFilterExpression(tree.release(), filter);
        return;
    }
    filter = cursor->AddFilter(this, {}, tree.get(), true, {}, true, false, false, false, false);
    tree.release();
    cursor->ActivateFilter(filter);
    SubSelectFilter = filter;
}

}  // namespace dbsql

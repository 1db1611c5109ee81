// INSERT, UPDATE and DELETE: the binding of the target columns, the values put into the target's
// row, the row loops with their implicit transaction and commit interval, and the transaction
// statements.

#include <algorithm>
#include <cstring>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/FieldConvert.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/SysUtils.h"

namespace dbsql {

using dbengine::TExpToken;

namespace {

[[noreturn]] void DmlError(const std::string& message, const std::string& database = {}) {
    dbengine::RaiseEngineError(dbengine::DBE_SQLPARSE, {}, database, {}, {}, {}, {}, message);
}

// The record cache of a session: bytes, and records at most.
constexpr int32_t RecordCacheBytes = 16384;
constexpr int32_t MaxCachedRecords = 8192;

bool IsDateTimeType(uint8_t type) {
    return type == dbengine::fldDate || type == dbengine::fldTime || type == dbengine::fldTimestamp;
}

// The statement's own transaction around a row loop: started when the target's database has
// none, committed every CommitInterval rows and at the end, rolled back on failure.
class TStatementTransaction {
public:
    explicit TStatementTransaction(TDataQuery& query)
        : Query(query), Database(*query.TargetTable->Cursor->GetDatabase()) {
        Implicit = !Database.InTransaction;
        Interval = query.CommitInterval;
        if (Implicit) {
            if (!query.CommitIntervalGiven) {
                const int32_t size = std::max<int32_t>(1, query.TargetTable->Cursor->GetRecordSize());
                Interval = std::min(2 * RecordCacheBytes / size, MaxCachedRecords);
                Interval = std::max(Interval, 1);
            }
            Database.StartTransaction(false);
        }
        // COMMIT INTERVAL 0 commits nothing in between.
        Intermediate = Interval > 0 && (Implicit || query.CommitIntervalGiven);
    }
    ~TStatementTransaction() {
        if (!Implicit || Ended) return;
        try {
            Database.Rollback(false);
        } catch (...) {
        }
    }
    TStatementTransaction(const TStatementTransaction&) = delete;
    TStatementTransaction& operator=(const TStatementTransaction&) = delete;

    void RowDone(int32_t count) {
        if (!Intermediate || count % Interval != 0) return;
        Database.Commit(false, Query.CommitFlush, false);
        Query.TargetTable->Cursor->SaveChangeCounters();
    }
    void Finish() {
        if (!Implicit) return;
        Ended = true;
        Database.Commit(true, Query.CommitFlush, false);
    }

private:
    TDataQuery& Query;
    dbengine::TDataDirectory& Database;
    bool Implicit = false;
    bool Intermediate = false;
    bool Ended = false;
    int32_t Interval = 0;
};

// A constant as messages show it: a text without its quotes, anything else as written.
std::string ConstantText(const TExpToken* constant, const std::string& written) {
    if (constant->DataType != dbengine::fldString || !constant->Data) return written;
    return std::string(reinterpret_cast<const char*>(constant->Data.get()),
                       strnlen(reinterpret_cast<const char*>(constant->Data.get()),
                               static_cast<size_t>(std::max(constant->DataSize, 0))));
}

}  // namespace

void TDataQuery::PrepareInsert() {
    OpenSourceTables();
    for (auto& table : SourceTables) table->AllocRecordBuffer();
    DrivingTable = TargetTable = SourceTables.empty() ? nullptr : SourceTables.front().get();
    if (TargetTable != nullptr) ReportDatabaseAccess(TargetTable->Cursor->GetDatabase());
    if (InsertFromSelect) BuildInsertSelectValues();
    BindUpdateFields(true);
    CheckUpdateValues();
    OpenFunctionTables();
}

void TDataQuery::PrepareUpdateOrDelete() {
    OpenSourceTables();
    OpenFunctionTables();
    for (auto& table : SourceTables) table->AllocRecordBuffer();
    for (size_t i = 0; i < SourceTables.size(); ++i)
        SourceTables[i]->JoinLevel = static_cast<uint16_t>(i + 1);
    ChainSourceTables();
    if (HasWhere) ExtractJoinConditions();
    SortSourceTablesByLevel();
    DrivingTable = TargetTable = SourceTables.empty() ? nullptr : SourceTables.front().get();
    if (TargetTable != nullptr) ReportDatabaseAccess(TargetTable->Cursor->GetDatabase());
    CheckJoinTargets();
    if (Kind == skUpdate) {
        BindUpdateFields(false);
        CheckUpdateValues();
    }
}

void TDataQuery::BuildInsertSelectValues() {
    auto* source = static_cast<TDataQuery*>(InsertSource);
    UpdateValues.clear();
    if (source == nullptr) return;
    for (auto& column : source->ResultFields) {
        auto value = std::make_unique<TUpdateValue>(this);
        value->ValueText = column->SourceText;
        // A constant refilled from the SELECT's row before every insert.
        TExpToken* token = dbengine::NewExpToken();
        token->Kind = dbengine::tkConstant;
        token->FieldNo = static_cast<uint16_t>(column->ResultFieldNumber);
        token->DataType = column->ResultType;
        token->SubType = column->ResultSubType;
        token->DataSize = column->ResultSize;
        token->Scale = column->ResultScale;
        dbengine::SetExpNull(token);
        value->ValueExpression = token;
        UpdateValues.push_back(std::move(value));
    }
}

void TDataQuery::ReadInsertSelectRow(dbengine::TDataCursor& result, const uint8_t* row) {
    for (auto& value : UpdateValues) {
        TExpToken* token = value->ValueExpression;
        dbengine::TFieldDescriptor desc;
        result.GetFieldDesc(token->FieldNo, desc);
        bool blank = false;
        token->SetCapacity(std::max<int32_t>(desc.ValueSize + 1, 16));
        std::fill_n(token->Data.get(), desc.ValueSize + 1, uint8_t{0});
        result.GetField(token->FieldNo, row, token->Data.get(), blank);
        token->DataType = desc.FieldType;
        token->SubType = desc.SubType;
        token->Scale = desc.ValueDecimals;
        if (blank) {
            dbengine::SetExpNull(token);
            continue;
        }
        token->IsNull = false;
        if (desc.FieldType == dbengine::fldBlob) {
            const std::string bytes = result.ReadBlobValue(row, desc);
            const bool memo = desc.SubType == dbengine::fldstMemo;
            token->SetCapacity(static_cast<int32_t>(bytes.size()) + 1);
            std::fill_n(token->Data.get(), bytes.size() + 1, uint8_t{0});
            std::memcpy(token->Data.get(), bytes.data(), bytes.size());
            token->DataSize = static_cast<int32_t>(bytes.size()) + (memo ? 1 : 0);
        } else if (desc.FieldType == dbengine::fldString) {
            token->DataSize = static_cast<int32_t>(
                                  strnlen(reinterpret_cast<const char*>(token->Data.get()), desc.ValueSize)) +
                              1;
        } else {
            token->DataSize = desc.ValueSize;
        }
    }
}

void TDataQuery::ExecuteInsertSelect() {
    dbengine::TDataCursor& target = *TargetTable->Cursor;
    target.SetSuppressAutoInc(NoAutoInc);
    RowsAffected = 0;
    dbengine::TDataCursor* result = InsertSource == nullptr ? nullptr : InsertSource->ResultCursor();
    if (result == nullptr) return;
    std::vector<uint8_t> row(result->GetRecordSize() + 1u);
    TStatementTransaction transaction(*this);
    uint8_t* record = TargetTable->RecordBuffer.get();
    const int32_t rows = result->GetRecordCount();
    const int increment = std::max<int>(1, result->GetProgressIncrement());
    int32_t done = 0;
    result->SetToBegin();
    while (result->GetNextRecord(row.data()) == 0) {
        const int percent = rows > 0 ? std::min(100, static_cast<int>(++done * 100LL / rows)) : 100;
        if (percent - std::max(LastPercent, 0) >= increment) {
            bool abort = false;
            ReportProgress(percent, abort);
            if (abort) break;
        }
        ReadInsertSelectRow(*result, row.data());
        target.InitRecord(record);
        for (size_t i = 0; i < UpdateFields.size(); ++i) PutValue(i, record);
        target.InsertRecord(record, true);
        transaction.RowDone(++RowsAffected);
    }
    transaction.Finish();
    bool abort = false;
    ReportProgress(100, abort);
}

void TDataQuery::BindUpdateField(TUpdateField& column, TSourceTable* table, uint16_t field) {
    dbengine::TFieldDescriptor desc;
    table->Cursor->GetTableFieldDesc(field, desc);
    column.SourceTable = table;
    column.TableName = table->CorrelationName;
    column.ColumnName = column.ColumnText = desc.Name;
    column.FieldNumber = static_cast<int16_t>(field);
    column.DataType = desc.FieldType;
    column.SubType = desc.SubType;
    column.Size = desc.ValueSize;
    column.Scale = desc.ValueDecimals;
}

void TDataQuery::BindUpdateFields(bool allowAll) {
    auto unknown = [](const TUpdateField& column) {
        DmlError("Invalid column name '" + column.ColumnName + "'" + " or table correlation name " + "'" +
                 column.TableName + "'" + " specified in table columns");
    };
    std::vector<std::unique_ptr<TUpdateField>> bound;
    for (auto& item : UpdateFields) {
        TUpdateField& column = *item;
        if (column.ColumnName != "*") {
            uint16_t field = 0;
            TSourceTable* table = ResolveColumnTable(column.TableName, column.ColumnName, field);
            if (table == nullptr || table->Cursor == nullptr || field == 0) unknown(column);
            BindUpdateField(column, table, field);
            bound.push_back(std::move(item));
            continue;
        }
        TSourceTable* table = allowAll ? FindSourceTable(column.TableName) : nullptr;
        if (table == nullptr || table->Cursor == nullptr) unknown(column);
        dbengine::TDataCursor& cursor = *table->Cursor;
        for (uint16_t position = 1; position <= cursor.GetFieldCount(); ++position) {
            dbengine::TFieldDescriptor desc;
            cursor.GetFieldDesc(position, desc);
            auto added = std::make_unique<TUpdateField>(this);
            BindUpdateField(*added, table, cursor.GetTableFieldNumber(desc.Name));
            bound.push_back(std::move(added));
        }
    }
    UpdateFields = std::move(bound);
    if (UpdateFields.size() != UpdateValues.size())
        DmlError("The number of values must match the number of table columns");
    HasBlobColumns = std::any_of(UpdateFields.begin(), UpdateFields.end(),
                                 [](const auto& c) { return c->DataType == dbengine::fldBlob; });
}

void TDataQuery::CheckUpdateValues() {
    for (size_t i = 0; i < UpdateValues.size(); ++i) {
        TUpdateValue& value = *UpdateValues[i];
        const TUpdateField& column = *UpdateFields[i];
        TExpToken* tree = value.ValueExpression;
        if (tree == nullptr) continue;
        if (Kind == skUpdate)
            dbengine::CheckExpTokenTypes(dbengine::DBE_SQLPARSE, {}, {}, "update values", tree, nullptr,
                                         &FSourceColumns, true, false);
        else if (!InsertFromSelect)
            dbengine::CheckExpTokenTypes(dbengine::DBE_SQLPARSE, {}, {}, "insert values", tree, nullptr,
                                         nullptr, true, false);
        if (tree->Kind != dbengine::tkConstant || tree->IsNull || tree->DataType == column.DataType) continue;
        if (tree->DataType == dbengine::fldString && IsDateTimeType(column.DataType)) {
            uint8_t buffer[dbengine::ConvertBufferSize] = {};
            std::memcpy(
                buffer, tree->Data.get(),
                std::min<size_t>(static_cast<size_t>(std::max(tree->DataSize, 0)), sizeof buffer - 1));
            if (!dbengine::TextToDateTimeValue(buffer, column.DataType))
                DmlError("Date, time, or timestamp expression expected, instead found '" +
                         ConstantText(tree, value.ValueText) + "'" + " in update values");
            tree->DataType = column.DataType;
            tree->SubType = column.SubType;
            tree->DataSize = column.Size;
            tree->Scale = column.Scale;
            tree->SetCapacity(std::max<int32_t>(column.Size, 16));
            std::memcpy(tree->Data.get(), buffer, column.Size);
            continue;
        }
        if (!dbengine::IsOperandTypeAllowed(dbengine::ecEqual, column.DataType, column.SubType,
                                            tree->DataType, tree->SubType))
            DmlError("Type mismatch between " + std::string("column") + " " + "'" + column.ColumnText + "'" +
                     " and " + "constant" + " " + "'" + ConstantText(tree, value.ValueText) + "'" +
                     " in update values");
    }
}

void TDataQuery::PutValue(size_t index, uint8_t* record) {
    const TUpdateField& column = *UpdateFields[index];
    const TUpdateValue& value = *UpdateValues[index];
    dbengine::TDataCursor& target = *TargetTable->Cursor;
    const auto field = static_cast<uint16_t>(column.FieldNumber);
    TExpToken* result = dbengine::EvaluateExpToken(
        value.ValueExpression, nullptr, Kind == skInsert && !InsertFromSelect ? nullptr : SourceValues(),
        LanguageId, SortId);
    struct TRelease {
        TExpToken* Token;
        ~TRelease() { dbengine::ReleaseExpToken(Token); }
    } release{result};
    if (result->IsNull) {
        if (column.DataType == dbengine::fldBlob) {
            int32_t size = 0;
            target.CheckError(
                target.OpenBlob(field, record, dbengine::BlobOpenWrite, true, true, size, false),
                TargetTable->TableName);
            target.CheckError(target.TruncateBlob(field, record, 0, true), TargetTable->TableName);
            return;
        }
        target.PutTableField(field, record, nullptr, false);
        return;
    }
    if (column.DataType == dbengine::fldBlob) {
        int32_t size = 0;
        target.CheckError(target.OpenBlob(field, record, dbengine::BlobOpenWrite, true, true, size, false),
                          TargetTable->TableName);
        if (Kind == skUpdate)
            target.CheckError(target.TruncateBlob(field, record, 0, true), TargetTable->TableName);
        const bool text = result->DataType == dbengine::fldString ||
                          (result->DataType == dbengine::fldBlob && result->SubType == dbengine::fldstMemo);
        const int32_t length = std::max(0, text ? result->DataSize - 1 : result->DataSize);
        if (length > 0)
            target.CheckError(target.PutBlob(field, record, 0, result->Data.get(), length, true),
                              TargetTable->TableName);
        return;
    }
    uint8_t buffer[dbengine::ConvertBufferSize] = {};
    std::memcpy(buffer, result->Data.get(),
                std::min<size_t>(static_cast<size_t>(std::max(result->DataSize, 0)), sizeof buffer));
    if (result->DataType != column.DataType &&
        !dbengine::ConvertFieldValue(result->DataType, static_cast<uint8_t>(std::min(result->DataSize, 255)),
                                     result->Scale, column.DataType, column.Size, column.Scale, buffer))
        DmlError("Type mismatch between column " + column.ColumnName + " and constant value " +
                 value.ValueText + (Kind == skInsert ? " in INSERT statement" : " in UPDATE statement"));
    target.PutTableField(field, record, buffer, false);
}

void TDataQuery::ExecuteInsertValues() {
    dbengine::TDataCursor& target = *TargetTable->Cursor;
    target.SetSuppressAutoInc(NoAutoInc);
    RowsAffected = 0;
    uint8_t* record = TargetTable->RecordBuffer.get();
    target.InitRecord(record);
    for (size_t i = 0; i < UpdateFields.size(); ++i) PutValue(i, record);
    target.InsertRecord(record, true);
    RowsAffected = 1;
}

void TDataQuery::ExecuteUpdate() {
    dbengine::TDataCursor& target = *TargetTable->Cursor;
    target.SetSuppressAutoInc(NoAutoInc);
    RowsAffected = 0;
    PlaceConditions();
    TStatementTransaction transaction(*this);
    uint8_t* record = TargetTable->RecordBuffer.get();
    auto updateCurrent = [&] {
        target.CheckError(target.GetCurrentRecord(record, true), TargetTable->TableName);
        try {
            for (size_t i = 0; i < UpdateFields.size(); ++i) PutValue(i, record);
            target.ModifyRecord(record, true, false);
        } catch (...) {
            try {
                target.CancelRecord();
            } catch (...) {
            }
            throw;
        }
        target.GetCurrentRecord(record, false);
    };
    TRowProgress progress(*this);
    if (CollectRowsFirst) {
        // A changed row would move inside the index range the rows come through.
        for (const std::vector<uint8_t>& bookmark : CollectTargetRows(progress)) {
            if (!SeekTargetRow(bookmark)) continue;
            updateCurrent();
            transaction.RowDone(++RowsAffected);
        }
    } else {
        // A row of the target met again through a join counts once.
        const bool driving = TargetTable == DrivingTable;
        int64_t lastRow = -1;
        for (bool row = FirstRow(); row; row = NextRow()) {
            if (progress.Step()) break;
            updateCurrent();
            const int64_t current =
                driving ? static_cast<int64_t>(TargetTable->RowsRead) : target.GetPhysicalRecNo();
            if (current != lastRow) {
                lastRow = current;
                transaction.RowDone(++RowsAffected);
            }
        }
    }
    transaction.Finish();
    bool abort = false;
    ReportProgress(100, abort);
}

std::vector<std::vector<uint8_t>> TDataQuery::CollectTargetRows(TRowProgress& progress) {
    std::vector<std::vector<uint8_t>> rows;
    dbengine::TDataCursor& target = *TargetTable->Cursor;
    for (bool row = FirstRow(); row; row = NextRow()) {
        if (progress.Step()) break;
        std::vector<uint8_t> bookmark = target.GetBookmark();
        // A row met again through a join is taken once.
        if (rows.empty() || rows.back() != bookmark) rows.push_back(std::move(bookmark));
    }
    // The index stays, so the bookmarks keep their meaning; the range goes.
    target.ResetRange();
    return rows;
}

bool TDataQuery::SeekTargetRow(const std::vector<uint8_t>& bookmark) {
    dbengine::TDataCursor& target = *TargetTable->Cursor;
    if (!target.SetToBookmark(bookmark.data(), false, false) ||
        target.GetCurrentRecord(TargetTable->RecordBuffer.get(), false) != 0)
        return false;
    TargetTable->AtEnd = false;  // SET values and the delete read the row
    return true;
}

void TDataQuery::ExecuteDelete() {
    dbengine::TDataCursor& target = *TargetTable->Cursor;
    RowsAffected = 0;
    PlaceConditions();
    TStatementTransaction transaction(*this);
    uint8_t* record = TargetTable->RecordBuffer.get();
    TRowProgress progress(*this);
    if (CollectRowsFirst) {
        // Deleting inside the index range the rows come through would upset the walk.
        for (const std::vector<uint8_t>& bookmark : CollectTargetRows(progress)) {
            if (!SeekTargetRow(bookmark)) continue;
            target.DeleteRecord(record, false);
            transaction.RowDone(++RowsAffected);
        }
    } else {
        bool row = FirstRow();
        while (row && !progress.Step()) {
            target.DeleteRecord(record, false);
            transaction.RowDone(++RowsAffected);
            row = NextRowAfterDelete();
        }
    }
    transaction.Finish();
    bool abort = false;
    ReportProgress(100, abort);
}

void TDataQuery::ExecuteTransactionStatement() {
    dbengine::TDataDirectory* database = Statement->Database;
    if (database == nullptr) return;
    const std::string name = database->GetDatabaseName();
    if (Kind == skStartTransaction) {
        if (database->InTransaction)
            DmlError("Transaction already in progress for database '" + name + "'", name);
        database->StartTransaction(false);
        return;
    }
    if (!database->InTransaction) DmlError("Transaction not in progress for database '" + name + "'", name);
    if (Kind == skRollback)
        database->Rollback(false);
    else
        database->Commit(true, CommitFlush, false);
}

}  // namespace dbsql

namespace dbsql {

void TDataQuery::ExecuteStatement() {
    switch (Kind) {
        case skInsert:
            ResetJoinState();
            if (InsertFromSelect)
                ExecuteInsertSelect();
            else
                ExecuteInsertValues();
            return;
        case skUpdate:
        case skDelete:
            ResetJoinState();
            for (auto& table : SourceTables) table->AtEnd = false;
            CheckConditions();
            for (auto& table : SourceTables) table->Cursor->Refresh();
            for (auto& table : FunctionTables)
                if (table->Cursor != nullptr) table->Cursor->Refresh();
            if (Kind == skUpdate)
                ExecuteUpdate();
            else
                ExecuteDelete();
            return;
        case skCreateTable:
            ExecuteCreateTable();
            return;
        case skDropTable:
            ExecuteDropTable();
            return;
        case skCreateIndex:
            ExecuteCreateIndex();
            return;
        case skAlterTable:
            ExecuteAlterTable();
            return;
        case skDropIndex:
            ExecuteDropIndex();
            return;
        case skStartTransaction:
        case skRollback:
        case skCommit:
            ExecuteTransactionStatement();
            return;
        default:
            DmlError(StatementKindName(Kind) + " statements cannot be run by this engine");
    }
}

}  // namespace dbsql

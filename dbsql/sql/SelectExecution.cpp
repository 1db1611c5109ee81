// SELECT preparation and execution: the choice between a live result on the source table and a
// result table, the row loop over the joined source rows, grouping with aggregates and HAVING,
// DISTINCT, ORDER BY, row limits and UNION.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/Seams.h"

namespace dbsql {

using dbengine::TExpToken;

const char* const AvgCountFieldPrefix = "Sys__Avg__Count";

namespace {

[[noreturn]] void ExecError(const std::string& message) {
    dbengine::RaiseEngineError(dbengine::DBE_SQLPARSE, {}, {}, {}, {}, {}, {}, message);
}

constexpr size_t ValueBufferSize = 256;

int64_t GetInt64(const uint8_t* p) {
    return static_cast<int64_t>(dbengine::GetUInt64(p));
}

void PutInt64(uint8_t* p, int64_t v) {
    dbengine::PutUInt64(p, static_cast<uint64_t>(v));
}

// A field value of a record: its bytes and whether it is NULL.
struct TValue {
    uint8_t Bytes[ValueBufferSize] = {};
    bool Null = true;
};

TValue ReadValue(dbengine::TDataCursor& cursor, uint16_t field, const uint8_t* record) {
    TValue v;
    cursor.GetField(field, record, v.Bytes, v.Null);
    return v;
}

void WriteValue(dbengine::TDataCursor& cursor, uint16_t field, uint8_t* record, const TValue& v) {
    cursor.PutField(field, record, v.Null ? nullptr : v.Bytes, false, false);
}

// A new BLOB in a result row's field holding size bytes; failures raise with the result table's name.
void WriteBlob(dbengine::TDataCursor& result, uint16_t field, uint8_t* row, const uint8_t* bytes,
               int32_t size) {
    int32_t opened = 0;
    result.CheckError(result.OpenBlob(field, row, dbengine::BlobOpenWrite, false, true, opened, false),
                      result.GetTableName());
    if (size > 0) result.CheckError(result.PutBlob(field, row, 0, bytes, size, false), result.GetTableName());
}

// BCD values as counts of 1/10,000, as the evaluator takes them (0 beyond the currency range).
int64_t BcdAmount(const uint8_t* bytes, uint8_t) {
    dbengine::TBcd bcd;
    bcd.Precision = bytes[0];
    bcd.SignSpecialPlaces = bytes[1];
    std::memcpy(bcd.Fraction, bytes + 2, sizeof bcd.Fraction);
    try {
        return dbengine::BcdToCurrency(bcd);
    } catch (const std::exception&) {
        return 0;
    }
}

void PutBcdAmount(uint8_t* bytes, int64_t amount, uint8_t scale) {
    dbengine::TBcd bcd;
    if (!dbengine::CurrencyToBcd(std::min<int>(scale, 32), bcd, amount)) bcd = dbengine::TBcd{};
    bytes[0] = bcd.Precision;
    bytes[1] = bcd.SignSpecialPlaces;
    std::memcpy(bytes + 2, bcd.Fraction, sizeof bcd.Fraction);
}

// Orders two non-NULL values of a result type: negative, 0 or positive.
int CompareValues(const TValue& a, const TValue& b, uint8_t type, uint8_t scale, uint16_t language,
                  uint16_t sort) {
    auto sign = [](auto x, auto y) { return x < y ? -1 : (x > y ? 1 : 0); };
    switch (type) {
        case dbengine::fldSmallInt:
            return sign(dbengine::GetInt16(a.Bytes), dbengine::GetInt16(b.Bytes));
        case dbengine::fldWord:
            return sign(static_cast<uint16_t>(dbengine::GetInt16(a.Bytes)),
                        static_cast<uint16_t>(dbengine::GetInt16(b.Bytes)));
        case dbengine::fldBoolean:  // false first
            return sign(dbengine::GetInt16(a.Bytes) != 0, dbengine::GetInt16(b.Bytes) != 0);
        case dbengine::fldInteger:
        case dbengine::fldDate:
        case dbengine::fldTime:
            return sign(dbengine::GetInt32(a.Bytes), dbengine::GetInt32(b.Bytes));
        case dbengine::fldLargeInt:
            return sign(GetInt64(a.Bytes), GetInt64(b.Bytes));
        case dbengine::fldFloat:
        case dbengine::fldTimestamp:
            return sign(dbengine::GetDouble(a.Bytes), dbengine::GetDouble(b.Bytes));
        case dbengine::fldBCD:
            return sign(BcdAmount(a.Bytes, scale), BcdAmount(b.Bytes, scale));
        case dbengine::fldString:
            return dbengine::CompareLocaleText(language, sort, reinterpret_cast<const char*>(a.Bytes),
                                               reinterpret_cast<const char*>(b.Bytes), 0, false);
        default:
            return std::memcmp(a.Bytes, b.Bytes, ValueBufferSize);
    }
}

// Adds value into accumulator (both non-NULL) by the result type.
void AddValues(TValue& accumulator, const TValue& value, uint8_t type, uint8_t scale) {
    switch (type) {
        case dbengine::fldSmallInt:
        case dbengine::fldWord:
            dbengine::PutInt16(accumulator.Bytes, static_cast<int16_t>(dbengine::GetInt16(accumulator.Bytes) +
                                                                       dbengine::GetInt16(value.Bytes)));
            break;
        case dbengine::fldInteger:
        case dbengine::fldDate:
        case dbengine::fldTime:
            dbengine::PutInt32(
                accumulator.Bytes,
                static_cast<int32_t>(static_cast<uint32_t>(dbengine::GetInt32(accumulator.Bytes)) +
                                     static_cast<uint32_t>(dbengine::GetInt32(value.Bytes))));
            break;
        case dbengine::fldLargeInt:
            PutInt64(accumulator.Bytes,
                     static_cast<int64_t>(static_cast<uint64_t>(GetInt64(accumulator.Bytes)) +
                                          static_cast<uint64_t>(GetInt64(value.Bytes))));
            break;
        case dbengine::fldFloat:
        case dbengine::fldTimestamp:
            dbengine::PutDouble(accumulator.Bytes,
                                dbengine::GetDouble(accumulator.Bytes) + dbengine::GetDouble(value.Bytes));
            break;
        case dbengine::fldBCD:
            PutBcdAmount(accumulator.Bytes,
                         BcdAmount(accumulator.Bytes, scale) + BcdAmount(value.Bytes, scale), scale);
            break;
        default:
            break;
    }
}

bool IsIntegerType(uint8_t type) {
    return type == dbengine::fldSmallInt || type == dbengine::fldWord || type == dbengine::fldInteger ||
           type == dbengine::fldLargeInt;
}

int64_t IntegerOf(const uint8_t* bytes, uint8_t type) {
    switch (type) {
        case dbengine::fldSmallInt:
            return dbengine::GetInt16(bytes);
        case dbengine::fldWord:
            return static_cast<uint16_t>(dbengine::GetInt16(bytes));
        case dbengine::fldInteger:
            return dbengine::GetInt32(bytes);
        default:
            return GetInt64(bytes);
    }
}

// The value of an aggregate's argument as the result column holds it.
void ConvertAggregateInput(uint8_t kind, uint8_t type, TValue& value) {
    if (value.Null) return;
    TValue converted;
    converted.Null = false;
    switch (kind) {
        case akSum:
        case akRunSum:
            if (IsIntegerType(type) && type != dbengine::fldLargeInt) {
                PutInt64(converted.Bytes, IntegerOf(value.Bytes, type));
                value = converted;
            }
            break;
        case akAvg:
            if (IsIntegerType(type)) {
                dbengine::PutDouble(converted.Bytes, static_cast<double>(IntegerOf(value.Bytes, type)));
                value = converted;
            }
            break;
        case akCount:
            dbengine::PutInt32(converted.Bytes, 1);
            value = converted;
            break;
        default:
            break;
    }
}

// The groups of a GROUP BY gathered in memory while the rows are read: each row is folded into
// the row of its group at once, so that the result table receives one row per group instead of
// one per source row. Groups are told apart by the key the result table's sort builds from the
// group columns, so a group here is a group of the sort. Once MaxBytes (or the query's
// MaxGatheredGroups) are held, rows of groups not held yet go to the result table as they are;
// the sort groups those as before, and a gathered group reaches it as one finished row.
class TGatheredGroups {
public:
    static constexpr size_t MaxBytes = 32u << 20;

    TGatheredGroups(TDataQuery& query, dbengine::TDataCursor& result) : Query(query), Result(result) {
        for (auto& item : query.GroupByFields) {
            dbengine::TFieldDescriptor desc;
            result.GetFieldDesc(static_cast<uint16_t>(item->ColumnNumber), desc);
            KeySize += dbengine::KeyPartSize(desc) + 1u;
            Fields.push_back(std::move(desc));
        }
        RowSize = result.GetRecordSize() + 1u;
        Limit = query.MaxGatheredGroups != 0 ? query.MaxGatheredGroups : MaxBytes / (RowSize + KeySize);
    }

    // Whether the rows of the query can be gathered: group keys compared as bytes (language 0)
    // and rows without BLOB handles.
    static bool Applies(const TDataQuery& query, dbengine::TDataCursor& result) {
        return query.HasGroupBy && !query.AggregateOnly && !query.HasBlobColumns && query.MaxRowCount < 0 &&
               !query.GroupByFields.empty() && result.GetLanguageId() == 0;
    }

    // Folds the row into its group; false when the group is not held and the row is to be
    // written as it is.
    bool Add(uint8_t* row) {
        BuildKey(row);
        auto found = Index.find(Key);
        if (found != Index.end()) {
            Query.AccumulateGroupRecord(false, row, Rows[found->second].data());
            return true;
        }
        if (Rows.size() >= Limit) return false;
        Query.AccumulateGroupRecord(true, row, row);
        Index.emplace(Key, Rows.size());
        Rows.emplace_back(row, row + RowSize);
        return true;
    }

    void WriteRows() {
        for (auto& row : Rows) Result.InsertRecord(row.data(), false);
    }

private:
    void BuildKey(const uint8_t* row) {
        Key.assign(KeySize, '\0');
        auto* out = reinterpret_cast<uint8_t*>(Key.data());
        size_t p = 0;
        for (const auto& desc : Fields) {
            uint8_t value[ValueBufferSize] = {};
            bool blank = false;
            Result.GetField(static_cast<uint16_t>(desc.FieldNo), row, value, blank);
            if (blank) std::fill_n(value, sizeof value, uint8_t{0});
            out[p] = blank ? 0 : 1;
            dbengine::EncodeKeyValue(desc, value, out + p, false, false, 0, 0);
            p += dbengine::KeyPartSize(desc) + 1u;
        }
    }

    TDataQuery& Query;
    dbengine::TDataCursor& Result;
    std::vector<dbengine::TFieldDescriptor> Fields;
    size_t KeySize = 0, RowSize = 0, Limit = 0;
    std::string Key;
    std::unordered_map<std::string, size_t> Index;
    std::vector<std::vector<uint8_t>> Rows;
};

}  // namespace

TRowProgress::TRowProgress(TDataQuery& query)
    : Query(query),
      Rows(query.DrivingTable != nullptr ? query.DrivingTable->Cursor->GetRecordCount() : 0),
      Increment(std::max<int>(
          1, (query.ResultCursor() != nullptr ? query.ResultCursor() : query.DrivingTable->Cursor)
                 ->GetProgressIncrement())) {}

bool TRowProgress::Step() {
    const uint64_t read = Query.DrivingTable->RowsRead;
    if (read == LastRead) return false;
    LastRead = read;
    ++Done;
    const int percent = Rows > 0 ? std::min(100, static_cast<int>(std::lround(Done * 100.0 / Rows))) : 100;
    if (percent - std::max(Query.LastPercent, 0) < Increment) return false;
    bool abort = false;
    Query.ReportProgress(percent, abort);
    return abort;
}

struct TSourceReadBlock::THeld {
    // Taken in the order of the source tables, given up in the reverse order.
    std::vector<std::unique_ptr<dbengine::TDataCursor::TReadBracket>> Brackets;
    ~THeld() {
        while (!Brackets.empty()) Brackets.pop_back();
    }
};

TSourceReadBlock::TSourceReadBlock(TDataQuery& query) : Query(query), Held(std::make_unique<THeld>()) {
    Step();
    Query.ReadBlock = this;
}

TSourceReadBlock::~TSourceReadBlock() {
    Query.ReadBlock = nullptr;
}

void TSourceReadBlock::Release() {
    Held = std::make_unique<THeld>();
    Rows = 0;
}

void TSourceReadBlock::Step() {
    if (Rows > 0 && Rows < RowsPerBlock) {
        ++Rows;
        return;
    }
    Held = std::make_unique<THeld>();  // the brackets of the last block given up first
    for (auto& table : Query.SourceTables) {
        // A record kept from the last block may have been changed by another process since.
        table->AheadValid = false;
        if (table->Cursor != nullptr)
            Held->Brackets.push_back(std::make_unique<dbengine::TDataCursor::TReadBracket>(*table->Cursor));
    }
    Rows = 1;
}

void TDataQuery::ReportProgress(int percent, bool& abort) {
    if (ReadBlock != nullptr) ReadBlock->Release();
    LastPercent = percent;
    Statement->ReportProgress(percent, abort);
}

void TDataQuery::OpenFunctionTables() {
    for (auto& table : FunctionTables) table->Open(false);
}

void TDataQuery::PrepareQuery() {
    switch (Kind) {
        case skSelect:
            PrepareSelect();
            break;
        case skInsert:
            PrepareInsert();
            break;
        case skUpdate:
        case skDelete:
            PrepareUpdateOrDelete();
            break;
        case skCreateTable:
        case skDropTable:
        case skAlterTable:
        case skCreateIndex:
        case skDropIndex:
            SetResultTableName();
            break;
        default:
            break;
    }
}

void TDataQuery::PrepareSelect() {
    if (HasGroupBy) Distinct = false;
    for (size_t i = 0; i < SourceTables.size(); ++i)
        SourceTables[i]->JoinLevel = static_cast<uint16_t>(i + 1);
    OpenSourceTables();
    if (!SourceTables.empty()) {
        dbengine::TDataCursor& first = *SourceTables.front()->Cursor;
        if (!LanguageGiven) LanguageId = first.GetLanguageId();
        if (!SortGiven) SortId = first.GetSortId();
    }
    BindResultFields();
    OpenFunctionTables();
    if (!HasGroupBy) {
        if (HasHaving) ExecError("A GROUP BY clause must exist in order to use the HAVING clause");
        if (IsAggregateOnly()) {
            AggregateOnly = true;
            HasGroupBy = true;
        }
        CountStarOnly = IsCountStarOnly();
    }
    if (RequestLive) FindOrderIndex();
    if (CanUseLiveResult()) {
        LiveResult = true;
        if (HasWhere) ExtractJoinConditions();
        SortSourceTablesByLevel();
        DrivingTable = SourceTables.front().get();
        if (!IsNested && !IsUnionPart) {
            // Now both a source and a result: a cursor the user reads, counted among the table's
            // user cursors as one opened so is (its close gives the count back).
            dbengine::TDataCursor& cursor = *DrivingTable->Cursor;
            cursor.SetQueryResult(true);
            if (cursor.GetTable() != nullptr) cursor.GetTable()->IncUserCursorCount();
        }
        PrepareLiveResult();
        return;
    }
    for (auto& table : SourceTables) table->AllocRecordBuffer();
    ChainSourceTables();
    if (HasWhere) ExtractJoinConditions();
    if (HasHaving) {
        // The aggregates become references to their result columns first: the select list's
        // arguments are bound and typed, the HAVING clause's are not yet.
        BindHaving();
        CheckHaving();
    }
    SortSourceTablesByLevel();
    DrivingTable = SourceTables.empty() ? nullptr : SourceTables.front().get();
    CheckJoinTargets();
    if (HasOrderBy) BindOrderBy();
    if (HasGroupBy && !AggregateOnly)
        BindGroupBy();
    else if (Distinct)
        CheckDistinct();
    // Without an order asked for, one table is read in its primary key's order; an order that an
    // index of the one table gives is read through that index instead of sorted after.
    if (SourceTables.size() == 1 && !HasOrderBy && !HasGroupBy && !Distinct && !HasUnion && !IsUnionPart &&
        !DrivingTable->Cursor->HasInternalPrimaryIndex())
        DrivingTable->Cursor->SetIndexNumber(0);
    if (HasOrderBy && !HasUnion && !IsUnionPart && SubSelect == 0) {
        FindOrderIndex();
        if (OrderByIndexFound) {
            DrivingTable->Cursor->SetIndexNumber(ResultIndex);
            OrderBySatisfied = true;
        }
    }
    SetResultTableName();
    CreateResultTable();
}

void TDataQuery::FindOrderIndex() {
    if (!HasOrderBy || SourceTables.size() != 1) return;
    std::vector<uint16_t> fields;
    for (auto& item : OrderByFields) {
        const TResultField* column = nullptr;
        if (item->ColumnNumber != 0) {
            if (item->ColumnNumber < 0 || static_cast<size_t>(item->ColumnNumber) > ResultFields.size())
                ExecError("Invalid column number '" + std::to_string(item->ColumnNumber) + "'" +
                          " specified in ORDER BY clause");
            column = ResultFields[static_cast<size_t>(item->ColumnNumber) - 1].get();
        } else {
            int16_t number = 0;
            column = FindResultColumn(true, item->ColumnName, item->TableName, number);
            if (column == nullptr)
                ExecError("Invalid column name '" + item->ColumnName + "'" + " or table correlation name " +
                          "'" + item->TableName + "'" + " specified in ORDER BY clause");
        }
        if (column->IsExpression || column->AggregateKind != akNone) {
            OrderByOnExpression = true;
            return;
        }
        fields.push_back(static_cast<uint16_t>(column->FieldNumber));
    }
    if (Distinct || HasJoins || HasGroupBy || HasHaving || !TargetTableName.empty()) return;
    dbengine::TDataCursor& cursor = *SourceTables.front()->Cursor;
    const bool allDescending =
        std::all_of(OrderByFields.begin(), OrderByFields.end(), [](const auto& i) { return i->Descending; });
    bool anyString = false;
    for (uint16_t f : fields) {
        dbengine::TFieldDescriptor desc;
        cursor.GetTableFieldDesc(f, desc);
        anyString = anyString || desc.FieldType == dbengine::fldString;
    }
    const int count = cursor.GetSecondaryIndexCount();
    for (int indexNo = 0; indexNo <= count; ++indexNo) {
        if (indexNo == 0 && cursor.HasInternalPrimaryIndex()) continue;
        const dbengine::TIndexDescriptor desc = cursor.GetIndexDesc(static_cast<uint8_t>(indexNo));
        const auto keys = cursor.GetIndexFieldNumbers(static_cast<uint8_t>(indexNo));
        if (fields.size() > keys.size()) continue;
        bool match = true;
        for (size_t k = 0; k < fields.size() && match; ++k) {
            const bool fieldDescending = (desc.FieldDescending[k] != 0) || (desc.Descending != 0);
            match = keys[k] == fields[k] && fieldDescending == OrderByFields[k]->Descending;
        }
        if (!match || (desc.Descending != 0) != allDescending) continue;
        if (anyString && (desc.CaseInsensitive != 0) != OrderByNoCase) continue;
        ResultIndex = static_cast<uint8_t>(indexNo);
        OrderByIndexFound = true;
        return;
    }
}

bool TDataQuery::CanUseLiveResult() const {
    if (!RequestLive || !TargetTableName.empty()) return false;
    if (Distinct || HasJoins || HasGroupBy || HasHaving || SourceTables.size() != 1) return false;
    if (HasOrderBy && !OrderByIndexFound) return false;
    if (HasBlobExpression || TopCount != -1) return false;
    if (Statement->MasterQuery == this) {
        if (Statement->Queries.size() != 1) return false;
    } else if (HasUnion) {
        return false;
    }
    if (SubSelect != 0) return !HasExpressionColumns;
    // The live cursor keeps the table's own fields, which its filters read: the select list must
    // be those fields in their order.
    dbengine::TDataCursor& cursor = *SourceTables.front()->Cursor;
    if (ResultFields.size() != cursor.GetTableFieldCount()) return false;
    for (size_t i = 0; i < ResultFields.size(); ++i) {
        const TResultField& column = *ResultFields[i];
        if (column.IsExpression || column.AggregateKind != akNone ||
            column.FieldNumber != static_cast<int16_t>(i + 1))
            return false;
    }
    return true;
}

void TDataQuery::PrepareLiveResult() {
    dbengine::TDataCursor& cursor = *DrivingTable->Cursor;
    if (SubSelect == 0) {
        std::vector<dbengine::TFieldDescriptor> fields;
        for (auto& item : ResultFields) {
            dbengine::TFieldDescriptor desc;
            cursor.GetTableFieldDesc(static_cast<uint16_t>(item->FieldNumber), desc);
            desc.Name = item->ResultName.substr(0, MaxResultNameLength);
            desc.FieldNo = item->ResultFieldNumber;
            desc.OriginName =
                (DrivingTable->TableName + "." + item->ColumnName).substr(0, dbengine::MaxOriginNameLength);
            desc.OriginFieldNo = item->FieldNumber;
            desc.DatabaseName = cursor.GetDatabaseName().substr(0, dbengine::MaxOriginNameLength);
            fields.push_back(desc);
        }
        cursor.SetFieldDescs(std::move(fields));
    }
    // Without ORDER BY a table with a primary key of its own is read in that key's order.
    if (!HasOrderBy && !HasUnion && !IsUnionPart && SubSelect == 0 && !cursor.HasInternalPrimaryIndex()) {
        ResultIndex = 0;
        OrderByIndexFound = false;
    }
    FResultCursor = &cursor;
    if (ResultIndex != 255) cursor.SetIndexNumber(ResultIndex);
}

void TDataQuery::SetResultTableName() {
    dbengine::TDataDirectory* database = Statement->Database;
    ResultInMemory = InMemory;
    if (!TargetTableName.empty()) {
        std::string name = TargetTableName;
        std::replace(name.begin(), name.end(), '/', '\\');
        if (dbengine::HasPathChars(name)) {
            const size_t at = name.find_last_of("\\:");
            ResultTableName = name.substr(0, at + 1) + dbengine::ExtractTableName(name, ".DAT");
        } else {
            ResultTableName = dbengine::ExtractTableName(name, ".DAT");
        }
        return;
    }
    std::string temp = database->GetTempTableName(ResultInMemory);
    if (temp.size() > 4) temp.resize(temp.size() - 4);  // ".DAT"
    std::string folder;
    if (!ResultInMemory && database->Session != nullptr) folder = database->Session->GetTempDirectory();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    ResultTableName = folder + temp;
}

void TDataQuery::CreateResultTable() {
    dbengine::TTableDefinition def;
    std::vector<dbengine::TFieldDescriptor>& fields = def.Fields;
    for (auto& item : ResultFields) {
        const TResultField& column = *item;
        dbengine::TFieldDescriptor desc;
        const bool plain = !column.IsExpression && column.AggregateKind == akNone;
        if (plain && column.SourceTable != nullptr && column.SourceTable->Cursor != nullptr) {
            dbengine::TDataCursor& source = *column.SourceTable->Cursor;
            source.GetTableFieldDesc(static_cast<uint16_t>(column.FieldNumber), desc);
            desc.OriginName = (column.SourceTable->TableName + "." + column.ColumnName)
                                  .substr(0, dbengine::MaxOriginNameLength);
            desc.OriginFieldNo = column.FieldNumber;
            desc.DatabaseName = source.GetDatabaseName().substr(0, dbengine::MaxOriginNameLength);
        } else {
            desc.FieldType = column.ResultType;
            desc.SubType = column.ResultSubType;
            desc.Size =
                column.ResultType == dbengine::fldString
                    ? static_cast<uint8_t>(std::max(1, column.ResultSize - 1))
                : (column.ResultType == dbengine::fldBytes || column.ResultType == dbengine::fldVarBytes)
                    ? column.ResultSize
                    : 0;
            desc.Decimals = column.ResultType == dbengine::fldBCD ? column.ResultScale : 0;
        }
        if (desc.IsAutoInc()) desc.SubType = 0;
        desc.FieldNo = column.ResultFieldNumber;
        desc.Name = column.ResultName.substr(0, MaxResultNameLength);
        desc.Required = 0;
        desc.CharCase = 0;
        desc.MinValue.clear();
        desc.MaxValue.clear();
        desc.DefaultValue.clear();
        desc.Description.clear();
        desc.Calculated = 0;
        desc.Expression = nullptr;
        desc.Offset = 0;
        fields.push_back(desc);
    }
    // A UNION keeps every part's strings and bytes whole: each takes the largest size.
    for (TDataQuery* part = HasUnion ? UnionQuery : nullptr; part != nullptr;
         part = part->HasUnion ? part->UnionQuery : nullptr) {
        if (part->FResultCursor == nullptr) continue;
        for (size_t i = 0; i < fields.size() && i < part->ResultFields.size(); ++i) {
            dbengine::TFieldDescriptor theirs;
            part->FResultCursor->GetFieldDesc(static_cast<uint16_t>(i + 1), theirs);
            const uint8_t type = fields[i].FieldType;
            if ((type == dbengine::fldString || type == dbengine::fldBytes ||
                 type == dbengine::fldVarBytes) &&
                theirs.FieldType == type)
                fields[i].Size = std::max(fields[i].Size, theirs.Size);
        }
    }
    for (auto& item : ResultFields) {
        if (item->AggregateKind != akAvg) continue;
        dbengine::TFieldDescriptor counter;
        counter.FieldNo = static_cast<int16_t>(fields.size() + 1);
        counter.Name = AvgCountFieldPrefix + std::to_string(counter.FieldNo);
        counter.FieldType = dbengine::fldInteger;
        item->AvgCountField = counter.FieldNo;
        fields.push_back(counter);
    }
    def.LanguageId = static_cast<int16_t>(LanguageId);
    def.SortId = SortId;
    def.BlobBlockSize = BlobBlockSize;
    def.Description = Description;
    def.Encrypted = Encrypted;
    def.Password = Password;
    def.UserMajorVersion = static_cast<int16_t>(UserMajorVersion);
    def.UserMinorVersion = static_cast<int16_t>(UserMinorVersion);

    CloseResultTable();
    auto cursor = std::make_unique<dbengine::TDataCursor>(Statement->Database);
    cursor->SetTableName(ResultTableName);
    cursor->SetExclusive(true);
    cursor->SetInMemory(ResultInMemory);
    cursor->SetTemporary(TargetTableName.empty());
    cursor->SetQueryResult(true);
    dbengine::TDataSession* session = Statement->Database->Session;
    const bool addPassword =
        Encrypted && session != nullptr && !Password.empty() && !session->HasPassword(Password);
    if (addPassword) session->AddPassword(Password);
    try {
        cursor->CreateTable(def, true, !TargetTableName.empty());
        cursor->OpenCursor();
    } catch (...) {
        if (addPassword) session->RemovePassword(Password);
        throw;
    }
    if (addPassword) session->RemovePassword(Password);
    FResultTable = std::move(cursor);
    FResultCursor = FResultTable.get();
}

void TDataQuery::CloseResultTable() {
    if (!FResultTable) return;
    if (FResultCursor == FResultTable.get()) FResultCursor = nullptr;
    std::unique_ptr<dbengine::TDataCursor> cursor = std::move(FResultTable);
    try {
        cursor->DropFilter(nullptr);
        cursor->CloseCursor(true);
    } catch (...) {
    }
}

dbengine::TDataCursor* TDataQuery::ExecuteQuery() {
    const uint32_t start = framework::GetTickCount();
    LastPercent = -1;
    if (Kind != skSelect) {
        ExecuteStatement();
        Executed = true;
        const uint32_t end = framework::GetTickCount();
        ExecutionTime = end >= start ? (end - start) / 1000.0 : 0;
        return nullptr;
    }
    ResetJoinState();
    for (auto& table : SourceTables) table->AtEnd = false;
    CheckConditions();
    for (auto& table : SourceTables) table->Cursor->Refresh();
    for (auto& table : FunctionTables) {
        if (table->Cursor == nullptr) ExecError("Illegal use of LASTAUTOINC() or IDENT_CURRENT() functions");
        table->Cursor->Refresh();
    }
    if (!LiveResult) {
        std::vector<dbengine::TDataCursor*> locked;
        auto unlock = [&] {
            for (dbengine::TDataCursor* c : locked) {
                try {
                    c->UnlockTableForRead();
                } catch (...) {
                }
            }
            locked.clear();
        };
        try {
            if (LockSourceTables)
                for (auto& table : SourceTables) {
                    table->Cursor->LockTableForRead();
                    locked.push_back(table->Cursor);
                }
            FResultCursor->DropFilter(nullptr);
            FResultCursor->EmptyTable();
            PlaceConditions();
            if (HasGroupBy && AggregateOnly)
                ExecuteAggregateSelect();
            else
                ExecuteSelect();
        } catch (...) {
            unlock();
            throw;
        }
        unlock();
        FResultCursor->Refresh();
        FResultCursor->SetToBegin();
    } else {
        PlaceConditions();
        FResultCursor->SetToBegin();
    }
    RowsAffected = FResultCursor->GetRecordCount();
    Executed = true;
    const uint32_t end = framework::GetTickCount();
    ExecutionTime = end >= start ? (end - start) / 1000.0 : 0;
    return FResultCursor;
}

void TDataQuery::ReadSourceFieldDescs() {
    SourceFieldDescs.assign(ResultFields.size(), {});
    for (size_t i = 0; i < ResultFields.size(); ++i) {
        const TResultField& column = *ResultFields[i];
        if (column.IsExpression || column.CountStar || column.SourceTable == nullptr ||
            column.SourceTable->Cursor == nullptr)
            continue;
        column.SourceTable->Cursor->GetTableFieldDesc(static_cast<uint16_t>(column.FieldNumber),
                                                      SourceFieldDescs[i]);
    }
}

void TDataQuery::FillResultRow(uint8_t* row) {
    dbengine::TDataCursor& result = *FResultCursor;
    if (SourceFieldDescs.size() != ResultFields.size()) ReadSourceFieldDescs();
    for (size_t i = 0; i < ResultFields.size(); ++i) {
        const TResultField& column = *ResultFields[i];
        if (column.IsExpression) continue;
        const auto field = static_cast<uint16_t>(column.ResultFieldNumber);
        TSourceTable* table = column.SourceTable;
        if (column.CountStar) {
            TValue one;
            one.Null = false;
            dbengine::PutInt32(one.Bytes, 1);
            WriteValue(result, field, row, one);
            continue;
        }
        dbengine::TDataCursor& source = *table->Cursor;
        const dbengine::TFieldDescriptor& desc = SourceFieldDescs[i];
        TValue value;
        if (table->AtEnd) {
            value.Null = true;  // an outer-join row without partner, its auto-increment field too
        } else if (desc.FieldType == dbengine::fldBlob && column.AggregateKind == akNone) {
            bool blank = false;
            source.GetTableField(static_cast<uint16_t>(column.FieldNumber), table->RecordBuffer.get(),
                                 value.Bytes, blank);
            if (blank) continue;
            const std::string content = source.ReadBlobValue(table->RecordBuffer.get(), desc);
            WriteBlob(result, field, row, reinterpret_cast<const uint8_t*>(content.data()),
                      static_cast<int32_t>(content.size()));
            continue;
        } else {
            source.GetFieldValue(desc, table->RecordBuffer.get(), value.Bytes, value.Null);
        }
        if (column.AggregateKind != akNone)
            ConvertAggregateInput(column.AggregateKind, desc.FieldType, value);
        WriteValue(result, field, row, value);
    }
}

void TDataQuery::FillComputedColumns(uint8_t* row) {
    dbengine::TDataCursor& result = *FResultCursor;
    for (auto& item : ResultFields) {
        const TResultField& column = *item;
        if (!column.IsExpression) continue;
        const auto field = static_cast<uint16_t>(column.ResultFieldNumber);
        dbengine::TExpTreeHolder value(
            dbengine::EvaluateExpToken(column.Expression, nullptr, SourceValues(), LanguageId, SortId));
        if (value->IsNull) continue;
        if (column.ResultType == dbengine::fldBlob) {
            int32_t size = value->DataSize;
            if (value->DataType == dbengine::fldString ||
                (value->DataType == dbengine::fldBlob && value->SubType == dbengine::fldstMemo))
                size = static_cast<int32_t>(strnlen(reinterpret_cast<const char*>(value->Data.get()),
                                                    static_cast<size_t>(std::max(0, value->DataSize))));
            WriteBlob(result, field, row, value->Data.get(), size);
            continue;
        }
        TValue v;
        v.Null = false;
        std::memcpy(v.Bytes, value->Data.get(), static_cast<size_t>(std::clamp(value->DataSize, 0, 250)));
        ConvertAggregateInput(column.AggregateKind, value->DataType, v);
        WriteValue(result, field, row, v);
    }
}

void TDataQuery::ExecuteSelect() {
    dbengine::TDataCursor& result = *FResultCursor;
    std::vector<uint8_t> row(result.GetRecordSize() + 1u);
    TRowProgress progress(*this);
    int32_t written = 0;
    bool abort = false;
    auto freeBlobs = [&] {
        if (!HasBlobColumns) return;
        for (auto& table : SourceTables) {
            if (table->RecordBuffer) table->Cursor->PutBlobHandles(table->RecordBuffer.get(), true);
            table->Cursor->FreeAllBlobs(false, false);
        }
    };
    ReadSourceFieldDescs();
    std::unique_ptr<TGatheredGroups> groups;
    if (TGatheredGroups::Applies(*this, result)) groups = std::make_unique<TGatheredGroups>(*this, result);
    TSourceReadBlock block(*this);
    TSourceTable* first = SourceTables.empty() ? nullptr : SourceTables.front().get();
    for (bool more = first != nullptr && first->FirstMatch(0); more; more = first->NextMatch()) {
        block.Step();
        if (progress.Step()) break;
        if (!RowPasses()) {
            freeBlobs();
            continue;
        }
        result.InitRecord(row.data());
        FillResultRow(row.data());
        if (HasExpressionColumns) FillComputedColumns(row.data());
        if (groups && groups->Add(row.data())) continue;
        if ((MaxRowCount >= 0 && written >= MaxRowCount) ||
            (TopCount != -1 && (!HasOrderBy || OrderBySatisfied) && !HasGroupBy && !Distinct &&
             written >= TopCount)) {
            result.FreeRecordBlobs(row.data());
            break;
        }
        result.InsertRecord(row.data(), false);
        ++written;
        freeBlobs();
    }
    if (groups) groups->WriteRows();
    const int32_t limit = !HasOrderBy || OrderBySatisfied ? TopCount : -1;
    if (Distinct) {
        std::vector<dbengine::TFieldDescriptor> fields(
            result.GetFieldDescs().begin(),
            result.GetFieldDescs().begin() + static_cast<std::ptrdiff_t>(ResultFields.size()));
        for (auto& f : fields) f.SortDescending = 0;
        result.SortRecords(fields, false, limit, true, false, false, false, nullptr);
    } else if (HasGroupBy && !AggregateOnly) {
        GroupRows(limit);
    }
    if (!HasUnion && !IsUnionPart) SortByOrderBy();
    if (LastPercent != 100) ReportProgress(100, abort);
}

void TDataQuery::GroupRows(int32_t limit) {
    dbengine::TDataCursor& result = *FResultCursor;
    std::vector<dbengine::TFieldDescriptor> fields;
    for (auto& item : GroupByFields) {
        dbengine::TFieldDescriptor desc = result.GetFieldDescs()[static_cast<size_t>(item->ColumnNumber) - 1];
        desc.SortDescending = 0;
        fields.push_back(desc);
    }
    FirstGroup = true;
    result.SortRecords(fields, false, limit, false, true, HasAvg, HasHaving, this);
}

void TDataQuery::ExecuteAggregateSelect() {
    dbengine::TDataCursor& result = *FResultCursor;
    std::vector<uint8_t> accumulator(result.GetRecordSize() + 1u);
    result.InitRecord(accumulator.data());
    bool abort = false;
    if (CountStarOnly) {
        TValue count;
        count.Null = false;
        dbengine::PutInt32(count.Bytes, DrivingTable->Cursor->GetRecordCount());
        WriteValue(result, static_cast<uint16_t>(ResultFields.front()->ResultFieldNumber), accumulator.data(),
                   count);
        result.InsertRecord(accumulator.data(), false);
        ReportProgress(100, abort);
        return;
    }
    std::vector<uint8_t> row(result.GetRecordSize() + 1u);
    TRowProgress progress(*this);
    ReadSourceFieldDescs();
    bool accepted = false;
    FirstGroup = true;
    TSourceReadBlock block(*this);
    TSourceTable* first = SourceTables.empty() ? nullptr : SourceTables.front().get();
    for (bool more = first != nullptr && first->FirstMatch(0); more; more = first->NextMatch()) {
        block.Step();
        if (progress.Step()) break;
        if (!RowPasses()) continue;
        uint8_t* target = accepted ? row.data() : accumulator.data();
        result.InitRecord(target);
        FillResultRow(target);
        if (HasExpressionColumns) FillComputedColumns(target);
        if (!accepted)
            AccumulateGroupRecord(true, accumulator.data(), accumulator.data());
        else
            AccumulateGroupRecord(false, row.data(), accumulator.data());
        accepted = true;
    }
    if (!accepted) {
        // No row: NULL everywhere but the averages and counts, which are 0.
        result.InitRecord(accumulator.data());
        for (auto& item : ResultFields) {
            TValue zero;
            zero.Null = false;
            if (item->AggregateKind == akAvg) {
                if (item->ResultType == dbengine::fldBCD) PutBcdAmount(zero.Bytes, 0, item->ResultScale);
            } else if (item->AggregateKind != akCount) {
                continue;
            }
            WriteValue(result, static_cast<uint16_t>(item->ResultFieldNumber), accumulator.data(), zero);
        }
    } else if (HasAvg) {
        FinishAverages(accumulator.data());
    }
    result.InsertRecord(accumulator.data(), false);
    if (LastPercent != 100) ReportProgress(100, abort);
}

bool TDataQuery::AccumulateGroupRecord(bool newGroup, uint8_t* source, uint8_t* target) {
    dbengine::TDataCursor& result = *FResultCursor;
    for (auto& item : ResultFields) {
        const TResultField& column = *item;
        if (column.AggregateKind == akNone) continue;
        const auto field = static_cast<uint16_t>(column.ResultFieldNumber);
        const uint8_t type = column.ResultType, scale = column.ResultScale;
        TValue mine = ReadValue(result, field, target);
        if (newGroup) {
            if (column.AggregateKind == akCount && mine.Null) {
                mine.Null = false;
                dbengine::PutInt32(mine.Bytes, 0);
                WriteValue(result, field, target, mine);
            }
            if (column.AggregateKind == akRunSum && !FirstGroup && source != target) {
                const TValue previous = ReadValue(result, field, source);
                if (!previous.Null) {
                    if (mine.Null) {
                        mine = previous;
                    } else {
                        AddValues(mine, previous, type, scale);
                    }
                    WriteValue(result, field, target, mine);
                }
            }
            // A row that is already a group's total (gathered in memory) keeps its count.
            const auto counter = static_cast<uint16_t>(column.AvgCountField);
            if (column.AggregateKind == akAvg && ReadValue(result, counter, target).Null) {
                TValue count;
                count.Null = false;
                dbengine::PutInt32(count.Bytes, ReadValue(result, field, target).Null ? 0 : 1);
                WriteValue(result, counter, target, count);
            }
            continue;
        }
        const TValue value = ReadValue(result, field, source);
        if (value.Null) continue;
        switch (column.AggregateKind) {
            case akMin:
            case akMax: {
                const int order = mine.Null ? 0 : CompareValues(value, mine, type, scale, LanguageId, SortId);
                if (mine.Null || (column.AggregateKind == akMin ? order < 0 : order > 0)) mine = value;
                break;
            }
            case akCount: {
                const int32_t n = mine.Null ? 0 : dbengine::GetInt32(mine.Bytes);
                mine.Null = false;
                dbengine::PutInt32(mine.Bytes, static_cast<int32_t>(static_cast<uint32_t>(n) + 1u));
                break;
            }
            default:
                if (mine.Null)
                    mine = value;
                else
                    AddValues(mine, value, type, scale);
                break;
        }
        WriteValue(result, field, target, mine);
        if (column.AggregateKind == akAvg) {
            const auto counter = static_cast<uint16_t>(column.AvgCountField);
            const TValue count = ReadValue(result, counter, target);
            TValue next;
            next.Null = false;
            dbengine::PutInt32(next.Bytes, (count.Null ? 0 : dbengine::GetInt32(count.Bytes)) + 1);
            WriteValue(result, counter, target, next);
        }
    }
    FirstGroup = false;
    return true;
}

void TDataQuery::FinishAverages(uint8_t* row) {
    dbengine::TDataCursor& result = *FResultCursor;
    for (auto& item : ResultFields) {
        const TResultField& column = *item;
        if (column.AggregateKind != akAvg) continue;
        const auto field = static_cast<uint16_t>(column.ResultFieldNumber);
        TValue sum = ReadValue(result, field, row);
        const TValue countValue = ReadValue(result, static_cast<uint16_t>(column.AvgCountField), row);
        const int32_t count = countValue.Null ? 0 : dbengine::GetInt32(countValue.Bytes);
        TValue average;
        average.Null = false;
        switch (column.ResultType) {
            case dbengine::fldDate:
            case dbengine::fldTime:
                dbengine::PutInt32(average.Bytes,
                                   count == 0 || sum.Null
                                       ? 0
                                       : static_cast<int32_t>(std::lround(
                                             static_cast<double>(dbengine::GetInt32(sum.Bytes)) / count)));
                break;
            case dbengine::fldBCD:
                PutBcdAmount(
                    average.Bytes,
                    count == 0 || sum.Null
                        ? 0
                        : static_cast<int64_t>(std::llround(
                              static_cast<double>(BcdAmount(sum.Bytes, column.ResultScale)) / count)),
                    column.ResultScale);
                break;
            case dbengine::fldFloat:
            case dbengine::fldTimestamp:
                dbengine::PutDouble(average.Bytes,
                                    count == 0 || sum.Null ? 0.0 : dbengine::GetDouble(sum.Bytes) / count);
                break;
            default:
                if (IsIntegerType(column.ResultType)) {
                    const int64_t total = sum.Null ? 0 : IntegerOf(sum.Bytes, column.ResultType);
                    average = sum;
                    average.Null = false;
                    const int64_t value = count == 0 ? 0 : total / count;
                    if (column.ResultType == dbengine::fldLargeInt)
                        PutInt64(average.Bytes, value);
                    else if (column.ResultType == dbengine::fldInteger)
                        dbengine::PutInt32(average.Bytes, static_cast<int32_t>(value));
                    else
                        dbengine::PutInt16(average.Bytes, static_cast<int16_t>(value));
                }
                break;
        }
        WriteValue(result, field, row, average);
    }
}

bool TDataQuery::FinishGroupRecord(uint8_t, uint8_t* record, uint8_t*) {
    if (HasAvg) FinishAverages(record);
    return true;
}

bool TDataQuery::TestHaving(const uint8_t* row) {
    if (HavingCondition == nullptr) return true;
    FResultColumns.Record = row;
    TExpToken* value = dbengine::EvaluateExpToken(HavingCondition, row, &FResultColumns, LanguageId, SortId);
    FResultColumns.Record = nullptr;
    const bool holds = !value->IsNull && dbengine::ExpIntegerValue(value) != 0;
    dbengine::ReleaseExpToken(value);
    return holds;
}

bool TDataQuery::GroupFilter(uint8_t, uint8_t* record, uint8_t*) {
    return !HasHaving || TestHaving(record);
}

void TDataQuery::SortByOrderBy() {
    if (!HasOrderBy || OrderBySatisfied || FResultTable == nullptr) return;
    dbengine::TDataCursor& result = *FResultCursor;
    std::vector<dbengine::TFieldDescriptor> fields;
    for (auto& item : OrderByFields) {
        dbengine::TFieldDescriptor desc = result.GetFieldDescs()[static_cast<size_t>(item->ColumnNumber) - 1];
        desc.SortDescending = item->Descending ? 1 : 0;
        fields.push_back(desc);
    }
    result.SortRecords(fields, OrderByNoCase, TopCount, false, false, false, false, nullptr);
}

void TDataQuery::MergeUnion() {
    if (!HasUnion || UnionQuery == nullptr) return;
    const uint32_t start = framework::GetTickCount();
    UnionQuery->MergeUnion();
    dbengine::TDataCursor& result = *FResultCursor;
    dbengine::TDataCursor& part = *UnionQuery->ResultCursor();
    std::vector<uint8_t> from(part.GetRecordSize() + 1u), row(result.GetRecordSize() + 1u);
    part.SetToBegin();
    while (part.GetNextRecord(from.data()) == 0) {
        result.InitRecord(row.data());
        for (size_t i = 0; i < ResultFields.size() && i < UnionQuery->ResultFields.size(); ++i) {
            const auto field = static_cast<uint16_t>(ResultFields[i]->ResultFieldNumber);
            const auto partField = static_cast<uint16_t>(UnionQuery->ResultFields[i]->ResultFieldNumber);
            dbengine::TFieldDescriptor desc;
            part.GetFieldDesc(partField, desc);
            if (desc.FieldType == dbengine::fldBlob) {
                TValue handle = ReadValue(part, partField, from.data());
                if (handle.Null) continue;
                const std::string content = part.ReadBlobValue(from.data(), desc);
                WriteBlob(result, field, row.data(), reinterpret_cast<const uint8_t*>(content.data()),
                          static_cast<int32_t>(content.size()));
                continue;
            }
            WriteValue(result, field, row.data(), ReadValue(part, partField, from.data()));
        }
        result.InsertRecord(row.data(), false);
    }
    if (!UnionAll) {
        std::vector<dbengine::TFieldDescriptor> fields(
            result.GetFieldDescs().begin(),
            result.GetFieldDescs().begin() + static_cast<std::ptrdiff_t>(ResultFields.size()));
        for (auto& f : fields) f.SortDescending = 0;
        result.SortRecords(fields, false, -1, true, false, false, false, nullptr);
    }
    result.Refresh();
    result.SetToBegin();
    const uint32_t end = framework::GetTickCount();
    ExecutionTime += end >= start ? (end - start) / 1000.0 : 0;
}

}  // namespace dbsql

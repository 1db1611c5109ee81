#include "dbsql/sql/QueryStatement.h"

#include <algorithm>
#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"

namespace dbsql {

TQueryStatement::TQueryStatement(dbengine::TDataDirectory* database)
    : Database(database), Parser(std::make_unique<dbengine::TExpressionParser>(this, this)) {
    std::unique_ptr<dbengine::TDataQuery> master = CreateQuery();
    MasterQuery = static_cast<TDataQuery*>(master.get());
    AddQuery(std::move(master));
    if (IsRemote()) RemoteCreate();
}

TQueryStatement::~TQueryStatement() {
    if (IsRemote()) RemoteFree();
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

void TQueryStatement::ReportProgress(int percent, bool& stop) {
    stop = false;
    if (ProgressCallback) ProgressCallback(*this, std::clamp(percent, 0, 100), stop);
}

void TQueryStatement::SetMaxRowCount(int32_t count) {
    if (count == MaxRowCount) return;
    MaxRowCount = count;
    if (MasterQuery != nullptr && MasterQuery->Kind == skSelect) MasterQuery->MaxRowCount = count;
}

void TQueryStatement::PrepareSQL(std::string_view text) {
    if (IsRemote()) {
        RemotePrepare(text);
        return;
    }
    ParseSQL(text);
    PrepareQueries();
}

void TQueryStatement::PrepareQueries() {
    Kind = MasterQuery->Kind;
    if (Kind == skSelect) {
        MasterQuery->RequestLive = RequestLive && MasterQuery->TargetTableName.empty();
        MasterQuery->MaxRowCount = MaxRowCount;
    } else {
        MasterQuery->RequestLive = true;
        MasterQuery->MaxRowCount = -1;
    }
    // Sub-selects, UNION parts and INSERT sources first: the queries that use them bind to them.
    for (size_t i = Queries.size(); i-- > 0;) Query(i)->PrepareQuery();
    LiveResult = MasterQuery->LiveResult;
    ResultIsSourceCursor = MasterQuery->LiveResult;
    SelectAll = MasterQuery->SelectAll;
    if (PreparedCallback) PreparedCallback(*this, Kind, LiveResult, ResultIsSourceCursor, SelectAll);
}

void TQueryStatement::BindParams(const std::vector<TParamDesc>& params, const uint8_t* buffer) {
    if (buffer == nullptr) return;
    for (size_t i = 0; i < params.size() && i < FParamTokens.size(); ++i) {
        const TParamDesc& desc = params[i];
        dbengine::TExpToken* token = FParamTokens[i];
        const uint8_t* slot = buffer + desc.Offset;
        token->DataType = desc.DataType;
        token->SubType = desc.SubType;
        token->IsNull = slot[0] == 0;
        if (desc.DataType != dbengine::fldBlob) {
            token->DataSize = desc.Size;
            token->Scale = desc.Scale;
            token->SetCapacity(std::max<int32_t>(desc.Size, 16));
            std::memcpy(token->Data.get(), slot + 1, desc.Size);
            continue;
        }
        const auto length = static_cast<int32_t>(dbengine::GetUInt32(slot + 1));
        const uint8_t* bytes = nullptr;
        std::memcpy(&bytes, slot + 5, sizeof bytes);
        const bool memo = desc.SubType == dbengine::fldstMemo;
        // A memo's value ends with its terminating zero, which the token counts in its size.
        int32_t copied = length;
        if (memo && length > 0 && bytes != nullptr && bytes[length - 1] == 0) --copied;
        token->Scale = 0;
        token->DataSize = memo ? copied + 1 : copied;
        token->SetCapacity(std::max<int32_t>(copied + 1, 16));
        std::fill_n(token->Data.get(), copied + 1, uint8_t{0});
        if (copied > 0 && bytes != nullptr)
            std::memcpy(token->Data.get(), bytes, static_cast<size_t>(copied));
    }
}

dbengine::TDataCursor* TQueryStatement::ExecuteQueries(int32_t& rows, double& time) {
    rows = 0;
    time = 0;
    for (size_t i = Queries.size(); i-- > 1;) {
        TDataQuery* query = Query(i);
        query->ExecuteQuery();
        if (query->HasUnion && !query->IsUnionPart) {
            query->MergeUnion();
            query->SortByOrderBy();
        }
        time += query->ExecutionTime;
    }
    dbengine::TDataCursor* cursor = MasterQuery->ExecuteQuery();
    if (MasterQuery->Kind == skSelect && MasterQuery->HasUnion && !MasterQuery->IsUnionPart) {
        MasterQuery->MergeUnion();
        MasterQuery->SortByOrderBy();
        cursor->SetToBegin();
        MasterQuery->RowsAffected = cursor->GetRecordCount();
    }
    time += MasterQuery->ExecutionTime;
    rows = MasterQuery->RowsAffected;
    return MasterQuery->Kind == skSelect ? cursor : nullptr;
}

dbengine::TDataCursor* TQueryStatement::ExecuteSQL(const std::vector<TParamDesc>& params,
                                                   const uint8_t* buffer) {
    InScript = false;
    if (IsRemote()) {
        RemoteExecute(params, buffer);
        return Kind == skSelect ? RemoteResultCursor.get() : nullptr;
    }
    if (!params.empty()) BindParams(params, buffer);
    int32_t rows = 0;
    double time = 0;
    dbengine::TDataCursor* cursor = ExecuteQueries(rows, time);
    int32_t total = rows, remembered = 0;
    if (Kind == skStartTransaction) remembered = total;
    while (!Parser->IsTokenKind(dbengine::etEnd)) {
        InScript = true;
        FParamTokens.clear();
        MasterQuery = nullptr;
        Queries.clear();
        std::unique_ptr<dbengine::TDataQuery> master = CreateQuery();
        MasterQuery = static_cast<TDataQuery*>(master.get());
        AddQuery(std::move(master));
        MasterQuery->ParseStatement(false, false, nullptr);
        PrepareQueries();
        double more = 0;
        cursor = ExecuteQueries(rows, more);
        time += more;
        if (Kind == skStartTransaction)
            remembered = total;
        else if (Kind == skRollback)
            total = remembered;
        else
            total += rows;
    }
    ExecutionTime = time;
    RowsAffected = total;
    return cursor;
}

}  // namespace dbsql

#include "dbsql/components/DbQuery.h"

#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {

using framework::DatabaseError;
using framework::DatabaseErrorFmt;

// ---- parameters ------------------------------------------------------------------------------------

namespace {

bool IsBlobFieldType(framework::TFieldType type) {
    return type >= framework::ftBlob && type <= framework::ftTypedBinary;
}

}  // namespace

uint8_t ParamEngineType(const framework::TParam& param) {
    const framework::TFieldType type = param.DataType;
    if ((type == framework::ftString || type == framework::ftFixedChar) && param.AsString().size() > 250)
        return dbengine::fldBlob;
    if (IsBlobFieldType(type)) return dbengine::fldBlob;
    return EngineFieldType(type).Type;
}

int ParamDataSize(const framework::TParam& param) {
    if (ParamEngineType(param) == dbengine::fldBlob) return static_cast<int>(BlobParamSize);
    return param.GetDataSize();
}

// ---- the data link ---------------------------------------------------------------------------------

void TDbQueryDataLink::ActiveChanged() {
    if (Query->Active()) Query->RefreshParams();
}

void TDbQueryDataLink::CheckBrowseMode() {
    if (Query->Active()) Query->CheckBrowseMode();
}

void TDbQueryDataLink::RecordChanged(framework::TField* field) {
    if (field == nullptr && Query->Active()) Query->RefreshParams();
}

framework::TDataSet* TDbQueryDataLink::GetDetailDataSet() const {
    return Query;
}

// ---- the query -------------------------------------------------------------------------------------

TDbQuery::TDbQuery(framework::TComponent* AOwner) : TDbDBDataSet(AOwner) {
    FSQL.OnChange = [this](framework::TObject*) { QueryChanged(); };
}

TDbQuery::~TDbQuery() {
    try {
        Disconnect();
    } catch (...) {
    }
    FSQL.OnChange = nullptr;
    FDataLink.SetDataSource(nullptr);
}

void TDbQuery::SetSQL(const std::string& text) {
    framework::TStringList lines;
    lines.SetText(text);
    if (lines.Text() == FSQL.Text()) return;
    Disconnect();
    FSQL.BeginUpdate();
    try {
        FSQL.SetText(text);
    } catch (...) {
        FSQL.EndUpdate();
        throw;
    }
    FSQL.EndUpdate();
}

void TDbQuery::QueryChanged() {
    if ((ComponentState() & framework::csLoading) != 0) {
        framework::TParams scratch;
        FStatementText = FParamCheck ? scratch.ParseSQL(FSQL.Text(), false) : FSQL.Text();
        return;
    }
    Disconnect();
    if (FParamCheck) {
        framework::TParams fresh;
        FStatementText = fresh.ParseSQL(FSQL.Text(), true);
        fresh.AssignValues(FParams);
        FParams.Assign(fresh);
    } else {
        FStatementText = FSQL.Text();
    }
    DataEvent(framework::dePropertyChange, 0);
}

void TDbQuery::SetParams(const framework::TParams& params) {
    FParams.AssignValues(params);
}

void TDbQuery::SetMaxRowCount(int32_t value) {
    FMaxRowCount = value;
    if (FStatement) FStatement->SetMaxRowCount(value);
}

void TDbQuery::SetReadOnly(bool value) {
    if (value == FReadOnly) return;
    CheckInactive();
    FReadOnly = value;
}

framework::TDataSource* TDbQuery::DataSource() const {
    return FDataLink.DataSource();
}

void TDbQuery::SetDataSource(framework::TDataSource* source) {
    // The source's dataset, or any master up its chain, being this query closes a circle.
    int guard = 0;
    for (const framework::TDataSource* s = source; s != nullptr && guard++ < 1000;
         s = s->DataSet() != nullptr ? s->DataSet()->GetDataSource() : nullptr)
        if (s->DataSet() == this) DatabaseError(dbqmsg::SCircularDataLink, this);
    FDataLink.SetDataSource(source);
}

void TDbQuery::SetPrepared(bool value) {
    if (IsCursorOpen()) DatabaseError(framework::dbmsg::SDataSetOpen, this);
    if (value == FPrepared) return;
    if (value) {
        // The list's line break does not count as text.
        std::string text = FStatementText;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.size() < 2) DatabaseError(dbqmsg::SEmptySQLStatement, this);
        TDbDatabase* database = Database();
        auto statement =
            std::make_unique<TQueryStatement>(database != nullptr ? database->Handle() : nullptr);
        statement->RequestLive = FRequestLive;
        statement->SetMaxRowCount(FMaxRowCount);
        TDbSession* session = database != nullptr ? database->Session() : &DefaultSession();
        statement->SetPasswordCallback([session](TQueryStatement&) { return session->PasswordCallback(); });
        statement->PrepareSQL(FStatementText);
        FStatement = std::move(statement);
    } else {
        FExecutedCursor = nullptr;
        FStatement.reset();
    }
    FPrepared = value;
}

void TDbQuery::Prepare() {
    SetDBFlag(dbfPrepared, true);
    try {
        SetPrepared(true);
    } catch (...) {
        SetDBFlag(dbfPrepared, false);
        throw;
    }
}

void TDbQuery::Unprepare() {
    SetPrepared(false);
    SetDBFlag(dbfPrepared, false);
}

void TDbQuery::ClearReason(unsigned reason) {
    if (DBFlags() == (1u << reason) && !IsCursorOpen()) SetPrepared(false);
    SetDBFlag(reason, false);
}

void TDbQuery::Disconnect() {
    Close();
    Unprepare();
}

dbengine::TDataCursor* TDbQuery::ExecuteQuery() {
    if (FSQL.Count() == 0) DatabaseError(dbqmsg::SEmptySQLStatement, this);
    SetPrepared(true);
    if (DataSource() != nullptr) SetParamsFromDataSource();
    return Execute();
}

dbengine::TDataCursor* TDbQuery::Execute() {
    const int count = FParams.Count();
    std::vector<TParamDesc> descs;
    std::vector<uint8_t> buffer;
    // BLOB values stay here while the statement reads them through their slots.
    std::vector<std::string> blobs;
    blobs.reserve(static_cast<size_t>(count));
    size_t offset = 0;
    for (int i = 0; i < count; ++i) {
        const framework::TParam& param = *FParams[i];
        TParamDesc desc;
        desc.FieldNo = static_cast<uint16_t>(i + 1);
        desc.Name = param.Name.substr(0, dbengine::MaxFieldNameLength);
        desc.DataType = ParamEngineType(param);
        if (desc.DataType == 0) DatabaseErrorFmt(dbqmsg::SNoParameterValue, {param.Name}, this);
        desc.Size = static_cast<uint8_t>(ParamDataSize(param));
        if (desc.DataType == dbengine::fldBCD) desc.Scale = 4;
        if (desc.DataType == dbengine::fldBlob) desc.SubType = EngineFieldType(param.DataType).SubType;
        desc.Offset = static_cast<uint16_t>(offset);
        offset += desc.Size + 1u;
        descs.push_back(desc);
    }
    buffer.assign(offset + 1, 0);
    for (int i = 0; i < count; ++i) {
        const framework::TParam& param = *FParams[i];
        const TParamDesc& desc = descs[static_cast<size_t>(i)];
        uint8_t* slot = buffer.data() + desc.Offset;
        if (param.IsNull()) continue;
        slot[0] = 1;
        if (desc.DataType == dbengine::fldBlob) {
            const std::string& text = blobs.emplace_back(param.AsString());
            dbengine::PutUInt32(slot + 1, static_cast<uint32_t>(text.size()));
            const char* bytes = text.data();
            std::memcpy(slot + 5, &bytes, sizeof bytes);
            continue;
        }
        param.GetData(slot + 1);
        if (desc.DataType == dbengine::fldString) {
            // Trailing blanks go; a text of blanks only is NULL.
            char* text = reinterpret_cast<char*>(slot + 1);
            size_t length = strnlen(text, desc.Size);
            while (length > 0 && text[length - 1] == ' ') text[--length] = 0;
            slot[0] = length > 0 ? 1 : 0;
        }
    }
    if (OnQueryProgress)
        FStatement->SetProgressCallback([this](TQueryStatement&, int percent, bool& stop) {
            OnQueryProgress(this, static_cast<uint16_t>(percent), stop);
        });
    else
        FStatement->SetProgressCallback({});
    dbengine::TDataCursor* cursor = nullptr;
    try {
        cursor = FStatement->ExecuteSQL(descs, count > 0 ? buffer.data() : nullptr);
    } catch (const dbengine::EDbEngineError& e) {
        if (e.ErrorCode == dbengine::DBE_SQLPARSE) SetPrepared(false);
        throw;
    }
    if (cursor != nullptr && cursor->GetReadOnly()) FReadOnly = true;
    FRowsAffected = FStatement->RowsAffected;
    FExecutionTime = FStatement->ExecutionTime;
    return cursor;
}

dbengine::TDataCursor* TDbQuery::CreateCursorHandle() {
    if (FJustExecuted) return FExecutedCursor;
    return ExecuteQuery();
}

void TDbQuery::OpenCursor() {
    SetDBFlag(dbfOpened, true);
    try {
        TDbDataSet::OpenCursor();
    } catch (...) {
        ClearReason(dbfOpened);
        throw;
    }
}

void TDbQuery::CloseCursor() {
    TDbDataSet::CloseCursor();
    ClearReason(dbfOpened);
}

void TDbQuery::ExecuteStatement() {
    CheckInactive();
    SetDBFlag(dbfOpened, true);
    try {
        dbengine::TDataCursor* cursor = ExecuteQuery();
        if (FStatement && FStatement->Kind == skSelect) {
            FJustExecuted = true;
            FExecutedCursor = cursor;
            try {
                Open();
            } catch (...) {
                FJustExecuted = false;
                throw;
            }
            FJustExecuted = false;
            // The open took its own reason; the one taken here goes.
            SetDBFlag(dbfOpened, false);
        } else {
            ClearReason(dbfOpened);
        }
    } catch (...) {
        ClearReason(dbfOpened);
        throw;
    }
}

void TDbQuery::SetParamsFromDataSource() {
    framework::TDataSet* master = DataSource() != nullptr ? DataSource()->DataSet() : nullptr;
    if (master == nullptr) return;
    master->FieldDefs.Update();
    for (int i = 0; i < FParams.Count(); ++i) {
        framework::TParam& param = *FParams[i];
        if (param.Bound) continue;
        framework::TField* field = master->FindField(param.Name);
        if (field == nullptr) DatabaseErrorFmt(dbqmsg::SFieldNotFound, {param.Name}, this);
        param.AssignField(field);
        param.Bound = false;
    }
}

void TDbQuery::RefreshParams() {
    DisableControls();
    try {
        framework::TDataSet* master = DataSource() != nullptr ? DataSource()->DataSet() : nullptr;
        if (master != nullptr && master->Active() && master->State() != framework::dsSetKey) {
            Close();
            Open();
        }
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TDbQuery::GetDetailLinkFields(std::vector<framework::TField*>& masterFields,
                                   std::vector<framework::TField*>& detailFields) {
    masterFields.clear();
    detailFields.clear();
    framework::TDataSet* master = DataSource() != nullptr ? DataSource()->DataSet() : nullptr;
    if (master == nullptr) return;
    for (int i = 0; i < FParams.Count(); ++i) {
        const std::string& name = FParams[i]->Name;
        framework::TField* field = master->FindField(name);
        if (field == nullptr) continue;
        masterFields.push_back(field);
        if (framework::TField* own = FindField(name)) detailFields.push_back(own);
    }
}

}  // namespace dbsql

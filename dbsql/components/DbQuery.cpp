#include "dbsql/components/DbQuery.h"

#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/Filer.h"
#include "framework/data/Fields.h"

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
    FStreamedData.reset();
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

// ---- streaming -------------------------------------------------------------------------------------

namespace {

const char* const ParamTypeNames[] = {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput", "ptResult"};

std::string FieldTypeIdent(framework::TFieldType type) {
    return "ft" + framework::FieldTypeName(type);
}

framework::TFieldType FieldTypeOfIdent(const std::string& ident) {
    for (int i = framework::ftUnknown; i <= framework::ftFMTBcd; ++i) {
        const auto type = static_cast<framework::TFieldType>(i);
        if (framework::SameText(ident, FieldTypeIdent(type))) return type;
    }
    throw framework::EReadError("Invalid property value");
}

framework::TParamType ParamTypeOfIdent(const std::string& ident) {
    for (int i = 0; i < static_cast<int>(std::size(ParamTypeNames)); ++i)
        if (framework::SameText(ident, ParamTypeNames[i])) return static_cast<framework::TParamType>(i);
    throw framework::EReadError("Invalid property value");
}

void WriteVariant(framework::TWriter* writer, const framework::Variant& value) {
    switch (value.VarType()) {
        case framework::TVarType::varBoolean:
            writer->WriteBoolean(value.AsBoolean());
            break;
        case framework::TVarType::varInteger:
            writer->WriteInteger(value.AsInteger());
            break;
        case framework::TVarType::varDouble:
            writer->WriteFloat(value.AsFloat());
            break;
        case framework::TVarType::varCurrency:
            writer->WriteCurrency(framework::Currency::FromRaw(value.AsCurrency()));
            break;
        case framework::TVarType::varDate:
            writer->WriteDate(value.AsDateTime());
            break;
        default:
            writer->WriteString(value.AsString());
            break;
    }
}

framework::Variant ReadVariant(framework::TReader* reader) {
    switch (reader->NextValue()) {
        case framework::vaFalse:
        case framework::vaTrue:
            return framework::Variant(reader->ReadBoolean());
        case framework::vaInt8:
        case framework::vaInt16:
        case framework::vaInt32:
        case framework::vaInt64:
            return framework::Variant(reader->ReadInt64());
        case framework::vaExtended:
        case framework::vaSingle:
            return framework::Variant(static_cast<double>(reader->ReadFloat()));
        case framework::vaCurrency:
            return framework::Variant::FromCurrency(reader->ReadCurrency().Value);
        case framework::vaDate:
            return framework::Variant::FromDateTime(reader->ReadDate());
        case framework::vaNull:
        case framework::vaNil:
            reader->ReadValue();
            return framework::Variant::Null();
        default:
            return framework::Variant(reader->ReadString());
    }
}

}  // namespace

void TDbQuery::DefineProperties(framework::TFiler* Filer) {
    TDbDBDataSet::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "Data",
        [this](framework::TStream* stream) {
            std::string bytes(static_cast<size_t>(stream->Size()), '\0');
            if (!bytes.empty()) stream->ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
            FStreamedData = std::move(bytes);
        },
        [this](framework::TStream* stream) {
            if (FStreamedData && !FStreamedData->empty())
                stream->WriteBuffer(FStreamedData->data(), static_cast<int32_t>(FStreamedData->size()));
        },
        FStreamedData.has_value());
    Filer->DefineProperty(
        "ParamData", [this](framework::TReader* reader) { ReadParamData(reader); },
        [this](framework::TWriter* writer) { WriteParamData(writer); }, FParams.Count() > 0);
}

// The parameters as a collection: per parameter its type, name, kind and (when it has one) value.
void TDbQuery::WriteParamData(framework::TWriter* writer) {
    writer->WriteValue(framework::vaCollection);
    for (int i = 0; i < FParams.Count(); ++i) {
        const framework::TParam& param = *FParams[i];
        writer->WriteListBegin();
        writer->WriteStr("DataType");
        writer->WriteIdent(FieldTypeIdent(param.DataType));
        writer->WriteStr("Name");
        writer->WriteString(param.Name);
        writer->WriteStr("ParamType");
        writer->WriteIdent(ParamTypeNames[param.ParamType]);
        if (!param.IsNull() && !param.Value().IsArray()) {
            writer->WriteStr("Value");
            WriteVariant(writer, param.Value());
        }
        writer->WriteListEnd();
    }
    writer->WriteListEnd();
}

void TDbQuery::ReadParamData(framework::TReader* reader) {
    framework::TParams params;
    reader->CheckValue(framework::vaCollection);
    while (!reader->EndOfList()) {
        // An item may carry its index first.
        const framework::TValueType next = reader->NextValue();
        if (next == framework::vaInt8 || next == framework::vaInt16 || next == framework::vaInt32)
            reader->ReadInteger();
        framework::TFieldType type = framework::ftUnknown;
        framework::TParamType kind = framework::ptUnknown;
        std::string name;
        framework::Variant value;
        bool valued = false;
        reader->ReadListBegin();
        while (!reader->EndOfList()) {
            const std::string property = reader->ReadStr();
            if (framework::SameText(property, "DataType")) {
                type = FieldTypeOfIdent(reader->ReadIdent());
            } else if (framework::SameText(property, "Name")) {
                name = reader->ReadString();
            } else if (framework::SameText(property, "ParamType")) {
                kind = ParamTypeOfIdent(reader->ReadIdent());
            } else if (framework::SameText(property, "Value")) {
                value = ReadVariant(reader);
                valued = true;
            } else {
                throw framework::EReadError("Property " + property + " does not exist");
            }
        }
        reader->ReadListEnd();
        framework::TParam* param = params.CreateParam(type, name, kind);
        if (valued) param->SetValue(value);
    }
    reader->ReadListEnd();
    FParams.Assign(params);
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

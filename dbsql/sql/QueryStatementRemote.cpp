// A statement over a remote session: every step is a request to the database server, which
// prepares and runs the statement itself and calls back for passwords and progress.

#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/remote/RemoteClient.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/Coding.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {

namespace {

constexpr uint16_t RequestCreateStatement = 76;
constexpr uint16_t RequestPrepareStatement = 77;
constexpr uint16_t RequestStatementParams = 78;
constexpr uint16_t RequestExecuteStatement = 79;
constexpr uint16_t RequestFreeStatement = 80;
constexpr uint16_t RequestCallbackAnswer = 75;
// A reply that carries a callback of the server instead of the answer.
constexpr uint16_t CallbackReply = 11284;
constexpr uint8_t CallbackPassword = 11;
constexpr uint8_t CallbackProgress = 12;
constexpr uint8_t CallbackState = 13;
constexpr uint8_t CallbackMessage = 14;
// Server versions from which the prepare reply carries the select-all flag, and the execute
// request carries the parameters.
constexpr int64_t SelectAllVersion = 30600;
constexpr int64_t ParamsInExecuteVersion = 30900;
// The database of result tables on the server, and of every result before 30600.
constexpr const char* RemoteQueryDatabase = "Remote_Query";

}  // namespace

bool TQueryStatement::IsRemote() const {
    return Database != nullptr && Database->Session != nullptr && Database->Session->Remote &&
           Database->Session->RemoteLink != nullptr;
}

dbengine::TRemoteClient& TQueryStatement::Client() const {
    return static_cast<dbengine::TRemoteClient&>(*Database->Session->RemoteLink);
}

void TQueryStatement::RemoteExchange() {
    dbengine::TRemoteClient& client = Client();
    client.FinishRequest();
    client.SendAndReceive();
    while (client.GetReplyCode() == CallbackReply)
        if (!RunRemoteCallback()) client.ReceiveReply();
    client.CheckReplyError();
}

bool TQueryStatement::RunRemoteCallback() {
    dbengine::TRemoteClient& client = Client();
    auto answer = [&](bool value) {
        client.SetRequestCode(RequestCallbackAnswer);
        client.BeginRequest();
        client.AddRequestByte(value ? 1 : 0);
        client.FinishRequest();
        client.SendAndReceive();
        return true;
    };
    switch (client.ReadReplyByte()) {
        case CallbackPassword:
            return answer(AskPassword());
        case CallbackProgress: {
            const int percent = client.ReadReplyWord();
            bool stop = client.ReadReplyBoolean();
            ReportProgress(percent, stop);
            return answer(stop);
        }
        case CallbackState: {
            Kind = client.ReadReplyByte();
            LiveResult = client.ReadReplyBoolean();
            ResultIsSourceCursor = client.ReadReplyBoolean();
            if (client.GetServerVersion() >= SelectAllVersion) SelectAll = client.ReadReplyBoolean();
            // A later SELECT of a script has a result cursor of its own.
            if (Kind == skSelect && client.GetServerVersion() >= ParamsInExecuteVersion) ReadRemoteResult();
            // The server's transaction is mirrored here, on the local side only.
            if (Kind == skStartTransaction) Database->InTransaction = true;
            if (Kind == skRollback || Kind == skCommit) Database->InTransaction = false;
            return false;
        }
        case CallbackMessage: {
            const int32_t value = client.ReadReplyInt32();
            if (MessageCallback) MessageCallback(*this, value);
            return false;
        }
        default:
            return false;
    }
}

void TQueryStatement::RemoteCreate() {
    dbengine::TRemoteClient& client = Client();
    client.CheckConnected();
    client.SetRequestCode(RequestCreateStatement);
    client.BeginRequest();
    client.AddRequestUInt32(Database->ServerHandle);
    RemoteExchange();
    RemoteHandle = client.ReadReplyUInt32();
}

void TQueryStatement::RemotePrepare(std::string_view text) {
    dbengine::TRemoteClient& client = Client();
    client.SetRequestCode(RequestPrepareStatement);
    client.BeginRequest();
    client.AddRequestUInt32(RemoteHandle);
    client.AddRequestUInt32(static_cast<uint32_t>(text.size()));
    client.AddRequestParam(text.data(), static_cast<uint32_t>(text.size()));
    client.AddRequestBoolean(RequestLive);
    client.AddRequestInt32(MaxRowCount);
    RemoteExchange();
    Kind = client.ReadReplyByte();
    LiveResult = client.ReadReplyBoolean();
    ResultIsSourceCursor = client.ReadReplyBoolean();
    if (client.GetServerVersion() >= SelectAllVersion) SelectAll = client.ReadReplyBoolean();
    if (Kind == skSelect)
        ReadRemoteResult();
    else
        CloseRemoteResult();
    if (PreparedCallback) PreparedCallback(*this, Kind, LiveResult, ResultIsSourceCursor, SelectAll);
}

void TQueryStatement::AddRemoteParams(const std::vector<TParamDesc>& params, const uint8_t* buffer) {
    dbengine::TRemoteClient& client = Client();
    client.AddRequestWord(static_cast<uint16_t>(params.size()));
    for (const TParamDesc& param : params) {
        dbengine::TFieldDescriptor desc;
        desc.FieldNo = static_cast<int16_t>(param.FieldNo);
        desc.Name = param.Name;
        desc.FieldType = param.DataType;
        desc.SubType = param.SubType;
        desc.Size = desc.ValueSize = param.Size;
        desc.Decimals = desc.ValueDecimals = param.Scale;
        desc.Offset = param.Offset;
        const auto bytes = desc.Encode();
        client.AddRequestParam(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    for (const TParamDesc& param : params) {
        const uint8_t* slot = buffer + param.Offset;
        if (param.DataType != dbengine::fldBlob) {
            client.AddRequestParam(slot, param.Size + 1u);
            continue;
        }
        // The flag and the length, then the BLOB's bytes themselves.
        const uint32_t length = dbengine::GetUInt32(slot + 1);
        const uint8_t* bytes = nullptr;
        std::memcpy(&bytes, slot + 5, sizeof bytes);
        std::vector<uint8_t> item(5 + (bytes != nullptr ? length : 0));
        std::memcpy(item.data(), slot, 5);
        if (bytes != nullptr && length > 0) std::memcpy(item.data() + 5, bytes, length);
        client.AddRequestParam(item.data(), static_cast<uint32_t>(item.size()));
    }
}

void TQueryStatement::RemoteExecute(const std::vector<TParamDesc>& params, const uint8_t* buffer) {
    dbengine::TRemoteClient& client = Client();
    const bool paramsInExecute = client.GetServerVersion() >= ParamsInExecuteVersion;
    if (!params.empty() && buffer != nullptr && !paramsInExecute) {
        client.SetRequestCode(RequestStatementParams);
        client.BeginRequest();
        client.AddRequestUInt32(RemoteHandle);
        AddRemoteParams(params, buffer);
        RemoteExchange();
    }
    client.SetRequestCode(RequestExecuteStatement);
    client.BeginRequest();
    client.AddRequestUInt32(RemoteHandle);
    if (paramsInExecute) AddRemoteParams(buffer != nullptr ? params : std::vector<TParamDesc>{}, buffer);
    client.AddRequestBoolean(static_cast<bool>(ProgressCallback));
    RemoteExchange();
    uint8_t seconds[8] = {};
    client.ReadReplyParam(seconds, sizeof seconds);
    ExecutionTime = dbengine::GetDouble(seconds);
    RowsAffected = client.ReadReplyInt32();
    if (Kind == skSelect) {
        // Older servers open the result anew; later ones tell where it stands.
        if (client.GetServerVersion() < ParamsInExecuteVersion)
            ReadRemoteResult();
        else if (RemoteResultCursor)
            RemoteResultCursor->Remote().ReadPositionReply();
    }
    if (Kind == skStartTransaction) Database->InTransaction = true;
    if (Kind == skRollback || Kind == skCommit) Database->InTransaction = false;
}

void TQueryStatement::ReadRemoteResult() {
    dbengine::TRemoteClient& client = Client();
    CloseRemoteResult();
    // A live result lives in a database of the server's; a result table in the query database.
    std::string name = RemoteQueryDatabase;
    if (client.GetServerVersion() >= SelectAllVersion && LiveResult)
        name = client.ReadReplyString(dbengine::ShortStringMax);
    RemoteResultDatabaseName = name;
    RemoteResultDatabase = Database->Session->OpenDataDirectory(name, "", true);
    // Made outside the session, so that it asks the server for no handle: the reply holds it.
    auto cursor = std::make_unique<dbengine::TDataCursor>(nullptr);
    cursor->AdoptDatabase(RemoteResultDatabase);
    dbengine::TRemoteCursor& remote = cursor->Remote();
    remote.ReadCursorReply(client.GetReply());
    remote.OpenReplyReady = true;
    cursor->OpenCursor();
    if (client.GetServerVersion() >= SelectAllVersion && SelectAll)
        cursor->SetFieldOrigins();
    else
        remote.ReadFieldDescsReply(client.GetReply());
    RemoteResultCursor = std::move(cursor);
}

void TQueryStatement::CloseRemoteResult() noexcept {
    RemoteResultCursor.reset();
    if (RemoteResultDatabase == nullptr) return;
    try {
        Database->Session->CloseDataDirectory(RemoteResultDatabase, true);
    } catch (...) {
        // Nothing of the server's is left to close.
    }
    RemoteResultDatabase = nullptr;
}

void TQueryStatement::RemoteFree() noexcept {
    CloseRemoteResult();
    try {
        dbengine::TRemoteClient& client = Client();
        client.SetRequestCode(RequestFreeStatement);
        client.BeginRequest();
        client.AddRequestUInt32(RemoteHandle);
        RemoteExchange();
    } catch (...) {
        // A statement the server cannot free any more is gone with it.
    }
}

}  // namespace dbsql

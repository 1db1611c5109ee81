#include "dbengine/remote/RemoteClient.h"

#include <algorithm>
#include <utility>

#include "dbengine/os/OSLayer.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "framework/core/Exception.h"
#include "framework/core/Seams.h"
#include "platform/Process.h"
#include "platform/Sockets.h"

namespace dbengine {

namespace {

// From this server version on the session parameters carry the lock protocol.
constexpr int64_t LockProtocolServerVersion = 30400;

std::string Elapsed(uint32_t start) {
    return std::to_string(framework::GetTickCount() - start);
}

// Hands the socket layer's last error to the engine's error context before a raise.
void NoteSocketError() {
    SetLastSocketErrorCode(static_cast<uint32_t>(platform::WSAGetLastError()));
}

// Sets a flag for the lifetime of the guard.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : Flag(flag) { Flag = true; }
    ~TFlagGuard() { Flag = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& Flag;
};

}  // namespace

TRemoteClient::TRemoteClient(TDataSession& session) : Session(session) {}

TRemoteClient::~TRemoteClient() {
    Disconnect();
}

void TRemoteClient::DoTrace(const std::string& message) {
    if (!TraceCallback) return;
    try {
        TraceCallback(message);
    } catch (...) {
        // A failing trace must not fail the operation it reports on.
    }
}

std::string TRemoteClient::GetServerName() const {
    return RemoteHost.empty() ? RemoteAddress : RemoteHost;
}

bool TRemoteClient::CompressionApplies() const {
    return !Session.LANMode && !Handshake;
}

uint32_t TRemoteClient::ServerVersion() const {
    return static_cast<uint32_t>(std::clamp<int64_t>(FServerVersion, 0, UINT32_MAX));
}

uint32_t TRemoteClient::WaitMilliseconds() const {
    int64_t ms = int64_t(std::max<int32_t>(RemoteTimeout, 0)) * 1000;
    return static_cast<uint32_t>(std::min<int64_t>(ms, UINT32_MAX));
}

// ---- connection --------------------------------------------------------------------------------

void TRemoteClient::Connect() {
    if (Connected) return;
    Open(false);
}

void TRemoteClient::Reconnect() {
    if (Connected) return;
    Open(true);
}

void TRemoteClient::Open(bool reconnect) {
    uint32_t start = framework::GetTickCount();
    if (!reconnect) ConnectionId = 0;
    try {
        Socket = std::make_unique<platform::TClientSocket>();
        Socket->Host = RemoteHost;
        Socket->Address = RemoteAddress;
        Socket->Port = RemotePort;
        Socket->Service = RemoteService;
        Socket->SendTimeout = WaitMilliseconds();
        if (!Socket->Open()) {
            NoteSocketError();
            RaiseEngineError(DBE_REMOTECONNECT, GetServerName(), {}, {}, {});
        }
        Connected = true;
        if (RemoteTrace) {
            std::string what;
            if (!RemoteService.empty())
                what = (reconnect ? "Re-connection to service " : "Connection to service ") + RemoteService;
            else
                what = (reconnect ? "Re-connection to port " : "Connection to port ") +
                       std::to_string(RemotePort);
            DoTrace(what + " at host " + GetServerName() + " completed in " + Elapsed(start) + " msecs");
        }
        if (reconnect)
            ReconnectHandshake();
        else
            ConnectHandshake();
    } catch (...) {
        Handshake = false;
        Disconnect();
        // The refusing reply's own code, or the lost connection's, does not reach the caller.
        RaiseEngineError(DBE_REMOTECONNECT, GetServerName(), {}, {}, {});
    }
}

void TRemoteClient::ConnectHandshake() {
    TFlagGuard handshake(Handshake);
    Request.SetRequestCode(REQUEST_CONNECTPARAMS);
    Request.BeginRequest();
    Request.AddRequestInt64(RemoteClientVersion);
    Request.AddRequestBoolean(Session.LANMode);
    Request.AddRequestParam(QueryComputerName() + std::to_string(platform::GetCurrentProcessId()));
    FinishRequest();
    SendRequest();
    ReceiveReply();
    if (Reply.GetReplyCode() != DBE_NONE) RaiseEngineError(Reply.GetReplyCode(), GetServerName(), {}, {}, {});
    ConnectionId = Reply.ReadReplyInt32();
    FServerVersion = Reply.HasReplyParam() ? Reply.ReadReplyInt64() : RemoteDefaultServerVersion;
}

void TRemoteClient::ReconnectHandshake() {
    // The request that failed is sent again after the handshake: keep it aside meanwhile.
    TRemoteRequest kept = std::move(Request);
    Request = TRemoteRequest();
    struct TRestore {
        TRemoteRequest& Target;
        TRemoteRequest& Kept;
        ~TRestore() { Target = std::move(Kept); }
    } restore{Request, kept};
    TFlagGuard handshake(Handshake);
    Request.SetRequestCode(REQUEST_RECONNECT);
    Request.BeginRequest();
    Request.AddRequestInt64(RemoteClientVersion);
    Request.AddRequestInt32(ConnectionId);
    Request.AddRequestBoolean(Session.LANMode);
    FinishRequest();
    SendRequest();
    ReceiveReply();
    if (Reply.GetReplyCode() != DBE_NONE) RaiseEngineError(Reply.GetReplyCode(), GetServerName(), {}, {}, {});
}

void TRemoteClient::Disconnect() {
    if (Connected && Socket != nullptr) Socket->Close();
    Connected = false;
    Socket.reset();
}

void TRemoteClient::CheckConnected() {
    if (!Connected) Reconnect();
}

void TRemoteClient::Login() {
    bool firstAttempt = true;
    int rejected = 0;
    for (;;) {
        std::string user;
        std::string password;
        bool atHand = false;
        if (firstAttempt && !RemoteUser.empty() && !RemotePassword.empty()) {
            user = RemoteUser;
            password = RemotePassword;
            atHand = true;
        } else if (LoginCallback) {
            user = RemoteUser;
            password = RemotePassword;
            atHand = LoginCallback(user, password);
            user = user.substr(0, ShortStringMax);
            password = password.substr(0, ShortStringMax);
        }
        firstAttempt = false;
        if (!atHand) {
            Disconnect();
            framework::Abort();
        }
        RemoteUser = user;
        RemotePassword = password;

        SetRequestCode(REQUEST_LOGIN);
        BeginRequest();
        AddRequestParam(user);
        AddRequestParam(password);
        FinishRequest();
        SendAndReceive();
        TEngineErrorCode code = GetReplyCode();
        if (code == DBE_NONE) {
            LoggedIn = true;
            return;
        }
        if (code == DBE_REMOTEINVLOGIN) {
            RemoteUser.clear();
            RemotePassword.clear();
            if (++rejected < RemoteLoginAttempts) continue;
        }
        Disconnect();
        RaiseEngineError(code, GetServerName(), user, {}, {});
    }
}

void TRemoteClient::Logout() {
    if (!Connected) return;
    SetRequestCode(REQUEST_LOGOUT);
    BeginRequest();
    FinishRequest();
    try {
        SendRequest();
    } catch (...) {
        Reconnect();
        SendRequest();
    }
    LoggedIn = false;
    Disconnect();
}

void TRemoteClient::SendSessionParams() {
    CheckConnected();
    SetRequestCode(REQUEST_SESSIONPARAMS);
    BeginRequest();
    AddRequestBoolean(Session.ForceBufferFlush);
    AddRequestBoolean(Session.StrictChangeDetection);
    AddRequestByte(Session.LockRetryCount);
    AddRequestWord(Session.LockWaitTime);
    if (FServerVersion >= LockProtocolServerVersion) AddRequestByte(Session.LockProtocol);
    AddRequestWord(Session.ProgressSteps);
    Exchange();
}

// ---- one message ---------------------------------------------------------------------------------

void TRemoteClient::FinishRequest() {
    Request.FinishRequest(CompressionApplies());
}

void TRemoteClient::SendAndReceive() {
    try {
        SendRequest();
        ReceiveReply();
    } catch (...) {
        Reconnect();
        SendRequest();
        ReceiveReply();
    }
}

void TRemoteClient::RaiseLost() {
    NoteSocketError();
    Disconnect();
    RaiseEngineError(DBE_REMOTECOMMLOST, GetServerName(), {}, {}, {});
}

void TRemoteClient::SendRequest() {
    uint32_t start = framework::GetTickCount();
    uint32_t total = Request.TotalLength();
    uint32_t sent = 0;
    while (sent < total && Connected && Socket != nullptr && Socket->Active()) {
        int32_t piece = static_cast<int32_t>(std::min(total - sent, RemotePieceSize));
        int32_t n = Socket->SendBuf(Request.Data() + sent, piece);
        if (n <= 0) break;
        sent += static_cast<uint32_t>(n);
    }
    if (sent < total) {
        if (platform::WSAGetLastError() == 0) platform::WSASetLastError(platform::WSAENOTCONN);
        RaiseLost();
    }
    if (RemoteTrace)
        DoTrace("Send request - Code: " + GetRemoteRequestName(Request.GetRequestCode()) +
                " Size: " + std::to_string(total) + " Total Time: " + Elapsed(start) + " msecs");
}

bool TRemoteClient::ReceiveExact(uint8_t* destination, uint32_t count) {
    uint32_t done = 0;
    while (done < count) {
        if (!Connected || Socket == nullptr || !Socket->WaitForData(WaitMilliseconds())) {
            if (platform::WSAGetLastError() == 0) platform::WSASetLastError(platform::WSAETIMEDOUT);
            return false;
        }
        int32_t n = Socket->ReceiveBuf(destination + done, static_cast<int32_t>(count - done));
        if (n <= 0) {
            // 0: the server closed the connection.
            if (n == 0) platform::WSASetLastError(platform::WSAECONNRESET);
            return false;
        }
        done += static_cast<uint32_t>(n);
    }
    return true;
}

void TRemoteClient::ReceiveReply() {
    uint32_t start = framework::GetTickCount();
    uint8_t head[4];
    if (!ReceiveExact(head, 4)) RaiseLost();
    uint32_t total = GetUInt32(head);
    if (total < RemoteHeaderSize || total > RemoteMessageLimit) {
        // The stream can no longer be followed: nothing after this is a message boundary.
        Disconnect();
        RaiseEngineError(DBE_UNCOMPRESS, {}, {}, {}, {});
    }
    // The buffer grows with the bytes that actually arrive, so a header announcing more than the
    // server sends costs no more memory than it sent.
    uint32_t held = std::min<uint32_t>(total, RemotePieceSize);
    uint8_t* buffer = Reply.Reserve(held);
    std::copy_n(head, 4, buffer);
    uint32_t received = 4;
    while (received < total) {
        uint32_t piece = std::min(total - received, RemotePieceSize);
        if (received + piece > held) {
            held = static_cast<uint32_t>(
                std::min<uint64_t>(total, std::max<uint64_t>(received + piece, uint64_t(held) * 2)));
            buffer = Reply.Reserve(held);
        }
        if (!ReceiveExact(buffer + received, piece)) RaiseLost();
        received += piece;
    }
    try {
        Reply.DecodeReply(total, CompressionApplies());
    } catch (...) {
        Disconnect();
        throw;
    }
    if (RemoteTrace)
        DoTrace("Receive reply - Code: " + GetEngineErrorName(Reply.GetReplyCode()) + " Size: " +
                std::to_string(Reply.TotalLength()) + " Total Time: " + Elapsed(start) + " msecs");
}

void TRemoteClient::CheckReplyError() {
    TEngineErrorCode code = Reply.GetReplyCode();
    if (code == DBE_NONE) return;
    std::string user = Reply.ReadReplyString(ShortStringMax);
    std::string database = Reply.ReadReplyString(ShortStringMax);
    std::string table = Reply.ReadReplyString(ShortStringMax);
    std::string field = Reply.ReadReplyString(ShortStringMax);
    std::string index = Reply.ReadReplyString(ShortStringMax);
    std::string message = Reply.ReadReplyString(ShortStringMax);
    RaiseEngineError(code, GetServerName(), user, database, table, field, index, message);
}

void TRemoteClient::Exchange() {
    FinishRequest();
    SendAndReceive();
    CheckReplyError();
}

// ---- the session's requests ------------------------------------------------------------------------

void TRemoteClient::AddPassword(const std::string& password) {
    CheckConnected();
    SetRequestCode(REQUEST_ADDPASSWORD);
    BeginRequest();
    AddRequestParam(password);
    Exchange();
}

void TRemoteClient::RemovePassword(const std::string& password) {
    CheckConnected();
    SetRequestCode(REQUEST_DELPASSWORD);
    BeginRequest();
    AddRequestParam(password);
    Exchange();
}

void TRemoteClient::RemoveAllPasswords() {
    CheckConnected();
    SetRequestCode(REQUEST_DELALLPASSWORDS);
    BeginRequest();
    Exchange();
}

uint32_t TRemoteClient::OpenDataDir(const std::string& databaseName) {
    CheckConnected();
    SetRequestCode(REQUEST_OPENDATADIR);
    BeginRequest();
    AddRequestParam(databaseName);
    Exchange();
    return ReadReplyUInt32();
}

void TRemoteClient::CloseDataDir(uint32_t serverHandle) {
    CheckConnected();
    SetRequestCode(REQUEST_CLOSEDATADIR);
    BeginRequest();
    AddRequestUInt32(serverHandle);
    Exchange();
}

// ---- the database's requests -------------------------------------------------------------------------

bool TRemoteClient::TableExists(uint32_t serverHandle, const std::string& tableName, bool inMemory) {
    CheckConnected();
    SetRequestCode(REQUEST_TABLEEXISTS);
    BeginRequest();
    AddRequestUInt32(serverHandle);
    AddRequestParam(tableName);
    AddRequestBoolean(inMemory);
    Exchange();
    return ReadReplyBoolean();
}

void TRemoteClient::StartTransaction(uint32_t serverHandle) {
    CheckConnected();
    SetRequestCode(REQUEST_STARTTXN);
    BeginRequest();
    AddRequestUInt32(serverHandle);
    Exchange();
}

void TRemoteClient::Commit(uint32_t serverHandle, bool endTransaction, bool forceFlush) {
    CheckConnected();
    SetRequestCode(REQUEST_COMMITTXN);
    BeginRequest();
    AddRequestUInt32(serverHandle);
    AddRequestBoolean(endTransaction);
    AddRequestBoolean(forceFlush);
    Exchange();
}

void TRemoteClient::Rollback(uint32_t serverHandle) {
    CheckConnected();
    SetRequestCode(REQUEST_ROLLBACKTXN);
    BeginRequest();
    AddRequestUInt32(serverHandle);
    Exchange();
}

TRemoteClient& InstallRemoteClient(TDataSession& session) {
    if (auto* client = dynamic_cast<TRemoteClient*>(session.RemoteLink.get())) {
        session.SetRemote(true);
        return *client;
    }
    auto client = std::make_unique<TRemoteClient>(session);
    TRemoteClient& result = *client;
    session.RemoteLink = std::move(client);
    session.SetRemote(true);
    return result;
}

}  // namespace dbengine

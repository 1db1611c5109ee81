#pragma once
// The client side of a remote session: the connection to a database server, the exchange of one
// request and its reply at a time, login, session parameters, error replies, one automatic
// reconnect, and the requests of the session and database operations.
//
// The usual order of a remote operation: CheckConnected, SetRequestCode, BeginRequest,
// AddRequestParam for each parameter, FinishRequest, SendAndReceive, CheckReplyError, then
// ReadReplyParam for each reply item.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/session/DataSession.h"

namespace platform {
class TClientSocket;
}

namespace dbengine {

// Asks for a user name and a password (each up to 255 characters); false gives up.
using TRemoteLoginCallback = std::function<bool(std::string& userName, std::string& password)>;
// Receives each trace message.
using TRemoteTraceCallback = std::function<void(const std::string& message)>;

constexpr int32_t RemoteDefaultPort = 12005;
constexpr int32_t RemoteDefaultTimeout = 300;  // seconds
// Rejected logins before the login gives up.
constexpr int RemoteLoginAttempts = 3;

class TRemoteClient : public TRemoteSessionLink {
public:
    // The session's settings (transport mode, locking, flushing, progress) are read from it at the
    // time of each request.
    explicit TRemoteClient(TDataSession& session);
    ~TRemoteClient() override;
    TRemoteClient(const TRemoteClient&) = delete;
    TRemoteClient& operator=(const TRemoteClient&) = delete;

    // ---- connection state ----
    int32_t ConnectionId = 0;
    bool Connected = false;
    bool LoggedIn = false;
    bool Handshake = false;  // set while a connect or reconnect handshake runs: bodies go plain
    std::string RemoteHost;
    std::string RemoteAddress = "127.0.0.1";
    int32_t RemotePort = RemoteDefaultPort;
    std::string RemoteService;
    std::string RemoteUser;
    std::string RemotePassword;
    bool RemoteTrace = false;
    // Seconds to wait for data from the server; a server silent for that long has been lost.
    int32_t RemoteTimeout = RemoteDefaultTimeout;

    // The server's engine version times 10000 (30300 when its connect reply does not say).
    int64_t GetServerVersion() const { return FServerVersion; }

    void SetLoginCallback(TRemoteLoginCallback callback) { LoginCallback = std::move(callback); }
    void SetTraceCallback(TRemoteTraceCallback callback) { TraceCallback = std::move(callback); }
    // Calls the trace callback; whatever it raises is swallowed.
    void DoTrace(const std::string& message);

    // ---- connection and session ----
    // Opens the socket and runs the connect handshake; nothing when connected. Failure: 11280.
    void Connect();
    // Opens the socket again and runs the reconnect handshake with the same connection id; the
    // request being built survives it. Failure: 11280.
    void Reconnect();
    void Disconnect() override;
    // Logs in with RemoteUser/RemotePassword, then with pairs from the login callback; three
    // rejections raise 11287, no pair at hand ends in a silent abort; both leave it disconnected.
    void Login();
    // Sends the logout (no reply is read) and disconnects; nothing when not connected.
    void Logout();
    void SendSessionParams() override;
    // Reconnects when not connected.
    void CheckConnected();

    // ---- one message ----
    void SetRequestCode(uint16_t code) { Request.SetRequestCode(code); }
    uint16_t GetRequestCode() const { return Request.GetRequestCode(); }
    uint16_t GetReplyCode() const { return Reply.GetReplyCode(); }
    void BeginRequest() { Request.BeginRequest(); }
    void AddRequestParam(const void* data, uint32_t length) { Request.AddRequestParam(data, length); }
    void AddRequestParam(const std::string& text) { Request.AddRequestParam(text); }
    void AddRequestByte(uint8_t value) { Request.AddRequestByte(value); }
    void AddRequestBoolean(bool value) { Request.AddRequestBoolean(value); }
    void AddRequestWord(uint16_t value) { Request.AddRequestWord(value); }
    void AddRequestInt32(int32_t value) { Request.AddRequestInt32(value); }
    void AddRequestUInt32(uint32_t value) { Request.AddRequestUInt32(value); }
    void AddRequestInt64(int64_t value) { Request.AddRequestInt64(value); }
    // Fills the header, compressing the body when compression applies.
    void FinishRequest();
    // SendRequest and ReceiveReply; when either fails, one Reconnect and one more attempt.
    void SendAndReceive();
    // Failure: disconnected, 11276.
    void SendRequest();
    // Failure: disconnected, 11276 for a lost connection, 15002 for a reply that cannot be decoded.
    void ReceiveReply();
    // Raises the reply's error with the server name and the reply's six strings.
    void CheckReplyError();
    uint32_t ReadReplyParam(void* destination, uint32_t capacity) {
        return Reply.ReadReplyParam(destination, capacity);
    }
    std::string ReadReplyString(size_t maxLength = 255) { return Reply.ReadReplyString(maxLength); }
    bool HasReplyParam() const { return Reply.HasReplyParam(); }
    uint8_t ReadReplyByte() { return Reply.ReadReplyByte(); }
    bool ReadReplyBoolean() { return Reply.ReadReplyBoolean(); }
    uint16_t ReadReplyWord() { return Reply.ReadReplyWord(); }
    int32_t ReadReplyInt32() { return Reply.ReadReplyInt32(); }
    uint32_t ReadReplyUInt32() { return Reply.ReadReplyUInt32(); }
    int64_t ReadReplyInt64() { return Reply.ReadReplyInt64(); }
    const TRemoteRequest& GetRequest() const { return Request; }
    const TRemoteReply& GetReply() const { return Reply; }
    TRemoteReply& GetReply() { return Reply; }

    // RemoteHost when set, else RemoteAddress: the server item of every remote error.
    std::string GetServerName() const;
    // Whether message bodies are compressed now.
    bool CompressionApplies() const;

    // ---- the session's requests ----
    bool IsConnected() const override { return Connected; }
    bool IsLoggedIn() const override { return LoggedIn; }
    uint32_t ServerVersion() const override;
    void CheckConnection() override { CheckConnected(); }
    void AddPassword(const std::string& password) override;
    void RemovePassword(const std::string& password) override;
    void RemoveAllPasswords() override;
    uint32_t OpenDataDir(const std::string& databaseName) override;
    void CloseDataDir(uint32_t serverHandle) override;

    // ---- the database's requests (by the server's handle of the database) ----
    bool TableExists(uint32_t serverHandle, const std::string& tableName, bool inMemory) override;
    void StartTransaction(uint32_t serverHandle);
    void Commit(uint32_t serverHandle, bool endTransaction, bool forceFlush);
    void Rollback(uint32_t serverHandle);

private:
    // Opens the socket and runs a handshake; any failure disconnects and raises 11280.
    void Open(bool reconnect);
    void ConnectHandshake();
    void ReconnectHandshake();
    // Sends the request built, reads the reply and raises its error.
    void Exchange();
    [[noreturn]] void RaiseLost();
    // Reads exactly count bytes, waiting for data before each piece; false when the connection
    // fails or stays silent.
    bool ReceiveExact(uint8_t* destination, uint32_t count);
    uint32_t WaitMilliseconds() const;

    TDataSession& Session;
    int64_t FServerVersion = 0;
    std::unique_ptr<platform::TClientSocket> Socket;
    TRemoteRequest Request;
    TRemoteReply Reply;
    TRemoteLoginCallback LoginCallback;
    TRemoteTraceCallback TraceCallback;
};

// The session's remote client, installed on first use; the session is marked remote.
TRemoteClient& InstallRemoteClient(TDataSession& session);

}  // namespace dbengine

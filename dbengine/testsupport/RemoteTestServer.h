#pragma once
// A small database server for tests of the remote client: it listens on 127.0.0.1 at a port the
// system picks, speaks the message framing (plain, or compressed after a connect that asked for
// it), answers the connect and reconnect handshakes and the login as scripted, and replies to every
// other request through a handler per request code. It serves one connection at a time on its own
// thread and records every request it received. Every wait inside it is bounded.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace dbengine::testing {

// A request as the server received it.
struct TServerRequest {
    uint16_t Code = 0;
    std::vector<std::string> Params;  // after inflating a compressed body
    std::vector<uint8_t> Wire;        // the whole message as it arrived
    bool Compressed = false;          // the body arrived as a zlib stream
    int Connection = 0;               // 1 for the first connection accepted, and so on
};

// What the server does with a request.
struct TServerReply {
    uint16_t Code = 0;
    std::vector<std::string> Params;
    // Closes the connection instead of answering.
    bool Drop = false;
    // Sends these bytes instead of a reply built from Code and Params.
    std::optional<std::vector<uint8_t>> Raw;
    // Messages sent ahead of this reply, in order: callbacks that want no answer.
    std::vector<TServerReply> Before;

    // A success reply with these parameters.
    static TServerReply Ok(std::vector<std::string> params);
    // An error reply: the code and the six strings (user, database, table, field, index, message).
    static TServerReply Error(uint16_t code, std::vector<std::string> strings = {"", "", "", "", "", ""});
};

// Parameter helpers for replies and for checking requests.
std::string Int32Param(int32_t value);
std::string Int64Param(int64_t value);
std::string WordParam(uint16_t value);
std::string ByteParam(uint8_t value);
std::string BoolParam(bool value);
std::string DoubleParam(double value);          // its 8 bytes
int64_t ParamNumber(const std::string& param);  // little-endian, any width up to 8

class TRemoteTestServer {
public:
    // Port 0: the system picks a free one. A port that cannot be had raises std::runtime_error.
    explicit TRemoteTestServer(uint16_t port = 0);
    ~TRemoteTestServer();
    TRemoteTestServer(const TRemoteTestServer&) = delete;
    TRemoteTestServer& operator=(const TRemoteTestServer&) = delete;

    uint16_t Port() const { return ListenPort; }

    // The script; change it only through Configure while a client may be talking.
    struct TScript {
        int32_t ConnectionId = 7;
        // The version in the connect reply; none: the reply carries the connection id alone.
        std::optional<int64_t> ServerVersion = 30400;
        uint16_t ConnectReplyCode = 0;
        uint16_t ReconnectReplyCode = 0;
        // The next this-many logins are answered with LoginRejectCode.
        int LoginRejections = 0;
        uint16_t LoginRejectCode = 11287;
        // The next this-many requests of DropCode are answered by closing the connection.
        int Drops = 0;
        uint16_t DropCode = 0;
        // Replies per request code; a code without a handler gets an empty success reply.
        std::map<uint16_t, std::function<TServerReply(const TServerRequest&)>> Handlers;
    };
    void Configure(const std::function<void(TScript&)>& change);
    // Shorthand: one handler.
    void On(uint16_t code, std::function<TServerReply(const TServerRequest&)> handler);

    // Everything received so far, in order (handshakes included).
    std::vector<TServerRequest> Requests() const;
    // The requests of one code.
    std::vector<TServerRequest> RequestsOf(uint16_t code) const;
    int ConnectionsAccepted() const;
    // Waits (at most two seconds) until the server has received this many requests.
    bool WaitForRequests(size_t count) const;
    // Waits (at most two seconds) until the client's connection has been closed.
    bool WaitForClose() const;

private:
    void Run();
    void ServeBytes();
    // Handles one complete message; false when the connection was closed instead of answered.
    bool Handle(const std::vector<uint8_t>& message);
    void SendReply(const TServerReply& reply, bool plain);
    void CloseClient();

    int ListenFd = -1;
    int ClientFd = -1;
    uint16_t ListenPort = 0;
    bool ClientLAN = true;
    bool AwaitingHandshake = true;
    std::vector<uint8_t> Pending;
    std::atomic<bool> Stop{false};
    std::atomic<bool> ClientOpen{false};
    mutable std::mutex Mutex;
    TScript Script;
    std::vector<TServerRequest> Received;
    int Accepted = 0;
    std::thread Worker;
};

}  // namespace dbengine::testing

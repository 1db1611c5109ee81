#include "dbengine/testsupport/RemoteTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine::testing {

namespace {

std::string LittleEndian(uint64_t value, int width) {
    std::string s(static_cast<size_t>(width), '\0');
    for (int i = 0; i < width; ++i) s[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    return s;
}

std::vector<std::string> SplitParams(const uint8_t* body, size_t size) {
    std::vector<std::string> params;
    size_t pos = 0;
    while (pos + 4 <= size) {
        uint32_t length = GetUInt32(body + pos);
        pos += 4;
        if (length > size - pos) break;
        params.emplace_back(reinterpret_cast<const char*>(body + pos), length);
        pos += length;
    }
    return params;
}

void SendAll(int fd, const uint8_t* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

template <class Pred>
bool WaitUntil(Pred pred) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

TServerReply TServerReply::Ok(std::vector<std::string> params) {
    TServerReply reply;
    reply.Params = std::move(params);
    return reply;
}

TServerReply TServerReply::Error(uint16_t code, std::vector<std::string> strings) {
    TServerReply reply;
    reply.Code = code;
    reply.Params = std::move(strings);
    return reply;
}

std::string Int32Param(int32_t value) {
    return LittleEndian(static_cast<uint32_t>(value), 4);
}
std::string Int64Param(int64_t value) {
    return LittleEndian(static_cast<uint64_t>(value), 8);
}
std::string WordParam(uint16_t value) {
    return LittleEndian(value, 2);
}
std::string ByteParam(uint8_t value) {
    return LittleEndian(value, 1);
}

std::string BoolParam(bool value) {
    return ByteParam(value ? 1 : 0);
}

std::string DoubleParam(double value) {
    int64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return Int64Param(bits);
}

int64_t ParamNumber(const std::string& param) {
    uint64_t v = 0;
    for (size_t i = param.size(); i-- > 0;) v = (v << 8) | static_cast<uint8_t>(param[i]);
    return static_cast<int64_t>(v);
}

TRemoteTestServer::TRemoteTestServer(uint16_t port) {
    ListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (ListenFd < 0) throw std::runtime_error("test server: no socket");
    // A fixed port may still be held by a closed connection of an earlier run.
    int one = 1;
    ::setsockopt(ListenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    if (::bind(ListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(ListenFd, 4) != 0 ||
        ::getsockname(ListenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(ListenFd);
        throw std::runtime_error("test server: cannot listen");
    }
    ListenPort = ntohs(addr.sin_port);
    Worker = std::thread([this] { Run(); });
}

TRemoteTestServer::~TRemoteTestServer() {
    Stop = true;
    if (Worker.joinable()) Worker.join();
    CloseClient();
    ::close(ListenFd);
}

void TRemoteTestServer::Configure(const std::function<void(TScript&)>& change) {
    std::lock_guard<std::mutex> guard(Mutex);
    change(Script);
}

void TRemoteTestServer::On(uint16_t code, std::function<TServerReply(const TServerRequest&)> handler) {
    Configure([&](TScript& s) { s.Handlers[code] = std::move(handler); });
}

std::vector<TServerRequest> TRemoteTestServer::Requests() const {
    std::lock_guard<std::mutex> guard(Mutex);
    return Received;
}

std::vector<TServerRequest> TRemoteTestServer::RequestsOf(uint16_t code) const {
    std::vector<TServerRequest> result;
    for (auto& r : Requests())
        if (r.Code == code) result.push_back(r);
    return result;
}

int TRemoteTestServer::ConnectionsAccepted() const {
    std::lock_guard<std::mutex> guard(Mutex);
    return Accepted;
}

bool TRemoteTestServer::WaitForRequests(size_t count) const {
    return WaitUntil([&] { return Requests().size() >= count; });
}

bool TRemoteTestServer::WaitForClose() const {
    return WaitUntil([&] { return !ClientOpen.load(); });
}

void TRemoteTestServer::CloseClient() {
    if (ClientFd >= 0) ::close(ClientFd);
    ClientFd = -1;
    Pending.clear();
    ClientOpen = false;
}

void TRemoteTestServer::Run() {
    while (!Stop) {
        pollfd fds[2]{};
        fds[0].fd = ListenFd;
        fds[0].events = POLLIN;
        fds[1].fd = ClientFd;
        fds[1].events = POLLIN;
        int rc = ::poll(fds, ClientFd >= 0 ? 2 : 1, 20);
        if (rc <= 0) continue;
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(ListenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                CloseClient();  // one connection at a time: a new one replaces the old
                ClientFd = fd;
                ClientOpen = true;
                AwaitingHandshake = true;
                std::lock_guard<std::mutex> guard(Mutex);
                ++Accepted;
            }
            continue;
        }
        if (ClientFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) ServeBytes();
    }
}

void TRemoteTestServer::ServeBytes() {
    uint8_t chunk[65536];
    ssize_t n = ::recv(ClientFd, chunk, sizeof chunk, 0);
    if (n <= 0) {
        CloseClient();
        return;
    }
    Pending.insert(Pending.end(), chunk, chunk + n);
    while (Pending.size() >= 4) {
        uint32_t total = GetUInt32(Pending.data());
        if (total < RemoteHeaderSize) {
            CloseClient();
            return;
        }
        if (Pending.size() < total) return;
        std::vector<uint8_t> message(Pending.begin(), Pending.begin() + total);
        Pending.erase(Pending.begin(), Pending.begin() + total);
        bool open = false;
        try {
            open = Handle(message);
        } catch (...) {
            // A body that does not inflate: the client is talking nonsense, hang up.
            CloseClient();
        }
        if (!open) return;
    }
}

bool TRemoteTestServer::Handle(const std::vector<uint8_t>& message) {
    TServerRequest request;
    request.Code = GetUInt16(message.data() + 4);
    request.Wire = message;
    bool handshake = AwaitingHandshake;
    AwaitingHandshake = false;
    const uint8_t* body = message.data() + RemoteHeaderSize;
    size_t bodySize = message.size() - RemoteHeaderSize;
    std::vector<uint8_t> plain;
    if (!handshake && !ClientLAN && bodySize > 0) {
        plain = UncompressBuffer(body, bodySize);
        body = plain.data();
        bodySize = plain.size();
        request.Compressed = true;
    }
    request.Params = SplitParams(body, bodySize);

    TServerReply reply;
    bool drop = false;
    {
        std::lock_guard<std::mutex> guard(Mutex);
        request.Connection = Accepted;
        Received.push_back(request);
        if (handshake) {
            if (request.Code == REQUEST_CONNECTPARAMS) {
                ClientLAN = request.Params.size() > 1 && request.Params[1] == ByteParam(1);
                if (Script.ConnectReplyCode != 0) {
                    reply = TServerReply::Error(Script.ConnectReplyCode);
                } else {
                    reply.Params.push_back(Int32Param(Script.ConnectionId));
                    if (Script.ServerVersion) reply.Params.push_back(Int64Param(*Script.ServerVersion));
                }
            } else {
                ClientLAN = request.Params.size() > 2 && request.Params[2] == ByteParam(1);
                if (Script.ReconnectReplyCode != 0) reply = TServerReply::Error(Script.ReconnectReplyCode);
            }
        } else if (Script.Drops > 0 && Script.DropCode == request.Code) {
            --Script.Drops;
            drop = true;
        } else if (request.Code == REQUEST_LOGIN && Script.LoginRejections > 0) {
            --Script.LoginRejections;
            reply = TServerReply::Error(Script.LoginRejectCode);
        } else if (request.Code == REQUEST_LOGOUT) {
            return true;  // the client reads no reply
        } else {
            auto it = Script.Handlers.find(request.Code);
            if (it != Script.Handlers.end()) reply = it->second(request);
        }
    }
    if (drop || reply.Drop) {
        CloseClient();
        return false;
    }
    SendReply(reply, handshake);
    return true;
}

void TRemoteTestServer::SendReply(const TServerReply& reply, bool plain) {
    for (const TServerReply& ahead : reply.Before) SendReply(ahead, plain);
    if (reply.Raw) {
        SendAll(ClientFd, reply.Raw->data(), reply.Raw->size());
        return;
    }
    std::vector<uint8_t> body;
    for (auto& p : reply.Params) {
        uint8_t len[4];
        PutUInt32(len, static_cast<uint32_t>(p.size()));
        body.insert(body.end(), len, len + 4);
        body.insert(body.end(), p.begin(), p.end());
    }
    if (!plain && !ClientLAN && !body.empty()) body = CompressBuffer(body.data(), body.size());
    std::vector<uint8_t> message(RemoteHeaderSize);
    PutUInt32(message.data(), static_cast<uint32_t>(RemoteHeaderSize + body.size()));
    PutUInt16(message.data() + 4, reply.Code);
    PutUInt32(message.data() + 6, static_cast<uint32_t>(body.size()));
    message.insert(message.end(), body.begin(), body.end());
    SendAll(ClientFd, message.data(), message.size());
}

}  // namespace dbengine::testing

#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace platform {
namespace {

// A listening socket on 127.0.0.1; Accept hands out the server side of one connection.
class Listener {
public:
    explicit Listener(uint16_t port = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        socklen_t len = sizeof addr;
        ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd_, 2) == 0 &&
              ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
        port_ = ntohs(addr.sin_port);
    }
    ~Listener() {
        if (peer_ >= 0) ::close(peer_);
        ::close(fd_);
    }
    bool Ok() const { return ok_; }
    uint16_t Port() const { return port_; }
    int Accept() { return peer_ = ::accept(fd_, nullptr, nullptr); }
    void ClosePeer() {
        ::close(peer_);
        peer_ = -1;
    }

private:
    int fd_ = -1;
    int peer_ = -1;
    bool ok_ = false;
    uint16_t port_ = 0;
};

// A port nothing listens on: bound once to learn a free number, then released.
uint16_t UnusedPort() {
    Listener l;
    return l.Port();
}

TEST(ClientSocket, ConnectsByAddressOrHostAndExchangesPartialBuffers) {
    struct Case {
        std::string host, address;
    };
    // The host, when given, wins over the address (nothing listens at 127.0.0.2).
    for (const Case& c : {Case{"", "127.0.0.1"}, Case{"localhost", ""}, Case{"localhost", "127.0.0.2"}}) {
        SCOPED_TRACE(c.host + "|" + c.address);
        Listener server;
        ASSERT_TRUE(server.Ok());
        TClientSocket socket;
        socket.Host = c.host;
        socket.Address = c.address;
        socket.Port = server.Port();
        ASSERT_TRUE(socket.Open()) << WSAGetLastError();
        EXPECT_TRUE(socket.Active());
        int peer = server.Accept();
        ASSERT_GE(peer, 0);

        EXPECT_EQ(socket.SendBuf("abc", 3), 3);
        char got[8] = {};
        ASSERT_EQ(::recv(peer, got, 3, MSG_WAITALL), 3);
        EXPECT_EQ(std::string(got, 3), "abc");

        ASSERT_EQ(::send(peer, "xyz", 3, 0), 3);
        ASSERT_TRUE(socket.WaitForData(2000));
        // A receive asks for less than is waiting and gets exactly that; the rest stays queued.
        EXPECT_EQ(socket.ReceiveBuf(got, 2), 2);
        EXPECT_EQ(std::string(got, 2), "xy");
        EXPECT_EQ(socket.ReceiveBuf(got, 8), 1);
        EXPECT_EQ(got[0], 'z');

        // No data: the wait times out with no error; a closed peer reads as 0 bytes.
        EXPECT_FALSE(socket.WaitForData(10));
        EXPECT_EQ(WSAGetLastError(), 0);
        server.ClosePeer();
        ASSERT_TRUE(socket.WaitForData(2000));
        EXPECT_EQ(socket.ReceiveBuf(got, 8), 0);
        socket.Close();
        EXPECT_FALSE(socket.Active());
        EXPECT_EQ(socket.SendBuf("a", 1), -1);
        EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    }
}

TEST(ClientSocket, FailuresSetWindowsNumberedErrors) {
    struct Case {
        const char* what;
        std::string host, address, service;
        int32_t port;
        int32_t error;
    };
    const int32_t closed = UnusedPort();
    const Case cases[] = {
        {"refused", "", "127.0.0.1", "", closed, WSAECONNREFUSED},
        {"bad address", "", "127.0.0.999", "", closed, WSAEINVAL},
        {"unknown service", "", "127.0.0.1", "no-such-service-korvane", 0, WSATYPE_NOT_FOUND},
        {"no port", "", "127.0.0.1", "", 0, WSAEADDRNOTAVAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TClientSocket socket;
        socket.Host = c.host;
        socket.Address = c.address;
        socket.Service = c.service;
        socket.Port = c.port;
        EXPECT_FALSE(socket.Open());
        EXPECT_EQ(WSAGetLastError(), c.error);
        EXPECT_FALSE(socket.Active());
        EXPECT_FALSE(socket.WaitForData(0));
        EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    }
}

TEST(ClientSocket, ServiceNameGivesThePort) {
    if (LookupServicePort("echo") < 0) GTEST_SKIP() << "no service list on this machine";
    EXPECT_EQ(LookupServicePort("echo"), 7);
    EXPECT_EQ(LookupServicePort("http"), 80);
    EXPECT_EQ(LookupServicePort(""), -1);
    EXPECT_EQ(LookupServicePort("no-such-service-korvane"), -1);
}

TEST(ClientSocket, LargeSendsArriveWhole) {
    Listener server;
    ASSERT_TRUE(server.Ok());
    TClientSocket socket;
    socket.Address = "127.0.0.1";
    socket.Port = server.Port();
    socket.SendTimeout = 2000;  // a full buffer fails the send instead of hanging the test
    ASSERT_TRUE(socket.Open());
    int peer = server.Accept();
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    // Sends may take fewer bytes than offered; the caller continues from where it stopped. The
    // reader drains as it goes so that the writer never blocks on a full buffer.
    size_t sent = 0, read = 0;
    std::string got(data.size(), '\0');
    for (int rounds = 0; rounds < 10000 && read < data.size(); ++rounds) {
        if (sent < data.size()) {
            int32_t n = socket.SendBuf(data.data() + sent,
                                       static_cast<int32_t>(std::min<size_t>(65536, data.size() - sent)));
            ASSERT_GT(n, 0);
            sent += static_cast<size_t>(n);
        }
        ssize_t r = ::recv(peer, got.data() + read, got.size() - read, MSG_DONTWAIT);
        if (r > 0) read += static_cast<size_t>(r);
    }
    EXPECT_EQ(read, data.size());
    EXPECT_TRUE(got == data);
}

}  // namespace
}  // namespace platform

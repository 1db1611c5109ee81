#pragma once
// A blocking TCP client socket: connect by host name or address and by port or service name, wait
// for incoming data with a timeout, send and receive partial buffers. Failures show in the results
// and in the calling thread's last socket error, numbered as Windows Sockets numbers its errors.

#include <cstdint>
#include <string>

namespace platform {

// Socket error numbers (Windows Sockets numbering).
constexpr int32_t WSAEINTR = 10004;
constexpr int32_t WSAEBADF = 10009;
constexpr int32_t WSAEACCES = 10013;
constexpr int32_t WSAEFAULT = 10014;
constexpr int32_t WSAEINVAL = 10022;
constexpr int32_t WSAEMFILE = 10024;
constexpr int32_t WSAEWOULDBLOCK = 10035;
constexpr int32_t WSAENOTSOCK = 10038;
constexpr int32_t WSAEMSGSIZE = 10040;
constexpr int32_t WSAEAFNOSUPPORT = 10047;
constexpr int32_t WSAEADDRINUSE = 10048;
constexpr int32_t WSAEADDRNOTAVAIL = 10049;
constexpr int32_t WSAENETDOWN = 10050;
constexpr int32_t WSAENETUNREACH = 10051;
constexpr int32_t WSAENETRESET = 10052;
constexpr int32_t WSAECONNABORTED = 10053;
constexpr int32_t WSAECONNRESET = 10054;
constexpr int32_t WSAENOBUFS = 10055;
constexpr int32_t WSAEISCONN = 10056;
constexpr int32_t WSAENOTCONN = 10057;
constexpr int32_t WSAESHUTDOWN = 10058;
constexpr int32_t WSAETIMEDOUT = 10060;
constexpr int32_t WSAECONNREFUSED = 10061;
constexpr int32_t WSAEHOSTUNREACH = 10065;
constexpr int32_t WSATYPE_NOT_FOUND = 10109;  // unknown service name
constexpr int32_t WSAHOST_NOT_FOUND = 11001;
constexpr int32_t WSATRY_AGAIN = 11002;
constexpr int32_t WSANO_RECOVERY = 11003;
constexpr int32_t WSANO_DATA = 11004;

// The calling thread's last socket error; every failing call of TClientSocket sets it.
int32_t WSAGetLastError();
void WSASetLastError(int32_t code);
// The socket error closest to a POSIX errno value (WSAEINVAL for one without a closer match).
int32_t SocketErrorFromErrno(int err);

// A blocking client socket over IPv4 TCP.
class TClientSocket {
public:
    TClientSocket() = default;
    ~TClientSocket();
    TClientSocket(const TClientSocket&) = delete;
    TClientSocket& operator=(const TClientSocket&) = delete;

    // Where to connect: Host when set, else Address (dotted IPv4); Service when set, else Port.
    std::string Host;
    std::string Address;
    std::string Service;
    int32_t Port = 0;
    // Milliseconds a send may block before it fails with WSAETIMEDOUT; 0 waits without limit.
    uint32_t SendTimeout = 0;

    // Resolves and connects. False, with the last socket error set, when it cannot.
    bool Open();
    // Closes the connection; nothing when not open.
    void Close();
    bool Active() const { return Handle >= 0; }

    // True when data (or the peer's close) is waiting to be read within the timeout; false on
    // timeout or failure (the last socket error tells which: 0 for a plain timeout).
    bool WaitForData(uint32_t timeoutMilliseconds);
    // Sends up to count bytes; returns the bytes sent (possibly fewer), or -1 on failure.
    int32_t SendBuf(const void* buffer, int32_t count);
    // Receives up to count bytes; returns the bytes received, 0 when the peer has closed, -1 on
    // failure.
    int32_t ReceiveBuf(void* buffer, int32_t count);

private:
    int Handle = -1;
};

// The TCP port of a service name from the system's service list, or -1 when the name is unknown.
int32_t LookupServicePort(const std::string& service);

}  // namespace platform

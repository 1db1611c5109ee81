#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

thread_local int32_t LastSocketError = 0;

bool Fail(int32_t code) {
    LastSocketError = code;
    return false;
}

int32_t HostErrorFromAddrInfo(int rc) {
    switch (rc) {
        case EAI_AGAIN:
            return WSATRY_AGAIN;
        case EAI_FAIL:
            return WSANO_RECOVERY;
        case EAI_NODATA:
            return WSANO_DATA;
        case EAI_MEMORY:
            return WSAENOBUFS;
        case EAI_SYSTEM:
            return SocketErrorFromErrno(errno);
        default:
            return WSAHOST_NOT_FOUND;
    }
}

// The IPv4 address of the host or the dotted address; false with the last error set.
bool ResolveAddress(const std::string& host, const std::string& address, in_addr& result) {
    if (!host.empty()) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
        if (rc != 0 || list == nullptr) return Fail(HostErrorFromAddrInfo(rc));
        result = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
        freeaddrinfo(list);
        return true;
    }
    if (inet_pton(AF_INET, address.c_str(), &result) != 1) return Fail(WSAEINVAL);
    return true;
}

}  // namespace

int32_t WSAGetLastError() {
    return LastSocketError;
}

void WSASetLastError(int32_t code) {
    LastSocketError = code;
}

int32_t SocketErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return 0;
        case EINTR:
            return WSAEINTR;
        case EBADF:
            return WSAEBADF;
        case EACCES:
        case EPERM:
            return WSAEACCES;
        case EFAULT:
            return WSAEFAULT;
        case EMFILE:
        case ENFILE:
            return WSAEMFILE;
        case EAGAIN:
        case EINPROGRESS:
            return WSAEWOULDBLOCK;
        case ENOTSOCK:
            return WSAENOTSOCK;
        case EMSGSIZE:
            return WSAEMSGSIZE;
        case EAFNOSUPPORT:
            return WSAEAFNOSUPPORT;
        case EADDRINUSE:
            return WSAEADDRINUSE;
        case EADDRNOTAVAIL:
            return WSAEADDRNOTAVAIL;
        case ENETDOWN:
            return WSAENETDOWN;
        case ENETUNREACH:
            return WSAENETUNREACH;
        case ENETRESET:
            return WSAENETRESET;
        case ECONNABORTED:
            return WSAECONNABORTED;
        case ECONNRESET:
        case EPIPE:
            return WSAECONNRESET;
        case ENOBUFS:
        case ENOMEM:
            return WSAENOBUFS;
        case EISCONN:
            return WSAEISCONN;
        case ENOTCONN:
            return WSAENOTCONN;
        case ESHUTDOWN:
            return WSAESHUTDOWN;
        case ETIMEDOUT:
            return WSAETIMEDOUT;
        case ECONNREFUSED:
            return WSAECONNREFUSED;
        case EHOSTUNREACH:
            return WSAEHOSTUNREACH;
        default:
            return WSAEINVAL;
    }
}

int32_t LookupServicePort(const std::string& service) {
    if (service.empty()) return -1;
    servent entry{};
    servent* found = nullptr;
    char scratch[1024];
    if (getservbyname_r(service.c_str(), "tcp", &entry, scratch, sizeof scratch, &found) != 0 ||
        found == nullptr)
        return -1;
    return ntohs(static_cast<uint16_t>(found->s_port));
}

TClientSocket::~TClientSocket() {
    Close();
}

bool TClientSocket::Open() {
    if (Active()) return Fail(WSAEISCONN);
    in_addr ip{};
    if (!ResolveAddress(Host, Address, ip)) return false;
    int32_t port = Port;
    if (!Service.empty()) {
        port = LookupServicePort(Service);
        if (port < 0) return Fail(WSATYPE_NOT_FOUND);
    }
    if (port <= 0 || port > 65535) return Fail(WSAEADDRNOTAVAIL);

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Fail(SocketErrorFromErrno(errno));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    target.sin_addr = ip;
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        int err = errno;
        ::close(fd);
        return Fail(SocketErrorFromErrno(err));
    }
    // Requests are written whole and then answered: no reason to hold small writes back.
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (SendTimeout > 0) {
        timeval tv{};
        tv.tv_sec = static_cast<time_t>(SendTimeout / 1000);
        tv.tv_usec = static_cast<suseconds_t>((SendTimeout % 1000) * 1000);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    }
    Handle = fd;
    LastSocketError = 0;
    return true;
}

void TClientSocket::Close() {
    if (Handle < 0) return;
    ::close(Handle);
    Handle = -1;
}

bool TClientSocket::WaitForData(uint32_t timeoutMilliseconds) {
    if (!Active()) return Fail(WSAENOTCONN);
    pollfd p{};
    p.fd = Handle;
    p.events = POLLIN;
    // poll takes an int: longer waits are cut to about 24 days.
    int timeout = timeoutMilliseconds > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMilliseconds);
    int rc;
    do {
        rc = ::poll(&p, 1, timeout);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) return Fail(SocketErrorFromErrno(errno));
    if (rc == 0) return Fail(0);
    return true;
}

int32_t TClientSocket::SendBuf(const void* buffer, int32_t count) {
    if (!Active()) return Fail(WSAENOTCONN), -1;
    if (count < 0) return Fail(WSAEINVAL), -1;
    ssize_t sent;
    do {
        sent = ::send(Handle, buffer, static_cast<size_t>(count), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        Fail(errno == EAGAIN || errno == EWOULDBLOCK ? WSAETIMEDOUT : SocketErrorFromErrno(errno));
        return -1;
    }
    return static_cast<int32_t>(sent);
}

int32_t TClientSocket::ReceiveBuf(void* buffer, int32_t count) {
    if (!Active()) return Fail(WSAENOTCONN), -1;
    if (count < 0) return Fail(WSAEINVAL), -1;
    ssize_t received;
    do {
        received = ::recv(Handle, buffer, static_cast<size_t>(count), 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        Fail(SocketErrorFromErrno(errno));
        return -1;
    }
    return static_cast<int32_t>(received);
}

}  // namespace platform

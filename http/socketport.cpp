#include "http/socketport.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace socketport
{

namespace
{

// The most one system call is handed (its count is an int on Windows).
int ChunkOf(std::size_t size)
{
    return static_cast<int>(std::min<std::size_t>(size, 1u << 30));
}

#ifdef _WIN32
SOCKET Native(Descriptor socket)
{
    return static_cast<SOCKET>(socket);
}
#else
#ifdef MSG_NOSIGNAL
const int kNoSignal = MSG_NOSIGNAL;
#else
const int kNoSignal = 0; // SO_NOSIGPIPE on the socket instead
#endif
#endif

} // namespace

bool Startup()
{
#ifdef _WIN32
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
#else
    return true;
#endif
}

Descriptor OpenStream(int family)
{
    if (!Startup())
        return kNoDescriptor;
#ifdef _WIN32
    const SOCKET socket = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
    return socket == INVALID_SOCKET ? kNoDescriptor : static_cast<Descriptor>(socket);
#else
#ifdef SOCK_CLOEXEC
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
    const int fd = ::socket(family, SOCK_STREAM, 0);
    if (fd >= 0)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#endif
    if (fd < 0)
        return kNoDescriptor;
#ifdef SO_NOSIGPIPE
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &yes, sizeof yes);
#endif
    return fd;
#endif
}

Descriptor Accept(Descriptor listener)
{
#ifdef _WIN32
    const SOCKET socket = ::accept(Native(listener), nullptr, nullptr);
    return socket == INVALID_SOCKET ? kNoDescriptor : static_cast<Descriptor>(socket);
#else
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kNoDescriptor : fd;
#endif
}

void Close(Descriptor socket)
{
    if (socket == kNoDescriptor)
        return;
#ifdef _WIN32
    ::closesocket(Native(socket));
#else
    ::close(socket);
#endif
}

void ShutdownBoth(Descriptor socket)
{
#ifdef _WIN32
    ::shutdown(Native(socket), SD_BOTH);
#else
    ::shutdown(socket, SHUT_RDWR);
#endif
}

bool MakeNonBlocking(Descriptor socket)
{
#ifdef _WIN32
    u_long nonBlocking = 1;
    return ::ioctlsocket(Native(socket), FIONBIO, &nonBlocking) == 0;
#else
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(socket, F_SETFD, FD_CLOEXEC) == 0;
#endif
}

int LastError()
{
#ifdef _WIN32
    return ::WSAGetLastError();
#else
    return errno;
#endif
}

bool IsInterrupted(int error)
{
#ifdef _WIN32
    return error == WSAEINTR;
#else
    return error == EINTR;
#endif
}

bool WouldBlock(int error)
{
#ifdef _WIN32
    return error == WSAEWOULDBLOCK;
#else
    return error == EAGAIN || error == EWOULDBLOCK;
#endif
}

bool ConnectPending(int error)
{
#ifdef _WIN32
    return error == WSAEWOULDBLOCK;
#else
    return error == EINPROGRESS || error == EINTR;
#endif
}

int ConnectResult(Descriptor socket)
{
    int error = 0;
#ifdef _WIN32
    int size = sizeof error;
    const int got = ::getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
#else
    socklen_t size = sizeof error;
    const int got = ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size);
#endif
    return got != 0 ? -1 : error;
}

int Poll(Descriptor socket, bool forWrite, int ms)
{
#ifdef _WIN32
    WSAPOLLFD ready{Native(socket), static_cast<SHORT>(forWrite ? POLLOUT : POLLIN), 0};
    const int n = ::WSAPoll(&ready, 1, ms);
#else
    pollfd ready{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    int n;
    do
        n = ::poll(&ready, 1, ms);
    while (n < 0 && errno == EINTR);
#endif
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

long Send(Descriptor socket, const void* data, std::size_t size, bool dontWait)
{
#ifdef _WIN32
    // A blocking Winsock socket has no per-call "don't wait".
    if (dontWait && Poll(socket, true, 0) == 0)
        return -2;
    const int n = ::send(Native(socket), static_cast<const char*>(data), ChunkOf(size), 0);
#else
    const long n = static_cast<long>(
        ::send(socket, data, static_cast<std::size_t>(ChunkOf(size)), kNoSignal | (dontWait ? MSG_DONTWAIT : 0)));
#endif
    if (n < 0)
        return dontWait && WouldBlock(LastError()) ? -2 : -1;
    return static_cast<long>(n);
}

long Receive(Descriptor socket, void* data, std::size_t size, bool dontWait)
{
#ifdef _WIN32
    if (dontWait && Poll(socket, false, 0) == 0)
        return -2;
    const int n = ::recv(Native(socket), static_cast<char*>(data), ChunkOf(size), 0);
#else
    const long n = static_cast<long>(
        ::recv(socket, data, static_cast<std::size_t>(ChunkOf(size)), dontWait ? MSG_DONTWAIT : 0));
#endif
    if (n < 0)
        return dontWait && WouldBlock(LastError()) ? -2 : -1;
    return static_cast<long>(n);
}

} // namespace socketport

#include "loopback/loopbacksocket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <mutex>

namespace loopback
{

namespace
{

#ifdef _WIN32
using Native = SOCKET;
using Length = int;
Native ToNative(Socket s) { return static_cast<Native>(s); }
Socket FromNative(Native s) { return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s); }
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
#else
using Native = int;
using Length = socklen_t;
Native ToNative(Socket s) { return static_cast<Native>(s); }
Socket FromNative(Native s) { return s < 0 ? kNoSocket : static_cast<Socket>(s); }
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
#endif

sockaddr_in LoopbackAddress(int port)
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(port));
    return address;
}

Socket NewStreamSocket()
{
    if (!Startup())
        return kNoSocket;
#ifdef _WIN32
    return FromNative(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
#else
    return FromNative(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
#endif
}

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

Socket Listen(int& port, int backlog)
{
    const Socket listener = NewStreamSocket();
    if (listener == kNoSocket)
        return kNoSocket;
#ifndef _WIN32
    // Windows' SO_REUSEADDR would let another socket steal the port.
    int yes = 1;
    ::setsockopt(ToNative(listener), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    sockaddr_in address = LoopbackAddress(port);
    Length length = sizeof address;
    if (::bind(ToNative(listener), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(ToNative(listener), backlog) != 0 ||
        ::getsockname(ToNative(listener), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        Close(listener);
        return kNoSocket;
    }
    port = ntohs(address.sin_port);
    return listener;
}

Socket Accept(Socket listener)
{
#ifdef _WIN32
    return FromNative(::accept(ToNative(listener), nullptr, nullptr));
#else
    return FromNative(::accept4(ToNative(listener), nullptr, nullptr, SOCK_CLOEXEC));
#endif
}

Socket Connect(int port)
{
    const Socket client = NewStreamSocket();
    if (client == kNoSocket)
        return kNoSocket;
    sockaddr_in address = LoopbackAddress(port);
    if (::connect(ToNative(client), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        Close(client);
        return kNoSocket;
    }
    return client;
}

int UnusedPort()
{
    int port = 0;
    const Socket listener = Listen(port);
    if (listener == kNoSocket)
        return 0;
    Close(listener);
    return port;
}

int Wait(Socket socket, bool forWrite, int ms)
{
#ifdef _WIN32
    WSAPOLLFD ready{ToNative(socket), static_cast<SHORT>(forWrite ? POLLOUT : POLLIN), 0};
    const int n = ::WSAPoll(&ready, 1, ms);
#else
    pollfd ready{ToNative(socket), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    int n;
    do
        n = ::poll(&ready, 1, ms);
    while (n < 0 && errno == EINTR);
#endif
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

long Send(Socket socket, const void* data, std::size_t size, bool dontWait)
{
#ifdef _WIN32
    if (dontWait && Wait(socket, true, 0) == 0)
        return -2;
    const int chunk = size > 1 << 30 ? 1 << 30 : static_cast<int>(size);
    const int n = ::send(ToNative(socket), static_cast<const char*>(data), chunk, 0);
#else
    const ssize_t n = ::send(ToNative(socket), data, size, MSG_NOSIGNAL | (dontWait ? MSG_DONTWAIT : 0));
#endif
    if (n < 0)
        return dontWait && WouldBlock() ? -2 : -1;
    return static_cast<long>(n);
}

long Receive(Socket socket, void* data, std::size_t size, bool dontWait)
{
#ifdef _WIN32
    if (dontWait && Wait(socket, false, 0) == 0)
        return -2;
    const int chunk = size > 1 << 30 ? 1 << 30 : static_cast<int>(size);
    const int n = ::recv(ToNative(socket), static_cast<char*>(data), chunk, 0);
#else
    const ssize_t n = ::recv(ToNative(socket), data, size, dontWait ? MSG_DONTWAIT : 0);
#endif
    if (n < 0)
        return dontWait && WouldBlock() ? -2 : -1;
    return static_cast<long>(n);
}

bool SendAll(Socket socket, const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const long sent = Send(socket, bytes, size);
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void Shutdown(Socket socket)
{
#ifdef _WIN32
    ::shutdown(ToNative(socket), SD_BOTH);
#else
    ::shutdown(ToNative(socket), SHUT_RDWR);
#endif
}

void AbortOnClose(Socket socket)
{
    linger abort{1, 0};
    ::setsockopt(ToNative(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                 sizeof abort);
}

void Close(Socket socket)
{
    if (socket == kNoSocket)
        return;
#ifdef _WIN32
    ::closesocket(ToNative(socket));
#else
    ::close(ToNative(socket));
#endif
}

} // namespace loopback

#include "loopback/loopbacksocket.h"

#include "http/socketport.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstring>

namespace loopback
{

namespace
{

#ifdef _WIN32
using Length = int;
#else
using Length = socklen_t;
#endif

socketport::Descriptor ToNative(Socket s)
{
    return static_cast<socketport::Descriptor>(s);
}

Socket FromNative(socketport::Descriptor s)
{
    return s == socketport::kNoDescriptor ? kNoSocket : static_cast<Socket>(s);
}

sockaddr_in LoopbackAddress(int port)
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(port));
    return address;
}

} // namespace

bool Startup()
{
    return socketport::Startup();
}

Socket Listen(int& port, int backlog)
{
    const Socket listener = FromNative(socketport::OpenStream(AF_INET));
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
    return FromNative(socketport::Accept(ToNative(listener)));
}

Socket Connect(int port)
{
    const Socket client = FromNative(socketport::OpenStream(AF_INET));
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
    return socketport::Poll(ToNative(socket), forWrite, ms);
}

long Send(Socket socket, const void* data, std::size_t size, bool dontWait)
{
    return socketport::Send(ToNative(socket), data, size, dontWait);
}

long Receive(Socket socket, void* data, std::size_t size, bool dontWait)
{
    return socketport::Receive(ToNative(socket), data, size, dontWait);
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
    socketport::ShutdownBoth(ToNative(socket));
}

void AbortOnClose(Socket socket)
{
    linger abort{1, 0};
    ::setsockopt(ToNative(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                 sizeof abort);
}

void Close(Socket socket)
{
    if (socket != kNoSocket)
        socketport::Close(ToNative(socket));
}

} // namespace loopback

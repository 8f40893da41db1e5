// The socket headers come first: on Windows winsock2.h must precede windows.h.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "http/httpconnection.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace
{

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
const std::uintptr_t NoSocket = INVALID_SOCKET;
const int NoSignal = 0;

int LastError()
{
    return ::WSAGetLastError();
}
bool IsInterrupted(int error)
{
    return error == WSAEINTR;
}
bool WouldBlock(int error)
{
    return error == WSAEWOULDBLOCK;
}
bool ConnectPending(int error)
{
    return error == WSAEWOULDBLOCK;
}
#else
const int NoSocket = -1;
#ifdef MSG_NOSIGNAL
// A peer that went away must not end the process with SIGPIPE.
const int NoSignal = MSG_NOSIGNAL;
#else
const int NoSignal = 0;
#endif

int LastError()
{
    return errno;
}
bool IsInterrupted(int error)
{
    return error == EINTR;
}
bool WouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}
bool ConnectPending(int error)
{
    // An interrupted connect goes on in the background like a pending one.
    return error == EINPROGRESS || error == EINTR;
}

bool MakeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}
#endif

// Without a wake channel (Windows, or no pipe to be had) a wait looks at
// the stop flag this often.
const int SliceMs = 50;
// Longer timeouts are no limit: the clock arithmetic must not overflow.
const long LongestTimeout = 10L * 365 * 24 * 3600;

// Bytes handed to one system call.
int ChunkOf(std::size_t size)
{
    return static_cast<int>(std::min<std::size_t>(size, 1u << 30));
}

} // namespace

HttpConnection::HttpConnection(const std::atomic<bool>& stop)
    : m_stop(stop),
      m_socket(NoSocket),
      m_broken(false),
      m_wakeRead(-1),
      m_wakeWrite(-1)
{
#ifndef _WIN32
    int ends[2];
    if (::pipe(ends) != 0)
        return;
    if (!MakeNonBlocking(ends[0]) || !MakeNonBlocking(ends[1]))
    {
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    m_wakeRead = ends[0];
    m_wakeWrite = ends[1];
#endif
}

HttpConnection::~HttpConnection()
{
    Close();
#ifndef _WIN32
    if (m_wakeRead >= 0)
        ::close(m_wakeRead);
    if (m_wakeWrite >= 0)
        ::close(m_wakeWrite);
#endif
}

void HttpConnection::Wake()
{
#ifndef _WIN32
    // The pipe is never drained: a stop is for good, and a full pipe
    // (non-blocking) still wakes every poll.
    if (m_wakeWrite >= 0)
    {
        const char byte = 's';
        while (::write(m_wakeWrite, &byte, 1) < 0 && errno == EINTR)
        {
        }
    }
#endif
}

bool HttpConnection::IsOpen() const
{
    return m_socket != NoSocket;
}

void HttpConnection::Close()
{
    if (m_socket == NoSocket)
        return;
#ifdef _WIN32
    ::closesocket(m_socket);
#else
    ::close(m_socket);
#endif
    m_socket = NoSocket;
    m_broken = false;
}

bool HttpConnection::Open(const sockaddr* address, int length, long timeout)
{
    Close();
    if (!address || length <= 0 || m_stop.load())
        return false;

#ifdef _WIN32
    const SOCKET fd = ::socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (fd == INVALID_SOCKET)
        return false;
    m_socket = fd;
    // Non-blocking: every wait is a select that also looks at the stop.
    u_long nonBlocking = 1;
    if (::ioctlsocket(fd, FIONBIO, &nonBlocking) != 0)
    {
        Close();
        return false;
    }
#else
    const int fd = ::socket(address->sa_family, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    m_socket = fd;
    // Non-blocking: every wait is a poll that also looks at the wake pipe.
    if (!MakeNonBlocking(fd))
    {
        Close();
        return false;
    }
#ifdef SO_NOSIGPIPE
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &yes, sizeof yes);
#endif
#endif

    if (::connect(fd, address, length) == 0)
        return true;
    if (!ConnectPending(LastError()) || Wait(true, timeout) != Ready)
    {
        Close();
        return false;
    }
    int error = 0;
#ifdef _WIN32
    int size = sizeof error;
    const int got = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
#else
    socklen_t size = sizeof error;
    const int got = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
#endif
    if (got != 0 || error != 0)
    {
        Close();
        return false;
    }
    return true;
}

HttpConnection::WaitResult HttpConnection::Wait(bool forWriting, long timeout)
{
    const bool limited = timeout > 0 && timeout <= LongestTimeout;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limited ? timeout : 0);
    for (;;)
    {
        if (m_stop.load())
            return Stopped;
        long left = LONG_MAX;
        if (limited)
        {
            left = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
            if (left <= 0)
                return TimedOut;
        }
#ifdef _WIN32
        const long slice = std::min<long>(left, SliceMs);
        fd_set readable;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(static_cast<SOCKET>(m_socket), forWriting ? &writable : &readable);
        // A failed connect shows here rather than as writable.
        FD_SET(static_cast<SOCKET>(m_socket), &failed);
        timeval wait{};
        wait.tv_sec = slice / 1000;
        wait.tv_usec = (slice % 1000) * 1000;
        const int ready = ::select(0, &readable, &writable, &failed, &wait);
        if (ready == SOCKET_ERROR && !IsInterrupted(LastError()))
            return Failed;
        if (m_stop.load())
            return Stopped;
        if (ready > 0)
            return Ready;
#else
        const bool canWake = m_wakeRead >= 0;
        const int slice = static_cast<int>(std::min<long>(left, canWake ? INT_MAX : SliceMs));
        pollfd watch[2] = {
            {m_socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0},
            {m_wakeRead, POLLIN, 0},
        };
        const int ready = ::poll(watch, canWake ? 2 : 1, slice);
        if (ready < 0 && !IsInterrupted(LastError()))
            return Failed;
        if (m_stop.load())
            return Stopped;
        // An error or hang-up counts as ready: the next call reports it.
        if (ready > 0 && watch[0].revents != 0)
            return Ready;
#endif
    }
}

long HttpConnection::ReceiveOnce(char* buffer, std::size_t size, long timeout)
{
    for (;;)
    {
        if (m_broken || m_socket == NoSocket || m_stop.load())
            return -1;
        const long got = static_cast<long>(::recv(m_socket, buffer, ChunkOf(size), 0));
        if (got >= 0)
            return got;
        const int error = LastError();
        if (IsInterrupted(error))
            continue;
        if (!WouldBlock(error) || Wait(false, timeout) != Ready)
        {
            m_broken = true;
            return -1;
        }
    }
}

long HttpConnection::Receive(void* buffer, std::size_t size, bool all, long timeout)
{
    if (size == 0)
        return -1;
    char* const bytes = static_cast<char*>(buffer);
    const std::size_t wanted = std::min<std::size_t>(size, 1u << 30);
    std::size_t count = 0;
    do
    {
        const long got = ReceiveOnce(bytes + count, wanted - count, timeout);
        if (got <= 0)
            return count > 0 ? static_cast<long>(count) : got;
        count += static_cast<std::size_t>(got);
    } while (all && count < wanted);
    return static_cast<long>(count);
}

bool HttpConnection::Send(const char* bytes, std::size_t size, long timeout)
{
    while (size > 0)
    {
        if (m_broken || m_socket == NoSocket || m_stop.load())
            return false;
        const long sent = static_cast<long>(::send(m_socket, bytes, ChunkOf(size), NoSignal));
        if (sent > 0)
        {
            bytes += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        const int error = sent < 0 ? LastError() : 0;
        if (sent < 0 && IsInterrupted(error))
            continue;
        if (sent < 0 && WouldBlock(error) && Wait(true, timeout) == Ready)
            continue;
        m_broken = true;
        return false;
    }
    return true;
}

// The socket headers come first: on Windows winsock2.h must precede windows.h.
#ifdef _WIN32
#include <winsock2.h>
#else
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
using socketport::kNoDescriptor;

// Without a wake channel (Windows, or no pipe to be had) a wait looks at
// the stop flag this often.
const int kSliceMs = 50;
// Longer timeouts are no limit: the clock arithmetic must not overflow.
const long kLongestTimeout = 10L * 365 * 24 * 3600;

} // namespace

HttpConnection::HttpConnection(const std::atomic<bool>& stop)
    : m_stop(stop),
      m_socket(kNoDescriptor),
      m_broken(false),
      m_wakeRead(-1),
      m_wakeWrite(-1)
{
#ifndef _WIN32
    int ends[2];
    if (::pipe(ends) != 0)
        return;
    if (!socketport::MakeNonBlocking(ends[0]) || !socketport::MakeNonBlocking(ends[1]))
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
    return m_socket != kNoDescriptor;
}

void HttpConnection::Close()
{
    if (m_socket == kNoDescriptor)
        return;
    socketport::Close(m_socket);
    m_socket = kNoDescriptor;
    m_broken = false;
}

bool HttpConnection::Open(const sockaddr* address, int length, long timeout)
{
    Close();
    if (!address || length <= 0 || m_stop.load())
        return false;

    const socketport::Descriptor fd = socketport::OpenStream(address->sa_family);
    if (fd == kNoDescriptor)
        return false;
    m_socket = fd;
    // Non-blocking: every wait also looks at the stop (a poll on the wake
    // pipe, or short slices).
    if (!socketport::MakeNonBlocking(fd))
    {
        Close();
        return false;
    }

    if (::connect(fd, address, length) == 0)
        return true;
    if (!socketport::ConnectPending(socketport::LastError()) || Wait(true, timeout) != kReady ||
        socketport::ConnectResult(fd) != 0)
    {
        Close();
        return false;
    }
    return true;
}

HttpConnection::WaitResult HttpConnection::Wait(bool forWriting, long timeout)
{
    const bool limited = timeout > 0 && timeout <= kLongestTimeout;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limited ? timeout : 0);
    for (;;)
    {
        if (m_stop.load())
            return kStopped;
        long left = LONG_MAX;
        if (limited)
        {
            left = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
            if (left <= 0)
                return kTimedOut;
        }
#ifdef _WIN32
        const long slice = std::min<long>(left, kSliceMs);
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
        if (ready == SOCKET_ERROR && !socketport::IsInterrupted(socketport::LastError()))
            return kFailed;
        if (m_stop.load())
            return kStopped;
        if (ready > 0)
            return kReady;
#else
        const bool canWake = m_wakeRead >= 0;
        const int slice = static_cast<int>(std::min<long>(left, canWake ? INT_MAX : kSliceMs));
        pollfd watch[2] = {
            {m_socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0},
            {m_wakeRead, POLLIN, 0},
        };
        const int ready = ::poll(watch, canWake ? 2 : 1, slice);
        if (ready < 0 && !socketport::IsInterrupted(socketport::LastError()))
            return kFailed;
        if (m_stop.load())
            return kStopped;
        // An error or hang-up counts as ready: the next call reports it.
        if (ready > 0 && watch[0].revents != 0)
            return kReady;
#endif
    }
}

long HttpConnection::ReceiveOnce(char* buffer, std::size_t size, long timeout)
{
    for (;;)
    {
        if (m_broken || m_socket == kNoDescriptor || m_stop.load())
            return -1;
        const long got = socketport::Receive(m_socket, buffer, size);
        if (got >= 0)
            return got;
        const int error = socketport::LastError();
        if (socketport::IsInterrupted(error))
            continue;
        if (!socketport::WouldBlock(error) || Wait(false, timeout) != kReady)
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
        if (m_broken || m_socket == kNoDescriptor || m_stop.load())
            return false;
        const long sent = socketport::Send(m_socket, bytes, size);
        if (sent > 0)
        {
            bytes += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        const int error = sent < 0 ? socketport::LastError() : 0;
        if (sent < 0 && socketport::IsInterrupted(error))
            continue;
        if (sent < 0 && socketport::WouldBlock(error) && Wait(true, timeout) == kReady)
            continue;
        m_broken = true;
        return false;
    }
    return true;
}

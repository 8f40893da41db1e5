// The TCP connection of one request made by wxHTTPBuilder. Every wait on it
// (a connect in progress, a send into a full buffer, a receive from a silent
// peer) ends when the timeout runs out or, at once, when the owner's stop
// flag is set and Wake() called from another thread.
//
// Only the owner's thread opens, uses and closes the connection; Wake() is
// the one call allowed from any thread. The descriptor lives as long as the
// connection is open, so no other thread ever holds it.
#ifndef PONTIRO_HTTP_HTTPCONNECTION_H
#define PONTIRO_HTTP_HTTPCONNECTION_H

#include "http/socketport.h"

#include <atomic>
#include <cstddef>

struct sockaddr;

class HttpConnection
{
public:
    // The flag belongs to the owner and must outlive the connection.
    explicit HttpConnection(const std::atomic<bool>& stop);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Any thread, once the stop flag is set: ends the wait in progress.
    void Wake();

    // Timeouts are in seconds and bound each single wait; 0 or less waits
    // without a limit (a stop still ends it).
    //
    // Connects to the address, closing any previous connection first.
    // False when refused, unreachable, out of time or stopped.
    bool Open(const sockaddr* address, int length, long timeout);
    void Close();
    bool IsOpen() const;

    // The count (above 0), 0 when the peer closed the connection, -1 on a
    // reset, a timeout, a stop or any other error. With all, gathers the
    // whole size unless the connection ends first (then what came).
    long Receive(void* buffer, std::size_t size, bool all, long timeout);
    // False when the bytes could not all be sent.
    bool Send(const char* bytes, std::size_t size, long timeout);

private:
    enum WaitResult
    {
        kReady,
        kTimedOut,
        kStopped,
        kFailed
    };

    WaitResult Wait(bool forWriting, long timeout);
    long ReceiveOnce(char* buffer, std::size_t size, long timeout);

    const std::atomic<bool>& m_stop;
    socketport::Descriptor m_socket;
    // A read error, timeout or stop ends the connection for good: a reset
    // is reported once by the system, and must not read as a clean close
    // the next time.
    bool m_broken;
    // The self-pipe that wakes a poll on POSIX (-1 when it could not be
    // made: waits then poll in short slices, as on Windows).
    int m_wakeRead;
    int m_wakeWrite;
};

#endif

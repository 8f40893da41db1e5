// Loopback TCP sockets for the test peers (the stand-in web service, the
// scripted HTTP server, raw clients in tests), the same on POSIX and on
// Windows. Every wait is bounded by the caller; nothing here raises SIGPIPE.
#ifndef PONTIRO_LOOPBACK_LOOPBACKSOCKET_H
#define PONTIRO_LOOPBACK_LOOPBACKSOCKET_H

#include <cstddef>
#include <cstdint>

namespace loopback
{

// A socket handle: an int on POSIX, a SOCKET on Windows.
using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// Makes the socket layer usable (Winsock's start-up); safe to call often.
bool Startup();

// A listening socket on 127.0.0.1; port 0 lets the system choose, and the
// port bound is stored in `port`. kNoSocket on failure.
Socket Listen(int& port, int backlog = 64);
// The next connection, or kNoSocket.
Socket Accept(Socket listener);
// A connection to 127.0.0.1:port, or kNoSocket.
Socket Connect(int port);
// A loopback port that was free a moment ago and nobody listens on (bound,
// then closed); 0 when none could be had.
int UnusedPort();

// Waits up to `ms` milliseconds for the socket to be readable (or, with
// `forWrite`, writable): 1 ready, 0 timed out, -1 failed.
int Wait(Socket socket, bool forWrite, int ms);

// One send or receive: bytes moved, 0 when the peer closed (receive), -1 on
// an error. With `dontWait` a call that would block returns -2.
long Send(Socket socket, const void* data, std::size_t size, bool dontWait = false);
long Receive(Socket socket, void* data, std::size_t size, bool dontWait = false);
// Sends everything, blocking; false when the connection failed.
bool SendAll(Socket socket, const void* data, std::size_t size);

// Ends both directions (wakes a thread blocked in Accept or Receive).
void Shutdown(Socket socket);
// Makes the next Close reset the connection (RST) instead of ending it.
void AbortOnClose(Socket socket);
void Close(Socket socket);

} // namespace loopback

#endif

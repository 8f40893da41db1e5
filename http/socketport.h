// What differs between POSIX sockets and Winsock, once: for the HTTP
// client's connections and for the test peers' loopback sockets. Only the
// calls whose form or errors differ are here; the rest (connect, bind,
// listen, the socket options) are the same on both.
#ifndef PONTIRO_HTTP_SOCKETPORT_H
#define PONTIRO_HTTP_SOCKETPORT_H

#include <cstddef>
#include <cstdint>

namespace socketport
{

// A socket: an int on POSIX, a SOCKET on Windows.
#ifdef _WIN32
using Descriptor = std::uintptr_t;
constexpr Descriptor kNoDescriptor = ~static_cast<Descriptor>(0); // INVALID_SOCKET
#else
using Descriptor = int;
constexpr Descriptor kNoDescriptor = -1;
#endif

// Makes the socket layer usable (Winsock's start-up, once per process);
// safe to call often. False when it cannot be started.
bool Startup();

// A stream socket that child processes do not inherit, or kNoDescriptor.
Descriptor OpenStream(int family);
// The next connection on a listening socket (not inherited), or kNoDescriptor.
Descriptor Accept(Descriptor listener);
void Close(Descriptor socket);
// Ends both directions: a thread blocked on the socket wakes.
void ShutdownBoth(Descriptor socket);
// Non-blocking and, on POSIX, not inherited (a pipe end too).
bool MakeNonBlocking(Descriptor socket);

// The error of this thread's last failed socket call, and what it means.
int LastError();
bool IsInterrupted(int error);
bool WouldBlock(int error);
// A connect on a non-blocking socket that goes on in the background (an
// interrupted one does on POSIX).
bool ConnectPending(int error);
// How a background connect ended: 0 connected, else the error.
int ConnectResult(Descriptor socket);

// Waits up to `ms` milliseconds for the socket to be readable (or, with
// `forWrite`, writable): 1 ready, 0 timed out, -1 failed.
int Poll(Descriptor socket, bool forWrite, int ms);

// One send or receive of at most 1 GiB: the bytes moved (0 from Receive:
// the peer closed), -1 on an error (LastError() says which), and with
// `dontWait` -2 when the call would have to wait. A send to a peer that has
// gone never raises SIGPIPE.
long Send(Descriptor socket, const void* data, std::size_t size, bool dontWait = false);
long Receive(Descriptor socket, void* data, std::size_t size, bool dontWait = false);

} // namespace socketport

#endif

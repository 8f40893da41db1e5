// A local stand-in for the Kelvonet web service, for tests, the demo and the
// benchmark. It answers the wizard's sealed requests from files in a content
// folder and, when told so at start, misbehaves in the ways the tests need.
#ifndef PONTIRO_WEBSERVICE_STANDINSERVICE_H
#define PONTIRO_WEBSERVICE_STANDINSERVICE_H

#include "loopback/loopbacksocket.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the service does instead of answering an item normally.
struct StandInFault
{
    enum Kind
    {
        None,
        Redirects,      // `count` redirects (302 with Location) before the content
        NoLocation,     // 302 without a Location header
        Status,         // a bare status line with code `count` (404, 500, 204, ...)
        Cut,            // Content-Length of the whole file, only `count` bytes, then close
        Stall,          // headers and `count` bytes, then silence until the client leaves
        Reset,          // the connection is reset (RST) after the request
        Slow,           // the whole content in 1 KiB pieces, `count` ms apart
        Length,         // announces a Content-Length of `count` MiB, sends the file
        Silent          // no answer at all (not even a head) until the client leaves
    };
    Kind kind = None;
    long count = 0;
};

struct StandInRequest
{
    std::string target;                         // request target as received (absolute through a proxy)
    std::string uri;                            // unsealed "uri" parameter ("" when it did not unseal)
    std::string user;                           // the "user" parameter
    std::map<std::string, std::string> headers; // names in lower case
};

class StandInService
{
public:
    struct Options
    {
        std::string contentDir; // holds "addressbook", "radars", "radarsv2", "radarsv3"
        std::string email;      // the one known account
        std::string password;
        // Keyed by item: "session", "radars", "radarsv2", "radarsv3" or "*".
        std::map<std::string, StandInFault> faults;
    };

    explicit StandInService(Options options);
    ~StandInService();
    StandInService(const StandInService&) = delete;
    StandInService& operator=(const StandInService&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port). False when it cannot.
    bool Start(std::uint16_t port = 0);
    std::uint16_t Port() const { return m_port; }
    // Closes every connection, stalled ones included, and joins all threads.
    void Stop();

    std::vector<StandInRequest> Requests() const;
    // Reads "KIND[:N]" (redirects:11, nolocation, status:404, cut:1000,
    // stall:0, reset, slow:5, length:600, silent); false for anything else.
    static bool ParseFault(const std::string& text, StandInFault& fault);
    // The "<Error>" answer of a refused login.
    static const char* LoginErrorBody();

private:
    using Socket = loopback::Socket;

    void AcceptLoop();
    void Serve(Socket socket);
    void Answer(Socket socket, const std::string& target, StandInRequest& request);
    bool SendFile(Socket socket, const std::string& path, const StandInFault& fault);
    bool SendAll(Socket socket, const char* data, std::size_t size);
    bool SendText(Socket socket, const std::string& text);
    bool WaitForStop(Socket socket, long ms);
    void Forget(Socket socket);

    Options m_options;
    Socket m_listener = loopback::kNoSocket;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    std::vector<std::thread> m_workers;
    std::vector<Socket> m_openSockets;
    std::vector<StandInRequest> m_requests;
};

#endif

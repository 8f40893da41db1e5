// A loopback HTTP peer for tests: records the exact bytes of every request
// and answers each connection with the next queued script of raw actions.
#ifndef PONTIRO_TESTS_SUPPORT_SCRIPTEDSERVER_H
#define PONTIRO_TESTS_SUPPORT_SCRIPTEDSERVER_H

#include "loopback/loopbacksocket.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedServer
{
public:
    struct Action
    {
        enum Kind
        {
            Send,         // write bytes
            Pause,        // wait milliseconds
            Stall,        // keep the connection open until the client leaves
            Reset,        // abort the connection (RST)
            EndlessLines  // write bytes over and over until the client leaves
        };
        Kind kind;
        std::string bytes;
        int milliseconds;
    };
    using Script = std::vector<Action>;

    static Action Send(std::string bytes) { return {Action::Send, std::move(bytes), 0}; }
    static Action Pause(int milliseconds) { return {Action::Pause, std::string(), milliseconds}; }
    static Action Stall() { return {Action::Stall, std::string(), 0}; }
    static Action Reset() { return {Action::Reset, std::string(), 0}; }
    static Action EndlessLines(std::string line) { return {Action::EndlessLines, std::move(line), 0}; }
    // A whole response: status line, the headers and the body.
    static Script Response(const std::string& head, const std::string& body = std::string());

    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return m_port; }
    // The script for the next connection; without one a connection gets a 500.
    void Queue(Script script);
    // Waits (bounded) until count requests arrived; returns all recorded.
    std::vector<std::string> Requests(size_t count = 0,
                                      std::chrono::milliseconds wait = std::chrono::seconds(5));
    size_t ConnectionCount();
    // Bytes written by EndlessLines on the last connection that used it.
    size_t EndlessBytesSent();

private:
    void Run();
    void Serve(loopback::Socket client);
    bool ReadRequest(loopback::Socket client, std::string& request);
    void WaitForClientToLeave(loopback::Socket client);
    // Writes bytes once the client can take some; -2 when it cannot yet.
    long SendSome(loopback::Socket client, const char* bytes, size_t size);

    loopback::Socket m_listener = loopback::kNoSocket;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Script> m_scripts;
    std::vector<std::string> m_requests;
    size_t m_connections = 0;
    size_t m_endlessBytes = 0;
    std::thread m_thread;
};

#endif

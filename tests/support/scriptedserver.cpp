#include "tests/support/scriptedserver.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace
{

const int SliceMs = 20;
// No test needs a request to take longer than this to arrive.
const auto RequestDeadline = std::chrono::seconds(5);
const size_t EndlessCap = 64u << 20;
// Bytes per send once the client can take some: little enough that a send
// never blocks, even where a "don't wait" send is a wait for writable space
// and then an ordinary send (Windows).
const size_t SendChunk = 16384;

size_t ContentLength(const std::string& head)
{
    std::string lower(head);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos)
        return 0;
    return std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

} // namespace

ScriptedServer::Script ScriptedServer::Response(const std::string& head, const std::string& body)
{
    return {Send(head + "\r\n\r\n" + body)};
}

ScriptedServer::ScriptedServer()
{
    m_listener = loopback::Listen(m_port, 16);
    if (m_listener == loopback::kNoSocket)
        throw std::runtime_error("the scripted server cannot listen on loopback");
    m_thread = std::thread(&ScriptedServer::Run, this);
}

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    m_thread.join();
    loopback::Close(m_listener);
}

void ScriptedServer::Queue(Script script)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scripts.push_back(std::move(script));
}

std::vector<std::string> ScriptedServer::Requests(size_t count, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, wait, [&] { return m_requests.size() >= count; });
    return m_requests;
}

size_t ScriptedServer::ConnectionCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

size_t ScriptedServer::EndlessBytesSent()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_endlessBytes;
}

void ScriptedServer::Run()
{
    while (!m_stop)
    {
        if (loopback::Wait(m_listener, false, SliceMs) <= 0)
            continue;
        const loopback::Socket client = loopback::Accept(m_listener);
        if (client == loopback::kNoSocket)
            continue;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_connections;
        }
        Serve(client);
    }
}

bool ScriptedServer::ReadRequest(loopback::Socket client, std::string& request)
{
    const auto deadline = std::chrono::steady_clock::now() + RequestDeadline;
    size_t headEnd = std::string::npos;
    size_t wanted = 0;
    char buffer[16384];
    while (!m_stop && std::chrono::steady_clock::now() < deadline)
    {
        if (headEnd != std::string::npos && request.size() >= wanted)
            return true;
        if (loopback::Wait(client, false, SliceMs) <= 0)
            continue;
        const long got = loopback::Receive(client, buffer, sizeof buffer);
        if (got <= 0)
            return headEnd != std::string::npos;
        request.append(buffer, static_cast<size_t>(got));
        if (headEnd == std::string::npos)
        {
            headEnd = request.find("\r\n\r\n");
            if (headEnd != std::string::npos)
                wanted = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
        }
    }
    return false;
}

void ScriptedServer::WaitForClientToLeave(loopback::Socket client)
{
    char buffer[4096];
    while (!m_stop)
    {
        if (loopback::Wait(client, false, SliceMs) <= 0)
            continue;
        if (loopback::Receive(client, buffer, sizeof buffer) <= 0)
            return;
    }
}

long ScriptedServer::SendSome(loopback::Socket client, const char* bytes, size_t size)
{
    const int ready = loopback::Wait(client, true, SliceMs);
    if (ready <= 0)
        return ready == 0 ? -2 : -1;
    return loopback::Send(client, bytes, std::min(size, SendChunk), true);
}

void ScriptedServer::Serve(loopback::Socket client)
{
    std::string request;
    const bool complete = ReadRequest(client, request);
    Script script;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
        if (!m_scripts.empty())
        {
            script = std::move(m_scripts.front());
            m_scripts.pop_front();
        }
        else
        {
            script = Response("HTTP/1.0 500 No script");
        }
    }
    m_changed.notify_all();
    if (!complete)
        script.clear();

    bool open = true;
    for (const Action& action : script)
    {
        if (!open || m_stop)
            break;
        switch (action.kind)
        {
            case Action::Send:
            {
                size_t sent = 0;
                while (open && !m_stop && sent < action.bytes.size())
                {
                    const long n = SendSome(client, action.bytes.data() + sent, action.bytes.size() - sent);
                    if (n == -2)
                        continue;
                    if (n <= 0)
                        open = false;
                    else
                        sent += static_cast<size_t>(n);
                }
                break;
            }
            case Action::Pause:
                std::this_thread::sleep_for(std::chrono::milliseconds(action.milliseconds));
                break;
            case Action::Stall:
                WaitForClientToLeave(client);
                open = false;
                break;
            case Action::Reset:
                loopback::AbortOnClose(client);
                open = false;
                break;
            case Action::EndlessLines:
            {
                size_t total = 0;
                while (!m_stop && total < EndlessCap)
                {
                    const long n = SendSome(client, action.bytes.data(), action.bytes.size());
                    if (n == -2)
                        continue;
                    if (n <= 0)
                        break;
                    total += static_cast<size_t>(n);
                }
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_endlessBytes = total;
                }
                open = false;
                break;
            }
        }
    }
    loopback::Close(client);
}

#include "tests/http/scriptedserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace
{

const int SliceMs = 20;
// No test needs a request to take longer than this to arrive.
const auto RequestDeadline = std::chrono::seconds(5);
const size_t EndlessCap = 64u << 20;

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
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0)
        throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(m_listener);
        throw std::runtime_error("bind");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread(&ScriptedServer::Run, this);
}

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
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
        pollfd ready{m_listener, POLLIN, 0};
        if (::poll(&ready, 1, SliceMs) <= 0)
            continue;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_connections;
        }
        Serve(client);
    }
}

bool ScriptedServer::ReadRequest(int client, std::string& request)
{
    const auto deadline = std::chrono::steady_clock::now() + RequestDeadline;
    size_t headEnd = std::string::npos;
    size_t wanted = 0;
    char buffer[16384];
    while (!m_stop && std::chrono::steady_clock::now() < deadline)
    {
        if (headEnd != std::string::npos && request.size() >= wanted)
            return true;
        pollfd ready{client, POLLIN, 0};
        if (::poll(&ready, 1, SliceMs) <= 0)
            continue;
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
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

void ScriptedServer::WaitForClientToLeave(int client)
{
    char buffer[4096];
    while (!m_stop)
    {
        pollfd ready{client, POLLIN, 0};
        if (::poll(&ready, 1, SliceMs) <= 0)
            continue;
        if (::recv(client, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

void ScriptedServer::Serve(int client)
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
                    pollfd ready{client, POLLOUT, 0};
                    if (::poll(&ready, 1, SliceMs) <= 0)
                        continue;
                    const ssize_t n = ::send(client, action.bytes.data() + sent,
                                             action.bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
                    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
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
            {
                linger abort{1, 0};
                ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                open = false;
                break;
            }
            case Action::EndlessLines:
            {
                size_t total = 0;
                while (!m_stop && total < EndlessCap)
                {
                    pollfd ready{client, POLLOUT, 0};
                    if (::poll(&ready, 1, SliceMs) <= 0)
                        continue;
                    const ssize_t n = ::send(client, action.bytes.data(), action.bytes.size(),
                                             MSG_NOSIGNAL | MSG_DONTWAIT);
                    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
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
    ::close(client);
}

#include "webservice/standinservice.h"

#include "webservice/unseal.h"

#include <wx/file.h>
#include <wx/log.h>
#include <wx/string.h>

#ifdef __linux__
#include <signal.h>
#include <sys/sendfile.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace
{

const char kLoginError[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Response><Error>Invalid e-mail address or password</Error></Response>\n";

const std::size_t kMaxRequestHead = 64 * 1024;

// Every wait is cut into slices this long, so a stop is seen at once.
const int kSliceMs = 50;

// Sends go in pieces of at most this size, each once the socket has room,
// so a client that stops reading holds a worker only until the stop.
const std::size_t kSendPiece = 64 * 1024;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The item the unsealed path asks for: "session", "radars", ... or "".
std::string ItemOf(const std::string& uri)
{
    const std::string prefix = "/BtoB/PND/";
    if (uri.compare(0, prefix.size(), prefix) != 0)
        return std::string();
    std::string rest = uri.substr(prefix.size());
    const auto query = rest.find('?');
    if (query != std::string::npos)
        rest.erase(query);
    return rest;
}

std::string StatusText(long code)
{
    switch (code)
    {
    case 200: return "OK";
    case 204: return "No Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

} // namespace

StandInService::StandInService(Options options)
    : m_options(std::move(options))
{
}

StandInService::~StandInService()
{
    Stop();
}

const char* StandInService::LoginErrorBody()
{
    return kLoginError;
}

bool StandInService::ParseFault(const std::string& text, StandInFault& fault)
{
    const auto colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    long count = 0;
    if (colon != std::string::npos)
    {
        const std::string number = text.substr(colon + 1);
        char* end = nullptr;
        count = std::strtol(number.c_str(), &end, 10);
        if (number.empty() || *end != '\0' || count < 0)
            return false;
    }
    static const std::map<std::string, StandInFault::Kind> kinds = {
        {"redirects", StandInFault::Redirects}, {"nolocation", StandInFault::NoLocation},
        {"status", StandInFault::Status},       {"cut", StandInFault::Cut},
        {"stall", StandInFault::Stall},         {"reset", StandInFault::Reset},
        {"slow", StandInFault::Slow},           {"length", StandInFault::Length},
        {"silent", StandInFault::Silent},       {"none", StandInFault::None}};
    const auto found = kinds.find(kind);
    if (found == kinds.end())
        return false;
    fault.kind = found->second;
    fault.count = count;
    return true;
}

bool StandInService::Start(std::uint16_t port)
{
    int bound = port;
    m_listener = loopback::Listen(bound);
    if (m_listener == loopback::kNoSocket)
        return false;
    m_port = static_cast<std::uint16_t>(bound);
    m_acceptThread = std::thread(&StandInService::AcceptLoop, this);
    return true;
}

void StandInService::Stop()
{
    if (m_listener == loopback::kNoSocket)
        return;
    m_stopping = true;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Wakes a worker blocked in a send (Linux's sendfile); the others
        // see the flag within a slice.
        for (Socket socket : m_openSockets)
            loopback::Shutdown(socket);
        workers.swap(m_workers);
    }
    for (auto& worker : workers)
        worker.join();
    loopback::Close(m_listener);
    m_listener = loopback::kNoSocket;
}

std::vector<StandInRequest> StandInService::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void StandInService::AcceptLoop()
{
    // Accept waits in slices: closing or shutting down a listener does not
    // wake a blocked accept everywhere.
    while (!m_stopping)
    {
        const int ready = loopback::Wait(m_listener, false, kSliceMs);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        const Socket socket = loopback::Accept(m_listener);
        if (socket == loopback::kNoSocket)
        {
            // Out of descriptors, say: try again later rather than spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
        {
            loopback::Close(socket);
            break;
        }
        m_openSockets.push_back(socket);
        m_workers.emplace_back(&StandInService::Serve, this, socket);
    }
}

void StandInService::Forget(Socket socket)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), socket), m_openSockets.end());
    loopback::Close(socket);
}

bool StandInService::SendAll(Socket socket, const char* data, std::size_t size)
{
    while (size > 0)
    {
        if (m_stopping)
            return false;
        const int ready = loopback::Wait(socket, true, kSliceMs);
        if (ready < 0)
            return false;
        if (ready == 0)
            continue;
        const long sent = loopback::Send(socket, data, std::min(size, kSendPiece), true);
        if (sent == -2)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool StandInService::SendText(Socket socket, const std::string& text)
{
    return SendAll(socket, text.data(), text.size());
}

void StandInService::Serve(Socket socket)
{
#ifdef __linux__
    // sendfile has no MSG_NOSIGNAL: a client gone mid-body must give EPIPE,
    // not end the whole process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
#endif
    std::string head;
    char chunk[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead)
    {
        const int ready = m_stopping ? -1 : loopback::Wait(socket, false, kSliceMs);
        if (ready == 0)
            continue;
        const long got = ready < 0 ? -1 : loopback::Receive(socket, chunk, sizeof(chunk), true);
        if (got == -2)
            continue;
        if (got <= 0)
        {
            Forget(socket);
            return;
        }
        head.append(chunk, static_cast<std::size_t>(got));
    }

    StandInRequest request;
    std::string target;
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const auto firstSpace = requestLine.find(' ');
    const auto secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace != std::string::npos)
        target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    request.target = target;
    // A proxy may pass the absolute form on.
    if (target.compare(0, 7, "http://") == 0)
    {
        const auto slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    while (lineEnd != std::string::npos)
    {
        const auto next = head.find("\r\n", lineEnd + 2);
        if (next == std::string::npos || next == lineEnd + 2)
            break;
        const std::string line = head.substr(lineEnd + 2, next - lineEnd - 2);
        const auto colon = line.find(':');
        if (colon != std::string::npos)
            request.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
        lineEnd = next;
    }

    Answer(socket, target, request);
    Forget(socket);
}

void StandInService::Answer(Socket socket, const std::string& target, StandInRequest& request)
{
    // The query is taken raw: the sealed text carries '+', '/' and '='.
    const auto question = target.find('?');
    const std::string path = target.substr(0, question);
    if (question != std::string::npos)
    {
        std::string query = target.substr(question + 1);
        std::size_t start = 0;
        while (start <= query.size())
        {
            auto end = query.find_first_of(";&", start);
            if (end == std::string::npos)
                end = query.size();
            const std::string pair = query.substr(start, end - start);
            const auto equals = pair.find('=');
            const std::string name = pair.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
            if (name == "user")
                request.user = value;
            else if (name == "uri")
                request.uri = UnsealRequestPath(value);
            start = end + 1;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
    }

    if (request.uri.empty())
    {
        SendText(socket, "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    const std::string item = ItemOf(request.uri);
    StandInFault fault;
    auto found = m_options.faults.find(item);
    if (found == m_options.faults.end())
        found = m_options.faults.find("*");
    if (found != m_options.faults.end())
        fault = found->second;

    long hop = 0;
    if (path.compare(0, 5, "/hop/") == 0)
        hop = std::strtol(path.c_str() + 5, nullptr, 10);

    switch (fault.kind)
    {
    case StandInFault::Redirects:
        if (hop < fault.count)
        {
            const std::string query = question == std::string::npos ? "" : target.substr(question);
            SendText(socket, "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(m_port) +
                             "/hop/" + std::to_string(hop + 1) + query + "\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        break;
    case StandInFault::NoLocation:
        SendText(socket, "HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n");
        return;
    case StandInFault::Status:
        SendText(socket, "HTTP/1.0 " + std::to_string(fault.count) + " " + StatusText(fault.count) +
                         "\r\n\r\n");
        return;
    case StandInFault::Reset:
        // The caller's close then resets the connection.
        loopback::AbortOnClose(socket);
        return;
    case StandInFault::Silent:
        WaitForStop(socket, -1);
        return;
    default:
        break;
    }

    if (item == "session")
    {
        const std::string expected = "/BtoB/PND/session?email=" + m_options.email +
                                     "&password=" + m_options.password;
        if (request.uri != expected)
        {
            SendText(socket, "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                             std::to_string(std::strlen(kLoginError)) + "\r\n\r\n" + kLoginError);
            return;
        }
        SendFile(socket, m_options.contentDir + "/addressbook", fault);
    }
    else if (item == "radars" || item == "radarsv2" || item == "radarsv3")
    {
        SendFile(socket, m_options.contentDir + "/" + item, fault);
    }
    else
    {
        SendText(socket, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }
}

bool StandInService::WaitForStop(Socket socket, long ms)
{
    // Waits until the service stops, the client goes away or `ms` pass
    // (ms < 0: no limit). True when the service is stopping or the client left.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        if (m_stopping)
            return true;
        int slice = kSliceMs;
        if (ms >= 0)
        {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            slice = static_cast<int>(std::max<long long>(0, std::min<long long>(slice, left.count())));
        }
        const int ready = loopback::Wait(socket, false, slice);
        if (ready < 0)
            return true;
        if (ready > 0)
        {
            char sink[256];
            const long got = loopback::Receive(socket, sink, sizeof(sink), true);
            if (got == 0 || got == -1)
                return true;
        }
        if (ms >= 0 && std::chrono::steady_clock::now() >= end)
            return false;
    }
}

bool StandInService::SendFile(Socket socket, const std::string& path, const StandInFault& fault)
{
    wxFile file;
    {
        wxLogNull quiet; // a missing file is a 404, not a message
        if (!file.Open(wxString::FromUTF8(path.c_str())) || file.Length() < 0)
            return SendText(socket, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }
    const long long size = file.Length();
    const long long announced = fault.kind == StandInFault::Length ? (static_cast<long long>(fault.count) << 20) : size;
    bool ok = SendText(socket, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                               "Content-Length: " + std::to_string(announced) + "\r\n\r\n");
    long long limit = size;
    if (fault.kind == StandInFault::Cut || fault.kind == StandInFault::Stall)
        limit = std::min<long long>(size, fault.count);
    long long offset = 0;
    const std::size_t piece = fault.kind == StandInFault::Slow ? 1024 : 1 << 20;
#ifndef __linux__
    std::vector<char> buffer(piece);
#endif
    while (ok && offset < limit && !m_stopping)
    {
        const std::size_t want = static_cast<std::size_t>(std::min<long long>(limit - offset, piece));
#ifdef __linux__
        // The benchmark's large files go from the page cache to the socket.
        off_t at = static_cast<off_t>(offset);
        const ssize_t sent = ::sendfile(static_cast<int>(socket), file.fd(), &at, want);
        ok = sent > 0;
        offset = at;
#else
        const ssize_t got = file.Read(buffer.data(), want);
        ok = got > 0 && SendAll(socket, buffer.data(), static_cast<std::size_t>(got));
        offset += ok ? got : 0;
#endif
        if (ok && fault.kind == StandInFault::Slow && WaitForStop(socket, fault.count))
            ok = false;
    }
    if (ok && fault.kind == StandInFault::Stall)
        WaitForStop(socket, -1);
    return ok;
}

#include "webservice/standinservice.h"

#include "crypt/seal.h"

#include <wx/string.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool SendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0)
    {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool SendText(int fd, const std::string& text)
{
    return SendAll(fd, text.data(), text.size());
}

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
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        return false;
    const int yes = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof(address);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listenFd, 64) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread(&StandInService::AcceptLoop, this);
    return true;
}

void StandInService::Stop()
{
    if (m_listenFd < 0)
        return;
    m_stopping = true;
    ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int fd : m_openFds)
            ::shutdown(fd, SHUT_RDWR);
        workers.swap(m_workers);
    }
    m_stopSignal.notify_all();
    for (auto& worker : workers)
        worker.join();
    ::close(m_listenFd);
    m_listenFd = -1;
}

std::vector<StandInRequest> StandInService::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void StandInService::AcceptLoop()
{
    while (!m_stopping)
    {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
        {
            if (m_stopping || (errno != EINTR && errno != ECONNABORTED))
                break;
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
        {
            ::close(fd);
            break;
        }
        m_openFds.push_back(fd);
        m_workers.emplace_back(&StandInService::Serve, this, fd);
    }
}

void StandInService::Forget(int fd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFds.erase(std::remove(m_openFds.begin(), m_openFds.end(), fd), m_openFds.end());
    ::close(fd);
}

void StandInService::Serve(int fd)
{
    std::string head;
    char chunk[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead)
    {
        const ssize_t got = ::recv(fd, chunk, sizeof(chunk), 0);
        if (got <= 0)
        {
            Forget(fd);
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
    // A proxy may pass the absolute form on.
    if (target.compare(0, 7, "http://") == 0)
    {
        const auto slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    request.target = target;
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

    Answer(fd, target, request);
    Forget(fd);
}

void StandInService::Answer(int fd, const std::string& target, StandInRequest& request)
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
                request.uri = UnsealText(wxString::FromUTF8(value.c_str())).utf8_str().data();
            start = end + 1;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
    }

    if (request.uri.empty())
    {
        SendText(fd, "HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
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
            SendText(fd, "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(m_port) +
                             "/hop/" + std::to_string(hop + 1) + query + "\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        break;
    case StandInFault::NoLocation:
        SendText(fd, "HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n");
        return;
    case StandInFault::Status:
        SendText(fd, "HTTP/1.0 " + std::to_string(fault.count) + " " + StatusText(fault.count) +
                         "\r\n\r\n");
        return;
    case StandInFault::Reset:
    {
        const linger hard = {1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
        return;
    }
    case StandInFault::Silent:
        WaitForStop(fd, -1);
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
            SendText(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                             std::to_string(std::strlen(kLoginError)) + "\r\n\r\n" + kLoginError);
            return;
        }
        SendFile(fd, m_options.contentDir + "/addressbook", fault);
    }
    else if (item == "radars" || item == "radarsv2" || item == "radarsv3")
    {
        SendFile(fd, m_options.contentDir + "/" + item, fault);
    }
    else
    {
        SendText(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }
}

bool StandInService::WaitForStop(int fd, long ms)
{
    // Waits until the service stops, the client goes away or `ms` pass
    // (ms < 0: no limit). True when the service is stopping or the client left.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        if (m_stopping)
            return true;
        pollfd watch = {fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, 50);
        if (ready > 0)
        {
            char sink[256];
            if (::recv(fd, sink, sizeof(sink), MSG_DONTWAIT) <= 0)
                return true;
        }
        if (ms >= 0 && std::chrono::steady_clock::now() >= end)
            return false;
    }
}

bool StandInService::SendFile(int fd, const std::string& path, const StandInFault& fault)
{
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info{};
    if (file < 0 || ::fstat(file, &info) != 0)
    {
        if (file >= 0)
            ::close(file);
        return SendText(fd, "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }
    const off_t size = info.st_size;
    const long long announced = fault.kind == StandInFault::Length ? (static_cast<long long>(fault.count) << 20)
                                                                  : static_cast<long long>(size);
    bool ok = SendText(fd, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                           "Content-Length: " + std::to_string(announced) + "\r\n\r\n");
    off_t limit = size;
    if (fault.kind == StandInFault::Cut || fault.kind == StandInFault::Stall)
        limit = std::min<off_t>(size, fault.count);
    off_t offset = 0;
    const std::size_t piece = fault.kind == StandInFault::Slow ? 1024 : 1 << 20;
    while (ok && offset < limit && !m_stopping)
    {
        const std::size_t want = static_cast<std::size_t>(std::min<off_t>(limit - offset, piece));
        const ssize_t sent = ::sendfile(fd, file, &offset, want);
        if (sent <= 0)
            ok = false;
        else if (fault.kind == StandInFault::Slow && WaitForStop(fd, fault.count))
            ok = false;
    }
    ::close(file);
    if (ok && fault.kind == StandInFault::Stall)
        WaitForStop(fd, -1);
    return ok;
}

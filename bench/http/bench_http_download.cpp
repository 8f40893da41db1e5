// Downloads one large body from a loopback server with the request builder,
// read the way the download thread reads it (10240-byte reads into one
// growing vector), and with curl, in the same run; prints both throughputs,
// their ratio and the builder's peak memory.
#include "http/httpbuilder.h"

#include <wx/init.h>
#include <wx/socket.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
const size_t Chunk = 10240;

// Answers every connection with the same body, sent from a 1 MiB pattern.
class BodyServer
{
public:
    explicit BodyServer(size_t bodySize) : m_bodySize(bodySize), m_pattern(1u << 20)
    {
        for (size_t i = 0; i < m_pattern.size(); ++i)
            m_pattern[i] = static_cast<char>(i * 131 + 7);
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        {
            std::perror("bench server");
            std::exit(1);
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread(&BodyServer::Run, this);
    }
    ~BodyServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }

private:
    void Run()
    {
        while (!m_stop)
        {
            pollfd ready{m_listener, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client >= 0)
            {
                Serve(client);
                ::close(client);
            }
        }
    }
    void Serve(int client)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos)
        {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            request.append(buffer, static_cast<size_t>(got));
        }
        const std::string head =
            "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
            std::to_string(m_bodySize) + "\r\n\r\n";
        if (!SendAll(client, head.data(), head.size()))
            return;
        size_t left = m_bodySize;
        while (left > 0)
        {
            const size_t n = std::min(left, m_pattern.size());
            if (!SendAll(client, m_pattern.data(), n))
                return;
            left -= n;
        }
    }
    static bool SendAll(int fd, const char* data, size_t size)
    {
        while (size > 0)
        {
            const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    size_t m_bodySize;
    std::vector<char> m_pattern;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// One download with the builder; returns seconds, or a negative value.
double BuilderRun(const wxString& url, size_t expected)
{
    const auto start = Clock::now();
    wxHTTPBuilder builder;
    builder.InitMimeTypes();
    std::unique_ptr<wxHTTPBuilderStream> stream(builder.OpenUrl(url));
    if (!stream)
    {
        std::fprintf(stderr, "builder: %s\n", static_cast<const char*>(builder.GetStatus().utf8_str()));
        return -1;
    }
    std::vector<unsigned char> body;
    // As the download thread does: the announced size plus the one read that
    // finds the end, offered huge pages (fresh 4 KiB pages cost more to fill
    // than the bytes cost to receive).
    if (stream->GetContentLength() != wxHTTPBuilderStream::NoLength)
    {
        body.reserve(static_cast<size_t>(stream->GetContentLength()) + Chunk);
        const std::uintptr_t huge = std::uintptr_t(2) << 20;
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(body.data());
        const std::uintptr_t first = (start + huge - 1) & ~(huge - 1);
        const std::uintptr_t last = (start + body.capacity()) & ~(huge - 1);
        if (last > first)
            ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
    size_t count = 0;
    size_t last = 0;
    do
    {
        body.resize(count + Chunk);
        stream->Read(body.data() + count, Chunk);
        last = stream->LastRead();
        count += last;
    } while (last == Chunk);
    body.resize(count);
    const double seconds = Seconds(Clock::now() - start);
    if (count != expected || !stream->IsComplete())
    {
        std::fprintf(stderr, "builder: got %zu of %zu bytes\n", count, expected);
        return -1;
    }
    return seconds;
}

double CurlRun(const std::string& url)
{
    const std::string command = "curl -s -S -o /dev/null " + url;
    const auto start = Clock::now();
    const int rc = std::system(command.c_str());
    const double seconds = Seconds(Clock::now() - start);
    if (rc != 0)
    {
        std::fprintf(stderr, "curl failed (%d); is curl installed?\n", rc);
        return -1;
    }
    return seconds;
}

long PeakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const size_t size = mib << 20;

    wxInitializer initializer;
    if (!initializer.IsOk() || !wxSocketBase::Initialize())
    {
        std::fprintf(stderr, "wxWidgets did not start\n");
        return 1;
    }
    const long baseKiB = PeakKiB();
    BodyServer server(size);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/body";

    // Best of a few alternating rounds each: the machine is shared.
    double builderBest = 1e300;
    double curlBest = 1e300;
    for (int round = 0; round < rounds; ++round)
    {
        const double b = BuilderRun(wxString::FromUTF8(url.c_str()), size);
        const double c = CurlRun(url);
        if (b < 0 || c < 0)
            return 1;
        builderBest = std::min(builderBest, b);
        curlBest = std::min(curlBest, c);
    }

    const double builderRate = static_cast<double>(size) / builderBest / (1 << 20);
    const double curlRate = static_cast<double>(size) / curlBest / (1 << 20);
    const double peakMiB = static_cast<double>(PeakKiB()) / 1024.0;
    const double baseMiB = static_cast<double>(baseKiB) / 1024.0;
    const double bound = 1.1 * static_cast<double>(mib) + baseMiB + 4.0;
    std::printf("body:        %zu MiB, best of %d rounds\n", mib, rounds);
    std::printf("builder:     %8.1f MiB/s\n", builderRate);
    std::printf("curl:        %8.1f MiB/s\n", curlRate);
    std::printf("ratio:       %8.2f (builder / curl; aim >= 0.80)\n", builderRate / curlRate);
    std::printf("peak memory: %8.1f MiB (process at start %.1f MiB; aim <= %.1f MiB)\n", peakMiB, baseMiB,
                bound);
    return 0;
}

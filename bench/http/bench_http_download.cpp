// Downloads one large body from a loopback server with the download thread
// (the request builder, read into one vector in memory) and with curl, in
// the same run, rounds taking the sides in turn: curl into a file on tmpfs
// (memory, as the program's vector) and, as before, curl into /dev/null,
// which stores nothing. Prints the throughputs, their ratios and the
// program's peak memory.
//   bench_http_download [MiB] [rounds]
#include "bench/machineload.h"
#include "http/httpbuilder.h"
#include "sync/downloadingthread.h"

#include <wx/init.h>
#include <wx/socket.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

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

// One download by the download thread itself into a vector; returns
// seconds, or a negative value.
double ProgramRun(const wxString& url, size_t expected)
{
    const auto start = Clock::now();
    wxHTTPBuilder builder;
    builder.InitMimeTypes();
    ByteVector body;
    DOWNLOADINGTHREAD thread(&builder);
    thread.SetJob2(url, &body);
    if (thread.Run() != wxTHREAD_NO_ERROR)
    {
        std::fprintf(stderr, "download thread did not start\n");
        return -1;
    }
    thread.Wait();
    const double seconds = Seconds(Clock::now() - start);
    if (!thread.IsDone() || body.size() != expected)
    {
        std::fprintf(stderr, "download: got %zu of %zu bytes (error %d)\n", body.size(), expected,
                     static_cast<int>(thread.GetError()));
        return -1;
    }
    return seconds;
}

// curl storing the body in target (/dev/null stores nothing).
double CurlRun(const std::string& url, const std::string& target)
{
    const std::string command = "curl -s -S -o '" + target + "' " + url;
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
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const size_t size = mib << 20;

    wxInitializer initializer;
    if (!initializer.IsOk() || !wxSocketBase::Initialize())
    {
        std::fprintf(stderr, "wxWidgets did not start\n");
        return 1;
    }
    char memory[] = "/dev/shm/pontiro-bench-XXXXXX";
    if (!::mkdtemp(memory))
    {
        std::perror("mkdtemp in /dev/shm");
        return 1;
    }
    const std::string memoryFile = std::string(memory) + "/body.bin";
    std::printf("machine:     %s\n", MachineLoad().c_str());
    const long baseKiB = PeakKiB();
    BodyServer server(size);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/body";

    // Best of a few rounds each, the sides in turn: the machine is shared.
    double programBest = 1e300;
    double curlNullBest = 1e300;
    double curlMemoryBest = 1e300;
    for (int round = 0; round < rounds; ++round)
    {
        const double program = ProgramRun(wxString::FromUTF8(url.c_str()), size);
        const double curlMemory = CurlRun(url, memoryFile);
        ::unlink(memoryFile.c_str());
        const double curlNull = CurlRun(url, "/dev/null");
        if (program < 0 || curlMemory < 0 || curlNull < 0)
        {
            ::rmdir(memory);
            return 1;
        }
        programBest = std::min(programBest, program);
        curlMemoryBest = std::min(curlMemoryBest, curlMemory);
        curlNullBest = std::min(curlNullBest, curlNull);
    }
    ::rmdir(memory);

    const auto rate = [size](double seconds) { return static_cast<double>(size) / seconds / (1 << 20); };
    const double programRate = rate(programBest);
    const double memoryRatio = curlMemoryBest / programBest;
    const double peakMiB = static_cast<double>(PeakKiB()) / 1024.0;
    const double baseMiB = static_cast<double>(baseKiB) / 1024.0;
    const double bound = 1.1 * static_cast<double>(mib) + baseMiB + 4.0;
    std::printf("body:        %zu MiB over loopback, best of %d rounds\n", mib, rounds);
    std::printf("download into memory %8.1f MiB/s   curl into a tmpfs file %8.1f MiB/s   ratio %.2f "
                "(aim >= 1.00: %s)\n",
                programRate, rate(curlMemoryBest), memoryRatio, memoryRatio >= 1.0 ? "met" : "missed");
    std::printf("download into memory %8.1f MiB/s   curl -o /dev/null      %8.1f MiB/s   ratio %.2f "
                "(stores nothing; aim >= 0.80)\n",
                programRate, rate(curlNullBest), curlNullBest / programBest);
    std::printf("peak memory: %8.1f MiB (process at start %.1f MiB; aim <= %.1f MiB)\n", peakMiB, baseMiB,
                bound);
    std::printf("machine:     %s\n", MachineLoad().c_str());
    return 0;
}

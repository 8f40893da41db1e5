// pontiro-webservice: runs the stand-in web service until it is sent
// SIGINT or SIGTERM (on Windows: Ctrl+C or Ctrl+Break). Prints the port it
// listens on as its first line.
#include "webservice/standinservice.h"

#include <wx/init.h>

#ifndef _WIN32
#include <pthread.h>
#endif

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace
{

int Usage()
{
    std::fputs("usage: pontiro-webservice --content DIR [--email E --password P] [--port N]\n"
               "                          [--port-file FILE] [--log FILE] [--fault ITEM=KIND[:N]]...\n"
               "  ITEM: session, radars, radarsv2, radarsv3 or *\n"
               "  KIND: redirects:N nolocation status:CODE cut:BYTES stall:BYTES reset slow:MS length:MIB silent\n",
               stderr);
    return 2;
}

#ifdef _WIN32
std::atomic<bool> g_stopRequested{false};

void OnStopSignal(int)
{
    g_stopRequested = true;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    wxInitializer wx;
    StandInService::Options options;
    long port = 0;
    std::string portFile, logFile;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--content")
            options.contentDir = value;
        else if (arg == "--email")
            options.email = value;
        else if (arg == "--password")
            options.password = value;
        else if (arg == "--port")
            port = std::strtol(value.c_str(), nullptr, 10);
        else if (arg == "--port-file")
            portFile = value;
        else if (arg == "--log")
            logFile = value;
        else if (arg == "--fault")
        {
            const auto equals = value.find('=');
            StandInFault fault;
            if (equals == std::string::npos || !StandInService::ParseFault(value.substr(equals + 1), fault))
                return Usage();
            options.faults[value.substr(0, equals)] = fault;
        }
        else
            return Usage();
    }
    if (options.contentDir.empty() || port < 0 || port > 65535)
        return Usage();

#ifdef _WIN32
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGBREAK, OnStopSignal);
#else
    // Blocked before the service's threads start, so they inherit the mask
    // and the signals wait for sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
#endif

    StandInService service(options);
    if (!service.Start(static_cast<std::uint16_t>(port)))
    {
        std::perror("pontiro-webservice: cannot listen");
        return 1;
    }
    std::printf("%u\n", service.Port());
    std::fflush(stdout);
    if (!portFile.empty())
    {
        const std::string temporary = portFile + ".tmp";
        std::ofstream(temporary) << service.Port() << "\n";
#ifdef _WIN32
        std::remove(portFile.c_str()); // rename does not replace there
#endif
        std::rename(temporary.c_str(), portFile.c_str());
    }

#ifdef _WIN32
    while (!g_stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
#else
    int received = 0;
    sigwait(&signals, &received);
#endif
    service.Stop();

    if (!logFile.empty())
    {
        std::ofstream log(logFile);
        for (const auto& request : service.Requests())
            log << request.uri << "\t" << request.user << "\t"
                << (request.headers.count("via") ? "proxy" : "direct") << "\n";
    }
    return 0;
}

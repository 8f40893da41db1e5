// A real forward proxy (Debian's tinyproxy) on a loopback port, for the
// tests of proxied requests (the HTTP client's, the wizard's end to end).
//
// On Linux each object starts a tinyproxy of its own (tinyproxy_process.cpp).
// A Windows test under Wine cannot start the host's Linux program, so
// with-tinyproxy.sh starts one plain and one authenticating tinyproxy around
// the test and names them in the environment; the object then stands for
// the one with the credentials asked for (tinyproxy_host.cpp).
#ifndef PONTIRO_TESTS_SUPPORT_TINYPROXY_H
#define PONTIRO_TESTS_SUPPORT_TINYPROXY_H

#include <memory>
#include <string>
#ifndef _WIN32
#include <sys/types.h>
#endif

class ScratchFolder;

class TinyproxyProcess
{
public:
    // With a user, the proxy asks for Basic proxy authentication.
    explicit TinyproxyProcess(const std::string& user = std::string(),
                              const std::string& password = std::string());
    ~TinyproxyProcess();
    TinyproxyProcess(const TinyproxyProcess&) = delete;
    TinyproxyProcess& operator=(const TinyproxyProcess&) = delete;

    bool IsRunning() const { return m_running; }
    int Port() const { return m_port; }
    // The proxy's own log, for failure messages.
    std::string Log() const;
    const std::string& Error() const { return m_error; }

private:
#ifndef _WIN32
    bool Start(const std::string& user, const std::string& password);
    void Stop();

    std::unique_ptr<ScratchFolder> m_folder; // its configuration and log
    pid_t m_pid = -1;
#endif
    std::string m_logFile;
    bool m_running = false;
    int m_port = 0;
    std::string m_error;
};

#endif

// A real forward proxy (Debian's tinyproxy) on a loopback port, for the
// proxied paths of the HTTP client tests.
//
// On Linux each object starts a tinyproxy of its own (tinyproxyprocess.cpp).
// A Windows test under Wine cannot start the host's Linux program, so
// with-tinyproxy.sh starts one plain and one authenticating tinyproxy around
// the test and names them in the environment; the object then stands for
// the one with the credentials asked for (tinyproxyhost.cpp).
#ifndef PONTIRO_TESTS_HTTP_TINYPROXYPROCESS_H
#define PONTIRO_TESTS_HTTP_TINYPROXYPROCESS_H

#include <string>
#ifndef _WIN32
#include <sys/types.h>
#endif

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

    std::string m_dir;
    pid_t m_pid = -1;
#endif
    std::string m_logFile;
    bool m_running = false;
    int m_port = 0;
    std::string m_error;
};

#endif

// A real forward proxy (Debian's tinyproxy) on a loopback port, for the
// proxied paths of the HTTP client tests.
#ifndef PONTIRO_TESTS_HTTP_TINYPROXYPROCESS_H
#define PONTIRO_TESTS_HTTP_TINYPROXYPROCESS_H

#include <string>
#include <sys/types.h>

class TinyproxyProcess
{
public:
    // With a user, the proxy asks for Basic proxy authentication.
    explicit TinyproxyProcess(const std::string& user = std::string(),
                              const std::string& password = std::string());
    ~TinyproxyProcess();
    TinyproxyProcess(const TinyproxyProcess&) = delete;
    TinyproxyProcess& operator=(const TinyproxyProcess&) = delete;

    bool IsRunning() const { return m_pid > 0; }
    int Port() const { return m_port; }
    // The proxy's own log, for failure messages.
    std::string Log() const;
    const std::string& Error() const { return m_error; }

private:
    bool Start(const std::string& user, const std::string& password);
    void Stop();

    std::string m_dir;
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_error;
};

#endif

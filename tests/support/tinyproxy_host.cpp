// The Windows side of TinyproxyProcess: the proxies run on the host, started
// by with-tinyproxy.sh around the test, which names them in the environment.
#include "tests/support/tinyproxy.h"

#include "loopback/loopbacksocket.h"
#include "tests/support/files.h"

#include <cstdlib>

namespace
{

std::string Environment(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

} // namespace

TinyproxyProcess::TinyproxyProcess(const std::string& user, const std::string& password)
{
    const std::string prefix = user.empty() ? "PONTIRO_TINYPROXY_" : "PONTIRO_TINYPROXY_AUTH_";
    const std::string port = Environment(prefix + "PORT");
    m_logFile = Environment(prefix + "LOG");
    if (port.empty())
    {
        m_error = "no host proxy named in " + prefix + "PORT (run the test through with-tinyproxy.sh)";
        return;
    }
    if (!user.empty() &&
        (Environment(prefix + "USER") != user || Environment(prefix + "PASSWORD") != password))
    {
        m_error = "the host proxy asks for other credentials than " + user + " / " + password;
        return;
    }
    m_port = std::atoi(port.c_str());
    const loopback::Socket probe = loopback::Connect(m_port);
    if (probe == loopback::kNoSocket)
    {
        m_error = "the host proxy does not listen on port " + port + ": " + Log();
        return;
    }
    loopback::Close(probe);
    m_running = true;
}

// The wrapper stops the proxies after the test.
TinyproxyProcess::~TinyproxyProcess() = default;

std::string TinyproxyProcess::Log() const
{
    return ReadFile(m_logFile);
}

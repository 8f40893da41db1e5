#include "tests/support/tinyproxy.h"

#include "loopback/loopbacksocket.h"
#include "tests/support/files.h"
#include "tests/support/scratchfolder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace
{

bool Accepts(int port)
{
    const loopback::Socket s = loopback::Connect(port);
    loopback::Close(s);
    return s != loopback::kNoSocket;
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    do
    {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace

TinyproxyProcess::TinyproxyProcess(const std::string& user, const std::string& password)
{
    m_folder = std::make_unique<ScratchFolder>();
    if (m_folder->Path().empty())
    {
        m_error = "cannot make a scratch folder";
        return;
    }
    m_logFile = *m_folder / "tinyproxy.log";
    // The port may be taken between our probe and tinyproxy's bind.
    for (int attempt = 0; attempt < 3 && !IsRunning(); ++attempt)
        Start(user, password);
}

TinyproxyProcess::~TinyproxyProcess()
{
    Stop();
}

std::string TinyproxyProcess::Log() const
{
    return ReadFile(m_logFile);
}

bool TinyproxyProcess::Start(const std::string& user, const std::string& password)
{
    // tinyproxy cannot be told to pick a port itself.
    m_port = loopback::UnusedPort();
    const std::string conf = *m_folder / "tinyproxy.conf";
    std::string settings = "Port " + std::to_string(m_port) +
                           "\n"
                           "Listen 127.0.0.1\n"
                           "Timeout 10\n"
                           "MaxClients 8\n"
                           "Allow 127.0.0.1\n"
                           "LogLevel Info\n"
                           "DisableViaHeader Yes\n";
    if (!user.empty())
        settings += "BasicAuth " + user + " " + password + "\n";
    if (!WriteFile(conf, settings))
    {
        m_error = "cannot write " + conf;
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {"tinyproxy", "-d", "-c", conf};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, "tinyproxy", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
    {
        m_error = "tinyproxy cannot be started (is the package installed?)";
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline)
    {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
        {
            m_error = "tinyproxy ended at start: " + Log();
            return false;
        }
        if (Accepts(m_port))
        {
            m_pid = pid;
            m_running = true;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    WaitForExit(pid, std::chrono::seconds(2));
    m_error = "tinyproxy did not listen in time: " + Log();
    return false;
}

void TinyproxyProcess::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    if (!WaitForExit(m_pid, std::chrono::seconds(3)))
    {
        ::kill(m_pid, SIGKILL);
        WaitForExit(m_pid, std::chrono::seconds(2));
    }
    m_pid = -1;
    m_running = false;
}

// Runs the wizard's GUI tests inside a toolkit application on an X server
// of their own, so that screenshots see only these windows whatever else
// runs on the shared display, and so that no dialog can wait for a click.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/log.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
class TestApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

// A private Xvfb, started with -displayfd so it picks a free display
// itself; stopped when the tests end.
class OwnDisplay
{
public:
    bool Start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        m_pid = fork();
        if (m_pid < 0)
        {
            close(fds[0]);
            close(fds[1]);
            m_pid = 0;
            return false;
        }
        if (m_pid == 0)
        {
            // The server must not outlive the tests, nor hold their output
            // open (CTest waits for it), even when they crash.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24",
                   "-nolisten", "tcp", "-ac", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        // The server writes its display number once it accepts clients.
        while (poll(&wait, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
        {
            Stop();
            return false;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }

    void Stop()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = 0;
        }
    }

    ~OwnDisplay() { Stop(); }

private:
    pid_t m_pid = 0;
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str(), line)
        << "toolkit assertion in " << func << ": " << cond << " " << msg;
}
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);

    OwnDisplay display;
    if (!display.Start())
        std::fprintf(stderr, "Could not start Xvfb; using DISPLAY=%s\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(none)");

    wxApp::SetInstance(new TestApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "Cannot initialise the toolkit (no display?)\n");
        return 1;
    }
    // Messages go to the test log, never into a dialog.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxSetAssertHandler(FailOnAssert);
    wxTheApp->SetExitOnFrameDelete(false);
    wxInitAllImageHandlers();

    int result = 0;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        result = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    display.Stop();
    return result;
}

// The program itself, as a user starts it: its window appears with its
// title, size and icon, and the close box ends it with the configuration
// written.
#include "tests/app/guitest.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <wx/utils.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
// The top-level window of another client with this title, or 0.
Window FindWindow(Display* display, const char* title)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
    {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name)
        {
            if (std::string(name) == title)
                found = children[i];
            XFree(name);
        }
    }
    XFree(children);
    return found;
}

bool WaitForExit(pid_t pid, int ms, int* status)
{
    for (int waited = 0; waited < ms; waited += 20)
    {
        if (waitpid(pid, status, WNOHANG) == pid)
            return true;
        wxMilliSleep(20);
    }
    return false;
}
}

TEST_F(WizardTest, ProgramShowsItsWindowAndClosesFromTheCloseBox)
{
    const char* program = std::getenv("PONTIRO_PROGRAM");
    ASSERT_NE(program, nullptr) << "PONTIRO_PROGRAM is not set";
    WriteIni("[Pontiro]\nlanguage=fr\n");

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        // Never outlive a test that gave up on it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Window window = 0;
    for (int waited = 0; waited < 20000 && !window; waited += 50)
    {
        window = FindWindow(display, "Pontiro 2.5");
        if (!window)
            wxMilliSleep(50);
    }
    if (!window)
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        XCloseDisplay(display);
        FAIL() << "the program showed no window";
    }

    // The program sets its icon before it shows the window.
    XWindowAttributes attributes{};
    for (int waited = 0; waited < 20000; waited += 50)
    {
        ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
        if (attributes.map_state == IsViewable)
            break;
        wxMilliSleep(50);
    }
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_EQ(attributes.width, 480);
    EXPECT_EQ(attributes.height, 272);

    // The icon the program carries, as the window manager would read it.
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom iconAtom = XInternAtom(display, "_NET_WM_ICON", False);
    ASSERT_EQ(XGetWindowProperty(display, window, iconAtom, 0, 2, False, XA_CARDINAL, &type,
                                 &format, &items, &after, &data),
              Success);
    EXPECT_EQ(items, 2u);
    if (items == 2)
    {
        const auto* size = reinterpret_cast<const unsigned long*>(data);
        EXPECT_EQ(size[0], 16u);
        EXPECT_EQ(size[1], 16u);
    }
    if (data)
        XFree(data);

    // The close box: what a window manager sends when it is clicked.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    XFlush(display);
    XCloseDisplay(display);

    int status = 0;
    if (!WaitForExit(pid, 20000, &status))
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        FAIL() << "the program did not end after its close box";
    }
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(IniValue("Pontiro/language"), "fr");
    EXPECT_EQ(IniValue("proxy/port"), "8080");
}

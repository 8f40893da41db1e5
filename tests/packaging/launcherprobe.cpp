// launcher_probe LAUNCHER ICON.ico SCREENSHOTS
// Starts an installed launcher as a user would, on the X display in
// $DISPLAY, and checks what the user sees: the window's title and icon, the
// welcome page in German after Deutsch is picked with the keyboard, and a
// clean end from the close box. Saves the two welcome pages as screenshots.
// Prints what went wrong and fails; the calling script checks the files.
#include "tests/support/x11windows.h"

#include <wx/image.h>
#include <wx/init.h>
#include <wx/mstream.h>
#include <wx/utils.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
const char kTitle[] = "Pontiro 2.5";

int g_failures = 0;

void Failure(const std::string& what)
{
    std::fprintf(stderr, "launcher_probe: %s\n", what.c_str());
    ++g_failures;
}

class Program
{
public:
    explicit Program(const std::string& path)
    {
        m_pid = fork();
        if (m_pid == 0)
        {
            // Never outlive a probe that gave up on it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    ~Program()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool Started() const { return m_pid > 0; }

    // The exit code, or -1 when it is still running after `ms`.
    int WaitForExit(int ms)
    {
        for (int waited = 0; waited <= ms; waited += 20)
        {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            {
                m_pid = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            wxMilliSleep(20);
        }
        return -1;
    }

private:
    pid_t m_pid = 0;
};


Window WaitForWindow(Display* display, int ms)
{
    for (int waited = 0; waited <= ms; waited += 50)
    {
        const Window window = FindTitledWindow(display, kTitle);
        XWindowAttributes attributes{};
        if (window && XGetWindowAttributes(display, window, &attributes) &&
            attributes.map_state == IsViewable)
            return window;
        wxMilliSleep(50);
    }
    return 0;
}

wxImage Capture(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return wxImage();
    XImage* shot = XGetImage(display, window, 0, 0, attributes.width, attributes.height,
                             AllPlanes, ZPixmap);
    if (!shot)
        return wxImage();
    wxImage image(attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
        {
            const unsigned long pixel = XGetPixel(shot, x, y);
            image.SetRGB(x, y, (pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff);
        }
    XDestroyImage(shot);
    return image;
}

bool Same(const wxImage& a, const wxImage& b, const wxRect& area)
{
    if (!a.IsOk() || !b.IsOk() || a.GetSize() != b.GetSize())
        return false;
    for (int y = area.GetTop(); y <= area.GetBottom(); ++y)
        for (int x = area.GetLeft(); x <= area.GetRight(); ++x)
            if (a.GetRed(x, y) != b.GetRed(x, y) || a.GetGreen(x, y) != b.GetGreen(x, y) ||
                a.GetBlue(x, y) != b.GetBlue(x, y))
                return false;
    return true;
}

// The window once it has stopped changing (drawn, laid out, caret aside).
wxImage SettledPicture(Display* display, Window window, const wxImage& unlike)
{
    wxImage last;
    for (int waited = 0; waited <= 10000; waited += 150)
    {
        wxMilliSleep(150);
        const wxImage now = Capture(display, window);
        if (!now.IsOk())
            return now;
        const wxRect all(wxPoint(0, 0), now.GetSize());
        if (last.IsOk() && Same(now, last, all) && !(unlike.IsOk() && Same(now, unlike, all)))
            return now;
        last = now;
    }
    return last;
}

// The window manager's view of the icon: the first picture of _NET_WM_ICON.
wxImage WindowIcon(Display* display, Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom icon = XInternAtom(display, "_NET_WM_ICON", False);
    wxImage picture;
    if (XGetWindowProperty(display, window, icon, 0, 1 << 20, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) == Success &&
        data && items >= 2)
    {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        const unsigned long width = values[0], height = values[1];
        if (width > 0 && height > 0 && width <= 1024 && height <= 1024 &&
            items >= 2 + width * height)
        {
            picture.Create(static_cast<int>(width), static_cast<int>(height));
            for (unsigned long i = 0; i < width * height; ++i)
            {
                const unsigned long argb = values[2 + i];
                picture.SetRGB(static_cast<int>(i % width), static_cast<int>(i / width),
                               (argb >> 16) & 0xff, (argb >> 8) & 0xff, argb & 0xff);
            }
        }
    }
    if (data)
        XFree(data);
    return picture;
}

void Key(Display* display, KeySym symbol)
{
    const KeyCode code = XKeysymToKeycode(display, symbol);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
    wxMilliSleep(150);
}

void CloseBox(Display* display, Window window)
{
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    XFlush(display);
}
}

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: launcher_probe LAUNCHER ICON.ico SCREENSHOTS\n");
        return 2;
    }
    const std::string launcher = argv[1];
    const std::string screenshots = argv[3];
    wxInitializer toolkit;
    wxImage::AddHandler(new wxPNGHandler);
    wxImage::AddHandler(new wxICOHandler);

    Display* display = XOpenDisplay(nullptr);
    if (!display)
    {
        Failure("no X display");
        return 1;
    }
    Program program(launcher);
    const Window window = program.Started() ? WaitForWindow(display, 30000) : 0;
    if (!window)
    {
        Failure("the launcher showed no window titled \"" + std::string(kTitle) + "\"");
        return 1;
    }

    // The program's own icon, as the program carries it.
    wxImage icon(wxString::FromUTF8(argv[2]), wxBITMAP_TYPE_ICO);
    const wxImage shown = WindowIcon(display, window);
    if (!shown.IsOk())
        Failure("the window has no icon");
    else if (!icon.IsOk() || shown.GetSize() != icon.GetSize() ||
             !Same(shown, icon, wxRect(wxPoint(0, 0), icon.GetSize())))
        Failure("the window's icon is not the program's (" + std::to_string(shown.GetWidth()) +
                " x " + std::to_string(shown.GetHeight()) + ")");

    const wxImage english = SettledPicture(display, window, wxImage());
    english.SaveFile(wxString::FromUTF8(screenshots + "/welcome-installed.png"), wxBITMAP_TYPE_PNG);

    // The window opens with the language choice focused; Home picks its
    // first row, Deutsch, as a user's key would.
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    wxMilliSleep(300);
    Key(display, XK_Home);
    const wxImage german = SettledPicture(display, window, english);
    german.SaveFile(wxString::FromUTF8(screenshots + "/welcome-deutsch.png"), wxBITMAP_TYPE_PNG);
    // The title row and the buttons show translated texts only when the
    // catalog was found.
    const int width = english.GetWidth(), height = english.GetHeight();
    if (Same(english, german, wxRect(0, 0, width, 54)))
        Failure("the title did not change after picking Deutsch");
    if (Same(english, german, wxRect(0, height - 45, width, 45)))
        Failure("the buttons did not change after picking Deutsch");

    CloseBox(display, window);
    const int status = program.WaitForExit(20000);
    if (status != 0)
        Failure(status < 0 ? "the program did not end after its close box"
                           : "the program ended with status " + std::to_string(status));
    XCloseDisplay(display);
    return g_failures ? 1 : 0;
}

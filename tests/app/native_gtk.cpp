// The GTK port on X11: a private Xvfb, GDK for the screen's pixels and the
// window's style (looked up at run time, so the tests need no GTK headers),
// Xlib for the other program's window.
#include "tests/app/native.h"
#include "tests/support/x11windows.h"

#include <gtest/gtest.h>

#include <wx/choice.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <string>

#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
template <typename F>
F Gtk(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

pid_t g_displayPid = 0;
}

// Xvfb is started with -displayfd so it picks a free display itself.
bool StartOwnDisplay()
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    g_displayPid = fork();
    if (g_displayPid < 0)
    {
        close(fds[0]);
        close(fds[1]);
        g_displayPid = 0;
        return false;
    }
    if (g_displayPid == 0)
    {
        // The server must not outlive the tests, nor hold their output open
        // (CTest waits for it), even when they crash.
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
        StopOwnDisplay();
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

void StopOwnDisplay()
{
    if (g_displayPid > 0)
    {
        kill(g_displayPid, SIGTERM);
        waitpid(g_displayPid, nullptr, 0);
        g_displayPid = 0;
    }
}

wxImage CaptureScreen(const wxPoint& origin, const wxSize& size)
{
    auto rootWindow = Gtk<void* (*)()>("gdk_get_default_root_window");
    auto fromWindow = Gtk<void* (*)(void*, int, int, int, int)>("gdk_pixbuf_get_from_window");
    auto pixels = Gtk<unsigned char* (*)(void*)>("gdk_pixbuf_get_pixels");
    auto rowstride = Gtk<int (*)(void*)>("gdk_pixbuf_get_rowstride");
    auto channels = Gtk<int (*)(void*)>("gdk_pixbuf_get_n_channels");
    auto unref = Gtk<void (*)(void*)>("g_object_unref");
    if (!rootWindow || !fromWindow || !pixels || !rowstride || !channels || !unref)
    {
        ADD_FAILURE() << "GDK is not loaded";
        return wxImage();
    }
    void* pixbuf = fromWindow(rootWindow(), origin.x, origin.y, size.x, size.y);
    if (!pixbuf)
    {
        ADD_FAILURE() << "cannot read the screen";
        return wxImage();
    }
    wxImage image(size.x, size.y);
    const unsigned char* data = pixels(pixbuf);
    const int stride = rowstride(pixbuf);
    const int n = channels(pixbuf);
    for (int y = 0; y < size.y; ++y)
        for (int x = 0; x < size.x; ++x)
        {
            const unsigned char* p = data + y * stride + x * n;
            image.SetRGB(x, y, p[0], p[1], p[2]);
        }
    unref(pixbuf);
    return image;
}

bool NativeResizable(wxWindow* frame)
{
    auto get = Gtk<int (*)(void*)>("gtk_window_get_resizable");
    return get ? get(frame->GetHandle()) != 0 : true;
}

wxSize NativeIconSize(wxWindow* frame)
{
    auto getIcon = Gtk<void* (*)(void*)>("gtk_window_get_icon");
    auto width = Gtk<int (*)(void*)>("gdk_pixbuf_get_width");
    auto height = Gtk<int (*)(void*)>("gdk_pixbuf_get_height");
    if (!getIcon || !width || !height)
        return wxSize();
    void* icon = getIcon(frame->GetHandle());
    return icon ? wxSize(width(icon), height(icon)) : wxSize();
}

bool ChooseNatively(wxChoice* choice, int row)
{
    auto setActive = Gtk<void (*)(void*, int)>("gtk_combo_box_set_active");
    if (!setActive)
        return false;
    setActive(choice->GetHandle(), row);
    return true;
}

struct OtherProgram::Impl
{
    pid_t pid = 0;
    Display* display = nullptr;
    Window window = 0;
};

OtherProgram::OtherProgram() : m_impl(std::make_unique<Impl>()) {}

OtherProgram::~OtherProgram()
{
    if (m_impl->display)
        XCloseDisplay(m_impl->display);
    if (m_impl->pid > 0)
    {
        kill(m_impl->pid, SIGKILL);
        waitpid(m_impl->pid, nullptr, 0);
    }
}

bool OtherProgram::Start(const std::string& path)
{
    m_impl->display = XOpenDisplay(nullptr);
    if (!m_impl->display)
        return false;
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0)
    {
        // Never outlive a test that gave up on it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    m_impl->pid = pid;
    return true;
}

bool OtherProgram::WaitForWindow(const std::string& title, int ms)
{
    Display* display = m_impl->display;
    for (int waited = 0; waited < ms; waited += 50)
    {
        if (!m_impl->window)
            m_impl->window = FindTitledWindow(display, title);
        XWindowAttributes attributes{};
        if (m_impl->window && XGetWindowAttributes(display, m_impl->window, &attributes) &&
            attributes.map_state == IsViewable)
            return true;
        wxMilliSleep(50);
    }
    return false;
}

wxSize OtherProgram::WindowClientSize() const
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(m_impl->display, m_impl->window, &attributes))
        return wxSize();
    return wxSize(attributes.width, attributes.height);
}

wxSize OtherProgram::WindowIconSize() const
{
    // The icon as a window manager reads it: width and height come first.
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom iconAtom = XInternAtom(m_impl->display, "_NET_WM_ICON", False);
    wxSize size;
    if (XGetWindowProperty(m_impl->display, m_impl->window, iconAtom, 0, 2, False, XA_CARDINAL,
                           &type, &format, &items, &after, &data) == Success &&
        items == 2)
    {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        size = wxSize(static_cast<int>(values[0]), static_cast<int>(values[1]));
    }
    if (data)
        XFree(data);
    return size;
}

bool OtherProgram::WindowResizable() const
{
    // A window the user cannot resize asks the window manager for one size.
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(m_impl->display, m_impl->window, &hints, &supplied))
        return true;
    return !((hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
             hints.min_width == hints.max_width && hints.min_height == hints.max_height);
}

void OtherProgram::ClickCloseBox()
{
    Display* display = m_impl->display;
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = m_impl->window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, m_impl->window, False, NoEventMask, &close);
    XFlush(display);
}

bool OtherProgram::WaitForExit(int ms, int* exitCode)
{
    for (int waited = 0; waited < ms; waited += 20)
    {
        int status = 0;
        if (waitpid(m_impl->pid, &status, WNOHANG) == m_impl->pid)
        {
            m_impl->pid = 0;
            *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        wxMilliSleep(20);
    }
    return false;
}

// What the wizard's tests need of the window system under the toolkit: a
// display of their own, the screen's pixels, the native side of a window,
// and another program's window. native_gtk.cpp serves the GTK port on X11,
// native_msw.cpp the Windows port.
#ifndef PONTIRO_TESTS_APP_NATIVE_H
#define PONTIRO_TESTS_APP_NATIVE_H

#include <wx/gdicmn.h>
#include <wx/image.h>

#include <memory>
#include <string>

class wxChoice;
class wxWindow;

// Starts a display that only these tests use, where the tests start it
// themselves (a private Xvfb on X11; under Wine the test's wrapper gives
// one). False when none could be started.
bool StartOwnDisplay();
void StopOwnDisplay();

// The screen's pixels in a rectangle given in screen coordinates.
wxImage CaptureScreen(const wxPoint& origin, const wxSize& size);

// Whether the window system lets the user resize this top-level window.
bool NativeResizable(wxWindow* frame);
// The window icon as the window system has it; 0 x 0 without one.
wxSize NativeIconSize(wxWindow* frame);

// Picks a row the way a user does: the native control changes and reports
// the change itself, so the handler runs inside the control's own
// notification. On Windows only what one key does: the first or last row,
// or the row next to the selected one.
bool ChooseNatively(wxChoice* choice, int row);

// Another program, started in the current working folder with the tests'
// environment; killed if it is still running when this goes.
class OtherProgram
{
public:
    OtherProgram();
    ~OtherProgram();
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool Start(const std::string& path);
    // Waits until a top-level window of the program with this title is
    // shown on screen.
    bool WaitForWindow(const std::string& title, int ms);
    // Of that window, as the window system has it.
    wxSize WindowClientSize() const;
#ifndef __WINDOWS__
    // Wine answers WM_GETICON only inside the window's own process.
    wxSize WindowIconSize() const; // 0 x 0 without an icon
#endif
    bool WindowResizable() const;
    // What the window system sends when the user clicks the close box.
    void ClickCloseBox();
    // True with the exit code once the program ended within `ms`.
    bool WaitForExit(int ms, int* exitCode);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

#endif

// Drives the real wizard window from outside, as a user would: clicks,
// typing, ticking options, closing. For the end-to-end tests and the demo;
// the program itself has no switch for any of this.
#ifndef PONTIRO_DRIVER_WIZARDDRIVER_H
#define PONTIRO_DRIVER_WIZARDDRIVER_H

#include <wx/string.h>
#include <wx/weakref.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class wxPontiroFrame;
class wxEventLoopBase;
class StepRecorder;

// Starts the toolkit with a plain application object once per process.
bool StartToolkitForDriver();

class PontiroFrameDriver
{
public:
    // Creates the window in the current working directory and shows it.
    PontiroFrameDriver();
    ~PontiroFrameDriver();

    // Runs the toolkit's loop until done() holds or seconds pass.
    bool RunUntil(const std::function<bool()>& done, double seconds);
    void Pump(double seconds) { RunUntil([] { return false; }, seconds); }
    // Waits until the page state is `state` (PageState) or seconds pass.
    bool WaitForPage(int state, double seconds);
    // Waits until Next is enabled on the connecting page, or a result page.
    bool WaitForConnection(double seconds);

    bool IsOpen() const;
    int PageState() const;
    int ResultCode() const;
    int DeviceKind() const;
    // Title and message line with the wrapping's line breaks made blanks.
    wxString Title() const;
    wxString Message() const;
    wxString NextLabel() const;
    bool IsNextEnabled() const;
    bool IsCancelEnabled() const;
    wxString Email() const;
    wxString Password() const;

    void ClickNext();
    void ClickCancel();
    // The window's close box.
    void CloseWindow();
    void SetMemoryCardOption(bool on);
    void SetFolder(const wxString& folder);
    void SetContent(bool addressBook, bool speedCams);
    void SetLogin(const wxString& email, const wxString& password);
    // Sends a connection result as a thread would, with the given serial.
    void PostConnectResult(int serial);
    // Serial of the current connecting thread (0 when there is none).
    int ConnectSerial() const;

    // "b2 e2 ..." of the download ("d") and upload ("u") events seen so far,
    // e.g. "db2 de2 db3 de3 de5 ub2 ...".
    std::string Steps() const;
    // Saves a picture of the window's client area.
    bool SaveScreenshot(const wxString& fileName);

    wxPontiroFrame* Frame() const { return m_frame.get(); }

private:
    wxWeakRef<wxPontiroFrame> m_frame;
    std::unique_ptr<StepRecorder> m_recorder;
};

// Normalises a wrapped label for comparisons.
wxString Unwrapped(const wxString& label);

#endif

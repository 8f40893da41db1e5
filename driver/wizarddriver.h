// Drives the real wizard window from outside, as a user would (clicks,
// typing, ticking options, closing), and reads what the window holds. For
// the tests, the demo and the benchmark; the program itself has no switch
// for any of this.
#ifndef PONTIRO_DRIVER_WIZARDDRIVER_H
#define PONTIRO_DRIVER_WIZARDDRIVER_H

#include <wx/string.h>
#include <wx/weakref.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

class CTransparentStaticText;
class StepRecorder;
class wxBoxSizer;
class wxButton;
class wxCheckBox;
class wxChoice;
class wxFileConfig;
class wxGauge;
class wxPontiroFrame;
class wxTextCtrl;

// The toolkit for every program that drives the window, started once per
// process: a plain application object, messages on stderr instead of in
// dialogs, and an event loop of its own, which the functions below run.
bool StartToolkitForDriver();
// Ends it for good: the loop, the application object and the toolkit's
// globals.
void StopToolkitForDriver();
// Runs the toolkit's events until done() holds or seconds pass.
bool RunToolkitUntil(const std::function<bool()>& done, double seconds);
// Runs them for `seconds`; 0 handles what is waiting now.
void PumpToolkit(double seconds);

class PontiroFrameDriver
{
public:
    // The program's own window (the factory MyApp::OnInit uses, icon and
    // all), in the current working directory; shown unless asked not to.
    explicit PontiroFrameDriver(bool show = true);
    // Destroys the window, which writes the configuration.
    ~PontiroFrameDriver();
    PontiroFrameDriver(const PontiroFrameDriver&) = delete;
    PontiroFrameDriver& operator=(const PontiroFrameDriver&) = delete;

    bool RunUntil(const std::function<bool()>& done, double seconds) { return RunToolkitUntil(done, seconds); }
    void Pump(double seconds) { PumpToolkit(seconds); }
    // Waits until the page state is `state` (PageState) or seconds pass.
    bool WaitForPage(int state, double seconds);
    // Waits until Next is enabled on the connecting page, or a result page.
    bool WaitForConnection(double seconds);

    // --- what a user does -------------------------------------------------
    void ClickNext();
    void ClickCancel();
    // The window's close box.
    void CloseWindow();
    // Picks a row of the welcome page's language choice.
    void ChooseLanguage(int row);
    void SetMemoryCardOption(bool on);
    void SetFolder(const wxString& folder);
    // Ticks the two content options of the login page, as one click does.
    void SetContent(bool addressBook, bool speedCams);
    // Types into the login page's fields.
    void SetLogin(const wxString& email, const wxString& password);
    // Sends a connection result as a thread would, with the given serial.
    void PostConnectResult(int serial);

    // --- what the window holds (read only) --------------------------------
    wxPontiroFrame* Frame() const { return m_frame.get(); }
    bool IsOpen() const;
    int PageState() const;
    int ResultCode() const;
    int DeviceKind() const;
    int LanguageIndex() const;
    // Title and message line with the wrapping's line breaks made blanks.
    wxString Title() const;
    wxString Message() const;
    wxString NextLabel() const;
    bool IsNextEnabled() const;
    bool IsCancelEnabled() const;
    bool IsTimerRunning() const;
    // The user's login as the window keeps it, and as its fields show it.
    wxString Email() const;
    wxString Password() const;
    wxString EmailField() const;
    wxString PasswordField() const;
    bool AddressBookSelected() const;
    bool SpeedCamSelected() const;
    bool SecondSpeedCamFile() const;
    bool UseMemoryCard() const;
    bool UseProxy() const;
    wxString ProxyHost() const;
    int ProxyPort() const;
    // The per-content settings, by content key.
    const std::map<int, wxString>& HostNames() const;
    const std::map<int, wxString>& Urls() const;
    const std::map<int, wxString>& Dirs() const;
    const std::map<int, wxString>& FileNames() const;
    const std::map<int, wxString>& DownloadTexts() const;
    const std::map<int, wxString>& UploadTexts() const;
    // Serial of the current connecting thread (0 when there is none).
    int ConnectSerial() const;
    // "b2 e2 ..." of the download ("d") and upload ("u") events seen so far,
    // e.g. "db2 de2 db3 de3 de5 ub2 ...".
    std::string Steps() const;

    // The window's controls, for a test to look at them or act on them as a
    // user would; the page controls are null while their page is not shown.
    wxBoxSizer* ContentSizer() const;
    CTransparentStaticText* TitleText() const;
    CTransparentStaticText* MessageText() const;
    wxButton* NextButton() const;
    wxButton* CancelButton() const;
    wxChoice* LanguageChoice() const;
    wxCheckBox* MemoryCardCheck() const;
    wxTextCtrl* FolderText() const;
    wxButton* BrowseButton() const;
    wxGauge* Gauge() const;
    wxCheckBox* SpeedCamCheck() const;
    wxCheckBox* AddressBookCheck() const;
    wxTextCtrl* EmailText() const;
    wxTextCtrl* PasswordText() const;

    // --- a scene only a device can set ------------------------------------
    // The device kind a recognised connection leaves behind, for the tests
    // of the pages that depend on it: they run without a device (a card's
    // kind comes from the root of a mounted file system), and kinds other
    // than 1 and 2 come from none.
    void SetDeviceKind(int kind);

    // The configuration file as the window holds it, what LoadConfiguration
    // reads and SaveConfiguration writes (null without a window): the tests
    // of those two change it to set their scene, as another program could
    // change the file.
    wxFileConfig* Configuration() const;

    // Saves a picture of the window's client area.
    bool SaveScreenshot(const wxString& fileName);

private:
    wxWeakRef<wxPontiroFrame> m_frame;
    std::unique_ptr<StepRecorder> m_recorder;
};

// Normalises a wrapped label for comparisons.
wxString Unwrapped(const wxString& label);

#endif

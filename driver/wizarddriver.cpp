#include "driver/wizarddriver.h"

#include "app/app.h"
#include "app/frame.h"
#include "app/ids.h"
#include "app/transparentstatictext.h"
#include "sync/connectingthread.h"
#include "sync/syncevents.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/fileconf.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/textctrl.h>

#include <chrono>
#include <mutex>

namespace
{

class DriverApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

// The loop the pumps run; the toolkit's main loop never runs.
std::unique_ptr<wxEventLoopBase> g_loop;
bool g_started = false;

const std::map<int, wxString> kNoTexts;

} // namespace

// Sees the thread events before the window handles them.
class StepRecorder : public wxEventFilter
{
public:
    StepRecorder() { wxEvtHandler::AddFilter(this); }
    ~StepRecorder() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override
    {
        const wxEventType type = event.GetEventType();
        if (type == EVT_DOWNLOADING || type == EVT_UPLOADING)
        {
            const bool begin = event.GetId() == ID_DOWNLOAD_STEP_BEGIN || event.GetId() == ID_UPLOAD_STEP_BEGIN;
            const auto* thread = static_cast<wxThreadEvent*>(&event);
            std::lock_guard<std::mutex> lock(m_lock);
            if (!m_steps.empty())
                m_steps += ' ';
            m_steps += (type == EVT_DOWNLOADING ? "d" : "u");
            m_steps += begin ? "b" : "e";
            m_steps += std::to_string(thread->GetInt());
        }
        return Event_Skip;
    }
    std::string Steps() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_steps;
    }

private:
    mutable std::mutex m_lock;
    std::string m_steps;
};

bool StartToolkitForDriver()
{
    static const bool started = [] {
        wxApp::SetInstance(new DriverApp);
        static int argc = 1;
        static char name[] = "pontiro-driver";
        static char* argv[] = {name, nullptr};
        if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
            return false;
        // Nobody is there to answer a dialog.
        delete wxLog::SetActiveTarget(new wxLogStderr);
        // The windows come and go; the process ends when its driver says so.
        wxTheApp->SetExitOnFrameDelete(false);
        wxInitAllImageHandlers();
        g_loop.reset(wxTheApp->GetTraits()->CreateEventLoop());
        wxEventLoopBase::SetActive(g_loop.get());
        g_started = true;
        return true;
    }();
    return started;
}

void StopToolkitForDriver()
{
    if (!g_started)
        return;
    g_started = false;
    wxEventLoopBase::SetActive(nullptr);
    g_loop.reset();
    wxTheApp->OnExit();
    wxEntryCleanup();
}

bool RunToolkitUntil(const std::function<bool()>& done, double seconds)
{
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    for (;;)
    {
        // The window system's events, then the toolkit's own: posted events,
        // windows waiting to be deleted, idle time.
        if (g_loop)
            g_loop->Yield(true);
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        if (g_loop)
            g_loop->DispatchTimeout(10);
    }
}

void PumpToolkit(double seconds)
{
    RunToolkitUntil([] { return false; }, seconds);
}

wxString Unwrapped(const wxString& label)
{
    wxString text = label;
    text.Replace(wxT("\n"), wxT(" "));
    return text;
}

PontiroFrameDriver::PontiroFrameDriver(bool show)
    : m_recorder(new StepRecorder)
{
    wxPontiroFrame* frame = CreateProgramWindow();
    m_frame = frame;
    if (show)
    {
        frame->Show(true);
        Pump(0.2);
    }
}

PontiroFrameDriver::~PontiroFrameDriver()
{
    if (m_frame)
    {
        m_frame->Destroy();
        RunUntil([this] { return !m_frame; }, 10);
    }
}

bool PontiroFrameDriver::WaitForPage(int state, double seconds)
{
    return RunUntil([this, state] { return PageState() == state; }, seconds);
}

bool PontiroFrameDriver::WaitForConnection(double seconds)
{
    return RunUntil(
        [this] {
            return PageState() == PAGE_RESULT || (PageState() == PAGE_CONNECTING && IsNextEnabled());
        },
        seconds);
}

// --- what a user does ----------------------------------------------------------

void PontiroFrameDriver::ClickNext()
{
    if (!m_frame)
        return;
    wxCommandEvent click(wxEVT_BUTTON, ID_NEXT);
    click.SetEventObject(m_frame->m_nextButton);
    m_frame->m_nextButton->GetEventHandler()->ProcessEvent(click);
    Pump(0.05);
}

void PontiroFrameDriver::ClickCancel()
{
    if (!m_frame)
        return;
    wxCommandEvent click(wxEVT_BUTTON, ID_CANCEL);
    click.SetEventObject(m_frame->m_cancelButton);
    m_frame->m_cancelButton->GetEventHandler()->ProcessEvent(click);
}

void PontiroFrameDriver::CloseWindow()
{
    if (m_frame)
        m_frame->Close(false);
}

void PontiroFrameDriver::ChooseLanguage(int row)
{
    wxChoice* choice = LanguageChoice();
    if (!choice)
        return;
    choice->SetSelection(row);
    wxCommandEvent chosen(wxEVT_CHOICE, ID_LANGUAGE);
    chosen.SetEventObject(choice);
    chosen.SetInt(row);
    choice->GetEventHandler()->ProcessEvent(chosen);
    Pump(0);
}

void PontiroFrameDriver::SetMemoryCardOption(bool on)
{
    if (m_frame && m_frame->m_memoryCardCheck)
        m_frame->m_memoryCardCheck->SetValue(on);
}

void PontiroFrameDriver::SetFolder(const wxString& folder)
{
    if (m_frame && m_frame->m_folderText)
        m_frame->m_folderText->SetValue(folder);
}

void PontiroFrameDriver::SetContent(bool addressBook, bool speedCams)
{
    if (!m_frame || !m_frame->m_addressBookCheck || !m_frame->m_speedCamCheck)
        return;
    m_frame->m_addressBookCheck->SetValue(addressBook);
    m_frame->m_speedCamCheck->SetValue(speedCams);
    wxCommandEvent click(wxEVT_CHECKBOX, ID_CONTENT_CHECK);
    click.SetEventObject(m_frame->m_speedCamCheck);
    m_frame->m_speedCamCheck->GetEventHandler()->ProcessEvent(click);
}

void PontiroFrameDriver::SetLogin(const wxString& email, const wxString& password)
{
    if (!m_frame || !m_frame->m_emailText || !m_frame->m_passwordText)
        return;
    m_frame->m_emailText->SetValue(email);
    m_frame->m_passwordText->SetValue(password);
}

void PontiroFrameDriver::PostConnectResult(int serial)
{
    if (!m_frame)
        return;
    auto* event = new wxThreadEvent(EVT_CONNECTING, ID_CONNECT_DONE);
    event->SetInt(serial);
    wxQueueEvent(m_frame.get(), event);
    Pump(0.1);
}

// --- what the window holds ------------------------------------------------------

bool PontiroFrameDriver::IsOpen() const
{
    return m_frame && !m_frame->IsBeingDeleted();
}

int PontiroFrameDriver::PageState() const
{
    return m_frame ? m_frame->m_pageState : -1;
}

int PontiroFrameDriver::ResultCode() const
{
    return m_frame ? m_frame->m_resultCode : -1;
}

int PontiroFrameDriver::DeviceKind() const
{
    return m_frame ? m_frame->m_deviceKind : -1;
}

int PontiroFrameDriver::LanguageIndex() const
{
    return m_frame ? m_frame->m_languageIndex : -1;
}

wxString PontiroFrameDriver::Title() const
{
    return m_frame ? Unwrapped(m_frame->m_titleText->GetLabel()) : wxString();
}

wxString PontiroFrameDriver::Message() const
{
    return m_frame && m_frame->m_messageText ? Unwrapped(m_frame->m_messageText->GetLabel()) : wxString();
}

wxString PontiroFrameDriver::NextLabel() const
{
    return m_frame ? m_frame->m_nextButton->GetLabel() : wxString();
}

bool PontiroFrameDriver::IsNextEnabled() const
{
    return m_frame && m_frame->m_nextButton->IsEnabled();
}

bool PontiroFrameDriver::IsCancelEnabled() const
{
    return m_frame && m_frame->m_cancelButton->IsEnabled();
}

bool PontiroFrameDriver::IsTimerRunning() const
{
    return m_frame && m_frame->m_timer.IsRunning();
}

wxString PontiroFrameDriver::Email() const
{
    return m_frame ? m_frame->m_email : wxString();
}

wxString PontiroFrameDriver::Password() const
{
    return m_frame ? m_frame->m_password : wxString();
}

wxString PontiroFrameDriver::EmailField() const
{
    return m_frame && m_frame->m_emailText ? m_frame->m_emailText->GetValue() : wxString();
}

wxString PontiroFrameDriver::PasswordField() const
{
    return m_frame && m_frame->m_passwordText ? m_frame->m_passwordText->GetValue() : wxString();
}

bool PontiroFrameDriver::AddressBookSelected() const
{
    return m_frame && m_frame->m_addressBookSelected;
}

bool PontiroFrameDriver::SpeedCamSelected() const
{
    return m_frame && m_frame->m_speedCamSelected;
}

bool PontiroFrameDriver::SecondSpeedCamFile() const
{
    return m_frame && m_frame->m_secondSpeedCamFile;
}

bool PontiroFrameDriver::UseMemoryCard() const
{
    return m_frame && m_frame->m_useMemoryCard;
}

bool PontiroFrameDriver::UseProxy() const
{
    return m_frame && m_frame->m_useProxy;
}

wxString PontiroFrameDriver::ProxyHost() const
{
    return m_frame ? m_frame->m_proxyHost : wxString();
}

int PontiroFrameDriver::ProxyPort() const
{
    return m_frame ? m_frame->m_proxyPort : -1;
}

const std::map<int, wxString>& PontiroFrameDriver::HostNames() const
{
    return m_frame ? m_frame->m_hostNames : kNoTexts;
}

const std::map<int, wxString>& PontiroFrameDriver::Urls() const
{
    return m_frame ? m_frame->m_urls : kNoTexts;
}

const std::map<int, wxString>& PontiroFrameDriver::Dirs() const
{
    return m_frame ? m_frame->m_dirs : kNoTexts;
}

const std::map<int, wxString>& PontiroFrameDriver::FileNames() const
{
    return m_frame ? m_frame->m_fileNames : kNoTexts;
}

const std::map<int, wxString>& PontiroFrameDriver::DownloadTexts() const
{
    return m_frame ? m_frame->m_downloadTexts : kNoTexts;
}

const std::map<int, wxString>& PontiroFrameDriver::UploadTexts() const
{
    return m_frame ? m_frame->m_uploadTexts : kNoTexts;
}

int PontiroFrameDriver::ConnectSerial() const
{
    return m_frame && m_frame->m_connectingThread ? m_frame->m_connectingThread->GetSerial() : 0;
}

std::string PontiroFrameDriver::Steps() const
{
    return m_recorder->Steps();
}

wxBoxSizer* PontiroFrameDriver::ContentSizer() const
{
    return m_frame ? m_frame->m_contentSizer : nullptr;
}

CTransparentStaticText* PontiroFrameDriver::TitleText() const
{
    return m_frame ? m_frame->m_titleText : nullptr;
}

CTransparentStaticText* PontiroFrameDriver::MessageText() const
{
    return m_frame ? m_frame->m_messageText : nullptr;
}

wxButton* PontiroFrameDriver::NextButton() const
{
    return m_frame ? m_frame->m_nextButton : nullptr;
}

wxButton* PontiroFrameDriver::CancelButton() const
{
    return m_frame ? m_frame->m_cancelButton : nullptr;
}

wxChoice* PontiroFrameDriver::LanguageChoice() const
{
    return m_frame ? m_frame->m_languageChoice : nullptr;
}

wxCheckBox* PontiroFrameDriver::MemoryCardCheck() const
{
    return m_frame ? m_frame->m_memoryCardCheck : nullptr;
}

wxTextCtrl* PontiroFrameDriver::FolderText() const
{
    return m_frame ? m_frame->m_folderText : nullptr;
}

wxButton* PontiroFrameDriver::BrowseButton() const
{
    return m_frame ? m_frame->m_browseButton : nullptr;
}

wxGauge* PontiroFrameDriver::Gauge() const
{
    return m_frame ? m_frame->m_gauge : nullptr;
}

wxCheckBox* PontiroFrameDriver::SpeedCamCheck() const
{
    return m_frame ? m_frame->m_speedCamCheck : nullptr;
}

wxCheckBox* PontiroFrameDriver::AddressBookCheck() const
{
    return m_frame ? m_frame->m_addressBookCheck : nullptr;
}

wxTextCtrl* PontiroFrameDriver::EmailText() const
{
    return m_frame ? m_frame->m_emailText : nullptr;
}

wxTextCtrl* PontiroFrameDriver::PasswordText() const
{
    return m_frame ? m_frame->m_passwordText : nullptr;
}

void PontiroFrameDriver::SetDeviceKind(int kind)
{
    if (m_frame)
        m_frame->m_deviceKind = kind;
}

wxFileConfig* PontiroFrameDriver::Configuration() const
{
    return m_frame ? m_frame->m_config.get() : nullptr;
}

bool PontiroFrameDriver::SaveScreenshot(const wxString& fileName)
{
    if (!m_frame)
        return false;
    m_frame->Refresh();
    m_frame->Update();
    Pump(0.3);
    const wxSize size = m_frame->GetClientSize();
    wxBitmap picture(size.GetWidth(), size.GetHeight());
    wxMemoryDC memory(picture);
    wxClientDC window(m_frame.get());
    memory.Blit(0, 0, size.GetWidth(), size.GetHeight(), &window, 0, 0);
    memory.SelectObject(wxNullBitmap);
    return picture.SaveFile(fileName, wxBITMAP_TYPE_PNG);
}

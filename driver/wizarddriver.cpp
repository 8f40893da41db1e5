#include "driver/wizarddriver.h"

#include "app/frame.h"
#include "app/ids.h"
#include "app/transparentstatictext.h"
#include "sync/connectingthread.h"
#include "sync/syncevents.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/image.h>
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

// The loop the driver runs while it waits; created once.
wxEventLoopBase* DriverLoop()
{
    static wxEventLoopBase* loop = [] {
        wxEventLoopBase* created = wxTheApp->GetTraits()->CreateEventLoop();
        wxEventLoopBase::SetActive(created);
        return created;
    }();
    return loop;
}

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
    static bool started = [] {
        wxApp::SetInstance(new DriverApp);
        static int argc = 1;
        static char name[] = "pontiro-driver";
        static char* argv[] = {name, nullptr};
        if (!wxEntryStart(argc, argv))
            return false;
        wxTheApp->CallOnInit();
        wxInitAllImageHandlers();
        return true;
    }();
    return started;
}

wxString Unwrapped(const wxString& label)
{
    wxString text = label;
    text.Replace(wxT("\n"), wxT(" "));
    return text;
}

PontiroFrameDriver::PontiroFrameDriver()
    : m_recorder(new StepRecorder)
{
    auto* frame = new wxPontiroFrame(nullptr, "Pontiro 2.5");
    frame->Show(true);
    m_frame = frame;
    Pump(0.2);
}

PontiroFrameDriver::~PontiroFrameDriver()
{
    if (m_frame)
    {
        m_frame->Destroy();
        RunUntil([this] { return !m_frame; }, 10);
    }
}

bool PontiroFrameDriver::RunUntil(const std::function<bool()>& done, double seconds)
{
    wxEventLoopBase* loop = DriverLoop();
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    for (;;)
    {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        loop->DispatchTimeout(10);
    }
}

bool PontiroFrameDriver::WaitForPage(int state, double seconds)
{
    return RunUntil([this, state] { return m_frame && m_frame->m_pageState == state; }, seconds);
}

bool PontiroFrameDriver::WaitForConnection(double seconds)
{
    return RunUntil(
        [this] {
            return m_frame && (m_frame->m_pageState == PAGE_RESULT ||
                               (m_frame->m_pageState == PAGE_CONNECTING && m_frame->m_nextButton->IsEnabled()));
        },
        seconds);
}

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

wxString PontiroFrameDriver::Email() const
{
    return m_frame && m_frame->m_emailText ? m_frame->m_emailText->GetValue() : wxString();
}

wxString PontiroFrameDriver::Password() const
{
    return m_frame && m_frame->m_passwordText ? m_frame->m_passwordText->GetValue() : wxString();
}

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

int PontiroFrameDriver::ConnectSerial() const
{
    return m_frame && m_frame->m_connectingThread ? m_frame->m_connectingThread->GetSerial() : 0;
}

std::string PontiroFrameDriver::Steps() const
{
    return m_recorder->Steps();
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

// The connection's and the run's events, the timer, and the release of what
// the worker threads use.
#include "app/dialogs.h"
#include "app/frame.h"
#include "app/transparentstatictext.h"

#include "device/vdxrdevrapi.h"
#include "http/httpbuilder.h"
#include "sync/connectingthread.h"
#include "sync/downloadingthread.h"
#include "sync/serverprotocol.h"
#include "sync/syncdefs.h"
#include "sync/uploadingthread.h"

#include <wx/button.h>
#include <wx/event.h>
#include <wx/gauge.h>
#include <wx/intl.h>
#include <wx/platinfo.h>
#include <wx/socket.h>
#include <wx/textctrl.h>

#include <cmath>
#include <cstdint>
#include <utility>

namespace
{

// Decimal megabytes with one decimal in the language's own mark, "12.3 MB"
// or "12,3 MB" (taken from the language, not the system's locale, which may
// not exist for it), joined by a no-break space so the wrapping keeps the
// unit with its number. What is needed rounds up and what is free rounds
// down, so the two never read as if they fitted.
wxString Megabytes(std::uint64_t bytes, bool roundUp, char decimalMark)
{
    const double tenths = static_cast<double>(bytes) / 100000.0;
    wxString number = wxString::FromCDouble((roundUp ? std::ceil(tenths) : std::floor(tenths)) / 10.0, 1);
    number.Replace(wxS("."), wxString(decimalMark));
    return number + wxUniChar(0x00A0) + wxS("MB");
}

} // namespace

// Every thread is stopped and joined before what it borrows goes: a stop
// cuts off a stalled transfer, so none of these waits long.
void FrameDeleter::operator()(VDXRDEV* device) const
{
    delete device;
}

void FrameDeleter::operator()(wxHTTPBuilder* request) const
{
    delete request;
}

void FrameDeleter::operator()(CONNECTINGTHREAD* thread) const
{
    thread->RequestCancel();
    thread->Wait();
    delete thread;
}

void FrameDeleter::operator()(DOWNLOADINGTHREAD* thread) const
{
    thread->RequestStop();
    thread->Wait();
    delete thread;
}

void FrameDeleter::operator()(UPLOADINGTHREAD* thread) const
{
    // The file being written is finished (or replaced atomically) first.
    thread->RequestStop();
    thread->Wait();
    delete thread;
}

void wxPontiroFrame::StopWorkers()
{
    m_connectingThread.reset();
    m_uploadThread.reset();
    m_downloadThread.reset();
    m_request.reset();
    m_device.reset();
}

void wxPontiroFrame::StopRequest()
{
    if (m_request)
        m_request->RequestStop();
    // Closing must not wait for a stalled transfer.
    if (m_downloadThread)
        m_downloadThread->RequestStop();
}

void wxPontiroFrame::StartRun()
{
    if (!m_emailText || !m_passwordText)
        return;
    const bool loginComplete = !m_emailText->GetValue().empty() && !m_passwordText->GetValue().empty();
    if (!loginComplete && (m_addressBookSelected || m_deviceKind == DEVICE_KIND_TARVIK))
    {
        PontiroMessageBox(_("Your login or password is missing."), _("Kelvo synchronization"),
                          wxOK | wxICON_EXCLAMATION, nullptr);
        return;
    }
    m_email = m_emailText->GetValue();
    m_password = m_passwordText->GetValue();

    m_pageState = PAGE_UPDATING;
    SetTitleText(_("Updating from Kelvonet"));
    ClearPage();
    ShowUpdatingPage();
    m_nextButton->Disable();
    m_timer.Start(kTimerPeriodMs, wxTIMER_CONTINUOUS);
    StartDownload();
    SaveConfiguration();
}

bool wxPontiroFrame::StartDownload()
{
    // The previous run's thread has ended with its final event.
    m_downloadThread.reset();
    // Sockets are set up on the main thread before a worker uses one.
    if (!wxSocketBase::IsInitialized())
        wxSocketBase::Initialize();
    m_request.reset(new wxHTTPBuilder);
    m_request->InitMimeTypes();

    // The system's setting replaces the configured proxy for this run.
    const ProxySetting proxy = DiscoverProxy();
    m_useProxy = proxy.enabled;
    if (proxy.enabled)
    {
        m_proxyHost = proxy.host;
        m_proxyPort = proxy.port;
    }
    ApplyProxy(*m_request, proxy);

    // Every buffer exists before the thread gets their addresses.
    for (int key : {CONTENT_ADDRESSBOOK, CONTENT_SPEEDCAM, CONTENT_SPEEDCAM_V2})
        m_contentBuffers[key];

    std::unique_ptr<DOWNLOADINGTHREAD, FrameDeleter> thread(new DOWNLOADINGTHREAD(m_request.get()));
    if (m_addressBookSelected)
        thread->SetJob1(ComposeRequestUrl(m_hostNames[CONTENT_ADDRESSBOOK], m_urls[CONTENT_ADDRESSBOOK],
                                          AddressBookPath(m_email, m_password)),
                        &m_contentBuffers[CONTENT_ADDRESSBOOK]);
    if (m_speedCamSelected)
        thread->SetJob2(ComposeRequestUrl(m_hostNames[CONTENT_SPEEDCAM], m_urls[CONTENT_SPEEDCAM],
                                          SpeedCamPath(m_deviceKind)),
                        &m_contentBuffers[CONTENT_SPEEDCAM]);
    if (m_secondSpeedCamFile)
        thread->SetJob3(ComposeRequestUrl(m_hostNames[CONTENT_SPEEDCAM], m_urls[CONTENT_SPEEDCAM],
                                          SecondSpeedCamPath()),
                        &m_contentBuffers[CONTENT_SPEEDCAM_V2]);
    thread->SetFrame(this);
    if (thread->Run() != wxTHREAD_NO_ERROR)
    {
        delete thread.release(); // never ran: nothing to join
        m_request.reset();
        m_timer.Stop();
        ShowNoInternetPage();
        return false;
    }
    m_downloadThread = std::move(thread);
    return true;
}

void wxPontiroFrame::StartUpload()
{
    m_uploadThread.reset();
    // The downloaded bytes move on to the upload thread; nothing else
    // reads them after the download.
    auto* device = dynamic_cast<VDXRDEVRAPI*>(m_device.get());
    std::unique_ptr<UPLOADINGTHREAD, FrameDeleter> thread;
    if (device)
    {
        thread.reset(new UPLOADINGTHREAD(device));
        if (m_addressBookSelected)
            thread->SetJob1(m_dirs[CONTENT_ADDRESSBOOK], m_fileNames[CONTENT_ADDRESSBOOK],
                            std::move(m_contentBuffers[CONTENT_ADDRESSBOOK]));
        if (m_speedCamSelected)
            thread->SetJob2(m_dirs[CONTENT_SPEEDCAM],
                            m_fileNames[m_deviceKind == DEVICE_KIND_TARVIK ? CONTENT_SPEEDCAM_STATIC
                                                                           : CONTENT_SPEEDCAM],
                            std::move(m_contentBuffers[CONTENT_SPEEDCAM]));
        if (m_secondSpeedCamFile)
            thread->SetJob3(m_dirs[CONTENT_SPEEDCAM], m_fileNames[CONTENT_SPEEDCAM_V2],
                            std::move(m_contentBuffers[CONTENT_SPEEDCAM_V2]));
        thread->SetFrame(this);
    }
    if (!thread || thread->Run() != wxTHREAD_NO_ERROR)
    {
        delete thread.release(); // never ran: nothing to join
        ShowUpdateFailedPage();
        return;
    }
    m_uploadThread = std::move(thread);
}

void wxPontiroFrame::OnTimer(wxTimerEvent&)
{
    if (IsBeingDeleted())
        return;
    if (m_pageState == PAGE_UPDATING)
    {
        if (m_gauge)
            m_gauge->Pulse();
        return;
    }
    if (m_pageState != PAGE_CONNECTING)
        return;

    ++m_connectTicks;
    if (m_connectTicks < kConnectTickLimit)
    {
        if (m_gauge)
            m_gauge->SetValue(m_connectTicks);
        return;
    }
    m_timer.Stop();
    if (m_connectingThread)
        m_connectingThread->RequestCancel();
    // Without ActiveSync (major version 6 of the system, or not Windows) the
    // memory-card reader is the other way in.
#ifdef __WINDOWS__
    const bool suggestCard = wxPlatformInfo::Get().GetOSMajorVersion() == 6;
#else
    const bool suggestCard = true;
#endif
    ShowResultPage(_("Device not found"),
                   suggestCard ? _("Pontiro has not found any connected device. Please check the connection. You can also make the update via your memory card reader.")
                               : _("Pontiro has not found any connected device or you have a problem with ActiveSync. Please check the connection!"),
                   RESULT_DEVICE_NOT_FOUND, true);
}

void wxPontiroFrame::OnConnectDone(wxThreadEvent& event)
{
    // A result after the timeout page, or of a thread a retry has replaced,
    // is not this connection's: it must not touch the page or the thread.
    if (IsBeingDeleted() || m_pageState != PAGE_CONNECTING || !m_connectingThread ||
        event.GetInt() != m_connectingThread->GetSerial())
        return;
    m_timer.Stop();
    if (!m_connectingThread->IsRecognised())
    {
        ShowResultPage(_("Invalid device"), _("Your device is not a valid Kelvo device."),
                       RESULT_INVALID_DEVICE, true);
        return;
    }
    if (!m_connectingThread->IsFolderFound())
    {
        ShowResultPage(_("Invalid device"),
                       _("Pontiro does not found any connected device with Kelvo navigation software. Is your storage card inserted into your device?"),
                       RESULT_INVALID_DEVICE, true);
        return;
    }
    if (m_gauge)
        m_gauge->SetValue(m_gauge->GetRange());
    m_nextButton->Enable();
    m_deviceKind = m_connectingThread->GetDeviceKind();
    if (m_messageText)
        m_messageText->SetLabel(m_deviceKind == DEVICE_KIND_TARVIK
                                    ? _("Your Tarvik connected successfully.")
                                    : _("Your Oselan connected successfully."));
}

// Both runs start a step the same way: an empty gauge and the step's text.
void wxPontiroFrame::BeginStep(int step, std::map<int, wxString>& texts)
{
    if (IsBeingDeleted() || !m_gauge)
        return;
    m_gauge->SetValue(0);
    if (!m_messageText)
        return;
    if (step == STEP_JOB1)
        m_messageText->SetLabel(texts[CONTENT_ADDRESSBOOK]);
    else if (step == STEP_JOB2)
        m_messageText->SetLabel(texts[CONTENT_SPEEDCAM]);
}

void wxPontiroFrame::OnDownloadStepBegin(wxThreadEvent& event)
{
    BeginStep(event.GetInt(), m_downloadTexts);
}

void wxPontiroFrame::OnDownloadStepEnd(wxThreadEvent& event)
{
    if (IsBeingDeleted())
        return;
    if (m_gauge)
        m_gauge->SetValue(m_gauge->GetRange());
    const int step = event.GetInt();
    if (step != STEP_FINISHED && step != STEP_FAILED)
        return;
    if (!m_downloadThread)
        return;

    if (step == STEP_FINISHED && m_downloadThread->IsDone())
    {
        m_request.reset();
        StartUpload();
        return;
    }
    switch (m_downloadThread->GetError())
    {
    case DOWNLOAD_ERR_LOGIN:
        ShowResultPage(_("Login not successful"), _("Your login and password do not match. Please try again."),
                       RESULT_LOGIN_REFUSED, true);
        break;
    case DOWNLOAD_ERR_HTTP:
        ShowResultPage(_("Communication problem"), _("Synchronization tool could not connect to the server."),
                       RESULT_SERVER_PROBLEM, false);
        break;
    default:
        ShowNoInternetPage();
        break;
    }
    m_request.reset();
    m_timer.Stop();
}

void wxPontiroFrame::OnUploadStepBegin(wxThreadEvent& event)
{
    BeginStep(event.GetInt(), m_uploadTexts);
}

void wxPontiroFrame::OnUploadStepEnd(wxThreadEvent& event)
{
    if (IsBeingDeleted())
        return;
    if (m_gauge)
        m_gauge->SetValue(m_gauge->GetRange());
    const int step = event.GetInt();
    if ((step != STEP_FINISHED && step != STEP_FAILED) || !m_uploadThread)
        return;
    if (step == STEP_FINISHED && m_uploadThread->IsDone())
    {
        ShowDonePage();
        return;
    }
    // A run the device had no room for touched nothing; the sizes tell the
    // user how much to free.
    if (m_uploadThread->IsShortOfRoom())
    {
        const char mark = g_languages[m_languageIndex].decimalMark;
        ShowResultPage(_("Synchronization not successful"),
                       wxString::Format(_("There is not enough free space on the device: %s are needed, %s are free."),
                                        Megabytes(m_uploadThread->GetRoomNeeded(), true, mark),
                                        Megabytes(m_uploadThread->GetRoomFree(), false, mark)),
                       RESULT_UPDATE_FAILED, false);
        return;
    }
    ShowUpdateFailedPage();
}

// The Next-button flow between the pages and the start of a connection.
#include "app/dialogs.h"
#include "app/frame.h"

#include "device/vdxrdevcard.h"
#include "device/vdxrdevrapi.h"
#include "sync/cardroot.h"
#include "sync/connectingthread.h"
#include "sync/navfolder.h"
#include "sync/syncdefs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dirdlg.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/textctrl.h>

bool g_firstStart = true;

void wxPontiroFrame::OnNext(wxCommandEvent&)
{
    // Only a click on an enabled button moves the wizard.
    if (!m_nextButton->IsEnabled() || IsBeingDeleted())
        return;
    switch (m_pageState)
    {
    case PAGE_WELCOME:
        StartConnection();
        break;
    case PAGE_MEMORY_CARD:
        ConnectMemoryCard();
        break;
    case PAGE_CONNECTING:
        OpenLoginPage();
        break;
    case PAGE_LOGIN:
        StartRun();
        break;
    case PAGE_DONE:
        Close(false);
        break;
    case PAGE_RESULT:
        switch (m_resultCode)
        {
        case RESULT_INVALID_DEVICE:
        case RESULT_DEVICE_NOT_FOUND:
            RetryConnection();
            break;
        case RESULT_LOGIN_REFUSED:
        case RESULT_NO_INTERNET:
            OpenLoginPage();
            break;
        default:
            Close(false);
            break;
        }
        break;
    default:
        break;
    }
}

void wxPontiroFrame::OnContentCheck(wxCommandEvent&)
{
    if (!m_addressBookCheck || !m_speedCamCheck)
        return;
    m_addressBookSelected = m_addressBookCheck->GetValue();
    const bool loginNeeded = m_addressBookSelected || m_deviceKind == DEVICE_KIND_TARVIK;
    if (m_emailText)
        m_emailText->Enable(loginNeeded);
    if (m_passwordText)
        m_passwordText->Enable(loginNeeded);
    m_speedCamSelected = m_speedCamCheck->GetValue();
    m_secondSpeedCamFile = m_speedCamSelected && m_deviceKind == DEVICE_KIND_OSELAN;
    m_nextButton->Enable(m_speedCamSelected || m_addressBookSelected);
}

void wxPontiroFrame::OnBrowse(wxCommandEvent&)
{
    const wxString folder = PontiroDirSelector(_("Select Kelvo Direcotry on your memory card"),
                                               wxEmptyString, wxDD_DIR_MUST_EXIST, nullptr);
    if (m_folderText)
        m_folderText->SetValue(folder);
}

void wxPontiroFrame::BeginConnecting()
{
    EndConnecting();
    std::unique_ptr<CONNECTINGTHREAD, FrameDeleter> thread(new CONNECTINGTHREAD(m_device.get()));
    thread->SetFrame(this);
    // A thread that cannot start ends like a device that never answers:
    // the timer runs out.
    if (thread->Run() == wxTHREAD_NO_ERROR)
        m_connectingThread = std::move(thread);
    else
        delete thread.release(); // never ran: nothing to join
    m_timer.Start(kTimerPeriodMs, wxTIMER_CONTINUOUS);
}

void wxPontiroFrame::EndConnecting()
{
    // The deleter asks the thread to stop and waits for it (at most the
    // connection attempt under way), so that its device can go.
    m_connectingThread.reset();
}

void wxPontiroFrame::StartConnection()
{
    if (g_firstStart || m_resultCode == RESULT_DEVICE_NOT_FOUND)
    {
        if (m_memoryCardCheck)
            m_useMemoryCard = m_memoryCardCheck->GetValue();
        g_firstStart = false;
    }
    ClearPage();
    if (m_useMemoryCard)
    {
        m_pageState = PAGE_MEMORY_CARD;
        SetTitleText(wxString());
        ShowMemoryCardPage();
        return;
    }

    m_connectTicks = 0;
    EndConnecting();
    m_device.reset(new VDXRDEVRAPI);
    BeginConnecting();

    m_pageState = PAGE_CONNECTING;
    SetTitleText(_("Connecting to Kelvo navigation device"));
    ShowConnectingPage();
}

void wxPontiroFrame::ConnectMemoryCard()
{
    if (!m_folderText)
        return;
    wxString folder = m_folderText->GetValue();
    if (!folder.EndsWith(wxT("/")))
        folder += wxT("/");

    CardLocation card;
    if (!wxFileName::FileExists(folder + wxT("license.db")) || !LocateCard(folder, card))
    {
        PontiroMessageBox(_("The selected directory does not seem to be a valid Kelvo directory."),
                          _("Browse Kelvo Directory"), wxOK, this);
        return;
    }

    g_navFolder = card.navFolder;
    m_connectTicks = 0;
    EndConnecting();
#ifdef __WINDOWS__
    m_device.reset(new VDXRDEVCARD(card.root[0]));
#else
    m_device.reset(new VDXRDEVCARD(card.root));
#endif
    BeginConnecting();

    ClearPage();
    m_pageState = PAGE_CONNECTING;
    SetTitleText(_("Connecting..."));
    ShowConnectingPage();
}

void wxPontiroFrame::OpenLoginPage()
{
    m_pageState = PAGE_LOGIN;
    SetTitleText(_("Enter login and password"));
    ClearPage();
    // After a Retry the button goes on with the run again.
    m_nextButton->SetLabel(_("Next"));
    m_nextButton->Enable(m_addressBookSelected || m_speedCamSelected);
    ShowLoginPage();
    Layout();
}

void wxPontiroFrame::RetryConnection()
{
    EndConnecting();
    m_device.reset();
    m_nextButton->SetLabel(_("Next"));
    Layout();
    StartConnection();
}

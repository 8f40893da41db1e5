#include "sync/connectingthread.h"

#include "device/vdxrdev.h"
#include "sync/navfolder.h"
#include "sync/syncdefs.h"
#include "sync/syncevents.h"

#include <atomic>
#include <chrono>

namespace
{

const long kRetryDelayMs = 300;

int NextSerial()
{
    static std::atomic<int> serial{0};
    return ++serial;
}

} // namespace

int RecogniseMapExtra(const wxString& mapExtra)
{
    if (!mapExtra.StartsWith(wxT("KELVO")) && !mapExtra.StartsWith(wxT("Kelvo")))
        return DEVICE_KIND_NONE;
    static const wxChar* const kTarvikMarkers[] = {wxT("KELVO7070"), wxT("Kelvo7070"), wxT("Kelvo5020"),
                                                   wxT("KelvoRT42B8")};
    for (const wxChar* marker : kTarvikMarkers)
    {
        if (mapExtra.StartsWith(marker))
            return DEVICE_KIND_TARVIK;
    }
    return DEVICE_KIND_OSELAN;
}

CONNECTINGTHREAD::CONNECTINGTHREAD(VDXRDEV* device)
    : wxThread(wxTHREAD_JOINABLE),
      m_device(device),
      m_recognised(false),
      m_folderFound(false),
      m_deviceKind(DEVICE_KIND_NONE),
      m_frame(nullptr),
      m_cancelRequested(false),
      m_serial(NextSerial())
{
}

CONNECTINGTHREAD::~CONNECTINGTHREAD() = default;

void CONNECTINGTHREAD::RequestCancel()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_cancelRequested = true;
    }
    m_cancelled.notify_all();
}

bool CONNECTINGTHREAD::PauseUntilCancelled(long milliseconds)
{
    // Closing the window joins this thread: a pause that ran its full
    // length would hold the close up by as much.
    std::unique_lock<std::mutex> lock(m_lock);
    return m_cancelled.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this] { return m_cancelRequested; });
}

wxThread::ExitCode CONNECTINGTHREAD::Entry()
{
    if (!m_device)
        return 0;
    // A cancel that came before the thread ran still counts: the window may
    // give up on a connection before its thread has started.
    while (!m_device->Connect())
    {
        if (PauseUntilCancelled(kRetryDelayMs))
            return 0;
    }
    RecogniseModel();
    if (m_recognised)
        LocateNavFolder();
    if (m_frame)
    {
        auto* event = new wxThreadEvent(EVT_CONNECTING, ID_CONNECT_DONE);
        event->SetInt(m_serial);
        wxQueueEvent(m_frame, event);
    }
    return 0;
}

void CONNECTINGTHREAD::RecogniseModel()
{
    m_recognised = false;
    if (!m_device)
        return;
    const int kind = RecogniseMapExtra(m_device->GetMapExtra());
    if (kind == DEVICE_KIND_NONE)
        return;
    m_deviceKind = kind;
    m_recognised = true;
}

void CONNECTINGTHREAD::LocateNavFolder()
{
    m_folderFound = false;
    if (!m_device)
        return;
    if (m_device->FileExists(ToDevicePath(g_navFolder + wxT("license.db"))))
    {
        m_folderFound = true;
        return;
    }
    if (m_deviceKind != DEVICE_KIND_TARVIK)
        return;
    g_navFolder = kNavFolderTarvik;
    m_folderFound = m_device->FileExists(ToDevicePath(g_navFolder + wxT("license.db")));
}

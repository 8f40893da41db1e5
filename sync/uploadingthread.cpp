#include "sync/uploadingthread.h"

#include "device/vdxrdevrapi.h"
#include "sync/navfolder.h"
#include "sync/syncdefs.h"
#include "sync/syncevents.h"

#include <utility>

UPLOADINGTHREAD::UPLOADINGTHREAD(VDXRDEVRAPI* device)
    : JobThread(EVT_UPLOADING, ID_UPLOAD_STEP_BEGIN, ID_UPLOAD_STEP_END), m_device(device)
{
    if (m_device)
        m_device->SetEventHandler(nullptr);
}

UPLOADINGTHREAD::~UPLOADINGTHREAD() = default;

void UPLOADINGTHREAD::FillSlot(int slot, const wxString& subFolder, const wxString& fileName,
                               std::vector<unsigned char> bytes)
{
    // The device takes "/"-separated paths only; the navigation folder may
    // still be in the backslash form the device itself uses.
    m_folder[slot] = ToDevicePath(g_navFolder + subFolder);
    m_fileName[slot] = fileName;
    m_data[slot] = std::move(bytes);
    SetArmed(slot, !m_data[slot].empty() && !m_folder[slot].empty() && !m_fileName[slot].empty());
}

void UPLOADINGTHREAD::SetJob1(const wxString& subFolder, const wxString& fileName,
                              std::vector<unsigned char> bytes)
{
    FillSlot(0, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetJob2(const wxString& subFolder, const wxString& fileName,
                              std::vector<unsigned char> bytes)
{
    FillSlot(1, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetJob3(const wxString& subFolder, const wxString& fileName,
                              std::vector<unsigned char> bytes)
{
    FillSlot(2, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetFrame(wxEvtHandler* frame)
{
    JobThread::SetFrame(frame);
    if (m_device)
        m_device->SetEventHandler(frame);
}

wxThread::ExitCode UPLOADINGTHREAD::Entry()
{
    if (!m_device)
        return 0;
    const wxString navFolder = ToDevicePath(g_navFolder);
    if (navFolder.empty() || !m_device->Exists(navFolder))
    {
        ReportFailure();
        return 0;
    }
    // Missing sub-folders are made below the navigation folder, which must
    // be there already.
    const int levels = CountPathLevels(navFolder);
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (!IsArmed(slot))
            continue;
        if (IsStopRequested())
            return 0;
        SelectSlot(slot);
        if (!m_device->Exists(m_folder[slot]) && !m_device->CreatePath(m_folder[slot], levels))
        {
            ReportFailure();
            return 0;
        }
        StepBegin();
        if (!m_device->WriteFromMemory(m_data[slot], ToDevicePath(m_folder[slot] + wxT("/") + m_fileName[slot])))
        {
            ReportFailure();
            return 0;
        }
        StepEnd();
    }
    ReportFinished();
    return 0;
}

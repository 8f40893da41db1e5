#include "sync/uploadingthread.h"

#include "device/vdxrdevrapi.h"
#include "sync/navfolder.h"
#include "sync/syncdefs.h"
#include "sync/syncevents.h"

#include <utility>

UPLOADINGTHREAD::UPLOADINGTHREAD(VDXRDEVRAPI* device)
    : wxThread(wxTHREAD_JOINABLE),
      m_device(device),
      m_armed{false, false, false},
      m_done(false),
      m_frame(nullptr),
      m_step(0),
      m_stopRequested(false)
{
    if (m_device)
        m_device->SetEventHandler(nullptr);
}

UPLOADINGTHREAD::~UPLOADINGTHREAD() = default;

void UPLOADINGTHREAD::SetJob(int slot, const wxString& subFolder, const wxString& fileName,
                             std::vector<unsigned char> bytes)
{
    // The device takes "/"-separated paths only; the navigation folder may
    // still be in the backslash form the device itself uses.
    m_folder[slot] = ToDevicePath(g_navFolder + subFolder);
    m_fileName[slot] = fileName;
    m_data[slot] = std::move(bytes);
    m_armed[slot] = !m_data[slot].empty() && !m_folder[slot].empty() && !m_fileName[slot].empty();
}

void UPLOADINGTHREAD::SetJob1(const wxString& subFolder, const wxString& fileName,
                              std::vector<unsigned char> bytes)
{
    SetJob(0, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetJob2(const wxString& subFolder, const wxString& fileName,
                              std::vector<unsigned char> bytes)
{
    SetJob(1, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetJob3(const wxString& subFolder, const wxString& fileName,
                              std::vector<unsigned char> bytes)
{
    SetJob(2, subFolder, fileName, std::move(bytes));
}

void UPLOADINGTHREAD::SetFrame(wxEvtHandler* frame)
{
    m_frame = frame;
    if (m_device)
        m_device->SetEventHandler(frame);
}

void UPLOADINGTHREAD::Post(int id)
{
    if (!m_frame || m_stopRequested)
        return;
    auto* event = new wxThreadEvent(EVT_UPLOADING, id);
    event->SetInt(m_step);
    wxQueueEvent(m_frame, event);
}

void UPLOADINGTHREAD::StepBegin()
{
    m_done = false;
    Post(ID_UPLOAD_STEP_BEGIN);
}

void UPLOADINGTHREAD::StepEnd()
{
    Post(ID_UPLOAD_STEP_END);
    m_done = true;
}

void UPLOADINGTHREAD::ReportFailure()
{
    m_step = STEP_FAILED;
    m_done = false;
    Post(ID_UPLOAD_STEP_END);
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
    static const int steps[3] = {STEP_JOB1, STEP_JOB2, STEP_JOB3};
    for (int slot = 0; slot < 3; ++slot)
    {
        if (!m_armed[slot])
            continue;
        if (m_stopRequested)
            return 0;
        m_step = steps[slot];
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
    m_done = true;
    m_step = STEP_FINISHED;
    Post(ID_UPLOAD_STEP_END);
    return 0;
}

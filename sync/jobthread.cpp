#include "sync/jobthread.h"

#include "sync/syncdefs.h"

namespace
{
const int kSlotSteps[JobThread::kSlotCount] = {STEP_JOB1, STEP_JOB2, STEP_JOB3};
}

JobThread::JobThread(wxEventType type, int beginId, int endId)
    : wxThread(wxTHREAD_JOINABLE),
      m_type(type),
      m_beginId(beginId),
      m_endId(endId),
      m_armed{false, false, false},
      m_done(false),
      m_frame(nullptr),
      m_step(0),
      m_stopRequested(false)
{
}

JobThread::~JobThread() = default;

void JobThread::SelectSlot(int slot)
{
    m_step = kSlotSteps[slot];
}

void JobThread::Post(int id)
{
    if (!m_frame || m_stopRequested)
        return;
    auto* event = new wxThreadEvent(m_type, id);
    event->SetInt(m_step);
    wxQueueEvent(m_frame, event);
}

void JobThread::StepBegin()
{
    m_done = false;
    Post(m_beginId);
}

void JobThread::StepEnd()
{
    Post(m_endId);
    m_done = true;
}

void JobThread::ReportFailure()
{
    ReleaseBorrowed();
    m_step = STEP_FAILED;
    // Cleared before the event goes: the window reads it there.
    m_done = false;
    Post(m_endId);
}

void JobThread::ReportFinished()
{
    ReleaseBorrowed();
    m_done = true;
    m_step = STEP_FINISHED;
    Post(m_endId);
}

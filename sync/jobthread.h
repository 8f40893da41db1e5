// What the download and upload threads share: up to three job slots run in
// order, a step event before and after each slot, one last event, and a
// stop after which nothing more is posted.
#ifndef PONTIRO_SYNC_JOBTHREAD_H
#define PONTIRO_SYNC_JOBTHREAD_H

#include <wx/event.h>
#include <wx/thread.h>

#include <atomic>
#include <cstdint>

class JobThread : public wxThread
{
public:
    static constexpr int kSlotCount = 3;

    ~JobThread() override;

    // The receiver of the step events; borrowed.
    virtual void SetFrame(wxEvtHandler* frame) { m_frame = frame; }

    // True once every armed slot went through; the window reads it when it
    // handles the last event.
    bool IsDone() const { return m_done; }

    // Asks the thread to end soon, from any thread; no further event is
    // posted. The thread looks at IsStopRequested wherever it can end.
    virtual void RequestStop() { m_stopRequested = true; }

protected:
    // Events of `type`: `beginId` before a slot's work, `endId` after it
    // and for the last event.
    JobThread(wxEventType type, int beginId, int endId);

    bool IsStopRequested() const { return m_stopRequested; }
    bool IsArmed(int slot) const { return m_armed[slot]; }
    void SetArmed(int slot, bool armed) { m_armed[slot] = armed; }

    // The events that follow carry this slot's step number.
    void SelectSlot(int slot);
    void StepBegin();
    void StepEnd();
    // The last event: STEP_FAILED, or STEP_FINISHED with IsDone true.
    void ReportFailure();
    void ReportFinished();
    // Called just before the last event; once it is out, the window may
    // delete what it lent the thread.
    virtual void ReleaseBorrowed() {}

private:
    void Post(int id);

    const wxEventType m_type;
    const int m_beginId;
    const int m_endId;
    bool m_armed[kSlotCount];
    std::atomic<bool> m_done;
    wxEvtHandler* m_frame;
    std::int32_t m_step;
    std::atomic<bool> m_stopRequested;
};

#endif

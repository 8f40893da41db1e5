// Fetches the content of a run over HTTP into the window's buffers, one job
// slot after the other, and reports each step with an event.
#ifndef PONTIRO_SYNC_DOWNLOADINGTHREAD_H
#define PONTIRO_SYNC_DOWNLOADINGTHREAD_H

#include <wx/string.h>
#include <wx/thread.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#ifdef __WINDOWS__
// Once in, Windows' headers would rename SetJob to the spooler's SetJobW.
#include <wx/msw/wrapwin.h>
#undef SetJob
#endif

class wxEvtHandler;
class wxHTTPBuilder;
class wxHTTPBuilderStream;

class DOWNLOADINGTHREAD : public wxThread
{
public:
    // The builder and the buffers are borrowed. The buffers must outlive the
    // thread; the builder may go once the last event (STEP_FINISHED or
    // STEP_FAILED) is out, or else once the thread is stopped and joined.
    explicit DOWNLOADINGTHREAD(wxHTTPBuilder* builder);
    ~DOWNLOADINGTHREAD() override;

    void SetJob1(const wxString& url, std::vector<unsigned char>* buffer);
    void SetJob2(const wxString& url, std::vector<unsigned char>* buffer);
    void SetJob3(const wxString& url, std::vector<unsigned char>* buffer);
    void SetFrame(wxEvtHandler* frame) { m_frame = frame; }

    bool IsDone() const { return m_done; }
    std::int32_t GetError() const { return m_error; }

    // Ends the thread soon from any thread: the request in progress is cut
    // off at any stage, even one the server has stalled, and no further
    // event is posted. The builder stays stopped (its stop is for good).
    void RequestStop();

protected:
    ExitCode Entry() override;
    bool Fetch(wxHTTPBuilder* builder, const wxString& url, std::vector<unsigned char>* destination);
    // Reads the body into destination; false (with m_error set) when it was
    // cut short, too large, or the thread was stopped.
    bool ReadBody(wxHTTPBuilderStream* stream, std::vector<unsigned char>* destination);

private:
    void SetJob(int slot, const wxString& url, std::vector<unsigned char>* buffer);
    void Post(int id);
    void StepBegin();
    void StepEnd();
    void ReportFailure();
    // Called before the last event: RequestStop leaves the builder alone
    // from then on.
    void ReleaseBuilder();

    wxHTTPBuilder* m_builder;
    bool m_armed[3];
    wxString m_url[3];
    std::vector<unsigned char>* m_buffer[3];
    bool m_done;
    std::int32_t m_error;
    wxEvtHandler* m_frame;
    std::int32_t m_step;

    std::atomic<bool> m_stopRequested;
    std::mutex m_stoppableLock;
    wxHTTPBuilder* m_stoppable; // the builder while a request may use it
};

// True when the first bytes of an address-book answer hold the server's
// error marker "<Error>".
bool HasLoginErrorMarker(const std::vector<unsigned char>& body);

#endif

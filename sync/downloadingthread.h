// Fetches the content of a run over HTTP into the window's buffers, one job
// slot after the other, and reports each step with an event.
#ifndef PONTIRO_SYNC_DOWNLOADINGTHREAD_H
#define PONTIRO_SYNC_DOWNLOADINGTHREAD_H

#include "device/bytevector.h"
#include "sync/jobthread.h"

#include <wx/string.h>

#include <cstdint>
#include <mutex>
#include <vector>

class wxHTTPBuilder;
class wxHTTPBuilderStream;

class DOWNLOADINGTHREAD : public JobThread
{
public:
    // The builder and the buffers are borrowed. The buffers must outlive the
    // thread; the builder may go once the last event (STEP_FINISHED or
    // STEP_FAILED) is out, or else once the thread is stopped and joined.
    explicit DOWNLOADINGTHREAD(wxHTTPBuilder* builder);
    ~DOWNLOADINGTHREAD() override;

    void SetJob1(const wxString& url, ByteVector* buffer);
    void SetJob2(const wxString& url, ByteVector* buffer);
    void SetJob3(const wxString& url, ByteVector* buffer);

    std::int32_t GetError() const { return m_error; }

    // Also cuts off the request in progress at any stage, even one the
    // server has stalled. The builder stays stopped (its stop is for good).
    void RequestStop() override;

protected:
    ExitCode Entry() override;
    bool Fetch(wxHTTPBuilder* builder, const wxString& url, ByteVector* destination);
    // Reads the body into destination; false (with m_error set) when it was
    // cut short, too large, or the thread was stopped.
    bool ReadBody(wxHTTPBuilderStream* stream, ByteVector* destination);

    // RequestStop leaves the builder alone from then on.
    void ReleaseBorrowed() override;

private:
    // Not SetJob: Windows' headers make that name a macro.
    void FillSlot(int slot, const wxString& url, ByteVector* buffer);

    wxHTTPBuilder* m_builder;
    wxString m_url[kSlotCount];
    ByteVector* m_buffer[kSlotCount];
    std::int32_t m_error;

    std::mutex m_stoppableLock;
    wxHTTPBuilder* m_stoppable; // the builder while a request may use it
};

// True when the first bytes of an address-book answer hold the server's
// error marker "<Error>".
bool HasLoginErrorMarker(const ByteVector& body);

#endif

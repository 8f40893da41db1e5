#include "sync/downloadingthread.h"

#include "device/devicedefs.h"
#include "http/httpbuilder.h"
#include "sync/syncdefs.h"
#include "sync/syncevents.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace
{

// The marker is looked for in the bytes themselves: a window that cuts a
// multi-byte character must not hide it.
const std::size_t kMarkerWindow = 500;
const char kLoginMarker[] = "<Error>";

// The most one read of a body asks for. A read takes the room the buffer
// already has, so a large body arrives in few system calls.
const std::size_t kBodyReadPiece = std::size_t(256) * 1024;

// Makes room for at least `needed` bytes, keeping the content; growing
// doubles, so a body of unknown size costs few moves.
void Grow(ByteVector& bytes, std::size_t needed)
{
    if (bytes.capacity() < needed)
        bytes.reserve(std::max(needed, bytes.capacity() * 2));
}

} // namespace

bool HasLoginErrorMarker(const ByteVector& body)
{
    const std::size_t length = std::min(body.size(), kMarkerWindow);
    const std::size_t markerLength = sizeof(kLoginMarker) - 1;
    const auto end = body.begin() + static_cast<std::ptrdiff_t>(length);
    return length >= markerLength &&
           std::search(body.begin(), end, kLoginMarker, kLoginMarker + markerLength) != end;
}

DOWNLOADINGTHREAD::DOWNLOADINGTHREAD(wxHTTPBuilder* builder)
    : JobThread(EVT_DOWNLOADING, ID_DOWNLOAD_STEP_BEGIN, ID_DOWNLOAD_STEP_END),
      m_builder(builder),
      m_buffer{nullptr, nullptr, nullptr},
      m_error(DOWNLOAD_ERR_NONE),
      m_stoppable(builder)
{
}

DOWNLOADINGTHREAD::~DOWNLOADINGTHREAD() = default;

void DOWNLOADINGTHREAD::FillSlot(int slot, const wxString& url, ByteVector* buffer)
{
    m_url[slot] = url;
    m_buffer[slot] = buffer;
    SetArmed(slot, true);
}

void DOWNLOADINGTHREAD::SetJob1(const wxString& url, ByteVector* buffer)
{
    FillSlot(0, url, buffer);
}

void DOWNLOADINGTHREAD::SetJob2(const wxString& url, ByteVector* buffer)
{
    FillSlot(1, url, buffer);
}

void DOWNLOADINGTHREAD::SetJob3(const wxString& url, ByteVector* buffer)
{
    FillSlot(2, url, buffer);
}

void DOWNLOADINGTHREAD::RequestStop()
{
    JobThread::RequestStop();
    // The builder's stop is the one call it takes from any thread; it ends
    // the request wherever it waits (connect, answer, body).
    std::lock_guard<std::mutex> lock(m_stoppableLock);
    if (m_stoppable)
        m_stoppable->RequestStop();
}

void DOWNLOADINGTHREAD::ReleaseBorrowed()
{
    // Once the last event is out, the window may delete the builder before
    // it stops and joins this thread.
    std::lock_guard<std::mutex> lock(m_stoppableLock);
    m_stoppable = nullptr;
}

wxThread::ExitCode DOWNLOADINGTHREAD::Entry()
{
    if (!m_builder)
        return 0;
    for (int slot = 0; slot < kSlotCount; ++slot)
    {
        if (!IsArmed(slot))
            continue;
        SelectSlot(slot);
        StepBegin();
        if (!Fetch(m_builder, m_url[slot], m_buffer[slot]))
        {
            ReportFailure();
            return 0;
        }
        if (slot == 0 && HasLoginErrorMarker(*m_buffer[slot]))
        {
            m_error = DOWNLOAD_ERR_LOGIN;
            ReportFailure();
            return 0;
        }
        // An empty speed-camera answer is no database: taken as done, the
        // run would end on the done page with nothing written. An empty
        // address book is left to the upload, which keeps the device's.
        if (slot != 0 && m_buffer[slot]->empty())
        {
            m_error = DOWNLOAD_ERR_HTTP;
            ReportFailure();
            return 0;
        }
        StepEnd();
    }
    ReportFinished();
    return 0;
}

bool DOWNLOADINGTHREAD::Fetch(wxHTTPBuilder* builder, const wxString& url,
                              ByteVector* destination)
{
    wxString target = url;
    for (int redirects = 0;; ++redirects)
    {
        if (IsStopRequested())
        {
            m_error = DOWNLOAD_ERR_NO_RESPONSE;
            return false;
        }
        std::unique_ptr<wxHTTPBuilderStream> stream(builder->OpenUrl(target, wxString()));
        if (!stream)
        {
            m_error = DOWNLOAD_ERR_NO_RESPONSE;
            return false;
        }
        const int status = builder->GetResponse();
        if (status == 200)
            return ReadBody(stream.get(), destination);
        if (status != 301 && status != 302)
        {
            m_error = DOWNLOAD_ERR_HTTP;
            return false;
        }
        target = builder->GetHeader(wxT("Location"));
        stream.reset();
        // A redirect loop ends here rather than keep the thread busy.
        if (target.empty() || redirects >= kMaxRedirects)
        {
            m_error = DOWNLOAD_ERR_HTTP;
            return false;
        }
    }
}

bool DOWNLOADINGTHREAD::ReadBody(wxHTTPBuilderStream* stream, ByteVector* destination)
{
    destination->clear();
    const wxUint32 announced = stream->GetContentLength();
    if (announced != wxHTTPBuilderStream::NoLength)
    {
        if (announced > kMaxBodyBytes)
        {
            m_error = DOWNLOAD_ERR_HTTP;
            return false;
        }
        // Known size: one allocation instead of a doubling series.
        Grow(*destination, static_cast<std::size_t>(announced) + kTransferChunk);
    }

    // Each read fills the room there is, at least one chunk and at most a
    // piece; the first read that comes short ends the body.
    std::size_t count = 0;
    std::size_t wanted = 0;
    std::size_t last = 0;
    do
    {
        if (count > kMaxBodyBytes)
        {
            destination->clear();
            m_error = DOWNLOAD_ERR_HTTP;
            return false;
        }
        Grow(*destination, count + kTransferChunk);
        wanted = std::min(destination->capacity() - count, kBodyReadPiece);
        destination->resize(count + wanted);
        stream->Read(destination->data() + count, wanted);
        last = stream->LastRead();
        count += last;
    } while (last == wanted);
    destination->resize(count);

    // An interrupted transfer is not the content: nothing of it may reach
    // the device. A body past the limit is refused the same way.
    if (IsStopRequested() || stream->IsCut())
    {
        destination->clear();
        m_error = DOWNLOAD_ERR_NO_RESPONSE;
        return false;
    }
    if (count > kMaxBodyBytes)
    {
        destination->clear();
        m_error = DOWNLOAD_ERR_HTTP;
        return false;
    }
    return true;
}

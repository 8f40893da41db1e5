#include "tests/http/wxsockets.h"

#include "http/socketport.h"

#include <wx/init.h>
#include <wx/log.h>
#include <wx/socket.h>

#include <memory>

namespace
{

#ifdef _WIN32
// Drops the toolkit's complaint that its sockets could not start (see
// below), which it repeats for every socket made on the main thread; every
// other message goes on to the log target that was in place.
class QuietSocketStartup : public wxLog
{
public:
    explicit QuietSocketStartup(wxLog* next) : m_next(next) {}

protected:
    void DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo& info) override
    {
        if (m_next && message != "Cannot initialize sockets")
            m_next->LogRecord(level, message, info);
    }

private:
    std::unique_ptr<wxLog> m_next;
};
#endif

} // namespace

void InitWxSocketsForTests()
{
    static std::unique_ptr<wxInitializer> initializer;
    if (initializer)
        return;
    initializer.reset(new wxInitializer);
#ifdef _WIN32
    // The toolkit's socket start-up on Windows needs a hidden window, which
    // Wine without a display (how the unit tests run) cannot make. The
    // builder's own sockets need only what that start-up would have done
    // for the program: start Winsock.
    if (!wxSocketBase::Initialize())
    {
        socketport::Startup();
        // The toolkit deletes the active log target at its clean-up.
        wxLog::SetActiveTarget(new QuietSocketStartup(wxLog::GetActiveTarget()));
    }
#else
    wxSocketBase::Initialize();
#endif
}

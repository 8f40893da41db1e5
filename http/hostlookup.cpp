#include "http/hostlookup.h"

#include <wx/socket.h>
#include <wx/string.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace
{

// How long a stop may go unnoticed.
const std::chrono::milliseconds kStopSlice(50);

// Shared by the waiting request and the lookup thread; whichever ends last
// frees it.
struct LookupState
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool found = false;
    wxIPV4address address;
};

} // namespace

bool SystemHostLookup(const wxString& host, wxIPV4address& address)
{
    return address.Hostname(host);
}

HostLookupResult LookUpHost(const HostLookup& lookup, const wxString& host,
                            wxIPV4address& address, const std::atomic<bool>& stop,
                            long timeout)
{
    if (stop.load())
        return kHostLookupStopped;

    const auto state = std::make_shared<LookupState>();
    // Deep copies: nothing of the caller's may be shared with a thread that
    // can outlive the request.
    const std::wstring name(host.wc_str());
    const HostLookup function = lookup;
    try
    {
        std::thread([state, name, function] {
            wxIPV4address found;
            const bool ok = function(wxString(name), found);
            std::lock_guard<std::mutex> lock(state->mutex);
            state->found = ok;
            if (ok)
                state->address = found;
            state->done = true;
            state->finished.notify_all();
        }).detach();
    }
    catch (const std::system_error&)
    {
        // No thread to be had: resolve here, as a plain lookup would.
        return lookup(host, address) ? kHostFound : kHostNotFound;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
    std::unique_lock<std::mutex> lock(state->mutex);
    while (!state->done)
    {
        if (stop.load())
            return kHostLookupStopped;
        if (timeout > 0 && std::chrono::steady_clock::now() >= deadline)
            return kHostNotFound;
        state->finished.wait_for(lock, kStopSlice);
    }
    if (!state->found)
        return kHostNotFound;
    address = state->address;
    return kHostFound;
}

// Host-name resolution that a stop ends at once. The system resolver cannot
// be interrupted, so the lookup runs on a thread of its own and the request
// waits for it in short slices; a stopped request leaves the lookup behind,
// and it finishes later on its own, touching nothing but its own state.
#ifndef PONTIRO_HTTP_HOSTLOOKUP_H
#define PONTIRO_HTTP_HOSTLOOKUP_H

#include <atomic>
#include <functional>

class wxIPV4address;
class wxString;

// Fills in the address of the host; false when it has none. Runs on the
// lookup's own thread, possibly after the request that asked has ended.
using HostLookup = std::function<bool(const wxString& host, wxIPV4address& address)>;

// The system resolver (wxIPV4address::Hostname).
bool SystemHostLookup(const wxString& host, wxIPV4address& address);

enum HostLookupResult
{
    kHostFound,
    kHostNotFound,   // also when the timeout ran out first
    kHostLookupStopped
};

// Resolves host into address. Ends as soon as the stop flag is set, or when
// the timeout (seconds; 0 or less waits without a limit) runs out.
HostLookupResult LookUpHost(const HostLookup& lookup, const wxString& host,
                            wxIPV4address& address, const std::atomic<bool>& stop,
                            long timeout);

#endif

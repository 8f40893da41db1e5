// A simulated docked device for the Remote API tests: a scratch folder that
// is the device's file system, its profile, and the provider's counters.
#ifndef PONTIRO_TESTS_RAPI_SIMDEVICE_H
#define PONTIRO_TESTS_RAPI_SIMDEVICE_H

#include "devicesim/devicesim.h"

#include <wx/event.h>

#include <string>
#include <vector>

#include "tests/support/pattern.h"

typedef std::vector<unsigned char> Bytes;

class SimDevice
{
public:
    // A fresh device with a "windows" folder, an empty profile and the
    // simulated provider named in PONTIRO_RAPI_LIBRARY.
    SimDevice();
    ~SimDevice();

    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    const std::string& Root() const { return m_root; }
    // Host path of a device path ("/a/b" -> <root>/a/b).
    std::string Host(const std::string& devicePath) const;

    void SetProfile(const std::string& text) const;
    void MakeFolder(const std::string& devicePath) const;
    void PutFile(const std::string& devicePath, const Bytes& bytes) const;
    Bytes GetFile(const std::string& devicePath) const;
    bool Has(const std::string& devicePath) const;

    static DEVSIM_COUNTERS Counters();
    // The provider's call log lines that start with prefix.
    static std::vector<std::string> Calls(const std::string& prefix);

private:
    std::string m_root;
};

// Pseudo-random bytes, the same for the same seed.

// Records device notifications: "started", the progress percentage,
// "finished", "failed".
class EventLog : public wxEvtHandler
{
public:
    void QueueEvent(wxEvent* event) override;
    std::vector<std::string> events;
};

// The simulated provider's file, and one that lacks CeRemoveDirectory.
extern const char* const SIM_PROVIDER;
extern const char* const SIM_PARTIAL_PROVIDER;

#endif

// A simulated docked device for the Remote API tests: a scratch folder that
// is the device's file system, its profile, and the provider's counters.
#ifndef PONTIRO_TESTS_DEVICE_SIMDEVICE_H
#define PONTIRO_TESTS_DEVICE_SIMDEVICE_H

#include "devicesim/devicesim.h"
#include "eventlog.h"

#include <wx/string.h>

#include <string>
#include <vector>

#include "tests/support/pattern.h"
#include "tests/support/scratchfolder.h"

typedef ByteVector Bytes;

class SimDevice
{
public:
    // A fresh device with a "windows" folder, an empty profile and the
    // simulated provider in use (see UseProvider).
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

    // Makes provider (kSimProvider, kSimPartialProvider, kSimBasicProvider
    // or a file that is not there) the one the program finds: named by
    // PONTIRO_RAPI_LIBRARY, or on Windows, where the program asks for
    // "rapi.dll" by name, the rapi.dll that the DLL search path reaches
    // (provider's folder).
    static void UseProvider(const std::string& provider);
    // The name the program tries for provider, as its error text gives it.
    static wxString ProviderName(const std::string& provider);

    // The provider's DevSimReset (no-op when none is loaded).
    static void Reset();
    static DEVSIM_COUNTERS Counters();
    // The provider's call log lines that start with prefix.
    static std::vector<std::string> Calls(const std::string& prefix);

private:
    ScratchFolder m_folder;
    std::string m_root;  // m_folder's path in UTF-8
};

// The simulated provider's file, one that lacks CeRemoveDirectory, and one
// without the optional CeMoveFile and CeGetDiskFreeSpaceEx (on Windows each
// is a rapi.dll in a folder of its own). On POSIX the counters and the log
// are the first one's, which the tests link.
extern const char* const kSimProvider;
extern const char* const kSimPartialProvider;
extern const char* const kSimBasicProvider;

#endif

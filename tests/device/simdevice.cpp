#include "simdevice.h"

#include "tests/support/files.h"

#include <wx/filefn.h>
#include <wx/utils.h>

#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include "localfreewatch.h"

#include <windows.h>
#endif

const char* const kSimProvider = PONTIRO_TEST_SIM_PROVIDER;
const char* const kSimPartialProvider = PONTIRO_TEST_SIM_PARTIAL_PROVIDER;
const char* const kSimBasicProvider = PONTIRO_TEST_SIM_BASIC_PROVIDER;

namespace
{
#ifdef _WIN32
// The provider this test program holds loaded, as the program finds it: the
// test's own handle keeps the same module the program gets from
// LoadLibrary("rapi.dll"), so the counters read here are the program's.
struct ProviderModule
{
    HMODULE module = nullptr;
    std::string folder;
    void (*reset)() = nullptr;
    void (*counters)(DEVSIM_COUNTERS*) = nullptr;
    std::size_t (*log)(char*, std::size_t) = nullptr;
};

ProviderModule g_provider;

template <typename Function>
void Bind(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

std::string FolderOf(const std::string& file)
{
    char full[MAX_PATH];
    char* name = nullptr;
    const DWORD length = ::GetFullPathNameA(file.c_str(), sizeof full, full, &name);
    if (length == 0 || length >= sizeof full || !name)
        throw std::runtime_error("cannot resolve " + file);
    return std::string(full, name);
}
#endif
}

SimDevice::SimDevice() : m_root(m_folder.Utf8Path())
{
    if (m_root.empty())
        throw std::runtime_error("cannot make a device folder");
    MakeFolder("/windows");
    wxSetEnv(wxS("PONTIRO_DEVICE_ROOT"), wxString::FromUTF8(m_root));
    UseProvider(kSimProvider);
    Reset();
}

SimDevice::~SimDevice()
{
    // The folder itself goes after this, with m_folder.
    Reset();
}

void SimDevice::UseProvider(const std::string& provider)
{
#ifdef _WIN32
    // The program's own folder comes first in the search and a loaded
    // rapi.dll is reused by name, so each provider sits in a folder of its
    // own (none beside the program) that becomes the search path's.
    const std::string folder = FolderOf(provider);
    if (g_provider.module && g_provider.folder == folder)
        return;
    WatchLocalFree(nullptr);
    if (g_provider.module)
        ::FreeLibrary(g_provider.module);
    g_provider = ProviderModule();
    if (!::SetDllDirectoryA(folder.c_str()))
        throw std::runtime_error("cannot search " + folder);
    g_provider.folder = folder;
    g_provider.module = ::LoadLibraryA("rapi.dll");
    if (!g_provider.module)
        return;
    Bind(g_provider.module, "DevSimReset", g_provider.reset);
    Bind(g_provider.module, "DevSimGetCounters", g_provider.counters);
    Bind(g_provider.module, "DevSimGetLog", g_provider.log);
    void (*released)(void*, int) = nullptr;
    Bind(g_provider.module, "DevSimReplyReleased", released);
    if (!g_provider.reset || !g_provider.counters || !g_provider.log || !released
        || !WatchLocalFree(released))
        throw std::runtime_error("not the simulated provider: " + folder + "rapi.dll");
#else
    wxSetEnv(wxS("PONTIRO_RAPI_LIBRARY"), wxString::FromUTF8(provider));
#endif
}

wxString SimDevice::ProviderName(const std::string& provider)
{
#ifdef _WIN32
    (void)provider;
    return wxS("rapi.dll");
#else
    return wxString::FromUTF8(provider);
#endif
}

std::string SimDevice::Host(const std::string& devicePath) const
{
    return m_root + devicePath;
}

void SimDevice::SetProfile(const std::string& text) const
{
    WriteFile(m_root + "/devicesim.ini", text);
}

void SimDevice::MakeFolder(const std::string& devicePath) const
{
    wxMkdir(wxString::FromUTF8(Host(devicePath)));
}

void SimDevice::PutFile(const std::string& devicePath, const Bytes& bytes) const
{
    WriteFile(Host(devicePath), bytes);
}

Bytes SimDevice::GetFile(const std::string& devicePath) const
{
    return ReadFileBytes(Host(devicePath));
}

bool SimDevice::Has(const std::string& devicePath) const
{
    const wxString path = wxString::FromUTF8(Host(devicePath));
    return wxFileExists(path) || wxDirExists(path);
}

void SimDevice::Reset()
{
#ifdef _WIN32
    if (g_provider.reset)
        g_provider.reset();
#else
    DevSimReset();
#endif
}

DEVSIM_COUNTERS SimDevice::Counters()
{
    DEVSIM_COUNTERS counters = {};
#ifdef _WIN32
    if (g_provider.counters)
        g_provider.counters(&counters);
#else
    DevSimGetCounters(&counters);
#endif
    return counters;
}

std::vector<std::string> SimDevice::Calls(const std::string& prefix)
{
#ifdef _WIN32
    std::size_t (*getLog)(char*, std::size_t) = g_provider.log;
    if (!getLog)
        return std::vector<std::string>();
#else
    std::size_t (*getLog)(char*, std::size_t) = DevSimGetLog;
#endif
    std::string log(getLog(nullptr, 0) + 1, '\0');
    getLog(&log[0], log.size());
    std::vector<std::string> lines;
    std::istringstream stream(log.c_str());
    std::string line;
    while (std::getline(stream, line))
    {
        if (line.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(line);
    }
    return lines;
}

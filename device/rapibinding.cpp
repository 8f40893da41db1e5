#include "device/rapibinding.h"

#include <wx/utils.h>

#if defined(__WINDOWS__)
#include <windows.h>
#else
#include <cerrno>
#include <cstdint>
#include <poll.h>
#endif

namespace
{
#if defined(__WINDOWS__)
void* RAPI_CALL ReleaseWithLocalFree(void* reply)
{
    return ::LocalFree(reply);
}

void* RAPI_CALL AllocateWithLocalAlloc(rapi::DWORD flags, std::size_t size)
{
    return ::LocalAlloc(flags, size);
}
#endif
}

wxString RapiLibraryName()
{
#if defined(__WINDOWS__)
    return wxS("rapi.dll");
#else
    wxString name;
    if (wxGetEnv(wxS("PONTIRO_RAPI_LIBRARY"), &name) && !name.empty())
        return name;
    return wxDynamicLibrary::CanonicalizeName(wxS("rapi"));
#endif
}

bool LoadRapiLibrary(wxDynamicLibrary& library, const wxString& name)
{
    return library.Load(name, wxDL_NOW | wxDL_VERBATIM | wxDL_QUIET);
}

void* FindRapiEntry(const wxDynamicLibrary& library, const char* name)
{
    if (!library.IsLoaded())
        return nullptr;
    // RawGetSymbol, unlike GetSymbol, logs nothing for a missing name.
    return wxDynamicLibrary::RawGetSymbol(library.GetLibHandle(), wxString::FromAscii(name));
}

rapi::ReleaseReplyFn BindReplyRelease(const wxDynamicLibrary& library)
{
#if defined(__WINDOWS__)
    (void)library;
    return ReleaseWithLocalFree;
#else
    rapi::ReleaseReplyFn release = nullptr;
    BindRapiEntry(library, "LocalFree", release);
    return release;
#endif
}

rapi::AllocateInputFn BindInputAllocation(const wxDynamicLibrary& library)
{
#if defined(__WINDOWS__)
    (void)library;
    return AllocateWithLocalAlloc;
#else
    rapi::AllocateInputFn allocate = nullptr;
    BindRapiEntry(library, "LocalAlloc", allocate);
    return allocate;
#endif
}

RapiWait WaitRapiEvent(rapi::HANDLE event, unsigned milliseconds)
{
    if (!event)
        return RapiWait::kFailed;
#if defined(__WINDOWS__)
    switch (::WaitForSingleObject(static_cast<HANDLE>(event), milliseconds))
    {
    case WAIT_OBJECT_0:
        return RapiWait::kSignalled;
    case WAIT_TIMEOUT:
        return RapiWait::kTimedOut;
    default:
        return RapiWait::kFailed;
    }
#else
    pollfd wait = {};
    wait.fd = static_cast<int>(reinterpret_cast<std::intptr_t>(event));
    wait.events = POLLIN;
    int ready;
    do
        ready = ::poll(&wait, 1, static_cast<int>(milliseconds));
    while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return RapiWait::kTimedOut;
    return ready > 0 && (wait.revents & POLLIN) ? RapiWait::kSignalled : RapiWait::kFailed;
#endif
}

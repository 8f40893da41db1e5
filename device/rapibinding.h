// Finding and binding the Remote API provider. On Windows the provider is
// rapi.dll; elsewhere it is the library named by PONTIRO_RAPI_LIBRARY, or
// the platform's usual file name for a library called rapi. Either way it is
// loaded by name at run time and its entry points are bound by name.
//
// A provider on a platform other than Windows keeps the Windows contract
// with two differences: the RAPIINIT event handle is a file descriptor that
// becomes readable when the link is up or has failed (the provider owns it;
// CeRapiUninit closes it), and the memory of remote calls comes from the
// provider's own exported "LocalAlloc" and "LocalFree".
#ifndef PONTIRO_DEVICE_RAPIBINDING_H
#define PONTIRO_DEVICE_RAPIBINDING_H

#include "device/rapitypes.h"

#include <wx/dynlib.h>
#include <wx/string.h>

// The provider's file name, as it is tried.
wxString RapiLibraryName();

// Loads the provider with its symbols bound at once; no log message on
// failure (Connect is retried every few hundred milliseconds).
bool LoadRapiLibrary(wxDynamicLibrary& library, const wxString& name);

// The address of an entry point, or null when the provider lacks it.
void* FindRapiEntry(const wxDynamicLibrary& library, const char* name);

template <typename Function>
bool BindRapiEntry(const wxDynamicLibrary& library, const char* name, Function& entry)
{
    entry = reinterpret_cast<Function>(FindRapiEntry(library, name));
    return entry != nullptr;
}

// The function that releases remote-call replies: LocalFree on Windows,
// the provider's "LocalFree" elsewhere; null when there is none.
rapi::ReleaseReplyFn BindReplyRelease(const wxDynamicLibrary& library);
// The function that allocates remote-call inputs, which the Remote API
// releases: LocalAlloc on Windows, the provider's "LocalAlloc" elsewhere;
// null when there is none.
rapi::AllocateInputFn BindInputAllocation(const wxDynamicLibrary& library);

enum class RapiWait
{
    kSignalled,
    kTimedOut,
    kFailed
};

// Waits at most milliseconds for the initialisation event.
RapiWait WaitRapiEvent(rapi::HANDLE event, unsigned milliseconds);

#endif

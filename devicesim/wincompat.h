// The simulated device on Windows: what the POSIX calls of the device
// folder need there, and the few Win32 services the provider uses (a
// waitable link event, loading the deployed library, replies the desktop
// releases with LocalFree). Kept apart so <windows.h> never meets the
// Remote API's own type names.
#ifndef PONTIRO_DEVICESIM_WINCOMPAT_H
#define PONTIRO_DEVICESIM_WINCOMPAT_H

#ifdef _WIN32

#include <cstddef>
#include <string>

#include <direct.h>
#include <fcntl.h>
#include <io.h>

// open() has no close-on-exec flag there; every file of the device folder
// is opened in binary mode instead, which is what the flag's place needs.
#ifndef O_CLOEXEC
#define O_CLOEXEC _O_BINARY
#endif

#define FNM_NOESCAPE 0
// "*" and "?" matching, all the device's searches use.
int fnmatch(const char* pattern, const char* name, int flags);

inline int mkdir(const char* path, int)
{
    return ::_mkdir(path);
}

namespace devsim
{
namespace win
{
// A waitable handle that becomes signalled after delayMs (never when
// negative), as the link event of CeRapiInitEx.
void* CreateLinkEvent(long long delayMs);
void CloseLinkEvent(void* event);

void* LoadLibraryFile(const std::string& path);
void* LibrarySymbol(void* library, const char* name);
void FreeLibraryFile(void* library);
// A fresh file name in the temporary folder, ending with suffix.
std::string TemporaryFileName(const std::string& suffix);

// Reply memory the desktop releases with kernel32's LocalFree.
void* AllocateReply(std::size_t size);
// Whether block is one of kernel32's LocalAlloc, as the desktop must make a
// remote call's input; and its release, as the Remote API does.
bool IsLocalBlock(const void* block);
void FreeLocalBlock(void* block);
}
}

#endif
#endif

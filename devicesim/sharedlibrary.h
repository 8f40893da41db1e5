// Shared libraries (DLLs on Windows) loaded by their path, the one way the
// simulated device and the device library's tests load vdxrapi.
#ifndef PONTIRO_DEVICESIM_SHAREDLIBRARY_H
#define PONTIRO_DEVICESIM_SHAREDLIBRARY_H

#include <string>

namespace devsim
{
// The library's handle, or null when it cannot be loaded.
void* OpenLibrary(const std::string& path);
// The named export, or null.
void* LibrarySymbol(void* library, const char* name);
// A null handle is nothing to close.
void CloseLibrary(void* library);
} // namespace devsim

#endif

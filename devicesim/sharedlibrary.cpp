#include "devicesim/sharedlibrary.h"

#ifdef _WIN32
#include "devicesim/wincompat.h"
#else
#include <dlfcn.h>
#endif

namespace devsim
{
void* OpenLibrary(const std::string& path)
{
#ifdef _WIN32
    return win::LoadLibraryFile(path);
#else
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* LibrarySymbol(void* library, const char* name)
{
#ifdef _WIN32
    return win::LibrarySymbol(library, name);
#else
    return ::dlsym(library, name);
#endif
}

void CloseLibrary(void* library)
{
#ifdef _WIN32
    win::FreeLibraryFile(library);
#else
    if (library)
        ::dlclose(library);
#endif
}
} // namespace devsim

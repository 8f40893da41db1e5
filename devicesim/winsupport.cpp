// Win32 side of the simulated device (see wincompat.h).
#include "devicesim/wincompat.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

int fnmatch(const char* pattern, const char* name, int)
{
    // Iterative wildcard match with one back-tracking point per "*".
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name)
    {
        if (*pattern == '*')
        {
            star = pattern++;
            resume = name;
        }
        else if (*pattern == '?' || *pattern == *name)
        {
            ++pattern;
            ++name;
        }
        else if (star)
        {
            pattern = star + 1;
            name = ++resume;
        }
        else
        {
            return 1;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern ? 1 : 0;
}

namespace devsim
{
namespace win
{
void* CreateLinkEvent(long long delayMs)
{
    HANDLE timer = ::CreateWaitableTimerW(nullptr, TRUE, nullptr);
    if (!timer || delayMs < 0)
        return timer;
    LARGE_INTEGER due;
    // Relative time in 100 ns units; at least one unit so it still fires.
    due.QuadPart = -(delayMs > 0 ? delayMs * 10000 : 1);
    if (!::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
    {
        ::CloseHandle(timer);
        return nullptr;
    }
    return timer;
}

void CloseLinkEvent(void* event)
{
    if (event)
        ::CloseHandle(static_cast<HANDLE>(event));
}

void* LoadLibraryFile(const std::string& path)
{
    return reinterpret_cast<void*>(::LoadLibraryA(path.c_str()));
}

void* LibrarySymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeLibraryFile(void* library)
{
    if (library)
        ::FreeLibrary(static_cast<HMODULE>(library));
}

std::string TemporaryFileName(const std::string& suffix)
{
    static std::atomic<unsigned> s_counter{0};
    char folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathA(sizeof folder, folder);
    std::string base = length > 0 && length < sizeof folder ? std::string(folder, length) : ".\\";
    char name[64];
    std::snprintf(name, sizeof name, "vdxrapi-%lu-%u", ::GetCurrentProcessId(), s_counter++);
    return base + name + suffix;
}

void* AllocateReply(std::size_t size)
{
    return ::LocalAlloc(LMEM_FIXED, size ? size : 1);
}

bool IsLocalBlock(const void* block)
{
    // Fixed LocalAlloc blocks are blocks of the process heap; the C
    // runtime's allocations come from a heap of its own.
    return ::HeapValidate(::GetProcessHeap(), 0, block) != 0;
}

void FreeLocalBlock(void* block)
{
    ::LocalFree(block);
}
}
}

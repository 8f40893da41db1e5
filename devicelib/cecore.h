// The Windows CE API as vdxrapi's code sees it. On the device it is the
// system's own; in any other build the functions go through the table that
// the loader attached (see cetypes.h).
#ifndef PONTIRO_DEVICELIB_CECORE_H
#define PONTIRO_DEVICELIB_CECORE_H

#if defined(_WIN32_WCE)

#include <windows.h>
#define CE_TEXT(s) L##s

#else

#include "devicelib/cetypes.h"

// The attached table; null until CeAttachCoreLibrary has run.
const CE_CORE_LIBRARY* CeCoreLibrary();

// internal linkage: these names must never reach the loader's symbol scope
namespace
{
inline HLOCAL LocalAlloc(UINT flags, UINT bytes)
{
    return CeCoreLibrary()->LocalAlloc(flags, bytes);
}

inline HLOCAL LocalFree(HLOCAL memory)
{
    return CeCoreLibrary()->LocalFree(memory);
}

inline BOOL KernelIoControl(DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                            DWORD outputSize, LPDWORD returned)
{
    return CeCoreLibrary()->KernelIoControl(code, input, inputSize, output, outputSize,
                                            returned);
}

inline BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputSize,
                            LPVOID output, DWORD outputSize, LPDWORD returned,
                            LPVOID overlapped)
{
    return CeCoreLibrary()->DeviceIoControl(device, code, input, inputSize, output,
                                            outputSize, returned, overlapped);
}

inline HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPVOID security,
                          DWORD disposition, DWORD attributes, HANDLE templateFile)
{
    return CeCoreLibrary()->CreateFileW(name, access, share, security, disposition,
                                        attributes, templateFile);
}

inline BOOL CloseHandle(HANDLE handle)
{
    return CeCoreLibrary()->CloseHandle(handle);
}

inline BOOL GetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeToCaller,
                                ULARGE_INTEGER* total, ULARGE_INTEGER* totalFree)
{
    return CeCoreLibrary()->GetDiskFreeSpaceExW(folder, freeToCaller, total, totalFree);
}

inline BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID value, UINT winIni)
{
    return CeCoreLibrary()->SystemParametersInfoW(action, param, value, winIni);
}

inline HWND FindWindowW(LPCWSTR className, LPCWSTR title)
{
    return CeCoreLibrary()->FindWindowW(className, title);
}

inline BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CeCoreLibrary()->PostMessageW(window, message, wParam, lParam);
}

inline void Sleep(DWORD milliseconds)
{
    CeCoreLibrary()->Sleep(milliseconds);
}

inline DWORD GetLastError()
{
    return CeCoreLibrary()->GetLastError();
}

inline int wsprintfW(LPWSTR output, LPCWSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int written = CeCoreLibrary()->wvsprintfW(output, format, arguments);
    va_end(arguments);
    return written;
}

inline int wcscmp(const WCHAR* a, const WCHAR* b)
{
    return CeCoreLibrary()->wcscmp(a, b);
}
}

#endif

#endif

// The part of the Windows CE core library that vdxrapi uses, declared for
// builds that are not for Windows CE. There the functions are not linked:
// whoever loads the library (the simulated device) hands it a table of them
// with CeAttachCoreLibrary before the first export runs.
#ifndef PONTIRO_DEVICELIB_CETYPES_H
#define PONTIRO_DEVICELIB_CETYPES_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>

typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::int32_t BOOL;
typedef std::uint32_t UINT;
typedef std::uint8_t BYTE;
typedef char16_t WCHAR;     // one UTF-16 unit, as on the device
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef void* HLOCAL;
typedef void* HWND;
typedef DWORD* LPDWORD;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;

union ULARGE_INTEGER
{
    struct
    {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    std::uint64_t QuadPart;
};

#define CE_TEXT(s) u##s

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_GEN_FAILURE 31
#define ERROR_NOT_SUPPORTED 50
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122

#define SPI_GETOEMINFO 258
#define WM_CLOSE 0x0010

#define METHOD_BUFFERED 0
#define FILE_ANY_ACCESS 0
#define FILE_DEVICE_DISK 0x00000007
#define FILE_DEVICE_HAL 0x00000101
#define CTL_CODE(type, function, method, access) \
    (((type) << 16) | ((access) << 14) | ((function) << 2) | (method))

// The core library's functions, as the loader of the library provides them.
// cbSize lets a library refuse a table older than the one it was built for.
struct CE_CORE_LIBRARY
{
    DWORD cbSize;
    HLOCAL (*LocalAlloc)(UINT flags, UINT bytes);
    HLOCAL (*LocalFree)(HLOCAL memory);
    BOOL (*KernelIoControl)(DWORD code, LPVOID input, DWORD inputSize,
                            LPVOID output, DWORD outputSize, LPDWORD returned);
    BOOL (*DeviceIoControl)(HANDLE device, DWORD code, LPVOID input, DWORD inputSize,
                            LPVOID output, DWORD outputSize, LPDWORD returned,
                            LPVOID overlapped);
    HANDLE (*CreateFileW)(LPCWSTR name, DWORD access, DWORD share, LPVOID security,
                          DWORD disposition, DWORD attributes, HANDLE templateFile);
    BOOL (*CloseHandle)(HANDLE handle);
    BOOL (*GetDiskFreeSpaceExW)(LPCWSTR folder, ULARGE_INTEGER* freeToCaller,
                                ULARGE_INTEGER* total, ULARGE_INTEGER* totalFree);
    BOOL (*SystemParametersInfoW)(UINT action, UINT param, LPVOID value, UINT winIni);
    HWND (*FindWindowW)(LPCWSTR className, LPCWSTR title);
    BOOL (*PostMessageW)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void (*Sleep)(DWORD milliseconds);
    DWORD (*GetLastError)();
    int (*wvsprintfW)(LPWSTR output, LPCWSTR format, va_list arguments);
    int (*wcscmp)(const WCHAR* a, const WCHAR* b);
};

#endif

// Types and entry-point signatures of the Remote API, as the desktop binds
// them by name from the provider library. Layouts follow the Win32 ABI so
// the same declarations serve the real provider and a stand-in.
#ifndef PONTIRO_DEVICE_RAPITYPES_H
#define PONTIRO_DEVICE_RAPITYPES_H

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define RAPI_CALL __stdcall
#else
#define RAPI_CALL
#endif

namespace rapi
{
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::int32_t BOOL;
typedef std::int32_t HRESULT;
typedef std::uint8_t BYTE;
typedef void* HANDLE;
typedef char16_t WCHAR;     // one UTF-16 unit, as on the device
typedef const WCHAR* LPCWSTR;

// Prefixed so they cannot meet the macros of the Windows headers.
constexpr DWORD CE_GENERIC_READ = 0x80000000u;
constexpr DWORD CE_GENERIC_WRITE = 0x40000000u;
constexpr DWORD CE_CREATE_ALWAYS = 2;
constexpr DWORD CE_OPEN_EXISTING = 3;
constexpr DWORD CE_FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD CE_NO_ATTRIBUTES = 0xFFFFFFFFu;
constexpr HRESULT CE_E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr int CE_MAX_PATH = 260;

inline HANDLE CeInvalidHandle()
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

struct RAPIINIT
{
    DWORD cbSize;
    HANDLE heRapiInit;
    HRESULT hrRapiInit;
};

struct FILETIME
{
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct CE_FIND_DATA
{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[CE_MAX_PATH];
};

// Entry points, in the order they are bound.
typedef HRESULT (RAPI_CALL *CeRapiInitExFn)(RAPIINIT* init);
typedef HRESULT (RAPI_CALL *CeRapiUninitFn)();
typedef DWORD (RAPI_CALL *CeGetLastErrorFn)();
typedef HRESULT (RAPI_CALL *CeRapiGetErrorFn)();
// The stream argument is unused (block mode) and always null.
typedef HRESULT (RAPI_CALL *CeRapiInvokeFn)(LPCWSTR dllPath, LPCWSTR functionName,
                                            DWORD inputSize, BYTE* input,
                                            DWORD* outputSize, BYTE** output,
                                            void** stream, DWORD reserved);
typedef HANDLE (RAPI_CALL *CeFindFirstFileFn)(LPCWSTR pattern, CE_FIND_DATA* data);
typedef BOOL (RAPI_CALL *CeFindNextFileFn)(HANDLE search, CE_FIND_DATA* data);
typedef BOOL (RAPI_CALL *CeFindCloseFn)(HANDLE search);
typedef HANDLE (RAPI_CALL *CeCreateFileFn)(LPCWSTR path, DWORD access, DWORD share,
                                           void* security, DWORD disposition,
                                           DWORD attributes, HANDLE templateFile);
typedef BOOL (RAPI_CALL *CeReadFileFn)(HANDLE file, void* buffer, DWORD size,
                                       DWORD* done, void* overlapped);
typedef BOOL (RAPI_CALL *CeWriteFileFn)(HANDLE file, const void* buffer, DWORD size,
                                        DWORD* done, void* overlapped);
typedef DWORD (RAPI_CALL *CeGetFileSizeFn)(HANDLE file, DWORD* high);
typedef DWORD (RAPI_CALL *CeSetFilePointerFn)(HANDLE file, LONG distance,
                                              LONG* distanceHigh, DWORD method);
typedef BOOL (RAPI_CALL *CeSetFileAttributesFn)(LPCWSTR path, DWORD attributes);
typedef DWORD (RAPI_CALL *CeGetFileAttributesFn)(LPCWSTR path);
typedef BOOL (RAPI_CALL *CeDeleteFileFn)(LPCWSTR path);
typedef BOOL (RAPI_CALL *CeCloseHandleFn)(HANDLE handle);
typedef BOOL (RAPI_CALL *CeCreateDirectoryFn)(LPCWSTR path, void* security);
typedef BOOL (RAPI_CALL *CeRemoveDirectoryFn)(LPCWSTR path);
// Optional entry points: a provider without them still connects.
typedef BOOL (RAPI_CALL *CeMoveFileFn)(LPCWSTR from, LPCWSTR to);
// The three sizes are ULARGE_INTEGERs, which are 64-bit unsigned integers.
typedef BOOL (RAPI_CALL *CeGetDiskFreeSpaceExFn)(LPCWSTR folder, std::uint64_t* freeToCaller,
                                                 std::uint64_t* total, std::uint64_t* totalFree);
// Releases a reply of CeRapiInvoke (LocalFree on Windows).
typedef void* (RAPI_CALL *ReleaseReplyFn)(void* reply);
// Allocates the input of CeRapiInvoke, which the Remote API releases itself
// with LocalFree (LocalAlloc on Windows).
typedef void* (RAPI_CALL *AllocateInputFn)(DWORD flags, std::size_t size);
constexpr DWORD CE_LMEM_FIXED = 0;
}

#endif

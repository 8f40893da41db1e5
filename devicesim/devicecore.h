// The simulated device's Windows CE core library: what vdxrapi calls on the
// device, answered from the profile. One device per process, as the table
// of plain functions has no room for a context; every member is locked.
#ifndef PONTIRO_DEVICESIM_DEVICECORE_H
#define PONTIRO_DEVICESIM_DEVICECORE_H

#include "devicelib/cetypes.h"
#include "devicesim/profile.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace devsim
{
struct CoreCounters
{
    std::uint32_t allocations = 0;      // LocalAlloc that succeeded
    std::uint32_t frees = 0;            // LocalFree of a live block
    std::uint32_t badFrees = 0;         // LocalFree of anything else
    std::uint32_t live = 0;             // blocks not yet released
    std::uint32_t openVolumes = 0;      // volume handles not yet closed
};

class DeviceCore
{
public:
    static DeviceCore& Instance();

    // The functions vdxrapi is given when it is loaded.
    const CE_CORE_LIBRARY* Table() const;

    void SetProfile(const DeviceProfile& profile);
    // A remote call starts: the profile's allocation fault counts from here.
    void BeginCall();
    bool IsLive(const void* block) const;
    // Tells allocations at a reused address apart: 0 when not live.
    std::uint64_t Serial(const void* block) const;
    CoreCounters Counters() const;
    // Forgets counters and log; blocks still live stay so.
    void Reset();

    // One line per notable call, for tests that check what happened.
    void Log(const std::string& line);
    std::string LogText() const;

    // The core functions themselves.
    HLOCAL LocalAlloc(UINT flags, UINT bytes);
    HLOCAL LocalFree(HLOCAL block);
    BOOL KernelIoControl(DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                         DWORD outputSize, LPDWORD returned);
    BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputSize,
                         LPVOID output, DWORD outputSize, LPDWORD returned);
    HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD disposition);
    BOOL CloseHandle(HANDLE handle);
    BOOL GetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeToCaller,
                             ULARGE_INTEGER* total, ULARGE_INTEGER* totalFree);
    BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID value);
    HWND FindWindowW(LPCWSTR className, LPCWSTR title);
    BOOL PostMessageW(HWND window, UINT message);
    void Sleep(DWORD milliseconds);
    static DWORD GetLastError();
    static void SetLastError(DWORD error);

    // The DEVICE_ID and STORAGE_IDENTIFICATION records the profile makes.
    static std::string DeviceIdRecord(const DeviceProfile& profile);
    static std::string StorageRecord(const DeviceProfile& profile);

private:
    DeviceCore();
    void AppendLog(const std::string& line);

    struct Volume
    {
        bool queried = false;
    };

    mutable std::mutex m_lock;
    DeviceProfile m_profile;
    std::map<const void*, std::uint64_t> m_blocks;   // block -> serial
    std::uint64_t m_nextSerial;
    std::map<std::uintptr_t, Volume> m_volumes;
    std::uintptr_t m_nextVolume;
    std::uint32_t m_callAllocations;
    CoreCounters m_counters;
    std::string m_log;
};
}

#endif

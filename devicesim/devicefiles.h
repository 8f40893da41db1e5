// The simulated device's file system as the Remote API reaches it: a host
// folder is the device's "/"; both "/" and the backslash separate parts.
// Paths never leave the folder: "." and ".." are not names on the device.
#ifndef PONTIRO_DEVICESIM_DEVICEFILES_H
#define PONTIRO_DEVICESIM_DEVICEFILES_H

#include "device/rapitypes.h"
#include "devicesim/profile.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace devsim
{
class DeviceFiles
{
public:
    DeviceFiles();
    ~DeviceFiles();

    DeviceFiles(const DeviceFiles&) = delete;
    DeviceFiles& operator=(const DeviceFiles&) = delete;

    // A new device folder (and profile) closes everything still open.
    void Attach(const std::string& root, const DeviceProfile* profile);
    void CloseAll();
    std::uint32_t OpenHandles() const;
    // The link came up: the faults that count from there start again.
    void BeginSession();
    // A fault of the profile has cut the link.
    bool LinkLost() const { return m_linkLost; }

    // The host path of a device path; false (with the device's error) for a
    // path that has no place in the folder.
    bool HostPath(const char16_t* path, std::string& host, std::string& normalized,
                  rapi::DWORD& error) const;

    // The Remote API's operations; each failure leaves its error in error.
    rapi::HANDLE CreateFile(const char16_t* path, rapi::DWORD access, rapi::DWORD share,
                            rapi::DWORD disposition, rapi::DWORD& error);
    rapi::BOOL ReadFile(rapi::HANDLE file, void* buffer, rapi::DWORD size, rapi::DWORD* done,
                        rapi::DWORD& error);
    rapi::BOOL WriteFile(rapi::HANDLE file, const void* buffer, rapi::DWORD size,
                         rapi::DWORD* done, rapi::DWORD& error);
    rapi::DWORD GetFileSize(rapi::HANDLE file, rapi::DWORD* high, rapi::DWORD& error);
    rapi::DWORD SetFilePointer(rapi::HANDLE file, rapi::LONG distance, rapi::LONG* high,
                               rapi::DWORD method, rapi::DWORD& error);
    rapi::BOOL CloseHandle(rapi::HANDLE handle, rapi::DWORD& error);
    rapi::DWORD GetFileAttributes(const char16_t* path, rapi::DWORD& error);
    rapi::BOOL SetFileAttributes(const char16_t* path, rapi::DWORD& error);
    rapi::BOOL DeleteFile(const char16_t* path, rapi::DWORD& error);
    rapi::BOOL CreateDirectory(const char16_t* path, rapi::DWORD& error);
    rapi::BOOL RemoveDirectory(const char16_t* path, rapi::DWORD& error);
    rapi::BOOL MoveFile(const char16_t* from, const char16_t* to, rapi::DWORD& error);
    rapi::BOOL GetDiskFreeSpace(const char16_t* folder, std::uint64_t* freeToCaller,
                                std::uint64_t* total, std::uint64_t* totalFree,
                                rapi::DWORD& error);
    rapi::HANDLE FindFirstFile(const char16_t* pattern, rapi::CE_FIND_DATA* data,
                               rapi::DWORD& error);
    rapi::BOOL FindNextFile(rapi::HANDLE search, rapi::CE_FIND_DATA* data, rapi::DWORD& error);
    rapi::BOOL FindClose(rapi::HANDLE search, rapi::DWORD& error);

private:
    struct OpenFile
    {
        int fd = -1;
        std::string path;           // normalized device path
        std::uint64_t written = 0;
        std::uint64_t read = 0;
        std::uint32_t writeOrdinal = 0;     // Nth opened for writing; 0: not
    };
    struct Search
    {
        std::vector<rapi::CE_FIND_DATA> entries;
        std::size_t next = 0;
    };

    bool IsOpen(const std::string& normalized) const;
    static bool Matches(const std::string& faultPath, const std::string& normalized);

    std::string m_root;
    const DeviceProfile* m_profile;
    std::map<std::uintptr_t, OpenFile> m_files;
    std::map<std::uintptr_t, Search> m_searches;
    std::uintptr_t m_nextHandle;
    // Since the link came up.
    std::uint32_t m_filesWritten = 0;
    std::uint64_t m_bytesWritten = 0;
    std::uint64_t m_moves = 0;
    bool m_linkLost = false;
};
}

#endif

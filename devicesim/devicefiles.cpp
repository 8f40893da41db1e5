#include "devicesim/devicefiles.h"

#include "devicesim/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include "devicesim/wincompat.h"
#else
#include <fnmatch.h>
#endif

namespace devsim
{
namespace
{
using rapi::BOOL;
using rapi::DWORD;
using rapi::HANDLE;

// The device's error numbers.
const DWORD ERROR_FILE_NOT_FOUND = 2;
const DWORD ERROR_PATH_NOT_FOUND = 3;
const DWORD ERROR_ACCESS_DENIED = 5;
const DWORD ERROR_INVALID_HANDLE = 6;
const DWORD ERROR_NO_MORE_FILES = 18;
const DWORD ERROR_GEN_FAILURE = 31;
const DWORD ERROR_SHARING_VIOLATION = 32;
const DWORD ERROR_DISK_FULL = 112;
const DWORD ERROR_INVALID_PARAMETER = 87;
const DWORD ERROR_INVALID_NAME = 123;
const DWORD ERROR_DIR_NOT_EMPTY = 145;
const DWORD ERROR_ALREADY_EXISTS = 183;
const DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

const BOOL TRUE = 1;
const BOOL FALSE = 0;
const DWORD kAttributeArchive = 0x20;
const std::uintptr_t kFirstHandle = 0x1000;

std::string Lower(std::string text)
{
    for (char& c : text)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Splits a device path into its names; false for a name the device does
// not allow (empty parts are skipped, as the device does).
bool SplitPath(const std::string& path, std::vector<std::string>& parts, bool lastIsPattern)
{
    parts.clear();
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i)
    {
        if (i == path.size() || path[i] == '/' || path[i] == '\\')
        {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        }
        else
        {
            part += path[i];
        }
    }
    for (std::size_t i = 0; i < parts.size(); ++i)
    {
        const bool pattern = lastIsPattern && i + 1 == parts.size();
        const char* forbidden = pattern ? ":\"<>|" : ":*?\"<>|";
        if (parts[i] == "." || parts[i] == ".."
            || parts[i].find_first_of(forbidden) != std::string::npos)
            return false;
        for (char c : parts[i])
        {
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
        }
    }
    return true;
}

bool IsProfile(const std::vector<std::string>& parts)
{
    return parts.size() == 1 && Lower(parts[0]) == Lower(kProfileFileName);
}

std::string Join(const std::string& root, const std::vector<std::string>& parts, std::size_t count)
{
    std::string host = root;
    for (std::size_t i = 0; i < count; ++i)
        host += "/" + parts[i];
    return host;
}

bool IsFolder(const std::string& host)
{
    struct stat info;
    return ::stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// errno as the device reports it; a missing name is told apart from a
// missing folder on the way to it.
DWORD DeviceError(int error, const std::string& host)
{
    switch (error)
    {
    case ENOENT:
    {
        const auto slash = host.find_last_of('/');
        return slash != std::string::npos && IsFolder(host.substr(0, slash))
                   ? ERROR_FILE_NOT_FOUND
                   : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool FindEntry(const std::string& host, const std::string& name, rapi::CE_FIND_DATA& data)
{
    struct stat info;
    if (::stat(host.c_str(), &info) != 0)
        return false;
    const std::u16string wide = Utf8ToUtf16(name);
    if (wide.size() >= static_cast<std::size_t>(rapi::CE_MAX_PATH))
        return false;
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = S_ISDIR(info.st_mode) ? rapi::CE_FILE_ATTRIBUTE_DIRECTORY
                                                  : kAttributeArchive;
    if (!S_ISDIR(info.st_mode))
    {
        const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    std::memcpy(data.cFileName, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    return true;
}

HANDLE ToHandle(std::uintptr_t id)
{
    return reinterpret_cast<HANDLE>(id);
}

std::uintptr_t FromHandle(HANDLE handle)
{
    return reinterpret_cast<std::uintptr_t>(handle);
}
}

DeviceFiles::DeviceFiles()
    : m_profile(nullptr),
      m_nextHandle(kFirstHandle)
{
}

DeviceFiles::~DeviceFiles()
{
    CloseAll();
}

void DeviceFiles::Attach(const std::string& root, const DeviceProfile* profile)
{
    if (root != m_root)
        CloseAll();
    m_root = root;
    m_profile = profile;
}

void DeviceFiles::CloseAll()
{
    for (auto& file : m_files)
        ::close(file.second.fd);
    m_files.clear();
    m_searches.clear();
}

void DeviceFiles::BeginSession()
{
    // What was open over a lost link is gone with it.
    if (m_linkLost)
        CloseAll();
    m_filesWritten = 0;
    m_bytesWritten = 0;
    m_moves = 0;
    m_linkLost = false;
}

std::uint32_t DeviceFiles::OpenHandles() const
{
    return static_cast<std::uint32_t>(m_files.size() + m_searches.size());
}

bool DeviceFiles::HostPath(const char16_t* path, std::string& host, std::string& normalized,
                           DWORD& error) const
{
    std::string text;
    std::vector<std::string> parts;
    if (!path || m_root.empty() || !Utf16ToUtf8(path, text) || !SplitPath(text, parts, false))
    {
        error = ERROR_INVALID_NAME;
        return false;
    }
    host = Join(m_root, parts, parts.size());
    normalized = NormalizeDevicePath(text);
    if (IsProfile(parts))
    {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    return true;
}

bool DeviceFiles::IsOpen(const std::string& normalized) const
{
    for (const auto& file : m_files)
    {
        if (file.second.path == normalized)
            return true;
    }
    return false;
}

bool DeviceFiles::Matches(const std::string& faultPath, const std::string& normalized)
{
    return faultPath.empty() || NormalizeDevicePath(faultPath) == normalized;
}

HANDLE DeviceFiles::CreateFile(const char16_t* path, DWORD access, DWORD, DWORD disposition,
                               DWORD& error)
{
    std::string host;
    std::string normalized;
    if (!HostPath(path, host, normalized, error))
    {
        if (error == ERROR_FILE_NOT_FOUND && (access & rapi::CE_GENERIC_WRITE))
            error = ERROR_ACCESS_DENIED;
        return rapi::CeInvalidHandle();
    }

    int flags = O_CLOEXEC;
    if ((access & rapi::CE_GENERIC_READ) && (access & rapi::CE_GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & rapi::CE_GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (disposition)
    {
    case 1: // CREATE_NEW
        flags |= O_CREAT | O_EXCL;
        break;
    case rapi::CE_CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case rapi::CE_OPEN_EXISTING:
        break;
    case 4: // OPEN_ALWAYS
        flags |= O_CREAT;
        break;
    case 5: // TRUNCATE_EXISTING
        flags |= O_TRUNC;
        break;
    default:
        error = ERROR_INVALID_PARAMETER;
        return rapi::CeInvalidHandle();
    }

    const bool creates = (access & rapi::CE_GENERIC_WRITE) || (flags & O_CREAT);
    if (creates && m_profile)
    {
        for (const std::string& refused : m_profile->refuseCreate)
        {
            if (NormalizeDevicePath(refused) == normalized)
            {
                error = m_profile->refuseError;
                return rapi::CeInvalidHandle();
            }
        }
    }
    if (normalized == "/" || IsFolder(host))
    {
        error = ERROR_ACCESS_DENIED;
        return rapi::CeInvalidHandle();
    }
    // Opened without sharing, as the desktop does: a second open waits for
    // the first to be closed.
    if (IsOpen(normalized))
    {
        error = ERROR_SHARING_VIOLATION;
        return rapi::CeInvalidHandle();
    }
    const int fd = ::open(host.c_str(), flags, 0666);
    if (fd < 0)
    {
        error = DeviceError(errno, host);
        return rapi::CeInvalidHandle();
    }
    const std::uintptr_t id = m_nextHandle++;
    OpenFile& file = m_files[id];
    file.fd = fd;
    file.path = normalized;
    if (access & rapi::CE_GENERIC_WRITE)
        file.writeOrdinal = ++m_filesWritten;
    return ToHandle(id);
}

BOOL DeviceFiles::ReadFile(HANDLE handle, void* buffer, DWORD size, DWORD* done, DWORD& error)
{
    const auto found = m_files.find(FromHandle(handle));
    if (found == m_files.end() || (!buffer && size))
    {
        error = found == m_files.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    OpenFile& file = found->second;
    if (done)
        *done = 0;

    if (m_profile && m_profile->readFailAfter >= 0 && Matches(m_profile->readFaultPath, file.path))
    {
        // Fails the read that would pass the limit with bytes that exist.
        struct stat info;
        const off_t position = ::lseek(file.fd, 0, SEEK_CUR);
        if (::fstat(file.fd, &info) == 0 && position >= 0)
        {
            const std::uint64_t left = info.st_size > position
                                           ? static_cast<std::uint64_t>(info.st_size - position)
                                           : 0;
            const std::uint64_t wanted = std::min<std::uint64_t>(size, left);
            if (file.read + wanted > static_cast<std::uint64_t>(m_profile->readFailAfter))
            {
                error = m_profile->readError;
                return FALSE;
            }
        }
    }

    const off_t start = ::lseek(file.fd, 0, SEEK_CUR);
    DWORD total = 0;
    while (total < size)
    {
        const ssize_t n = ::read(file.fd, static_cast<char*>(buffer) + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            error = DeviceError(errno, std::string());
            return FALSE;
        }
        if (n == 0)
            break;
        total += static_cast<DWORD>(n);
    }
    if (m_profile && m_profile->readFlipAt >= 0 && start >= 0
        && Matches(m_profile->readFaultPath, file.path))
    {
        const std::uint64_t flip = static_cast<std::uint64_t>(m_profile->readFlipAt);
        const std::uint64_t first = static_cast<std::uint64_t>(start);
        if (flip >= first && flip < first + total)
            static_cast<unsigned char*>(buffer)[flip - first] ^= 0xFF;
    }
    file.read += total;
    if (done)
        *done = total;
    return TRUE;
}

BOOL DeviceFiles::WriteFile(HANDLE handle, const void* buffer, DWORD size, DWORD* done,
                            DWORD& error)
{
    const auto found = m_files.find(FromHandle(handle));
    if (found == m_files.end() || (!buffer && size))
    {
        error = found == m_files.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    OpenFile& file = found->second;
    if (done)
        *done = 0;

    const bool faulty = m_profile && Matches(m_profile->writeFaultPath, file.path)
                        && (m_profile->writeFailFile == 0
                            || m_profile->writeFailFile == file.writeOrdinal);
    if (faulty)
    {
        if (m_profile->writeZero)
            return TRUE;
        const std::uint64_t after = file.written + size;
        const std::int64_t failAfter = m_profile->writeFailAfter >= 0 ? m_profile->writeFailAfter
                                       : m_profile->writeFailFile != 0 ? 0
                                                                       : -1;
        if (failAfter >= 0 && after > static_cast<std::uint64_t>(failAfter))
        {
            error = m_profile->writeError;
            return FALSE;
        }
        if (m_profile->writeShortAfter >= 0
            && after > static_cast<std::uint64_t>(m_profile->writeShortAfter))
        {
            const std::uint64_t limit = static_cast<std::uint64_t>(m_profile->writeShortAfter);
            size = limit > file.written ? static_cast<DWORD>(limit - file.written) : 0;
        }
    }

    // The link goes down part-way through this write: what got there stays.
    bool cut = false;
    if (m_profile && m_profile->linkLostAfterBytes >= 0)
    {
        const std::uint64_t limit = static_cast<std::uint64_t>(m_profile->linkLostAfterBytes);
        if (m_bytesWritten + size > limit)
        {
            size = limit > m_bytesWritten ? static_cast<DWORD>(limit - m_bytesWritten) : 0;
            cut = true;
        }
    }

    DWORD total = 0;
    while (total < size)
    {
        const ssize_t n = ::write(file.fd, static_cast<const char*>(buffer) + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            error = n < 0 ? DeviceError(errno, std::string()) : ERROR_DISK_FULL;
            file.written += total;
            m_bytesWritten += total;
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    file.written += total;
    m_bytesWritten += total;
    if (cut)
    {
        m_linkLost = true;
        error = ERROR_DEVICE_NOT_CONNECTED;
        return FALSE;
    }
    if (done)
        *done = total;
    return TRUE;
}

DWORD DeviceFiles::GetFileSize(HANDLE handle, DWORD* high, DWORD& error)
{
    const auto found = m_files.find(FromHandle(handle));
    struct stat info;
    if (found == m_files.end() || ::fstat(found->second.fd, &info) != 0)
    {
        error = ERROR_INVALID_HANDLE;
        return rapi::CE_NO_ATTRIBUTES;
    }
    std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
    if (m_profile && Matches(m_profile->readFaultPath, found->second.path))
        size += m_profile->sizeExtra;
    if (high)
        *high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

DWORD DeviceFiles::SetFilePointer(HANDLE handle, rapi::LONG distance, rapi::LONG* high,
                                  DWORD method, DWORD& error)
{
    const auto found = m_files.find(FromHandle(handle));
    if (found == m_files.end() || method > 2)
    {
        error = found == m_files.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
        return rapi::CE_NO_ATTRIBUTES;
    }
    std::int64_t offset = high ? (static_cast<std::int64_t>(*high) << 32)
                                     | static_cast<std::uint32_t>(distance)
                               : distance;
    const int whence = method == 0 ? SEEK_SET : method == 1 ? SEEK_CUR : SEEK_END;
    const off_t position = ::lseek(found->second.fd, static_cast<off_t>(offset), whence);
    if (position < 0)
    {
        error = ERROR_INVALID_PARAMETER;
        return rapi::CE_NO_ATTRIBUTES;
    }
    if (high)
        *high = static_cast<rapi::LONG>(static_cast<std::uint64_t>(position) >> 32);
    return static_cast<DWORD>(position);
}

BOOL DeviceFiles::CloseHandle(HANDLE handle, DWORD& error)
{
    const auto file = m_files.find(FromHandle(handle));
    if (file != m_files.end())
    {
        ::close(file->second.fd);
        m_files.erase(file);
        return TRUE;
    }
    if (m_searches.erase(FromHandle(handle)) != 0)
        return TRUE;
    error = ERROR_INVALID_HANDLE;
    return FALSE;
}

DWORD DeviceFiles::GetFileAttributes(const char16_t* path, DWORD& error)
{
    std::string host;
    std::string normalized;
    if (!HostPath(path, host, normalized, error))
        return rapi::CE_NO_ATTRIBUTES;
    struct stat info;
    if (::stat(host.c_str(), &info) != 0)
    {
        error = DeviceError(errno, host);
        return rapi::CE_NO_ATTRIBUTES;
    }
    return S_ISDIR(info.st_mode) ? rapi::CE_FILE_ATTRIBUTE_DIRECTORY : kAttributeArchive;
}

BOOL DeviceFiles::SetFileAttributes(const char16_t* path, DWORD& error)
{
    return GetFileAttributes(path, error) != rapi::CE_NO_ATTRIBUTES;
}

BOOL DeviceFiles::DeleteFile(const char16_t* path, DWORD& error)
{
    std::string host;
    std::string normalized;
    if (!HostPath(path, host, normalized, error))
        return FALSE;
    if (normalized == "/" || IsFolder(host))
    {
        error = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (IsOpen(normalized))
    {
        error = ERROR_SHARING_VIOLATION;
        return FALSE;
    }
    if (::unlink(host.c_str()) != 0)
    {
        error = DeviceError(errno, host);
        return FALSE;
    }
    return TRUE;
}

BOOL DeviceFiles::CreateDirectory(const char16_t* path, DWORD& error)
{
    std::string host;
    std::string normalized;
    if (!HostPath(path, host, normalized, error))
    {
        if (error == ERROR_FILE_NOT_FOUND)
            error = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    if (normalized == "/")
    {
        error = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    if (::mkdir(host.c_str(), 0777) != 0)
    {
        error = DeviceError(errno, host);
        return FALSE;
    }
    return TRUE;
}

BOOL DeviceFiles::RemoveDirectory(const char16_t* path, DWORD& error)
{
    std::string host;
    std::string normalized;
    if (!HostPath(path, host, normalized, error))
        return FALSE;
    if (normalized == "/")
    {
        error = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (::rmdir(host.c_str()) != 0)
    {
        error = DeviceError(errno, host);
        return FALSE;
    }
    return TRUE;
}

BOOL DeviceFiles::MoveFile(const char16_t* from, const char16_t* to, DWORD& error)
{
    std::string source;
    std::string target;
    std::string normalizedSource;
    std::string normalizedTarget;
    if (!HostPath(from, source, normalizedSource, error) || !HostPath(to, target, normalizedTarget, error))
        return FALSE;
    if (m_profile && m_profile->moveError != 0)
    {
        error = m_profile->moveError;
        return FALSE;
    }
    struct stat info;
    if (::stat(source.c_str(), &info) != 0)
    {
        error = DeviceError(errno, source);
        return FALSE;
    }
    // As on the device: the new name must be free, and an open file stays.
    if (::stat(target.c_str(), &info) == 0)
    {
        error = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    if (IsOpen(normalizedSource))
    {
        error = ERROR_SHARING_VIOLATION;
        return FALSE;
    }
    if (::rename(source.c_str(), target.c_str()) != 0)
    {
        error = DeviceError(errno, target);
        return FALSE;
    }
    ++m_moves;
    if (m_profile && m_profile->linkLostAfterMoves >= 0
        && m_moves >= static_cast<std::uint64_t>(m_profile->linkLostAfterMoves))
        m_linkLost = true;
    return TRUE;
}

BOOL DeviceFiles::GetDiskFreeSpace(const char16_t* folder, std::uint64_t* freeToCaller,
                                   std::uint64_t* total, std::uint64_t* totalFree, DWORD& error)
{
    std::string host;
    std::string normalized;
    if (!HostPath(folder, host, normalized, error))
        return FALSE;
    if (!IsFolder(host))
    {
        error = ERROR_PATH_NOT_FOUND;
        return FALSE;
    }
    if (m_profile && m_profile->diskError != 0)
    {
        error = m_profile->diskError;
        return FALSE;
    }
    const DeviceProfile fallback;
    const DeviceProfile& profile = m_profile ? *m_profile : fallback;
    if (freeToCaller)
        *freeToCaller = profile.diskFree;
    if (total)
        *total = profile.diskTotal;
    if (totalFree)
        *totalFree = profile.diskFree;
    return TRUE;
}

HANDLE DeviceFiles::FindFirstFile(const char16_t* pattern, rapi::CE_FIND_DATA* data, DWORD& error)
{
    std::string text;
    std::vector<std::string> parts;
    if (!pattern || !data || m_root.empty() || !Utf16ToUtf8(pattern, text)
        || !SplitPath(text, parts, true) || parts.empty())
    {
        error = ERROR_INVALID_NAME;
        return rapi::CeInvalidHandle();
    }
    const std::string folder = Join(m_root, parts, parts.size() - 1);
    const std::string wanted = Lower(parts.back());
    const bool atRoot = parts.size() == 1;

    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
    {
        error = ERROR_PATH_NOT_FOUND;
        return rapi::CeInvalidHandle();
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || (atRoot && Lower(name) == Lower(kProfileFileName)))
            continue;
        if (::fnmatch(wanted.c_str(), Lower(name).c_str(), FNM_NOESCAPE) == 0)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    if (m_profile && m_profile->listDots)
        names.insert(names.begin(), {".", ".."});

    Search search;
    for (const std::string& name : names)
    {
        rapi::CE_FIND_DATA entry;
        const std::string host = name == "." ? folder : name == ".." ? folder + "/.." : folder + "/" + name;
        if (FindEntry(host, name, entry))
            search.entries.push_back(entry);
    }
    if (search.entries.empty())
    {
        error = ERROR_FILE_NOT_FOUND;
        return rapi::CeInvalidHandle();
    }
    *data = search.entries[0];
    search.next = 1;
    const std::uintptr_t id = m_nextHandle++;
    m_searches[id] = std::move(search);
    return ToHandle(id);
}

BOOL DeviceFiles::FindNextFile(HANDLE handle, rapi::CE_FIND_DATA* data, DWORD& error)
{
    const auto found = m_searches.find(FromHandle(handle));
    if (found == m_searches.end() || !data)
    {
        error = found == m_searches.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    Search& search = found->second;
    if (search.next >= search.entries.size())
    {
        error = ERROR_NO_MORE_FILES;
        return FALSE;
    }
    *data = search.entries[search.next++];
    return TRUE;
}

BOOL DeviceFiles::FindClose(HANDLE handle, DWORD& error)
{
    if (m_searches.erase(FromHandle(handle)) == 0)
    {
        error = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}
}

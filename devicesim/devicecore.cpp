#include "devicesim/devicecore.h"

#include "devicelib/vdxrapi.h"
#include "devicesim/utf8.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace devsim
{
namespace
{
thread_local DWORD t_lastError = 0;

// A device has far less memory than this; larger requests fail as there.
const UINT kLargestAllocation = 16u << 20;
const std::uintptr_t kFirstVolume = 0x5000;

void PutDword(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// The record as the query answers it: whole when it fits, otherwise only its
// required size in dwSize and ERROR_INSUFFICIENT_BUFFER, as the system does.
BOOL AnswerRecord(const std::string& record, LPVOID output, DWORD outputSize, LPDWORD returned)
{
    if (!output || outputSize < record.size())
    {
        if (output && outputSize >= 4)
        {
            const std::uint32_t size = static_cast<std::uint32_t>(record.size());
            std::memcpy(output, &size, 4);
        }
        DeviceCore::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(output, record.data(), record.size());
    if (returned)
        *returned = static_cast<DWORD>(record.size());
    return TRUE;
}

std::string Hex32(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string Narrow(LPCWSTR text)
{
    std::string out;
    if (!text || !Utf16ToUtf8(text, out))
        return "?";
    return out;
}

// wsprintfW's conversions: %s (wide text), %c, %d, %i, %u, %x, %X, with the
// "0" flag, a width and an ignored "l"; at most 1024 units, as on Windows.
int FormatWide(LPWSTR output, LPCWSTR format, va_list arguments)
{
    const std::size_t kLimit = 1024;
    std::u16string out;
    for (const WCHAR* f = format; *f; ++f)
    {
        if (*f != u'%')
        {
            out += *f;
            continue;
        }
        ++f;
        if (*f == u'%')
        {
            out += u'%';
            continue;
        }
        bool zero = false;
        if (*f == u'0')
        {
            zero = true;
            ++f;
        }
        unsigned width = 0;
        while (*f >= u'0' && *f <= u'9')
            width = width * 10 + static_cast<unsigned>(*f++ - u'0');
        if (*f == u'l')
            ++f;
        std::u16string piece;
        char digits[32] = "";
        switch (*f)
        {
        case u's':
        {
            const WCHAR* text = va_arg(arguments, const WCHAR*);
            piece = text ? std::u16string(text) : std::u16string(u"(null)");
            break;
        }
        case u'c':
            piece = static_cast<char16_t>(va_arg(arguments, int));
            break;
        case u'd':
        case u'i':
            std::snprintf(digits, sizeof digits, "%d", va_arg(arguments, int));
            break;
        case u'u':
            std::snprintf(digits, sizeof digits, "%u", va_arg(arguments, unsigned));
            break;
        case u'x':
            std::snprintf(digits, sizeof digits, "%x", va_arg(arguments, unsigned));
            break;
        case u'X':
            std::snprintf(digits, sizeof digits, "%X", va_arg(arguments, unsigned));
            break;
        case 0:
            --f;
            break;
        default:
            piece = *f;
            break;
        }
        for (const char* d = digits; *d; ++d)
            piece += static_cast<char16_t>(*d);
        while (piece.size() < width)
            piece.insert(piece.begin(), zero ? u'0' : u' ');
        out += piece;
    }
    if (out.size() > kLimit - 1)
        out.resize(kLimit - 1);
    std::memcpy(output, out.c_str(), (out.size() + 1) * sizeof(WCHAR));
    return static_cast<int>(out.size());
}

int CompareWide(const WCHAR* a, const WCHAR* b)
{
    while (*a && *a == *b)
    {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

// The table's entries: plain functions over the one device.
HLOCAL CoreLocalAlloc(UINT flags, UINT bytes)
{
    return DeviceCore::Instance().LocalAlloc(flags, bytes);
}

HLOCAL CoreLocalFree(HLOCAL block)
{
    return DeviceCore::Instance().LocalFree(block);
}

BOOL CoreKernelIoControl(DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                         DWORD outputSize, LPDWORD returned)
{
    return DeviceCore::Instance().KernelIoControl(code, input, inputSize, output, outputSize,
                                                  returned);
}

BOOL CoreDeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                         DWORD outputSize, LPDWORD returned, LPVOID)
{
    return DeviceCore::Instance().DeviceIoControl(device, code, input, inputSize, output,
                                                  outputSize, returned);
}

HANDLE CoreCreateFileW(LPCWSTR name, DWORD access, DWORD, LPVOID, DWORD disposition, DWORD,
                       HANDLE)
{
    return DeviceCore::Instance().CreateFileW(name, access, disposition);
}

BOOL CoreCloseHandle(HANDLE handle)
{
    return DeviceCore::Instance().CloseHandle(handle);
}

BOOL CoreGetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeToCaller,
                             ULARGE_INTEGER* total, ULARGE_INTEGER* totalFree)
{
    return DeviceCore::Instance().GetDiskFreeSpaceExW(folder, freeToCaller, total, totalFree);
}

BOOL CoreSystemParametersInfoW(UINT action, UINT param, LPVOID value, UINT)
{
    return DeviceCore::Instance().SystemParametersInfoW(action, param, value);
}

HWND CoreFindWindowW(LPCWSTR className, LPCWSTR title)
{
    return DeviceCore::Instance().FindWindowW(className, title);
}

BOOL CorePostMessageW(HWND window, UINT message, WPARAM, LPARAM)
{
    return DeviceCore::Instance().PostMessageW(window, message);
}

void CoreSleep(DWORD milliseconds)
{
    DeviceCore::Instance().Sleep(milliseconds);
}

const CE_CORE_LIBRARY s_table = {
    sizeof(CE_CORE_LIBRARY),
    CoreLocalAlloc,
    CoreLocalFree,
    CoreKernelIoControl,
    CoreDeviceIoControl,
    CoreCreateFileW,
    CoreCloseHandle,
    CoreGetDiskFreeSpaceExW,
    CoreSystemParametersInfoW,
    CoreFindWindowW,
    CorePostMessageW,
    CoreSleep,
    DeviceCore::GetLastError,
    FormatWide,
    CompareWide,
};
}

DeviceCore& DeviceCore::Instance()
{
    static DeviceCore s_core;
    return s_core;
}

DeviceCore::DeviceCore()
    : m_nextSerial(1),
      m_nextVolume(kFirstVolume),
      m_callAllocations(0)
{
}

const CE_CORE_LIBRARY* DeviceCore::Table() const
{
    return &s_table;
}

void DeviceCore::SetProfile(const DeviceProfile& profile)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_profile = profile;
}

void DeviceCore::BeginCall()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_callAllocations = 0;
}

bool DeviceCore::IsLive(const void* block) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_blocks.count(block) != 0;
}

std::uint64_t DeviceCore::Serial(const void* block) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    const auto found = m_blocks.find(block);
    return found == m_blocks.end() ? 0 : found->second;
}

CoreCounters DeviceCore::Counters() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    CoreCounters counters = m_counters;
    counters.live = static_cast<std::uint32_t>(m_blocks.size());
    counters.openVolumes = static_cast<std::uint32_t>(m_volumes.size());
    return counters;
}

void DeviceCore::Reset()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_counters = CoreCounters();
    m_callAllocations = 0;
    m_log.clear();
}

void DeviceCore::Log(const std::string& line)
{
    std::lock_guard<std::mutex> lock(m_lock);
    AppendLog(line);
}

void DeviceCore::AppendLog(const std::string& line)
{
    // Tests look at the last calls; a long session keeps only the recent.
    const std::size_t kLimit = 1u << 20;
    if (m_log.size() > kLimit)
        m_log.erase(0, m_log.find('\n', m_log.size() / 2) + 1);
    m_log += line;
    m_log += '\n';
}

std::string DeviceCore::LogText() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_log;
}

DWORD DeviceCore::GetLastError()
{
    return t_lastError;
}

void DeviceCore::SetLastError(DWORD error)
{
    t_lastError = error;
}

HLOCAL DeviceCore::LocalAlloc(UINT flags, UINT bytes)
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_callAllocations;
    if ((m_profile.allocFail != 0 && m_callAllocations == m_profile.allocFail)
        || bytes > kLargestAllocation)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Memory not asked to be zeroed is not: code relying on it shows.
    std::memset(block, (flags & LMEM_ZEROINIT) ? 0 : 0xCD, bytes ? bytes : 1);
    m_blocks[block] = m_nextSerial++;
    ++m_counters.allocations;
    return block;
}

HLOCAL DeviceCore::LocalFree(HLOCAL block)
{
    if (!block)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    const auto found = m_blocks.find(block);
    if (found == m_blocks.end())
    {
        // Freed twice, or never allocated here: count it, touch nothing.
        ++m_counters.badFrees;
        AppendLog("LocalFree of an unknown block");
        SetLastError(ERROR_INVALID_HANDLE);
        return block;
    }
    m_blocks.erase(found);
    std::free(block);
    ++m_counters.frees;
    return nullptr;
}

std::string DeviceCore::DeviceIdRecord(const DeviceProfile& profile)
{
    if (profile.hasDeviceIdRecord)
        return std::string(profile.deviceIdRecord.begin(), profile.deviceIdRecord.end());
    const std::size_t head = 20;
    const std::size_t preset = profile.deviceIdPreset.size();
    const std::size_t platform = profile.deviceIdPlatform.size();
    std::string record(head, '\0');
    record.append(profile.deviceIdPreset.begin(), profile.deviceIdPreset.end());
    record.append(profile.deviceIdPlatform.begin(), profile.deviceIdPlatform.end());
    PutDword(record, 0, static_cast<std::uint32_t>(record.size()));
    PutDword(record, 4, preset ? static_cast<std::uint32_t>(head) : 0);
    PutDword(record, 8, static_cast<std::uint32_t>(preset));
    PutDword(record, 12, platform ? static_cast<std::uint32_t>(head + preset) : 0);
    PutDword(record, 16, static_cast<std::uint32_t>(platform));
    return record;
}

std::string DeviceCore::StorageRecord(const DeviceProfile& profile)
{
    if (profile.hasCardRecord)
        return std::string(profile.cardRecord.begin(), profile.cardRecord.end());
    std::string record(16, '\0');
    record += profile.cardManufacturer;
    record += '\0';
    const std::size_t serial = record.size();
    record += profile.cardSerial;
    record += '\0';
    PutDword(record, 0, static_cast<std::uint32_t>(record.size()));
    PutDword(record, 4, profile.cardFlags);
    PutDword(record, 8, 16);
    PutDword(record, 12, static_cast<std::uint32_t>(serial));
    return record;
}

BOOL DeviceCore::KernelIoControl(DWORD code, LPVOID, DWORD, LPVOID output, DWORD outputSize,
                                 LPDWORD returned)
{
    std::lock_guard<std::mutex> lock(m_lock);
    AppendLog("KernelIoControl " + Hex32(code));
    if (code == IOCTL_HAL_GET_DEVICEID)
    {
        if (m_profile.deviceIdError != 0)
        {
            SetLastError(m_profile.deviceIdError);
            return FALSE;
        }
        return AnswerRecord(DeviceIdRecord(m_profile), output, outputSize, returned);
    }
    if (code == IOCTL_HAL_GET_MAP_VENDER || code == IOCTL_HAL_GET_MAP_EXTRA)
    {
        if (!m_profile.vendorCodes)
        {
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        }
        if (!output)
        {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // What fits is written; the terminator only when there is room.
        const std::u16string text = Utf8ToUtf16(
            code == IOCTL_HAL_GET_MAP_VENDER ? m_profile.mapVender : m_profile.mapExtra);
        const std::size_t room = outputSize / sizeof(WCHAR);
        const std::size_t units = text.size() < room ? text.size() + 1 : room;
        std::memcpy(output, text.c_str(), units * sizeof(WCHAR));
        if (returned)
            *returned = static_cast<DWORD>(units * sizeof(WCHAR));
        return TRUE;
    }
    if (code == IOCTL_HAL_REBOOT)
        return TRUE;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

HANDLE DeviceCore::CreateFileW(LPCWSTR name, DWORD access, DWORD disposition)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::string path = Narrow(name);
    AppendLog("CreateFileW " + path);
    if (m_profile.cardFolder.empty() || (access & GENERIC_WRITE) || disposition != OPEN_EXISTING
        || NormalizeDevicePath(path) != NormalizeDevicePath(m_profile.cardFolder + "/vol:"))
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::uintptr_t id = m_nextVolume++;
    m_volumes[id] = Volume();
    return reinterpret_cast<HANDLE>(id);
}

BOOL DeviceCore::CloseHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_volumes.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL DeviceCore::DeviceIoControl(HANDLE device, DWORD code, LPVOID, DWORD, LPVOID output,
                                 DWORD outputSize, LPDWORD returned)
{
    std::lock_guard<std::mutex> lock(m_lock);
    AppendLog("DeviceIoControl " + Hex32(code));
    const auto volume = m_volumes.find(reinterpret_cast<std::uintptr_t>(device));
    if (volume == m_volumes.end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (code != IOCTL_DISK_GET_STORAGEID)
    {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    const std::string record = StorageRecord(m_profile);
    const bool first = !volume->second.queried;
    volume->second.queried = true;
    // A driver that wants the record passed in as well fails the first way
    // of asking, reporting only the size it needs.
    if (first && m_profile.cardQueryFirstFails)
        return AnswerRecord(record, output, outputSize < 4 ? outputSize : 4, returned);
    return AnswerRecord(record, output, outputSize, returned);
}

BOOL DeviceCore::GetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeToCaller,
                                     ULARGE_INTEGER* total, ULARGE_INTEGER* totalFree)
{
    std::lock_guard<std::mutex> lock(m_lock);
    AppendLog("GetDiskFreeSpaceExW " + Narrow(folder));
    if (m_profile.diskError != 0)
    {
        SetLastError(m_profile.diskError);
        return FALSE;
    }
    if (freeToCaller)
        freeToCaller->QuadPart = m_profile.diskFree;
    if (total)
        total->QuadPart = m_profile.diskTotal;
    if (totalFree)
        totalFree->QuadPart = m_profile.diskFree;
    return TRUE;
}

BOOL DeviceCore::SystemParametersInfoW(UINT action, UINT param, LPVOID value)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (action != SPI_GETOEMINFO || !m_profile.hasOemInfo || !value)
    {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    // Fills up to param units; terminated only when the text is shorter.
    const std::u16string text = Utf8ToUtf16(m_profile.oemInfo);
    const std::size_t units = text.size() < param ? text.size() + 1 : param;
    std::memcpy(value, text.c_str(), units * sizeof(WCHAR));
    return TRUE;
}

HWND DeviceCore::FindWindowW(LPCWSTR className, LPCWSTR title)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::string name = Narrow(className);
    AppendLog("FindWindowW " + name);
    if (!className || !title || name != Narrow(title))
        return nullptr;
    for (std::size_t i = 0; i < m_profile.windows.size(); ++i)
    {
        if (m_profile.windows[i] == name)
            return reinterpret_cast<HWND>(i + 1);
    }
    return nullptr;
}

BOOL DeviceCore::PostMessageW(HWND window, UINT message)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::size_t index = reinterpret_cast<std::uintptr_t>(window) - 1;
    if (index >= m_profile.windows.size())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    AppendLog("PostMessageW " + m_profile.windows[index] + " " + std::to_string(message));
    return TRUE;
}

void DeviceCore::Sleep(DWORD milliseconds)
{
    // The simulated device does not really wait; the call is noted.
    Log("Sleep " + std::to_string(milliseconds));
}
}

// The exports of vdxrapi. Each runs on a thread of the device's remote
// service, keeps nothing between calls, releases its input exactly once
// (except where a reply place is missing) and never writes past a buffer,
// whatever the system records it reads say.
#include "devicelib/vdxrapi.h"

#include <cstring>

namespace
{
// Units of a UTF-16 text that starts the input, when its terminating zero
// lies within the input; -1 otherwise.
long TerminatedTextLength(const BYTE* input, DWORD inputSize)
{
    const DWORD units = inputSize / 2;
    for (DWORD i = 0; i < units; ++i)
    {
        WCHAR unit;
        std::memcpy(&unit, input + 2 * i, sizeof unit);
        if (unit == 0)
            return static_cast<long>(i);
    }
    return -1;
}

// The input check of the exports that take a text: an empty text, or one
// that does not end within the input, is refused.
bool InputTextAcceptable(const BYTE* input, DWORD inputSize)
{
    return TerminatedTextLength(input, inputSize) > 0;
}

// Length of a byte text within [begin, end) of a record, ending at its first
// zero byte, at most `limit` bytes.
DWORD RecordTextLength(const BYTE* begin, const BYTE* end, DWORD limit)
{
    DWORD length = 0;
    while (begin + length < end && length < limit && begin[length] != 0)
        ++length;
    return length;
}

void AppendHex(char* text, DWORD& length, const BYTE* bytes, DWORD count)
{
    static const char digits[] = "0123456789ABCDEF";
    for (DWORD i = 0; i < count && length + 2 < kHexText; ++i)
    {
        text[length++] = digits[bytes[i] >> 4];
        text[length++] = digits[bytes[i] & 0x0F];
    }
    text[length] = 0;
}

// Whether [offset, offset + count) lies within a record of `size` bytes.
bool WithinRecord(DWORD offset, DWORD count, DWORD size)
{
    return offset <= size && count <= size - offset;
}

// Hexadecimal digits of the device's identity into text; false when the
// record could not be read or does not hold together.
bool ReadDeviceIdentity(char* text, DWORD& length)
{
    DWORD size = kDeviceIdBuffer;
    BYTE* record = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, size));
    if (!record)
        return false;

    DWORD returned = 0;
    BOOL ok = KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, record, size, &returned);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER)
    {
        DEVICE_ID head;
        std::memcpy(&head, record, sizeof head);
        LocalFree(record);
        record = nullptr;
        // A size no larger than what was offered, or absurdly large, is not
        // a size to retry with.
        if (head.dwSize > size && head.dwSize <= kDeviceIdLargest)
        {
            size = head.dwSize;
            record = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, size));
        }
        if (!record)
            return false;
        ok = KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, record, size, &returned);
    }
    if (!ok)
    {
        LocalFree(record);
        return false;
    }

    // Both parts must lie within the record as it reports its own size, and
    // within the buffer it was read into.
    DEVICE_ID id;
    std::memcpy(&id, record, sizeof id);
    const DWORD limit = id.dwSize < size ? id.dwSize : size;
    const bool wellFormed = (id.dwPresetIDOffset == 0
                             || WithinRecord(id.dwPresetIDOffset, id.dwPresetIDBytes, limit))
                            && (id.dwPlatformIDOffset == 0
                                || WithinRecord(id.dwPlatformIDOffset, id.dwPlatformIDBytes, limit));
    if (wellFormed)
    {
        if (id.dwPresetIDOffset != 0)
            AppendHex(text, length, record + id.dwPresetIDOffset, id.dwPresetIDBytes);
        if (id.dwPlatformIDOffset != 0)
            AppendHex(text, length, record + id.dwPlatformIDOffset, id.dwPlatformIDBytes);
    }
    LocalFree(record);
    return wellFormed;
}

// Copies a card text of a storage record into out (kCardText bytes).
void CopyCardText(char* out, const BYTE* begin, const BYTE* end)
{
    const DWORD length = RecordTextLength(begin, end, kCardText - 1);
    std::memcpy(out, begin, length);
    out[length] = 0;
}

// The manufacturer and serial texts of a storage record, run together and
// cut to the identity text's room; false when the record is unusable.
bool StorageIdentity(const BYTE* record, char* identity)
{
    STORAGE_IDENTIFICATION head;
    std::memcpy(&head, record, sizeof head);
    // The texts follow the record's fixed part and end within what was read.
    const DWORD end = head.dwSize < kStorageRecord ? head.dwSize : kStorageRecord;
    if (head.dwManufactureIDOffset < sizeof head
        || head.dwManufactureIDOffset > head.dwSerialNumOffset
        || head.dwSerialNumOffset > end)
        return false;

    char manufacturer[kCardText];
    char serial[kCardText];
    CopyCardText(manufacturer, record + head.dwManufactureIDOffset,
                 record + head.dwSerialNumOffset);
    CopyCardText(serial, record + head.dwSerialNumOffset, record + end);

    const std::size_t first = std::strlen(manufacturer);
    std::size_t second = std::strlen(serial);
    if (first + second > kCardText - 1)
        second = kCardText - 1 - first;
    std::memcpy(identity, manufacturer, first);
    std::memcpy(identity + first, serial, second);
    identity[first + second] = 0;
    return true;
}

bool IsOemText(const WCHAR* oem, const WCHAR* expected)
{
    return wcscmp(oem, expected) == 0;
}

LONG GetMapText(DWORD code, BYTE* input, DWORD* replySize, BYTE** reply)
{
    LocalFree(input);
    if (!reply || !replySize)
        return VDXRAPI_NO_PLACE;
    *reply = nullptr;
    *replySize = 0;

    WCHAR text[kMapText / sizeof(WCHAR)] = {};
    DWORD returned = 0;
    if (!KernelIoControl(code, nullptr, 0, text, kMapText, &returned))
        return VDXRAPI_NO_PLACE;

    DWORD units = 0;
    while (units < kMapText / sizeof(WCHAR) - 1 && text[units] != 0)
        ++units;
    text[units] = 0;
    const DWORD size = (units + 1) * sizeof(WCHAR);
    BYTE* out = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, size));
    if (!out)
        return ERROR_NOT_ENOUGH_MEMORY;
    std::memcpy(out, text, size);
    *reply = out;
    *replySize = size;
    return 0;
}
}

VDXRAPI_EXPORT LONG VDXGetDeviceID(DWORD, BYTE* input, DWORD* replySize, BYTE** reply, void*)
{
    if (!replySize || !reply)
        return VDXRAPI_NO_PLACE;
    *replySize = 0;
    *reply = nullptr;

    char text[kHexText];
    DWORD length = 0;
    text[0] = 0;
    if (!ReadDeviceIdentity(text, length))
    {
        length = 0;
        text[length++] = '0';
        text[length++] = '0';
        text[length] = 0;
    }

    LONG result = 0;
    if (length > 0)
    {
        BYTE* out = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, length + 2));
        if (out)
        {
            out[0] = 'x';
            std::memcpy(out + 1, text, length + 1);
            *reply = out;
            *replySize = length + 2;
        }
        else
        {
            result = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    LocalFree(input);
    return result;
}

VDXRAPI_EXPORT LONG VDXGetCardID(DWORD inputSize, BYTE* input, DWORD* replySize, BYTE** reply,
                                 void*)
{
    if (!replySize || !reply)
        return VDXRAPI_NO_PLACE;
    *replySize = 0;
    *reply = nullptr;
    if (!input)
        return VDXRAPI_NO_PLACE;
    // The volume path is the folder followed by "\Vol:" (5 characters) and
    // must fit its buffer; a longer folder is refused like any unusable text.
    const long folderLength = TerminatedTextLength(input, inputSize);
    if (folderLength <= 0 || folderLength + 5 + 1 > static_cast<long>(kVolumePath))
    {
        LocalFree(input);
        return VDXRAPI_BAD_INPUT;
    }

    BYTE* record = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, kStorageRecord));
    WCHAR volume[kVolumePath];
    wsprintfW(volume, CE_TEXT("%s\\Vol:"), reinterpret_cast<const WCHAR*>(input));
    LocalFree(input);
    if (!record)
        return ERROR_NOT_ENOUGH_MEMORY;

    STORAGE_IDENTIFICATION head = {};
    head.dwSize = sizeof head;
    std::memcpy(record, &head, sizeof head);
    HANDLE handle = CreateFileW(volume, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
    {
        LocalFree(record);
        return 0;
    }

    DWORD returned = 0;
    BOOL ok = DeviceIoControl(handle, IOCTL_DISK_GET_STORAGEID, nullptr, 0, record,
                              head.dwSize + kStorageTexts, &returned, nullptr);
    if (!ok)
    {
        std::memcpy(&head, record, sizeof head);
        // The record is both input and output of the second attempt; a size
        // beyond what was allocated is not passed on.
        if (head.dwSize <= kStorageRecord)
            ok = DeviceIoControl(handle, IOCTL_DISK_GET_STORAGEID, record, head.dwSize, record,
                                 head.dwSize, &returned, nullptr);
    }
    CloseHandle(handle);

    WCHAR oem[kOemText] = {};
    std::memcpy(&head, record, sizeof head);
    if (SystemParametersInfoW(SPI_GETOEMINFO, kOemQuery, oem, 0)
        && IsOemText(oem, CE_TEXT("TR518")))
        head.dwFlags = 0;

    LONG result = 0;
    char identity[kCardText];
    if (ok && head.dwFlags == 0 && StorageIdentity(record, identity))
    {
        const DWORD length = static_cast<DWORD>(std::strlen(identity));
        if (length > 0)
        {
            BYTE* out = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, length + 1));
            if (out)
            {
                std::memcpy(out, identity, length + 1);
                *reply = out;
                *replySize = length + 1;
            }
            else
            {
                result = ERROR_NOT_ENOUGH_MEMORY;
            }
        }
    }
    LocalFree(record);
    return result;
}

VDXRAPI_EXPORT LONG VDXGetDiskSize(DWORD inputSize, BYTE* input, DWORD* replySize, BYTE** reply,
                                   void*)
{
    if (!replySize || !reply)
        return VDXRAPI_NO_PLACE;
    *replySize = 0;
    *reply = nullptr;
    if (!input)
        return VDXRAPI_NO_PLACE;
    if (!InputTextAcceptable(input, inputSize))
    {
        LocalFree(input);
        return VDXRAPI_BAD_INPUT;
    }

    ULARGE_INTEGER total = {};
    ULARGE_INTEGER totalFree = {};
    BYTE* out = nullptr;
    if (GetDiskFreeSpaceExW(reinterpret_cast<const WCHAR*>(input), nullptr, &total, &totalFree))
        out = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, 8));
    if (!out)
    {
        // A failure must not read as success when the system kept no number.
        const DWORD error = GetLastError();
        LocalFree(input);
        return error != 0 ? static_cast<LONG>(error) : ERROR_GEN_FAILURE;
    }

    const DWORD sizes[2] = {static_cast<DWORD>(total.QuadPart),
                            static_cast<DWORD>(totalFree.QuadPart)};
    for (int i = 0; i < 2; ++i)
    {
        for (int b = 0; b < 4; ++b)
            out[4 * i + b] = static_cast<BYTE>(sizes[i] >> (8 * b));
    }
    *reply = out;
    *replySize = 8;
    LocalFree(input);
    return 0;
}

VDXRAPI_EXPORT LONG VDXGetMapVender(DWORD, BYTE* input, DWORD* replySize, BYTE** reply, void*)
{
    return GetMapText(IOCTL_HAL_GET_MAP_VENDER, input, replySize, reply);
}

VDXRAPI_EXPORT LONG VDXGetMapExtra(DWORD, BYTE* input, DWORD* replySize, BYTE** reply, void*)
{
    return GetMapText(IOCTL_HAL_GET_MAP_EXTRA, input, replySize, reply);
}

VDXRAPI_EXPORT LONG VDXSoftReset(DWORD, BYTE* input, DWORD* replySize, BYTE** reply, void*)
{
    if (replySize)
        *replySize = 0;
    if (reply)
        *reply = nullptr;
    LocalFree(input);
    // Time for the remote service to report the call's completion.
    Sleep(1000);
    KernelIoControl(IOCTL_HAL_REBOOT, nullptr, 0, nullptr, 0, nullptr);
    return 0;
}

VDXRAPI_EXPORT LONG VDXStopApplication(DWORD inputSize, BYTE* input, DWORD* replySize,
                                       BYTE** reply, void*)
{
    if (replySize)
        *replySize = 0;
    if (reply)
        *reply = nullptr;
    if (inputSize == 0 || !input)
        return VDXRAPI_NO_PLACE;
    if (TerminatedTextLength(input, inputSize) < 0)
    {
        LocalFree(input);
        return VDXRAPI_BAD_INPUT;
    }

    const WCHAR* name = reinterpret_cast<const WCHAR*>(input);
    HWND window = FindWindowW(name, name);
    LocalFree(input);
    if (!window)
        return VDXRAPI_NO_WINDOW;
    // Posted, not sent: a window that does not answer must not hold the
    // remote service's thread.
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

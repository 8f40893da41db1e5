// Values shared by every device back end: error codes, transports and the
// names used in transfer error texts.
#ifndef PONTIRO_DEVICE_DEVICEDEFS_H
#define PONTIRO_DEVICE_DEVICEDEFS_H

#include <cstddef>
#include <cstdint>

// Codes kept in the device's error record; 0 means no error.
enum : std::int32_t
{
    DEVICE_ERR_NONE = 0,
    DEVICE_ERR_NO_RAPI = 1000000,       // detail: the library name tried
    DEVICE_ERR_RAPI_ENTRY = 1000001,    // detail: empty
    DEVICE_ERR_INVOKE = 1000002,        // detail: empty
    DEVICE_ERR_BAD_PATH = 1000003,      // detail: the path
    DEVICE_ERR_UNSUPPORTED = 1000004,   // detail: "VDXRDEVCARD::" + operation
    DEVICE_ERR_LOCAL_OPEN = 1000100,    // detail: transfer mark + local path
    DEVICE_ERR_LOCAL_WRITE = 1000102,   // detail: transfer mark + local path
    DEVICE_ERR_OPEN = 1000200,          // detail: transfer mark + device path
    DEVICE_ERR_READ = 1000201,          // detail: transfer mark + name
    DEVICE_ERR_WRITE = 1000202,         // detail: transfer mark + destination
    DEVICE_ERR_MKDIR = 1000203,         // detail: the folder's device path
    DEVICE_ERR_VERIFY = 1000204,        // detail: transfer mark + device path
    DEVICE_ERR_RENAME = 1000205,        // detail: transfer mark + the name to be had
    DEVICE_ERR_DELETE = 1000206,        // detail: the file's device path
    DEVICE_ERR_FREE_SPACE = 1000207,    // detail: the folder's device path
    DEVICE_ERR_REPLY = 1000300          // detail: empty
};

// How the device is reached; kept in m_transport, read by nobody else.
enum : std::int32_t
{
    TRANSPORT_NONE = -1,
    TRANSPORT_ACTIVESYNC = 0,
    TRANSPORT_MEMORY_CARD = 7
};

// Transfer error texts are one mark character followed by a name: the
// source of the transfer or its destination.
constexpr wchar_t DEVICE_MARK_SOURCE = L'<';
constexpr wchar_t DEVICE_MARK_DESTINATION = L'>';

// Beside each target, in its own folder: the staged new file, and the
// previous file while a commit runs. Not hidden by a leading dot, which
// hides nothing on FAT.
constexpr const wchar_t* kStagedSuffix = L".pontiro-new";
constexpr const wchar_t* kOldSuffix = L".pontiro-old";

// The piece a transfer counts in: one Remote API call moves at most this
// much, a memory-card file is written in whole ones (several per system
// call, see CardWriter), and the download grows a response body by at
// least one and reads at least one a call.
constexpr std::size_t kTransferChunk = 10240;

// Name of a byte vector in memory when it is one side of a transfer.
constexpr const wchar_t* kMemoryNameRapi = L"[Memory]";
constexpr const wchar_t* kMemoryNameCard = L"[MEMORY]";

#endif

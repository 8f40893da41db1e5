// What only a device can answer, and the faults a test wants: read from the
// profile file at the root of the simulated device's folder, afresh before
// every call, as "key = value" lines ("#" starts a comment).
//
// The link          link_delay_ms (how long an initialisation must be
//                   pending, with no CeRapiUninit, before the link is up;
//                   or "never"), init_result, link_result
// Adaptation layer  vendor_codes (yes/no), map_vender, map_extra
// Identity          device_id_preset, device_id_platform (hex bytes),
//                   device_id_record (the whole DEVICE_ID, hex),
//                   device_id_error (the query fails with this number)
// Storage card      card_folder (where "<folder>\Vol:" opens), card_manufacturer,
//                   card_serial, card_flags, card_record (whole, hex),
//                   card_query_first_fails, oem_info, no_oem_info
// Disk              disk_total, disk_free, disk_error (also what
//                   CeGetDiskFreeSpaceEx answers for any folder there)
// Windows           windows (class names, comma-separated)
// File faults       refuse_create (paths), refuse_error; write_fault_path,
//                   write_fail_after, write_short_after (bytes), write_zero,
//                   write_error; write_fail_file (the write faults hit only
//                   the Nth file opened for writing since the link came up,
//                   1 the first; alone, its first write fails);
//                   read_fault_path, read_fail_after, read_error,
//                   size_extra, read_flip_at (that byte of the file comes
//                   back inverted: a read-back other than what was written);
//                   list_dots; move_error (CeMoveFile fails with it)
// Link faults       link_lost_after_bytes (the write that passes so many
//                   bytes written since the link came up goes only that
//                   far), link_lost_after_moves (once so many CeMoveFile
//                   calls have succeeded): then every call fails with
//                   ERROR_DEVICE_NOT_CONNECTED until the next CeRapiInitEx
//                   or DevSimReset
// A provider without the optional CeMoveFile and CeGetDiskFreeSpaceEx is
// its own library (rapi-basic): the entries a provider exports cannot
// change with the profile.
// Call faults       invoke_result; reply_function, reply (hex bytes the
//                   desktop gets instead), reply_fault (empty, unterminated,
//                   inner-zero); alloc_fail (the Nth allocation of an export)
#ifndef PONTIRO_DEVICESIM_PROFILE_H
#define PONTIRO_DEVICESIM_PROFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace devsim
{
// Name of the profile file in the device's root folder; the device's own
// file system does not show it.
extern const char* const kProfileFileName;

struct DeviceProfile
{
    // The link: how long after CeRapiInitEx it comes up, if no CeRapiUninit
    // comes first (never when negative); CeRapiInitEx's result and the
    // result the record reports.
    std::int64_t linkDelayMs = 0;
    std::int32_t initResult = 0;
    std::int32_t linkResult = 0;

    // The adaptation layer's vendor codes.
    bool vendorCodes = true;
    std::string mapVender;
    std::string mapExtra;

    // IOCTL_HAL_GET_DEVICEID: built from the two parts, or given whole.
    std::vector<std::uint8_t> deviceIdPreset;
    std::vector<std::uint8_t> deviceIdPlatform;
    bool hasDeviceIdRecord = false;
    std::vector<std::uint8_t> deviceIdRecord;
    std::uint32_t deviceIdError = 0;

    // The storage card: where it is mounted (empty: no card) and what its
    // identification holds; or the record given whole.
    std::string cardFolder;
    std::string cardManufacturer;
    std::string cardSerial;
    std::uint32_t cardFlags = 0;
    bool hasCardRecord = false;
    std::vector<std::uint8_t> cardRecord;
    bool cardQueryFirstFails = false;
    bool hasOemInfo = true;
    std::string oemInfo = "Pontiro simulated device";

    std::uint64_t diskTotal = 2ull << 30;
    std::uint64_t diskFree = 1ull << 30;
    std::uint32_t diskError = 0;

    // Top-level windows (class name and title alike).
    std::vector<std::string> windows;

    // Faults of the Remote API's file operations. Paths are device paths;
    // an empty fault path means every file.
    std::vector<std::string> refuseCreate;
    std::uint32_t refuseError = 5;
    std::string writeFaultPath;
    std::int64_t writeFailAfter = -1;
    std::int64_t writeShortAfter = -1;
    bool writeZero = false;
    std::uint32_t writeError = 112;
    std::string readFaultPath;
    std::int64_t readFailAfter = -1;
    std::uint32_t readError = 30;
    std::uint32_t sizeExtra = 0;
    bool listDots = false;
    std::uint32_t writeFailFile = 0;
    std::int64_t readFlipAt = -1;
    std::uint32_t moveError = 0;

    // The link lost part-way: after so many bytes written, or so many
    // files renamed, since it came up; -1 for never.
    std::int64_t linkLostAfterBytes = -1;
    std::int64_t linkLostAfterMoves = -1;

    // Faults of remote calls: a failed CeRapiInvoke, a reply replaced or
    // damaged on its way to the desktop (only for replyFunction when set),
    // the Nth allocation of a call's export failing.
    std::int32_t invokeResult = 0;
    std::string replyFunction;
    bool hasReply = false;
    std::vector<std::uint8_t> reply;
    std::string replyFault;
    std::uint32_t allocFail = 0;

    // Lines the parser did not understand.
    std::vector<std::string> problems;
};

// "key = value" lines; "#" starts a comment line.
DeviceProfile ParseProfile(const std::string& text);

// The profile of the device rooted at root; defaults when it has none.
DeviceProfile LoadProfile(const std::string& root);

// A device path as the profile compares it: "/"-separated, no empty parts,
// ASCII letters lower-cased (the device's file names ignore case).
std::string NormalizeDevicePath(const std::string& path);
}

#endif

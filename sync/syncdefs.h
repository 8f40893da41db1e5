// Values shared by the worker threads and the wizard window: device kinds,
// step numbers of the thread events and the download's error codes.
#ifndef PONTIRO_SYNC_SYNCDEFS_H
#define PONTIRO_SYNC_SYNCDEFS_H

#include <cstddef>

enum DeviceKind
{
    DEVICE_KIND_NONE = 0,
    DEVICE_KIND_OSELAN = 1,
    DEVICE_KIND_TARVIK = 2
};

// The integer of every download and upload event.
enum SyncStep
{
    STEP_JOB1 = 2,
    STEP_JOB2 = 3,
    STEP_JOB3 = 4,
    STEP_FINISHED = 5,
    STEP_FAILED = 6
};

// Why a download failed (meaningful with STEP_FAILED).
enum DownloadError
{
    DOWNLOAD_ERR_NONE = 0,
    DOWNLOAD_ERR_NO_RESPONSE = 1,
    DOWNLOAD_ERR_LOGIN = 2,
    DOWNLOAD_ERR_HTTP = 3
};

// Redirects followed for one item before it fails.
constexpr int kMaxRedirects = 10;
// Largest body kept in memory for one item.
constexpr std::size_t kMaxBodyBytes = std::size_t(512) * 1024 * 1024;

#endif

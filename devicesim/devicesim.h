// What the simulated device offers besides the Remote API: counters and a
// call log for the tests that drive it, and a fresh start between tests.
// The device's folder is named by the environment variable
// PONTIRO_DEVICE_ROOT when CeRapiInitEx runs; its profile file is
// "devicesim.ini" in that folder (see profile.h for the keys).
#ifndef PONTIRO_DEVICESIM_DEVICESIM_H
#define PONTIRO_DEVICESIM_DEVICESIM_H

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define DEVSIM_API extern "C" __declspec(dllexport)
#else
#define DEVSIM_API extern "C" __attribute__((visibility("default")))
#endif

struct DEVSIM_COUNTERS
{
    std::uint32_t inits;            // CeRapiInitEx calls
    std::uint32_t uninits;          // CeRapiUninit calls
    std::uint32_t invokes;          // CeRapiInvoke calls
    std::uint32_t exportCalls;      // exports of the device-side library run
    std::uint32_t deviceAllocations;
    std::uint32_t deviceFrees;
    std::uint32_t deviceBadFrees;   // LocalFree on the device of an unknown block
    std::uint32_t deviceLive;       // device blocks not released
    std::uint32_t inputsLeft;       // inputs an export did not release
    std::uint32_t replies;          // replies handed to the desktop
    std::uint32_t replyFrees;       // ... and released with LocalFree
    std::uint32_t replyBadFrees;    // desktop LocalFree of an unknown block
    std::uint32_t openHandles;      // Remote API file and search handles open
    std::uint32_t openVolumes;      // volume handles open on the device
    std::uint32_t inputsReleased;   // remote-call inputs from LocalAlloc, released here
    std::uint32_t inputsForeign;    // inputs that did not come from LocalAlloc
};

// Forgets counters and log and closes the files the desktop left open; an
// initialisation and its link stay as they are.
DEVSIM_API void DevSimReset();
DEVSIM_API void DevSimGetCounters(DEVSIM_COUNTERS* counters);
// Copies the call log (one line per call) into buffer, zero-terminated and
// cut to size; returns the log's whole length.
DEVSIM_API std::size_t DevSimGetLog(char* buffer, std::size_t size);

#ifdef _WIN32
// Replies are released with kernel32's LocalFree there, which the provider
// never sees: a test that watches the program's LocalFree calls reports
// each one here (freed: LocalFree succeeded), so that replyFrees and
// replyBadFrees count the same as elsewhere.
DEVSIM_API void DevSimReplyReleased(void* block, int freed);
#endif

#endif

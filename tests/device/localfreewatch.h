// Windows only: the program releases remote-call replies with kernel32's
// LocalFree, which the simulated provider cannot see. The watch routes the
// test program's own LocalFree import through a function that tells the
// provider about every release (DevSimReplyReleased), so the reply counters
// mean there what they mean elsewhere.
#ifndef PONTIRO_TESTS_DEVICE_LOCALFREEWATCH_H
#define PONTIRO_TESTS_DEVICE_LOCALFREEWATCH_H

#ifdef _WIN32

typedef void (*LocalFreeObserver)(void* block, int freed);

// Installs the watch once (later calls only change the observer); false
// when the program's import of LocalFree was not found.
bool WatchLocalFree(LocalFreeObserver observer);

#endif
#endif

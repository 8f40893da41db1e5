// Helpers shared by the device tests: folders and UTF-16 bytes, over the
// tests' support library (the recorder of device notifications is
// eventlog.h).
#ifndef PONTIRO_TESTS_DEVICE_DEVICETEST_H
#define PONTIRO_TESTS_DEVICE_DEVICETEST_H

#include "eventlog.h"

#include <wx/string.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/pattern.h"
#include "tests/support/scratchfolder.h"

typedef ByteVector Bytes;

void MakeDirs(const std::string& path);
// UTF-16LE bytes of a text given as 16-bit units.
Bytes Utf16(const std::u16string& text);

#endif

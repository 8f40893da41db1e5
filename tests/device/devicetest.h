// Helpers shared by the device tests: folders, UTF-16 bytes and a recorder
// of device notifications, over the tests' support library.
#ifndef PONTIRO_TESTS_DEVICE_DEVICETEST_H
#define PONTIRO_TESTS_DEVICE_DEVICETEST_H

#include <wx/event.h>
#include <wx/string.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/pattern.h"
#include "tests/support/scratchfolder.h"

typedef std::vector<unsigned char> Bytes;

void MakeDirs(const std::string& path);
// UTF-16LE bytes of a text given as 16-bit units.
Bytes Utf16(const std::u16string& text);

// Records the device notifications handed to it, as "started", the
// percentage of a progress event, "finished" and "failed".
class EventLog : public wxEvtHandler
{
public:
    void QueueEvent(wxEvent* event) override;
    std::vector<std::string> events;
};

#endif

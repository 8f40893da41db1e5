// Helpers shared by the device tests: scratch folders, file bytes and a
// recorder of device notifications.
#ifndef PONTIRO_TESTS_DEVICE_DEVICETEST_H
#define PONTIRO_TESTS_DEVICE_DEVICETEST_H

#include <wx/event.h>
#include <wx/string.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/pattern.h"

typedef std::vector<unsigned char> Bytes;

// A fresh folder under the system's temporary folder, removed with its
// contents at the end.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const Bytes& bytes);
void WriteText(const std::string& path, const std::string& text);
Bytes ReadFile(const std::string& path);
bool PathExists(const std::string& path);
void MakeDirs(const std::string& path);
// Every entry of a folder, hidden ones included, sorted.
std::vector<std::string> Entries(const std::string& folder);
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

#include "devicetest.h"

#include "device/vdxrdev.h"
#include "tests/support/licensefile.h"

#include <sys/stat.h>

#include <memory>
#include <stdexcept>

void MakeDirs(const std::string& path)
{
    for (std::size_t at = 1; at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0777);
    if (mkdir(path.c_str(), 0777) != 0 && !PathExists(path))
        throw std::runtime_error("cannot make " + path);
}

Bytes Utf16(const std::u16string& text)
{
    const std::string bytes = Utf16Le(text);
    return Bytes(bytes.begin(), bytes.end());
}

void EventLog::QueueEvent(wxEvent* event)
{
    std::unique_ptr<wxEvent> owned(event);
    const auto* notify = dynamic_cast<wxThreadEvent*>(event);
    if (!notify || event->GetEventType() != EVT_DEVICE)
    {
        events.push_back("foreign event");
        return;
    }
    const int id = event->GetId();
    if (id == ID_DEVICE_STARTED)
        events.push_back("started");
    else if (id == ID_DEVICE_PROGRESS)
        events.push_back(std::to_string(notify->GetInt()));
    else if (id == ID_DEVICE_FINISHED)
        events.push_back("finished");
    else if (id == ID_DEVICE_FAILED)
        events.push_back("failed");
    else
        events.push_back("unknown id");
}

#include "eventlog.h"

#include "device/vdxrdev.h"

#include <memory>

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

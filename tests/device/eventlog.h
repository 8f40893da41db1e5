// Records the device notifications handed to it, for the tests of both back
// ends: "started", the percentage of a progress event, "finished" and
// "failed".
#ifndef PONTIRO_TESTS_DEVICE_EVENTLOG_H
#define PONTIRO_TESTS_DEVICE_EVENTLOG_H

#include <wx/event.h>

#include <string>
#include <vector>

class EventLog : public wxEvtHandler
{
public:
    void QueueEvent(wxEvent* event) override;
    std::vector<std::string> events;
};

#endif

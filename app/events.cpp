#include "app/events.h"

#include <wx/utils.h>

#include <array>

namespace
{
constexpr int kIdCount = 10;
}

PontiroId::operator int() const
{
    // Thread-safe one-time initialisation; all ten are taken together so
    // they stay consecutive and the order of first reads does not matter.
    static const std::array<int, kIdCount> ids = [] {
        std::array<int, kIdCount> all{};
        for (int& id : all)
            id = wxNewId();
        return all;
    }();
    return ids.at(static_cast<size_t>(m_slot));
}

const wxEventType EVT_CONNECTING = wxNewEventType();
const wxEventType EVT_DOWNLOADING = wxNewEventType();
const wxEventType EVT_UPLOADING = wxNewEventType();

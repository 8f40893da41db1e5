// Control ids and the events the worker threads post to the wizard window.
#ifndef PONTIRO_APP_EVENTS_H
#define PONTIRO_APP_EVENTS_H

#include <wx/event.h>

// An id taken from the toolkit's counter the first time it is read. Static
// event tables copy ids while files are initialised, in an order C++ leaves
// open; allocating on first read gives every table and every thread the same
// value whatever that order is.
class PontiroId
{
public:
    explicit constexpr PontiroId(int slot) : m_slot(slot) {}
    operator int() const;

private:
    int m_slot;
};

// Controls of the wizard window.
inline constexpr PontiroId ID_NEXT{0};
inline constexpr PontiroId ID_CANCEL{1};
inline constexpr PontiroId ID_LANGUAGE{2};
inline constexpr PontiroId ID_CONTENT_CHECK{3};
inline constexpr PontiroId ID_BROWSE{4};

// Events of the worker threads (notify-style command events whose integer,
// where there is one, is the step number).
inline constexpr PontiroId ID_CONNECT_DONE{5};
inline constexpr PontiroId ID_UPLOAD_STEP_BEGIN{6};
inline constexpr PontiroId ID_UPLOAD_STEP_END{7};
inline constexpr PontiroId ID_DOWNLOAD_STEP_BEGIN{8};
inline constexpr PontiroId ID_DOWNLOAD_STEP_END{9};

// Event tables keep a reference to these, so their order of initialisation
// does not matter.
extern const wxEventType EVT_CONNECTING;
extern const wxEventType EVT_DOWNLOADING;
extern const wxEventType EVT_UPLOADING;

#endif

// The events the worker threads post to the window: notify-style thread
// events told apart by their id, whose integer is the step number (the
// connection's carries its thread's serial).
#ifndef PONTIRO_SYNC_SYNCEVENTS_H
#define PONTIRO_SYNC_SYNCEVENTS_H

#include "device/lazyid.h"

#include <wx/event.h>

// Event tables keep a reference to the types, so their order of
// initialisation does not matter.
wxDECLARE_EVENT(EVT_CONNECTING, wxThreadEvent);
wxDECLARE_EVENT(EVT_DOWNLOADING, wxThreadEvent);
wxDECLARE_EVENT(EVT_UPLOADING, wxThreadEvent);

inline const LazyId ID_CONNECT_DONE{};
inline const LazyId ID_UPLOAD_STEP_BEGIN{};
inline const LazyId ID_UPLOAD_STEP_END{};
inline const LazyId ID_DOWNLOAD_STEP_BEGIN{};
inline const LazyId ID_DOWNLOAD_STEP_END{};

// Event table entries, each handler taking a wxThreadEvent&.
#define EVT_CONNECT_DONE(func) wx__DECLARE_EVT1(EVT_CONNECTING, ID_CONNECT_DONE, wxThreadEventHandler(func))
#define EVT_DOWNLOAD_STEP_BEGIN(func) \
    wx__DECLARE_EVT1(EVT_DOWNLOADING, ID_DOWNLOAD_STEP_BEGIN, wxThreadEventHandler(func))
#define EVT_DOWNLOAD_STEP_END(func) \
    wx__DECLARE_EVT1(EVT_DOWNLOADING, ID_DOWNLOAD_STEP_END, wxThreadEventHandler(func))
#define EVT_UPLOAD_STEP_BEGIN(func) \
    wx__DECLARE_EVT1(EVT_UPLOADING, ID_UPLOAD_STEP_BEGIN, wxThreadEventHandler(func))
#define EVT_UPLOAD_STEP_END(func) wx__DECLARE_EVT1(EVT_UPLOADING, ID_UPLOAD_STEP_END, wxThreadEventHandler(func))

#endif

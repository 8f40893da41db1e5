#include "sync/syncevents.h"

wxDEFINE_EVENT(EVT_CONNECTING, wxThreadEvent);
wxDEFINE_EVENT(EVT_DOWNLOADING, wxThreadEvent);
wxDEFINE_EVENT(EVT_UPLOADING, wxThreadEvent);

// Where the navigation software keeps its files on the device. Written by
// the wizard before a connection and by the connecting thread while it runs;
// read by the upload thread. Never touched by two threads at once: each
// writer finishes before the next reader starts.
#ifndef PONTIRO_SYNC_NAVFOLDER_H
#define PONTIRO_SYNC_NAVFOLDER_H

#include <wx/string.h>

extern wxString g_navFolder;

// The folder the wizard looks in first, and the second place a kind-2
// device may keep it.
extern const wxChar* const kNavFolderDefault;
extern const wxChar* const kNavFolderTarvik;

// The device form of a path: "/" between components, no empty components
// (a trailing separator is kept).
wxString ToDevicePath(const wxString& path);
// Number of components of a device path ("/SDMMC Card/Kelvo/" has two).
int CountPathLevels(const wxString& path);

#endif

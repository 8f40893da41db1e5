// The wizard's modal dialogs, answerable by a hook so that a test driver
// never waits on a window nobody can click.
#ifndef PONTIRO_APP_DIALOGS_H
#define PONTIRO_APP_DIALOGS_H

#include <wx/string.h>

#include <functional>

class wxWindow;

// wxMessageBox, or the installed hook. Returns what the box returned
// (wxOK, wxYES, ...).
int PontiroMessageBox(const wxString& message, const wxString& caption, long style,
                      wxWindow* parent);

// wxDirSelector, or the installed hook. Returns the chosen folder or "".
wxString PontiroDirSelector(const wxString& message, const wxString& defaultPath, long style,
                            wxWindow* parent);

using MessageBoxHook =
    std::function<int(const wxString& message, const wxString& caption, long style)>;
using DirSelectorHook = std::function<wxString(const wxString& message)>;

// An empty hook restores the real dialog.
void SetMessageBoxHook(MessageBoxHook hook);
void SetDirSelectorHook(DirSelectorHook hook);

#endif

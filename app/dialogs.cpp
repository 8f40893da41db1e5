#include "app/dialogs.h"

#include <wx/dirdlg.h>
#include <wx/msgdlg.h>

#include <utility>

namespace
{
// Main thread only, like the dialogs themselves.
MessageBoxHook& MessageHook()
{
    static MessageBoxHook hook;
    return hook;
}

DirSelectorHook& DirHook()
{
    static DirSelectorHook hook;
    return hook;
}
}

int PontiroMessageBox(const wxString& message, const wxString& caption, long style,
                      wxWindow* parent)
{
    if (MessageHook())
        return MessageHook()(message, caption, style);
    return wxMessageBox(message, caption, style, parent);
}

wxString PontiroDirSelector(const wxString& message, const wxString& defaultPath, long style,
                            wxWindow* parent)
{
    if (DirHook())
        return DirHook()(message);
    return wxDirSelector(message, defaultPath, style, wxDefaultPosition, parent);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    MessageHook() = std::move(hook);
}

void SetDirSelectorHook(DirSelectorHook hook)
{
    DirHook() = std::move(hook);
}

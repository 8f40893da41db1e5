#include "app/app.h"

#include "app/frame.h"
#include "app/pictures.h"

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

MyApp::~MyApp() = default;

wxIcon LoadProgramIcon()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_ICO))
        wxImage::AddHandler(new wxICOHandler);
    wxImage picture;
    {
        wxLogNull quiet; // a window without its icon is no reason to bother the user
        wxMemoryInputStream in(g_iconIco, g_iconIcoSize);
        picture.LoadFile(in, wxBITMAP_TYPE_ICO);
    }
    wxIcon icon;
    if (picture.IsOk())
        icon.CopyFromBitmap(wxBitmap(picture));
    return icon;
}

wxPontiroFrame* CreateProgramWindow()
{
    auto* frame = new wxPontiroFrame(nullptr, "Pontiro 2.5");
    const wxIcon icon = LoadProgramIcon();
    if (icon.IsOk())
        frame->SetIcon(icon);
    return frame;
}

bool MyApp::OnInit()
{
    CreateProgramWindow()->Show(true);
    return true;
}

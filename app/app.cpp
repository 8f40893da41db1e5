#include "app/app.h"

#include "app/frame.h"
#include "app/pictures.h"

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

MyApp::~MyApp() = default;

bool MyApp::OnInit()
{
    auto* frame = new wxPontiroFrame(nullptr, "Pontiro 2.5");

    if (!wxImage::FindHandler(wxBITMAP_TYPE_ICO))
        wxImage::AddHandler(new wxICOHandler);
    wxImage picture;
    {
        wxLogNull quiet; // a window without its icon is no reason to bother the user
        wxMemoryInputStream in(g_iconIco, g_iconIcoSize);
        picture.LoadFile(in, wxBITMAP_TYPE_ICO);
    }
    if (picture.IsOk())
    {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(picture));
        frame->SetIcon(icon);
    }

    frame->Show(true);
    return true;
}

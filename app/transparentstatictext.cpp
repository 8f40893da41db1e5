#include "app/transparentstatictext.h"

#include "app/backgroundprovider.h"

#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/tokenzr.h>

#include <algorithm>

wxIMPLEMENT_DYNAMIC_CLASS(CTransparentStaticText, wxGenericStaticText);

wxBEGIN_EVENT_TABLE(CTransparentStaticText, wxGenericStaticText)
    EVT_PAINT(CTransparentStaticText::OnPaint)
wxEND_EVENT_TABLE()

CTransparentStaticText::CTransparentStaticText(wxWindow* parent, wxWindowID id,
                                               const wxString& label, const wxPoint& pos,
                                               const wxSize& size, long style,
                                               const wxString& name)
{
    Create(parent, id, label, pos, size, style, name);
}

bool CTransparentStaticText::Create(wxWindow* parent, wxWindowID id, const wxString& label,
                                    const wxPoint& pos, const wxSize& size, long style,
                                    const wxString& name)
{
    // Everything is painted here, so the toolkit must not erase first.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    const bool created = wxGenericStaticText::Create(parent, id, label, pos, size,
                                                     style | wxTRANSPARENT_WINDOW, name);
    // The generic label binds its own painter at creation, and bound
    // handlers come before the event table: bind ours after it, so that it
    // runs first and the label is painted only once, our way.
    Bind(wxEVT_PAINT, &CTransparentStaticText::OnPaintEvent, this);
    if (parent)
    {
        SetBackgroundColour(parent->GetBackgroundColour());
        SetForegroundColour(parent->GetForegroundColour());
    }
    return created;
}

wxArrayString CTransparentStaticText::SplitLines(const wxString& label)
{
    wxArrayString lines;
    wxStringTokenizer tokens(label, "\n", wxTOKEN_RET_EMPTY_ALL);
    while (tokens.HasMoreTokens())
        lines.Add(tokens.GetNextToken());
    // The tokenizer yields nothing for an empty label: that is one empty line.
    if (lines.empty())
        lines.Add(wxString());
    return lines;
}

void CTransparentStaticText::OnPaintEvent(wxPaintEvent& event)
{
    OnPaint(event);
}

void CTransparentStaticText::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);

    // What the parent shows behind this control.
    const wxSize client = GetClientSize();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(GetParent() ? GetParent()->GetBackgroundColour() : GetBackgroundColour()));
    dc.DrawRectangle(0, 0, client.x, client.y);
    const auto* provider = dynamic_cast<const CBackgroundProvider*>(GetParent());
    const wxBitmap* picture = provider ? provider->GetBackgroundPicture() : nullptr;
    if (picture && picture->IsOk())
    {
        // The parent draws its picture at its client origin, and this
        // control's position is given in the parent's client coordinates.
        const wxPoint at = GetPosition();
        dc.DrawBitmap(*picture, -at.x, -at.y, false);
    }

    dc.SetFont(GetFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(*wxBLACK);
    const int lineHeight = dc.GetCharHeight();
    int y = 0;
    for (const wxString& line : SplitLines(GetLabel()))
    {
        if (!line.empty())
            dc.DrawText(line, 0, y);
        y += lineHeight;
    }
}

wxSize CTransparentStaticText::DoGetBestClientSize() const
{
    // Exactly what OnPaint draws: the widest line, one font height per line.
    wxClientDC dc(const_cast<CTransparentStaticText*>(this));
    dc.SetFont(GetFont());
    const wxArrayString lines = SplitLines(GetLabel());
    int width = 0;
    for (const wxString& line : lines)
        width = std::max(width, dc.GetTextExtent(line).x);
    // GTK leaves a window it is asked to make 0 pixels wide at its old
    // size and place, where it would paint a stale piece of the picture.
    return wxSize(std::max(width, 1), dc.GetCharHeight() * static_cast<int>(lines.size()));
}

void CTransparentStaticText::DoSetSize(int x, int y, int width, int height, int sizeFlags)
{
    if (height >= 0)
        height = std::max(height, GetBestSize().y);
    wxGenericStaticText::DoSetSize(x, y, width, height, sizeFlags);
}

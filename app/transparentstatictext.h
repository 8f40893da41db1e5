// A static text that shows its parent's picture behind its lines.
#ifndef PONTIRO_APP_TRANSPARENTSTATICTEXT_H
#define PONTIRO_APP_TRANSPARENTSTATICTEXT_H

#include <wx/generic/stattextg.h>

class wxPaintEvent;

// Native labels on GTK paint a box in their background colour and cannot be
// made see-through without a compositor, so this is built on the generic
// label: it paints the covered part of the parent's picture (a
// CBackgroundProvider's; for another parent, its background colour) and then
// the label's lines in black, one below the other, empty lines included.
class CTransparentStaticText : public wxGenericStaticText
{
public:
    CTransparentStaticText() = default;
    CTransparentStaticText(wxWindow* parent, wxWindowID id, const wxString& label,
                           const wxPoint& pos = wxDefaultPosition,
                           const wxSize& size = wxDefaultSize, long style = 0,
                           const wxString& name = wxASCII_STR(wxStaticTextNameStr));

    bool Create(wxWindow* parent, wxWindowID id, const wxString& label,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = 0, const wxString& name = wxASCII_STR(wxStaticTextNameStr));

    // The label split at every "\n", keeping empty lines and an empty last
    // line after a final break.
    static wxArrayString SplitLines(const wxString& label);

protected:
    virtual void OnPaint(wxPaintEvent& event);
    wxSize DoGetBestClientSize() const override;
    // A sizer a few pixels short of room (large fonts, tall controls)
    // shrinks the last items of a page; a text keeps the height of all its
    // lines and runs into the margin below instead of losing a line.
    void DoSetSize(int x, int y, int width, int height, int sizeFlags) override;

private:
    void OnPaintEvent(wxPaintEvent& event);

    wxDECLARE_DYNAMIC_CLASS(CTransparentStaticText);
    wxDECLARE_EVENT_TABLE();
};

#endif

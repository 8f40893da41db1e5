// The page builders: each puts its controls into the page area.
#include "app/frame.h"

#include "app/ids.h"
#include "app/transparentstatictext.h"
#include "sync/syncdefs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/font.h>
#include <wx/gauge.h>
#include <wx/intl.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

namespace
{
constexpr int kWelcomeWrap = 470;
}

void wxPontiroFrame::LayoutPage()
{
    // The whole window, not the page area alone: the title row is only as
    // wide as the last full layout made it, and an empty page area counts
    // as no row at all, which puts the buttons right below the title.
    // Under GTK the toolkit lays the window out again on its own; on
    // Windows nothing does, and a longer title stayed cut off or the
    // buttons stayed in the middle.
    Layout();
}

CTransparentStaticText* wxPontiroFrame::CreateText(const wxString& label)
{
    auto* text = new CTransparentStaticText(this, wxID_ANY, label, wxDefaultPosition,
                                            wxDefaultSize, 0, "staticText");
    text->SetFont(*m_textFont);
    return text;
}

void wxPontiroFrame::ShowWelcomePage()
{
    ClearPage();

    CTransparentStaticText* intro = CreateText(
        _("This tool will bring you your Kelvonet content on your navigation system. Please "
          "choose your language and click on Next."));
    intro->Wrap(kWelcomeWrap);

    auto* languageRow = new wxBoxSizer(wxHORIZONTAL);
    CTransparentStaticText* languageLabel = CreateText(_("Language :"));
    m_languageChoice = new wxChoice(this, ID_LANGUAGE, wxDefaultPosition, wxDefaultSize, 0,
                                    nullptr, 0, wxDefaultValidator, "choice");
    for (const PontiroLanguage& language : g_languages)
        m_languageChoice->Append(wxString::FromUTF8(language.displayName));
    m_languageChoice->SetSelection(m_languageIndex);

    languageRow->Add(languageLabel, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    languageRow->Add(m_languageChoice, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);

    m_contentSizer->Add(intro, 0, wxEXPAND | wxALL, 5);
    m_contentSizer->Add(languageRow, 0, wxALL, 5);

    AddMemoryCardOption();
}

void wxPontiroFrame::AddMemoryCardOption()
{
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    m_memoryCardCheck = new wxCheckBox(this, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                       wxDefaultSize, 0, wxDefaultValidator, "check");
    m_memoryCardCheck->SetValue(m_useMemoryCard);
    CTransparentStaticText* text = CreateText(_("Make the update via your memory card reader"));

    row->Add(m_memoryCardCheck, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 5);
    row->Add(text, 0, wxALIGN_CENTER_HORIZONTAL | wxTOP | wxBOTTOM, 3);
    m_contentSizer->Add(row, 0, wxALL, 5);
    LayoutPage();
}

void wxPontiroFrame::ShowMemoryCardPage()
{
    CTransparentStaticText* text =
        CreateText(_("Insert your Kelvo navigation memory card to your card reader and browse the "
                     "Kelvo directory on the memory card."));
    text->Wrap(m_contentSizer->GetSize().GetWidth());

    m_folderText = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                  wxDefaultSize, 0, wxDefaultValidator, "text");
    m_browseButton = new wxButton(this, ID_BROWSE, "...", wxDefaultPosition, wxDefaultSize,
                                  wxBU_EXACTFIT, wxDefaultValidator, "button");

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(m_folderText, 1, wxEXPAND | wxALL, 5);
    row->Add(m_browseButton, 0, wxALL, 5);

    m_contentSizer->Add(text, 0, wxALL, 5);
    m_contentSizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT, 50);
    LayoutPage();
}

void wxPontiroFrame::ShowProgressPage(long gaugeStyle)
{
    m_messageText = CreateText(_("Please wait..."));
    m_gauge = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize, gaugeStyle,
                          wxDefaultValidator, "gauge");
    m_gauge->SetBackgroundColour(wxColour(119, 182, 0));

    m_contentSizer->Add(m_messageText, 0, wxALL, 5);
    m_contentSizer->Add(m_gauge, 0, wxEXPAND | wxALIGN_CENTER_HORIZONTAL | wxALL, 10);
    LayoutPage();
}

void wxPontiroFrame::ShowConnectingPage()
{
    ShowProgressPage(wxGA_SMOOTH);
    m_nextButton->Disable();
}

void wxPontiroFrame::ShowUpdatingPage()
{
    ShowProgressPage(wxGA_HORIZONTAL);
}

void wxPontiroFrame::ShowLoginPage()
{
    auto* grid = new wxFlexGridSizer(0, 2, 5, 0);

    m_speedCamCheck = new wxCheckBox(this, ID_CONTENT_CHECK, wxEmptyString, wxDefaultPosition,
                                     wxDefaultSize, 0, wxDefaultValidator, "check");

    wxString speedCamLabel;
    wxString note;
    switch (m_deviceKind)
    {
    case DEVICE_KIND_OSELAN:
        speedCamLabel = _("Up to date fixed and mobile speed cameras");
        note = _("In order to get your address book from Kelvonet, you have to be a registered "
                 "user of Brevane.");
        break;
    case DEVICE_KIND_TARVIK:
        speedCamLabel = _("Up to date fixed speed cameras");
        note = _("In order to update the speed cameras or your address book from Kelvonet, you "
                 "have to be a registered user of Brevane.");
        break;
    default:
        break;
    }

    auto* speedCamRow = new wxBoxSizer(wxHORIZONTAL);
    speedCamRow->Add(m_speedCamCheck, 0, wxALL, 5);
    speedCamRow->Add(CreateText(speedCamLabel), 0, wxALL, 5);
    m_speedCamCheck->SetValue(m_speedCamSelected);

    m_addressBookCheck = new wxCheckBox(this, ID_CONTENT_CHECK, wxEmptyString, wxDefaultPosition,
                                        wxDefaultSize, 0, wxDefaultValidator, "check");
    auto* addressBookRow = new wxBoxSizer(wxHORIZONTAL);
    addressBookRow->Add(m_addressBookCheck, 0, wxALL, 5);
    addressBookRow->Add(CreateText(_("My Brevane address book")), 0, wxALL, 5);

    CTransparentStaticText* emailLabel = CreateText(_("Email :"));
    m_emailText = new wxTextCtrl(this, wxID_ANY, m_email, wxDefaultPosition, wxDefaultSize, 0,
                                 wxDefaultValidator, "text");
    CTransparentStaticText* passwordLabel = CreateText(_("Password :"));
    m_passwordText = new wxTextCtrl(this, wxID_ANY, m_password, wxDefaultPosition,
                                    wxDefaultSize, wxTE_PASSWORD, wxDefaultValidator, "text");

    m_addressBookCheck->SetValue(m_addressBookSelected);
    const bool loginEnabled = m_addressBookSelected || m_deviceKind == 2;
    m_emailText->Enable(loginEnabled);
    m_passwordText->Enable(loginEnabled);

    grid->Add(new wxBoxSizer(wxVERTICAL));
    grid->Add(speedCamRow, 0, wxALL, 0);
    grid->Add(new wxBoxSizer(wxVERTICAL));
    grid->Add(addressBookRow, 0, wxALL, 0);
    grid->Add(emailLabel, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 0);
    grid->Add(m_emailText, 1, wxEXPAND | wxALIGN_CENTER_VERTICAL | wxALL, 0);
    grid->Add(passwordLabel, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 0);
    grid->Add(m_passwordText, 1, wxEXPAND | wxALIGN_CENTER_VERTICAL | wxALL, 0);

    CTransparentStaticText* noteText = CreateText(note);
    noteText->Wrap(m_contentSizer->GetSize().GetWidth());

    m_contentSizer->Add(grid, 0, wxLEFT, 5);
    m_contentSizer->Add(noteText, 0, wxALL, 5);
    LayoutPage();
}

void wxPontiroFrame::AddMessageText()
{
    CTransparentStaticText* text = CreateText(wxEmptyString);
    m_contentSizer->Add(text, 0, wxALL, 5);
    LayoutPage();
    m_messageText = text;
}

void wxPontiroFrame::AddDoneText()
{
    m_contentSizer->Add(CreateText(_("Update done. Enjoy navigation.")), 0, wxALL, 5);
    LayoutPage();
}

// Construction, painting, Cancel, the language switch and destruction.
#include "app/frame.h"

#include "app/compactstyle.h"
#include "app/dialogs.h"
#include "app/ids.h"
#include "app/pictures.h"
#include "app/transparentstatictext.h"
#include "sync/syncevents.h"

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/font.h>
#include <wx/gauge.h>
#include <wx/image.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

const PontiroLanguage g_languages[kLanguageCount] = {
    {wxLANGUAGE_GERMAN, "Deutsch", "de", ','},
    {wxLANGUAGE_ENGLISH, "English", "en", '.'},
    {wxLANGUAGE_SPANISH, "Espa\xc3\xb1ol", "es", ','},
    {wxLANGUAGE_FRENCH, "Fran\xc3\xa7" "ais", "fr", ','},
};

wxBEGIN_EVENT_TABLE(wxPontiroFrame, wxFrame)
    EVT_PAINT(wxPontiroFrame::OnPaint)
    EVT_BUTTON(ID_NEXT, wxPontiroFrame::OnNext)
    EVT_BUTTON(ID_CANCEL, wxPontiroFrame::OnCancel)
    EVT_CHOICE(ID_LANGUAGE, wxPontiroFrame::OnLanguage)
    EVT_CHECKBOX(ID_CONTENT_CHECK, wxPontiroFrame::OnContentCheck)
    EVT_BUTTON(ID_BROWSE, wxPontiroFrame::OnBrowse)
    EVT_TIMER(wxID_ANY, wxPontiroFrame::OnTimer)
    EVT_CONNECT_DONE(wxPontiroFrame::OnConnectDone)
    EVT_UPLOAD_STEP_BEGIN(wxPontiroFrame::OnUploadStepBegin)
    EVT_UPLOAD_STEP_END(wxPontiroFrame::OnUploadStepEnd)
    EVT_DOWNLOAD_STEP_BEGIN(wxPontiroFrame::OnDownloadStepBegin)
    EVT_DOWNLOAD_STEP_END(wxPontiroFrame::OnDownloadStepEnd)
wxEND_EVENT_TABLE()

namespace
{
// No resize border and no maximize box: the window is as big as its picture.
constexpr long kFrameStyle = wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX |
                             wxCLIP_CHILDREN | wxTAB_TRAVERSAL;
const wxSize kPictureSize(480, 272);
constexpr int kTitleWrap = 325;
}

wxPontiroFrame::wxPontiroFrame(wxWindow* parent, const wxString& title)
    : wxFrame(parent, wxID_ANY, title, wxDefaultPosition, kPictureSize, kFrameStyle, "frame")
{
    // Some sizer flags of the layout have no effect in their sizer (an
    // alignment along a box's own direction); the toolkit would assert.
    wxSizerFlags::DisableConsistencyChecks();
    UseCompactControls();

    if (!wxFileName::FileExists("Pontiro.ini"))
        PontiroMessageBox(_("Cannot find configuration file"), "Message", wxOK | wxCENTRE,
                          nullptr);

    m_config = std::make_unique<wxFileConfig>("Pontiro", "Kelvo", "Pontiro.ini", "Pontiro.ini",
                                              wxCONFIG_USE_LOCAL_FILE |
                                                  wxCONFIG_USE_RELATIVE_PATH);
    // The file holds the sealed credentials: a new one is its owner's only.
    m_config->SetUmask(0077);
    LoadConfiguration();

    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxImage picture;
    {
        wxLogNull quiet; // the message box below says it
        wxMemoryInputStream in(g_backgroundPng, g_backgroundPngSize);
        picture.LoadFile(in, wxBITMAP_TYPE_PNG);
    }
    if (!picture.IsOk())
    {
        PontiroMessageBox(_("Problem loading the image"), "Message", wxOK | wxCENTRE, nullptr);
        m_background = std::make_unique<wxBitmap>();
    }
    else
    {
        m_background = std::make_unique<wxBitmap>(picture);
    }

    m_mainSizer = new wxBoxSizer(wxVERTICAL);
    m_mainSizer->SetMinSize(m_background->IsOk() ? m_background->GetSize() : kPictureSize);
    SetSizer(m_mainSizer);
    Fit();

    m_titleFont = std::make_unique<wxFont>(12, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL,
                                           wxFONTWEIGHT_BOLD, false, wxEmptyString,
                                           wxFONTENCODING_DEFAULT);
    m_textFont = std::make_unique<wxFont>(10, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL,
                                          wxFONTWEIGHT_NORMAL, false, wxEmptyString,
                                          wxFONTENCODING_DEFAULT);
    m_titleText = new CTransparentStaticText(this, wxID_ANY, _("Title"), wxDefaultPosition,
                                             wxDefaultSize, 0, "staticText");
    m_titleText->SetFont(*m_titleFont);

    m_cancelButton = new wxButton(this, ID_CANCEL, _("Cancel"), wxDefaultPosition, wxDefaultSize,
                                  0, wxDefaultValidator, "button");
    m_nextButton = new wxButton(this, ID_NEXT, _("Next"), wxDefaultPosition, wxDefaultSize, 0,
                                wxDefaultValidator, "button");

    m_bottomSizer = new wxBoxSizer(wxVERTICAL);
    m_contentSizer = new wxBoxSizer(wxVERTICAL);
    m_titleSizer = new wxBoxSizer(wxHORIZONTAL);
    m_buttonSizer = new wxBoxSizer(wxHORIZONTAL);

    m_titleSizer->Add(145, 54);
    m_titleSizer->Add(m_titleText, 0, wxALIGN_CENTER_VERTICAL, 0);

    m_buttonSizer->Add(m_cancelButton, 0, wxALIGN_CENTER_VERTICAL);
    m_buttonSizer->Add(5, 40);
    m_buttonSizer->Add(m_nextButton, 0, wxALIGN_CENTER_VERTICAL);
    m_buttonSizer->Add(5, 5);

    m_bottomSizer->Add(m_buttonSizer, 0, wxALIGN_CENTER_VERTICAL);

    m_mainSizer->Add(m_titleSizer, 0, wxALIGN_CENTER_VERTICAL, 0);
    m_mainSizer->Add(new wxStaticLine(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxLI_HORIZONTAL, "staticLine"),
                     0, wxEXPAND | wxALL, 5);
    m_mainSizer->Add(m_contentSizer, 1, wxEXPAND | wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_mainSizer->Add(new wxStaticLine(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxLI_HORIZONTAL, "staticLine"),
                     0, wxEXPAND | wxALL, 5);
    m_mainSizer->Add(m_bottomSizer, 0, wxALIGN_RIGHT | wxALIGN_CENTER_VERTICAL, 0);
    Layout();

    m_pageState = PAGE_WELCOME;
    m_titleText->SetLabel(_("Welcome to Kelvonet synchronization!"));
    ShowWelcomePage();

    m_timer.SetOwner(this);

    wxCommandEvent start;
    OnLanguage(start);
}

wxPontiroFrame::~wxPontiroFrame()
{
    StopWorkers();
    m_titleFont.reset();
    m_textFont.reset();
    m_background.reset();
    // Deleting the configuration writes what changed to "Pontiro.ini".
    m_config.reset();
    m_timer.Stop();
    m_locale.reset();
}

const wxBitmap* wxPontiroFrame::GetBackgroundPicture() const
{
    return m_background.get();
}

void wxPontiroFrame::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_background && m_background->IsOk())
        dc.DrawBitmap(*m_background, 0, 0, false);
}

void wxPontiroFrame::OnCancel(wxCommandEvent&)
{
    StopRequest();
    Close(false);
}

void wxPontiroFrame::OnLanguage(wxCommandEvent& event)
{
    // The rebuild destroys the choice, which is still inside its own
    // selection (GTK goes on using it after this handler): from the choice,
    // rebuild once its event has returned. A choice already gone by then
    // went with a page that moved on.
    if (event.GetEventObject() && event.GetEventObject() == m_languageChoice)
    {
        const wxWeakRef<wxChoice> chosenIn(m_languageChoice);
        CallAfter([this, chosenIn] {
            if (!chosenIn || chosenIn.get() != m_languageChoice || IsBeingDeleted())
                return;
            wxCommandEvent now;
            OnLanguage(now);
        });
        return;
    }

    m_locale.reset();
    m_locale = std::make_unique<wxLocale>();

    if (m_languageChoice && m_languageChoice->GetSelection() != wxNOT_FOUND)
        m_languageIndex = m_languageChoice->GetSelection();
    {
        // A language the system has no locale for still gets its catalog;
        // the toolkit's complaint about the locale is of no use to the user.
        wxLogNull quiet;
        m_locale->Init(g_languages[m_languageIndex].language, wxLOCALE_DONT_LOAD_DEFAULT);
        static const bool prefixAdded = [] {
            wxLocale::AddCatalogLookupPathPrefix("./");
            return true;
        }();
        (void)prefixAdded;
        m_locale->AddCatalog("lang");
    }

    ClearPage();
    SetTitleText(_("Welcome to Kelvonet synchronization!"));
    m_cancelButton->SetLabel(_("Cancel"));
    m_nextButton->SetLabel(_("Next"));
    ShowWelcomePage();
    SaveConfiguration();
    LoadConfiguration();
    m_languageChoice->SetSelection(m_languageIndex);
    // The relabelled buttons may have changed width.
    Layout();
}

void wxPontiroFrame::ClearPage()
{
    m_contentSizer->Clear(true);
    // Every page control went with the page.
    m_messageText = nullptr;
    m_languageChoice = nullptr;
    m_memoryCardCheck = nullptr;
    m_folderText = nullptr;
    m_browseButton = nullptr;
    m_gauge = nullptr;
    m_speedCamCheck = nullptr;
    m_addressBookCheck = nullptr;
    m_emailText = nullptr;
    m_passwordText = nullptr;
}

void wxPontiroFrame::SetTitleText(const wxString& title)
{
    m_titleText->SetLabel(title);
    m_titleText->Wrap(kTitleWrap);
    // The page that follows lays the whole window out (see LayoutPage).
    m_titleSizer->Layout();
}

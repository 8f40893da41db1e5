// The pages that end a connection or a run.
#include "app/frame.h"

#include "app/transparentstatictext.h"

#include <wx/button.h>
#include <wx/intl.h>
#include <wx/sizer.h>

void wxPontiroFrame::ShowResultPage(const wxString& title, const wxString& message, int code,
                                    bool retry)
{
    ClearPage();
    AddMessageText();
    SetTitleText(title);
    m_messageText->SetLabel(message);
    m_messageText->Wrap(m_contentSizer->GetSize().GetWidth());
    // The message line was laid out empty.
    m_contentSizer->Layout();

    if (code == RESULT_DEVICE_NOT_FOUND)
        AddMemoryCardOption();

    if (retry)
    {
        m_nextButton->Enable();
        m_nextButton->SetLabel(_("Retry"));
    }
    else
    {
        m_nextButton->SetLabel(_("Finish"));
        m_nextButton->Enable();
        m_cancelButton->Disable();
    }
    // The button's new label may be wider.
    Layout();

    m_resultCode = code;
    m_pageState = PAGE_RESULT;
}

// Each of these two arises in two places: where its thread could not start
// and where it failed.
void wxPontiroFrame::ShowNoInternetPage()
{
    ShowResultPage(_("Internet connection problem"),
                   _("Could not connect to the internet. Verify you network connection and try again later."),
                   RESULT_NO_INTERNET, true);
}

void wxPontiroFrame::ShowUpdateFailedPage()
{
    ShowResultPage(_("Synchronization not successful"),
                   _("Updating the data not successful for unknown reason. Please try again later."),
                   RESULT_UPDATE_FAILED, false);
}

void wxPontiroFrame::ShowDonePage()
{
    m_timer.Stop();
    m_pageState = PAGE_DONE;
    SetTitleText(_("Kelvo synchronization done"));
    ClearPage();
    AddDoneText();
    m_cancelButton->Disable();
    m_nextButton->Enable();
    m_nextButton->SetLabel(_("Finish"));
    Layout();
    SaveConfiguration();
}

// The pages that end a connection or a run.
#include "app/frame.h"

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

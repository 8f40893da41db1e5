// A picture of every page, saved under the build tree
// (tests/app/screenshots/) for a person to look at.
#include "tests/app/guitest.h"
#include "tests/support/pontiroini.h"

#include "app/ids.h"
#include "crypt/seal.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/intl.h>

namespace
{
class ScreenshotTest : public WizardTest
{
protected:
    void Take(wxPontiroFrame* frame, const std::string& name)
    {
        const wxImage shot = Screenshot(frame);
        ASSERT_EQ(shot.GetSize(), wxSize(480, 272));
        SaveArtifact(shot, name);
        // The page stands on the picture: its top right corner is the
        // picture's own.
        const wxImage picture = BackgroundPicture();
        for (int x = 470; x < 480; ++x)
            EXPECT_EQ(shot.GetRed(x, 2), picture.GetRed(x, 2)) << name;
        // The buttons stand at the bottom, below the page.
        EXPECT_GT(m_driver->NextButton()->GetRect().GetBottom(), 272 - 20) << name;
        // No text is cut off: each one is as big as its lines.
        for (wxWindow* child : frame->GetChildren())
        {
            if (auto* text = dynamic_cast<CTransparentStaticText*>(child))
            {
                const wxSize best = text->GetBestSize();
                EXPECT_GE(text->GetSize().x, best.x) << name << ": " << Describe(text);
                EXPECT_GE(text->GetSize().y, best.y) << name << ": " << Describe(text);
            }
        }
    }

    void TakeEveryOtherPage(wxPontiroFrame* frame, const std::string& suffix);
};
}

TEST_F(ScreenshotTest, EveryPage)
{
    WriteIni(PontiroIni()
                 .Language("de")
                 .Set("addressbook", "username", SealText("user@example.com").utf8_string())
                 .Set("addressbook", "password", SealText("secret").utf8_string()));
    wxPontiroFrame* frame = CreateFrame();
    frame->Move(0, 0);
    frame->Show();
    Pump(200);

    const char* codes[] = {"de", "en", "es", "fr"};
    for (int row : {0, 2, 3, 1})
    {
        m_driver->ChooseLanguage(row);
        Take(frame, std::string("welcome-") + codes[row]);
    }
    TakeEveryOtherPage(frame, "");

    // German has the longest texts.
    m_driver->CancelButton()->Enable();
    frame->ShowWelcomePage();
    m_driver->ChooseLanguage(0);
    TakeEveryOtherPage(frame, "-de");
}

void ScreenshotTest::TakeEveryOtherPage(wxPontiroFrame* frame, const std::string& suffix)
{
    frame->ClearPage();
    frame->SetTitleText(wxString());
    frame->ShowMemoryCardPage();
    Take(frame, "memory-card" + suffix);
    {
        // The empty title leaves nothing of the longer one behind it.
        const wxImage shot = Screenshot(frame);
        const wxImage picture = BackgroundPicture();
        int differing = 0;
        for (int y = 0; y < 54; ++y)
            for (int x = 140; x < 480; ++x)
                differing += shot.GetRed(x, y) != picture.GetRed(x, y) ||
                             shot.GetGreen(x, y) != picture.GetGreen(x, y);
        EXPECT_EQ(differing, 0);
    }

    frame->ClearPage();
    frame->SetTitleText(_("Connecting to Kelvo navigation device"));
    frame->ShowConnectingPage();
    m_driver->Gauge()->SetValue(40);
    Take(frame, "connecting" + suffix);

    // Speed cameras ticked on each kind's login page.
    for (int kind : {1, 2})
    {
        m_driver->SetDeviceKind(kind);
        frame->OpenLoginPage();
        m_driver->SetContent(false, true);
        frame->ClearPage();
        frame->SetTitleText(_("Enter login and password"));
        m_driver->NextButton()->Enable();
        frame->ShowLoginPage();
        Take(frame, "login-kind" + std::to_string(kind) + suffix);
    }

    frame->ClearPage();
    frame->SetTitleText(_("Updating from Kelvonet"));
    frame->ShowUpdatingPage();
    m_driver->NextButton()->Disable();
    m_driver->MessageText()->SetLabel(m_driver->DownloadTexts().at(CONTENT_SPEEDCAM));
    m_driver->Gauge()->SetValue(70);
    Take(frame, "updating" + suffix);

    frame->ShowResultPage(_("Device not found"),
                          _("Pontiro has not found any connected device. Please check the "
                            "connection. You can also make the update via your memory card "
                            "reader."),
                          RESULT_DEVICE_NOT_FOUND, true);
    Take(frame, "result-device-not-found" + suffix);

    frame->ShowResultPage(_("Communication problem"),
                          _("Synchronization tool could not connect to the server."),
                          RESULT_SERVER_PROBLEM, false);
    Take(frame, "result-server-problem" + suffix);

    m_driver->CancelButton()->Enable();
    frame->ShowDonePage();
    Take(frame, "done" + suffix);
}

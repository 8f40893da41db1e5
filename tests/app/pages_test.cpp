// The page builders and the result and done pages: the controls each
// creates, their texts and their first state.
#include "tests/app/guitest.h"
#include "tests/support/pontiroini.h"

#include "app/ids.h"
#include "crypt/seal.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/fileconf.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

namespace
{
const char* kMemoryCardOption = "text:Make the update via your memory card reader";

class PagesTest : public WizardTest
{
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        WriteIni(PontiroIni().Language("en"));
        frame = CreateFrame();
    }

    TestFrame* frame = nullptr;
};

// Every text of a page fits the page area once wrapped.
void ExpectTextsFit(TestFrame* frame)
{
    const int width = frame->m_contentSizer->GetSize().GetWidth();
    for (wxWindow* window : WindowsOf(frame->m_contentSizer))
    {
        if (dynamic_cast<CTransparentStaticText*>(window))
        {
            EXPECT_LE(window->GetBestSize().GetWidth(), width) << Describe(window);
        }
    }
}
}

TEST_F(PagesTest, Welcome)
{
    const std::vector<std::string> expected = {
        "text:This tool will bring you your Kelvonet content on your navigation system. Please "
        "choose your language and click on Next.",
        "text:Language :",
        "choice:Deutsch|English|Espa\xc3\xb1ol|Fran\xc3\xa7" "ais@1",
        "check:0",
        kMemoryCardOption};
    EXPECT_EQ(DescribePage(frame->m_contentSizer), expected);
    EXPECT_EQ(frame->m_languageChoice->GetId(), int(ID_LANGUAGE));
    EXPECT_EQ(frame->m_languageChoice->GetName(), "choice");
    EXPECT_EQ(frame->m_memoryCardCheck->GetName(), "check");
    EXPECT_EQ(frame->m_memoryCardCheck->GetLabel(), "");
    EXPECT_NE(frame->m_memoryCardCheck->GetId(), int(ID_CONTENT_CHECK));
    // The introduction is wrapped at 470 pixels.
    CTransparentStaticText* intro =
        dynamic_cast<CTransparentStaticText*>(WindowsOf(frame->m_contentSizer)[0]);
    ASSERT_NE(intro, nullptr);
    EXPECT_NE(intro->GetLabel().Find('\n'), wxNOT_FOUND);
    EXPECT_LE(intro->GetBestSize().GetWidth(), 470);

    // The stored memory-card setting ticks the option.
    frame->m_useMemoryCard = true;
    frame->ShowWelcomePage();
    EXPECT_EQ(DescribePage(frame->m_contentSizer)[3], "check:1");
}

TEST_F(PagesTest, MemoryCard)
{
    frame->ClearPage();
    frame->ShowMemoryCardPage();
    const std::vector<std::string> expected = {
        "text:Insert your Kelvo navigation memory card to your card reader and browse the Kelvo "
        "directory on the memory card.",
        "field:", "button:..."};
    EXPECT_EQ(DescribePage(frame->m_contentSizer), expected);
    ASSERT_NE(frame->m_browseButton, nullptr);
    EXPECT_EQ(frame->m_browseButton->GetId(), int(ID_BROWSE));
    EXPECT_TRUE(frame->m_browseButton->HasFlag(wxBU_EXACTFIT));
    EXPECT_EQ(frame->m_browseButton->GetName(), "button");
    EXPECT_EQ(frame->m_folderText->GetName(), "text");
    ExpectTextsFit(frame);

    // "..." is the same in every language.
    frame->ShowWelcomePage();
    frame->m_languageChoice->SetSelection(3);
    wxCommandEvent chosen(wxEVT_CHOICE, ID_LANGUAGE);
    frame->ProcessWindowEvent(chosen);
    frame->ClearPage();
    frame->ShowMemoryCardPage();
    EXPECT_EQ(frame->m_browseButton->GetLabel(), "...");
    EXPECT_EQ(DescribePage(frame->m_contentSizer)[0].substr(0, 22), "text:Ins\xc3\xa9rez la carte");
}

TEST_F(PagesTest, ConnectingAndUpdating)
{
    const struct
    {
        const char* name;
        bool connecting; // else updating
        bool smooth;
        bool nextAfter;
    } cases[] = {
        {"connecting", true, true, false},
        {"updating", false, false, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        frame->ClearPage();
        frame->m_nextButton->Enable();
        if (c.connecting)
            frame->ShowConnectingPage();
        else
            frame->ShowUpdatingPage();
        const std::vector<std::string> expected = {"text:Please wait...", "gauge:100"};
        EXPECT_EQ(DescribePage(frame->m_contentSizer), expected);
        ASSERT_NE(frame->m_gauge, nullptr);
        ASSERT_NE(frame->m_messageText, nullptr);
        EXPECT_EQ(WindowsOf(frame->m_contentSizer)[0], frame->m_messageText);
        EXPECT_EQ(frame->m_gauge->HasFlag(wxGA_SMOOTH), c.smooth);
        EXPECT_EQ(frame->m_gauge->GetName(), "gauge");
        EXPECT_EQ(frame->m_gauge->GetBackgroundColour(), wxColour(119, 182, 0));
        EXPECT_EQ(frame->m_nextButton->IsEnabled(), c.nextAfter);
    }
}

TEST_F(PagesTest, LoginByDeviceKind)
{
    const std::string kind1Note = "text:In order to get your address book from Kelvonet, you have "
                                  "to be a registered user of Brevane.";
    const std::string kind2Note = "text:In order to update the speed cameras or your address book "
                                  "from Kelvonet, you have to be a registered user of Brevane.";
    const struct
    {
        int kind;
        bool speedCam;
        bool addressBook;
        const char* speedCamText;
        std::string note;
        bool loginEnabled;
    } cases[] = {
        {1, true, false, "text:Up to date fixed and mobile speed cameras", kind1Note, false},
        {1, false, true, "text:Up to date fixed and mobile speed cameras", kind1Note, true},
        {2, false, false, "text:Up to date fixed speed cameras", kind2Note, true},
        {2, true, true, "text:Up to date fixed speed cameras", kind2Note, true},
        {0, false, false, "text:", "text:", false},
        {7, false, true, "text:", "text:", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " speed " << c.speedCam
                                        << " book " << c.addressBook);
        frame->m_deviceKind = c.kind;
        frame->m_speedCamSelected = c.speedCam;
        frame->m_addressBookSelected = c.addressBook;
        frame->m_email = "user@example.com";
        frame->m_password = "pw";
        frame->ClearPage();
        frame->ShowLoginPage();

        const std::vector<std::string> expected = {
            std::string("check:") + (c.speedCam ? "1" : "0"),
            c.speedCamText,
            std::string("check:") + (c.addressBook ? "1" : "0"),
            "text:My Brevane address book",
            "text:Email :",
            "field:user@example.com",
            "text:Password :",
            "field:pw",
            c.note};
        EXPECT_EQ(DescribePage(frame->m_contentSizer), expected);
        EXPECT_EQ(frame->m_speedCamCheck->GetId(), int(ID_CONTENT_CHECK));
        EXPECT_EQ(frame->m_addressBookCheck->GetId(), int(ID_CONTENT_CHECK));
        EXPECT_EQ(frame->m_speedCamCheck->GetLabel(), "");
        EXPECT_EQ(frame->m_emailText->IsEnabled(), c.loginEnabled);
        EXPECT_EQ(frame->m_passwordText->IsEnabled(), c.loginEnabled);
        EXPECT_TRUE(frame->m_passwordText->HasFlag(wxTE_PASSWORD));
        EXPECT_FALSE(frame->m_emailText->HasFlag(wxTE_PASSWORD));
        EXPECT_EQ(frame->m_emailText->GetName(), "text");
        ExpectTextsFit(frame);
    }
}

TEST_F(PagesTest, MessageAndDoneTexts)
{
    frame->ClearPage();
    frame->AddMessageText();
    EXPECT_EQ(DescribePage(frame->m_contentSizer), std::vector<std::string>{"text:"});
    EXPECT_EQ(WindowsOf(frame->m_contentSizer)[0], frame->m_messageText);

    frame->ClearPage();
    EXPECT_EQ(frame->m_messageText, nullptr);
    frame->AddDoneText();
    EXPECT_EQ(DescribePage(frame->m_contentSizer),
              std::vector<std::string>{"text:Update done. Enjoy navigation."});
}

TEST_F(PagesTest, ResultPages)
{
    const struct
    {
        int code;
        bool retry;
    } cases[] = {{RESULT_INVALID_DEVICE, true},  {RESULT_DEVICE_NOT_FOUND, true},
                 {RESULT_SERVER_PROBLEM, false}, {RESULT_UPDATE_FAILED, false},
                 {RESULT_LOGIN_REFUSED, true},   {RESULT_NO_INTERNET, true}};
    for (bool memoryCard : {false, true})
    {
        for (const auto& c : cases)
        {
            SCOPED_TRACE(testing::Message() << "code " << c.code << " card " << memoryCard);
            // Coming from a progress page, with Cancel usable.
            frame->ClearPage();
            frame->ShowUpdatingPage();
            frame->m_cancelButton->Enable();
            frame->m_nextButton->Disable();
            frame->m_useMemoryCard = memoryCard;

            frame->ShowResultPage("A title that is long enough to need more than one line",
                                  "The message of this result, long enough to be wrapped at the "
                                  "width of the page area.",
                                  c.code, c.retry);

            std::vector<std::string> expected = {
                "text:The message of this result, long enough to be wrapped at the width of the "
                "page area."};
            if (c.code == RESULT_DEVICE_NOT_FOUND)
            {
                expected.push_back(memoryCard ? "check:1" : "check:0");
                expected.push_back(kMemoryCardOption);
            }
            EXPECT_EQ(DescribePage(frame->m_contentSizer), expected);
            EXPECT_EQ(frame->m_gauge, nullptr);
            EXPECT_EQ(frame->m_resultCode, c.code);
            EXPECT_EQ(frame->m_pageState, PAGE_RESULT);
            EXPECT_EQ(frame->m_nextButton->GetLabel(), c.retry ? "Retry" : "Finish");
            EXPECT_TRUE(frame->m_nextButton->IsEnabled());
            EXPECT_EQ(frame->m_cancelButton->IsEnabled(), c.retry);
            EXPECT_LE(frame->m_titleText->GetBestSize().GetWidth(), 325);
            wxString title = frame->m_titleText->GetLabel();
            title.Replace("\n", " ");
            EXPECT_EQ(title, "A title that is long enough to need more than one line");
            ExpectTextsFit(frame);
        }
    }
}

TEST_F(PagesTest, DonePage)
{
    frame->ClearPage();
    frame->ShowUpdatingPage();
    frame->m_timer.Start(100);
    frame->m_email = "done@example.com";

    frame->ShowDonePage();
    EXPECT_FALSE(frame->m_timer.IsRunning());
    EXPECT_EQ(frame->m_pageState, PAGE_DONE);
    EXPECT_EQ(frame->m_titleText->GetLabel(), "Kelvo synchronization done");
    EXPECT_EQ(DescribePage(frame->m_contentSizer),
              std::vector<std::string>{"text:Update done. Enjoy navigation."});
    EXPECT_EQ(frame->m_gauge, nullptr);
    EXPECT_FALSE(frame->m_cancelButton->IsEnabled());
    EXPECT_TRUE(frame->m_nextButton->IsEnabled());
    EXPECT_EQ(frame->m_nextButton->GetLabel(), "Finish");
    // The configuration was saved.
    EXPECT_EQ(frame->m_config->Read("addressbook/username", wxString()),
              SealText("done@example.com"));
}

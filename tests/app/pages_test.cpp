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

    // A fresh start of the window on another file.
    void Restart(const PontiroIni& ini)
    {
        DestroyFrame();
        WriteIni(ini);
        frame = CreateFrame();
    }

    wxPontiroFrame* frame = nullptr;
};

std::string Sealed(const char* text)
{
    return SealText(text).utf8_string();
}

// Every text of a page fits the page area once wrapped.
void ExpectTextsFit(const PontiroFrameDriver& driver)
{
    const int width = driver.ContentSizer()->GetSize().GetWidth();
    for (wxWindow* window : WindowsOf(driver.ContentSizer()))
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
    EXPECT_EQ(DescribePage(m_driver->ContentSizer()), expected);
    EXPECT_EQ(m_driver->LanguageChoice()->GetId(), int(ID_LANGUAGE));
    EXPECT_EQ(m_driver->LanguageChoice()->GetName(), "choice");
    EXPECT_EQ(m_driver->MemoryCardCheck()->GetName(), "check");
    EXPECT_EQ(m_driver->MemoryCardCheck()->GetLabel(), "");
    EXPECT_NE(m_driver->MemoryCardCheck()->GetId(), int(ID_CONTENT_CHECK));
    // The introduction is wrapped at 470 pixels.
    CTransparentStaticText* intro =
        dynamic_cast<CTransparentStaticText*>(WindowsOf(m_driver->ContentSizer())[0]);
    ASSERT_NE(intro, nullptr);
    EXPECT_NE(intro->GetLabel().Find('\n'), wxNOT_FOUND);
    EXPECT_LE(intro->GetBestSize().GetWidth(), 470);

    // The stored memory-card setting ticks the option.
    Restart(PontiroIni().Language("en").MemoryCard(true));
    frame->ShowWelcomePage();
    EXPECT_EQ(DescribePage(m_driver->ContentSizer())[3], "check:1");
}

TEST_F(PagesTest, MemoryCard)
{
    frame->ClearPage();
    frame->ShowMemoryCardPage();
    const std::vector<std::string> expected = {
        "text:Insert your Kelvo navigation memory card to your card reader and browse the Kelvo "
        "directory on the memory card.",
        "field:", "button:..."};
    EXPECT_EQ(DescribePage(m_driver->ContentSizer()), expected);
    ASSERT_NE(m_driver->BrowseButton(), nullptr);
    EXPECT_EQ(m_driver->BrowseButton()->GetId(), int(ID_BROWSE));
    EXPECT_TRUE(m_driver->BrowseButton()->HasFlag(wxBU_EXACTFIT));
    EXPECT_EQ(m_driver->BrowseButton()->GetName(), "button");
    EXPECT_EQ(m_driver->FolderText()->GetName(), "text");
    ExpectTextsFit(*m_driver);

    // "..." is the same in every language.
    frame->ShowWelcomePage();
    m_driver->ChooseLanguage(3);
    frame->ClearPage();
    frame->ShowMemoryCardPage();
    EXPECT_EQ(m_driver->BrowseButton()->GetLabel(), "...");
    EXPECT_EQ(DescribePage(m_driver->ContentSizer())[0].substr(0, 22), "text:Ins\xc3\xa9rez la carte");
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
        m_driver->NextButton()->Enable();
        if (c.connecting)
            frame->ShowConnectingPage();
        else
            frame->ShowUpdatingPage();
        const std::vector<std::string> expected = {"text:Please wait...", "gauge:100"};
        EXPECT_EQ(DescribePage(m_driver->ContentSizer()), expected);
        ASSERT_NE(m_driver->Gauge(), nullptr);
        ASSERT_NE(m_driver->MessageText(), nullptr);
        EXPECT_EQ(WindowsOf(m_driver->ContentSizer())[0], m_driver->MessageText());
        EXPECT_EQ(m_driver->Gauge()->HasFlag(wxGA_SMOOTH), c.smooth);
        EXPECT_EQ(m_driver->Gauge()->GetName(), "gauge");
        EXPECT_EQ(m_driver->Gauge()->GetBackgroundColour(), wxColour(119, 182, 0));
        EXPECT_EQ(m_driver->NextButton()->IsEnabled(), c.nextAfter);
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
        // A start with a stored login, the device of the kind connected, the
        // options ticked on the login page.
        Restart(PontiroIni()
                    .Language("en")
                    .Set("addressbook", "username", Sealed("user@example.com"))
                    .Set("addressbook", "password", Sealed("pw")));
        m_driver->SetDeviceKind(c.kind);
        frame->OpenLoginPage();
        m_driver->SetContent(c.addressBook, c.speedCam);
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
        EXPECT_EQ(DescribePage(m_driver->ContentSizer()), expected);
        EXPECT_EQ(m_driver->SpeedCamCheck()->GetId(), int(ID_CONTENT_CHECK));
        EXPECT_EQ(m_driver->AddressBookCheck()->GetId(), int(ID_CONTENT_CHECK));
        EXPECT_EQ(m_driver->SpeedCamCheck()->GetLabel(), "");
        EXPECT_EQ(m_driver->EmailText()->IsEnabled(), c.loginEnabled);
        EXPECT_EQ(m_driver->PasswordText()->IsEnabled(), c.loginEnabled);
        EXPECT_TRUE(m_driver->PasswordText()->HasFlag(wxTE_PASSWORD));
        EXPECT_FALSE(m_driver->EmailText()->HasFlag(wxTE_PASSWORD));
        EXPECT_EQ(m_driver->EmailText()->GetName(), "text");
        ExpectTextsFit(*m_driver);
    }
}

TEST_F(PagesTest, MessageAndDoneTexts)
{
    frame->ClearPage();
    frame->AddMessageText();
    EXPECT_EQ(DescribePage(m_driver->ContentSizer()), std::vector<std::string>{"text:"});
    EXPECT_EQ(WindowsOf(m_driver->ContentSizer())[0], m_driver->MessageText());

    frame->ClearPage();
    EXPECT_EQ(m_driver->MessageText(), nullptr);
    frame->AddDoneText();
    EXPECT_EQ(DescribePage(m_driver->ContentSizer()),
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
        Restart(PontiroIni().Language("en").MemoryCard(memoryCard));
        for (const auto& c : cases)
        {
            SCOPED_TRACE(testing::Message() << "code " << c.code << " card " << memoryCard);
            // Coming from a progress page, with Cancel usable.
            frame->ClearPage();
            frame->ShowUpdatingPage();
            m_driver->CancelButton()->Enable();
            m_driver->NextButton()->Disable();

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
            EXPECT_EQ(DescribePage(m_driver->ContentSizer()), expected);
            EXPECT_EQ(m_driver->Gauge(), nullptr);
            EXPECT_EQ(m_driver->ResultCode(), c.code);
            EXPECT_EQ(m_driver->PageState(), PAGE_RESULT);
            EXPECT_EQ(m_driver->NextButton()->GetLabel(), c.retry ? "Retry" : "Finish");
            EXPECT_TRUE(m_driver->NextButton()->IsEnabled());
            EXPECT_EQ(m_driver->CancelButton()->IsEnabled(), c.retry);
            EXPECT_LE(m_driver->TitleText()->GetBestSize().GetWidth(), 325);
            wxString title = m_driver->TitleText()->GetLabel();
            title.Replace("\n", " ");
            EXPECT_EQ(title, "A title that is long enough to need more than one line");
            ExpectTextsFit(*m_driver);
        }
    }
}

TEST_F(PagesTest, DonePage)
{
    // With the timer running (a connection that no device answers) and a
    // login its file no longer holds.
    Restart(PontiroIni().Language("en").Set("addressbook", "username", Sealed("done@example.com")));
    m_driver->Configuration()->Write("addressbook/username", "");
    m_driver->ClickNext();
    ASSERT_TRUE(m_driver->IsTimerRunning());
    frame->ClearPage();
    frame->ShowUpdatingPage();

    frame->ShowDonePage();
    EXPECT_FALSE(m_driver->IsTimerRunning());
    EXPECT_EQ(m_driver->PageState(), PAGE_DONE);
    EXPECT_EQ(m_driver->TitleText()->GetLabel(), "Kelvo synchronization done");
    EXPECT_EQ(DescribePage(m_driver->ContentSizer()),
              std::vector<std::string>{"text:Update done. Enjoy navigation."});
    EXPECT_EQ(m_driver->Gauge(), nullptr);
    EXPECT_FALSE(m_driver->CancelButton()->IsEnabled());
    EXPECT_TRUE(m_driver->NextButton()->IsEnabled());
    EXPECT_EQ(m_driver->NextButton()->GetLabel(), "Finish");
    // The configuration was saved.
    EXPECT_EQ(m_driver->Configuration()->Read("addressbook/username", wxString()),
              SealText("done@example.com"));
}

// The window itself: its size and style, start-up without a configuration,
// Cancel, and the language switch.
#include "tests/app/guitest.h"
#include "tests/support/pontiroini.h"

#include "app/ids.h"
#include "sync/syncevents.h"
#include "tests/app/native.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/fileconf.h>
#include <wx/intl.h>
#include <wx/statline.h>
#include <wx/weakref.h>

#include <chrono>
#include <set>
#include <string>

#ifndef __WINDOWS__
#include <sys/stat.h>
#endif

namespace
{
const std::string kWelcomeEn =
    "text:This tool will bring you your Kelvonet content on your navigation system. Please "
    "choose your language and click on Next.";
}

TEST_F(WizardTest, WindowIsFixedAtThePictureSize)
{
    WriteIni(PontiroIni().Language("en"));
    wxPontiroFrame* frame = CreateFrame();
    frame->Show();
    Pump(100);

    EXPECT_EQ(frame->GetClientSize(), wxSize(480, 272));
    EXPECT_EQ(frame->GetTitle(), "Pontiro 2.5");
    EXPECT_EQ(frame->GetName(), "frame");
    EXPECT_FALSE(frame->HasFlag(wxRESIZE_BORDER));
    EXPECT_FALSE(frame->HasFlag(wxMAXIMIZE_BOX));
    EXPECT_TRUE(frame->HasFlag(wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX));
    // Asked of the window system itself, not of the toolkit's flags.
    EXPECT_FALSE(NativeResizable(frame));

    // A longer title and more text do not make the window grow.
    frame->SetTitleText("A much longer title than the usual one, long enough to wrap twice over");
    frame->Layout();
    Pump(50);
    EXPECT_EQ(frame->GetClientSize(), wxSize(480, 272));

    int lines = 0;
    for (wxWindow* child : frame->GetChildren())
    {
        if (dynamic_cast<wxStaticLine*>(child))
        {
            ++lines;
            EXPECT_EQ(child->GetName(), "staticLine");
        }
    }
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(m_driver->CancelButton()->GetId(), int(ID_CANCEL));
    EXPECT_EQ(m_driver->NextButton()->GetId(), int(ID_NEXT));
    EXPECT_EQ(m_driver->CancelButton()->GetLabel(), "Cancel");
    EXPECT_EQ(m_driver->NextButton()->GetLabel(), "Next");
    EXPECT_EQ(m_driver->TitleText()->GetName(), "staticText");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(WizardTest, IdsAndEventTypesAreDistinctAndStable)
{
    const std::set<int> ids = {ID_NEXT,         ID_CANCEL,          ID_LANGUAGE,
                               ID_CONTENT_CHECK, ID_BROWSE,          ID_CONNECT_DONE,
                               ID_UPLOAD_STEP_BEGIN, ID_UPLOAD_STEP_END, ID_DOWNLOAD_STEP_BEGIN,
                               ID_DOWNLOAD_STEP_END};
    EXPECT_EQ(ids.size(), 10u);
    EXPECT_EQ(ids.count(wxID_ANY), 0u);
    EXPECT_EQ(int(ID_NEXT), int(ID_NEXT));
    const std::set<wxEventType> types = {EVT_CONNECTING, EVT_DOWNLOADING, EVT_UPLOADING};
    EXPECT_EQ(types.size(), 3u);
}

TEST_F(WizardTest, StartWithoutConfigurationFile)
{
    CreateFrame();

    // No locale exists yet when the file is missed, so the text is English.
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].message, "Cannot find configuration file");
    EXPECT_EQ(m_boxes[0].caption, "Message");
    EXPECT_TRUE(m_boxes[0].style & wxOK);
    EXPECT_TRUE(m_boxes[0].style & wxCENTRE);

    // Then the wizard runs in German, row 0.
    EXPECT_EQ(m_driver->LanguageIndex(), 0);
    EXPECT_EQ(m_driver->LanguageChoice()->GetSelection(), 0);
    EXPECT_EQ(m_driver->LanguageChoice()->GetStringSelection(), "Deutsch");
    EXPECT_EQ(m_driver->CancelButton()->GetLabel(), "Abbrechen");
    EXPECT_EQ(m_driver->NextButton()->GetLabel(), "Weiter");
    EXPECT_EQ(m_driver->PageState(), PAGE_WELCOME);
    // Nothing reaches the disk before the window is gone.
    EXPECT_EQ(ReadIniText(), "");

    DestroyFrame();
    EXPECT_EQ(IniValue("Pontiro/language"), "de");
    EXPECT_EQ(IniValue("Pontiro/usememorycard"), "0");
    EXPECT_EQ(IniValue("proxy/useproxy"), "0");
    EXPECT_EQ(IniValue("proxy/address"), "");
    EXPECT_EQ(IniValue("proxy/port"), "8080");
    EXPECT_EQ(IniValue("addressbook/username"), "");
    EXPECT_EQ(IniValue("addressbook/password"), "");
    // Installation settings are never written.
    EXPECT_EQ(IniValue("speedcam/hostname"), "<missing>");

#ifndef __WINDOWS__
    // It holds the sealed credentials: its owner's only. (Windows has no
    // mode bits; a new file there takes its folder's access list.)
    struct stat info{};
    ASSERT_EQ(stat((m_folder + "/Pontiro.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
}

TEST_F(WizardTest, FolderNamedLikeTheFileIsNoConfiguration)
{
    ASSERT_TRUE(wxFileName::Mkdir(m_folder + "/Pontiro.ini"));
    CreateFrame();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].message, "Cannot find configuration file");
    DestroyFrame();
}

TEST_F(WizardTest, CancelClosesTheWindowAndWritesTheFile)
{
    WriteIni(PontiroIni().Language("es"));
    wxPontiroFrame* frame = CreateFrame();
    EXPECT_EQ(m_driver->CancelButton()->GetLabel(), "Cancelar");

    m_driver->ClickCancel();
    EXPECT_TRUE(wxTheApp->IsScheduledForDestruction(frame));
    // The toolkit deletes it.
    Pump(50);

    EXPECT_EQ(IniValue("Pontiro/language"), "es");
    EXPECT_EQ(IniValue("proxy/port"), "8080");
}

// Closing while no transfer runs: from the connecting page, where a
// connection no device answers keeps retrying, and from the done page. The
// window joins the connecting thread as it goes, which must not finish its
// pause between attempts (300 ms) first. Each way is timed at several
// moments of that pause, and the same way out once more with no thread
// behind the page. The aim is 100 ms a close; one close that waited out the
// pause would still be under a second, so what the thread adds over the
// whole series is held to the aim as well.
TEST_F(WizardTest, ClosingWithoutATransferIsPrompt)
{
    enum Way
    {
        kCancel,
        kCloseBox,
        kFinish
    };
    const struct
    {
        const char* name;
        bool donePage;
        Way way;
    } cases[] = {
        {"connecting, Cancel", false, kCancel},
        {"connecting, close box", false, kCloseBox},
        {"done, Finish", true, kFinish},
        {"done, close box", true, kCloseBox},
    };
    const int moments[] = {0, 50, 100, 150};
    double withThread = 0;
    double withoutThread = 0;
    int closes = 0;
    for (const auto& c : cases)
    {
        for (int ms : moments)
        {
            for (bool retrying : {true, false})
            {
                SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(ms) + " ms" +
                             (retrying ? "" : ", no thread"));
                WriteIni(PontiroIni().Language("en"));
                wxPontiroFrame* frame = CreateFrame();
                if (retrying)
                {
                    m_driver->ClickNext();
                    ASSERT_EQ(m_driver->PageState(), PAGE_CONNECTING);
                }
                Pump(ms);
                if (c.donePage)
                {
                    frame->ClearPage();
                    frame->ShowDonePage();
                    ASSERT_TRUE(m_driver->IsNextEnabled());
                }

                const auto start = std::chrono::steady_clock::now();
                if (c.way == kCancel)
                    m_driver->ClickCancel();
                else if (c.way == kFinish)
                    m_driver->ClickNext();
                else
                    m_driver->CloseWindow();
                ASSERT_TRUE(m_driver->RunUntil([this] { return !m_driver->IsOpen(); }, 10));
                const double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                EXPECT_LT(seconds, 1.0);
                (retrying ? withThread : withoutThread) += seconds;
                DestroyFrame();
            }
            ++closes;
        }
    }
    EXPECT_LT(withThread - withoutThread, 0.1 * closes)
        << closes << " closes took " << withThread << " s, " << withoutThread << " s without a thread";
}

TEST_F(WizardTest, LanguageChangeRebuildsTheWelcomePage)
{
    WriteIni(PontiroIni().Language("de").MemoryCard(false));
    CreateFrame();
    EXPECT_EQ(DescribePage(m_driver->ContentSizer())[1], "text:Sprache :");

    // An unsaved click on the option is not what the rebuilt page shows.
    m_driver->MemoryCardCheck()->SetValue(true);

    const struct
    {
        int row;
        const char* code;
        const char* language;
        const char* title;
        const char* cancel;
    } cases[] = {
        {1, "en", "text:Language :", "Welcome to Kelvonet synchronization!", "Cancel"},
        {3, "fr", "text:Langue :", "Bienvenue dans la synchronisation Kelvonet !", "Annuler"},
        {2, "es", "text:Idioma :",
         "\xc2\xa1" "Bienvenido a la sincronizaci\xc3\xb3n de Kelvonet!", "Cancelar"},
        {0, "de", "text:Sprache :", "Willkommen bei der Kelvonet-Synchronisation!", "Abbrechen"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.code);
        wxChoice* choice = m_driver->LanguageChoice();
        choice->SetSelection(c.row);
        wxCommandEvent chosen(wxEVT_CHOICE, ID_LANGUAGE);
        chosen.SetEventObject(choice);
        chosen.SetInt(c.row);
        // The new control may take the old one's memory: watch the old one go.
        const wxWeakRef<wxChoice> before(choice);
        choice->GetEventHandler()->ProcessEvent(chosen);
        // The page is rebuilt once the choice's event has returned.
        Pump(0);

        EXPECT_EQ(m_driver->LanguageIndex(), c.row);
        EXPECT_FALSE(before) << "the page was not rebuilt";
        EXPECT_EQ(m_driver->LanguageChoice()->GetSelection(), c.row);
        const std::vector<std::string> page = DescribePage(m_driver->ContentSizer());
        ASSERT_EQ(page.size(), 5u);
        EXPECT_EQ(page[1], c.language);
        EXPECT_EQ(page[2], "choice:Deutsch|English|Espa\xc3\xb1ol|Fran\xc3\xa7" "ais@" +
                               std::to_string(c.row));
        EXPECT_EQ(page[3], "check:0");
        wxString title = m_driver->TitleText()->GetLabel();
        title.Replace("\n", " ");
        EXPECT_EQ(title, wxString::FromUTF8(c.title));
        EXPECT_EQ(m_driver->CancelButton()->GetLabel(), wxString::FromUTF8(c.cancel));
        // Saved and read again: the configuration and the progress texts
        // follow the new language.
        EXPECT_EQ(m_driver->Configuration()->Read("Pontiro/language", wxString()), c.code);
        EXPECT_EQ(m_driver->DownloadTexts().at(CONTENT_ADDRESSBOOK),
                  wxGetTranslation("Downloading addressbook..."));
    }
    EXPECT_EQ(m_driver->DownloadTexts().at(CONTENT_ADDRESSBOOK), "Adressbuch wird heruntergeladen...");

    m_driver->ChooseLanguage(3);
    DestroyFrame();
    EXPECT_EQ(IniValue("Pontiro/language"), "fr");
    EXPECT_EQ(IniValue("Pontiro/usememorycard"), "0");
}

// The way a user picks a language: the native control changes and reports
// it, and the handler destroys that very control while the control is still
// in its notification.
TEST_F(WizardTest, ChoosingALanguageInTheNativeControl)
{
    WriteIni(PontiroIni().Language("en"));
    wxPontiroFrame* frame = CreateFrame();
    frame->Show();
    Pump(100);
    // Rows a user reaches with one key each: the last, the first, then down.
    for (int row : {3, 0, 1, 2})
    {
        ASSERT_TRUE(ChooseNatively(m_driver->LanguageChoice(), row)) << row;
        Pump(50);
        EXPECT_EQ(m_driver->LanguageIndex(), row);
        EXPECT_EQ(m_driver->LanguageChoice()->GetSelection(), row);
    }
    EXPECT_EQ(m_driver->NextButton()->GetLabel(), "Siguiente");
}

TEST_F(WizardTest, EmptyTextStaysEmptyWithACatalog)
{
    WriteIni(PontiroIni().Language("fr"));
    CreateFrame();
    EXPECT_EQ(wxGetTranslation(""), "");
    EXPECT_EQ(wxGetTranslation("Next"), "Suivant");
    EXPECT_EQ(wxGetTranslation("Not in any catalog"), "Not in any catalog");
}

TEST_F(WizardTest, MissingCatalogLeavesTextsUntranslated)
{
    wxFileName::Rmdir(m_folder + "/fr", wxPATH_RMDIR_RECURSIVE);
    WriteIni(PontiroIni().Language("fr"));
    CreateFrame();
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_driver->LanguageIndex(), 3);
    EXPECT_EQ(m_driver->NextButton()->GetLabel(), "Next");
    EXPECT_EQ(DescribePage(m_driver->ContentSizer())[0], kWelcomeEn);
}

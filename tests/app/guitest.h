// Shared pieces of the wizard window's tests: a frame whose members the
// tests may read, a fixture with its own working folder and answered
// dialogs, and helpers to look at the screen.
#ifndef PONTIRO_TESTS_APP_GUITEST_H
#define PONTIRO_TESTS_APP_GUITEST_H

#include "app/frame.h"
#include "app/transparentstatictext.h"

#include <gtest/gtest.h>

#include <wx/image.h>
#include <wx/string.h>

#include <memory>
#include <string>
#include <vector>

#include <wx/sizer.h>
class wxWindow;
class PontiroIni;
class ScratchFolder;

// The wizard window with its state open to the tests.
class TestFrame : public wxPontiroFrame
{
public:
    TestFrame() : wxPontiroFrame(nullptr, "Pontiro 2.5") {}

    using wxPontiroFrame::OnCancel;
    using wxPontiroFrame::OnLanguage;

    using wxPontiroFrame::m_addressBookCheck;
    using wxPontiroFrame::m_addressBookSelected;
    using wxPontiroFrame::m_browseButton;
    using wxPontiroFrame::m_cancelButton;
    using wxPontiroFrame::m_config;
    using wxPontiroFrame::m_contentSizer;
    using wxPontiroFrame::m_deviceKind;
    using wxPontiroFrame::m_dirs;
    using wxPontiroFrame::m_downloadTexts;
    using wxPontiroFrame::m_email;
    using wxPontiroFrame::m_emailText;
    using wxPontiroFrame::m_fileNames;
    using wxPontiroFrame::m_folderText;
    using wxPontiroFrame::m_gauge;
    using wxPontiroFrame::m_hostNames;
    using wxPontiroFrame::m_languageChoice;
    using wxPontiroFrame::m_languageIndex;
    using wxPontiroFrame::m_locale;
    using wxPontiroFrame::m_memoryCardCheck;
    using wxPontiroFrame::m_messageText;
    using wxPontiroFrame::m_nextButton;
    using wxPontiroFrame::m_pageState;
    using wxPontiroFrame::m_password;
    using wxPontiroFrame::m_passwordText;
    using wxPontiroFrame::m_proxyHost;
    using wxPontiroFrame::m_proxyPort;
    using wxPontiroFrame::m_resultCode;
    using wxPontiroFrame::m_secondSpeedCamFile;
    using wxPontiroFrame::m_speedCamCheck;
    using wxPontiroFrame::m_speedCamSelected;
    using wxPontiroFrame::m_timer;
    using wxPontiroFrame::m_titleText;
    using wxPontiroFrame::m_uploadTexts;
    using wxPontiroFrame::m_urls;
    using wxPontiroFrame::m_useMemoryCard;
    using wxPontiroFrame::m_useProxy;
};

struct RecordedBox
{
    wxString message;
    wxString caption;
    long style;
};

// Each test runs in a fresh working folder holding the compiled catalogs
// (de/, es/, fr/), with every message box answered and recorded.
class WizardTest : public ::testing::Test
{
protected:
    WizardTest();
    ~WizardTest() override;
    void SetUp() override;
    void TearDown() override;

    // Writes "Pontiro.ini" in the working folder.
    void WriteIni(const std::string& text);
    void WriteIni(const PontiroIni& ini);
    // The file as it is on disk now ("" when there is none).
    std::string ReadIniText() const;
    // One entry of the file on disk; "<missing>" when it is not there.
    wxString IniValue(const wxString& key) const;

    TestFrame* CreateFrame();
    // Closes the frame the toolkit's way and lets it be deleted, which
    // writes the configuration.
    void DestroyFrame();

    std::string m_folder;
    TestFrame* m_frame = nullptr;
    std::vector<RecordedBox> m_boxes;

private:
    std::unique_ptr<ScratchFolder> m_scratch;
    std::string m_previousFolder;
};

// Runs the event loop for about `ms` milliseconds.
void Pump(int ms);

// The windows of a sizer and its nested sizers, in order.
std::vector<wxWindow*> WindowsOf(wxSizer* sizer);
// "text:<label>", "check:0", "choice:a|b|c@1", "field:<value>",
// "button:<label>", "gauge:<range>", with wrapped lines joined by blanks.
std::string Describe(wxWindow* window);
std::vector<std::string> DescribePage(wxSizer* sizer);

// What the screen shows of a window's client area.
wxImage Screenshot(wxWindow* window);
// Saves a picture for a person to look at, under the build tree.
void SaveArtifact(const wxImage& image, const std::string& name);

// The background picture as the program carries it.
wxImage BackgroundPicture();

#endif

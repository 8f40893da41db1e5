// Shared pieces of the wizard window's tests: a fixture with its own working
// folder, answered dialogs and the program's window with the driver that
// reads it, and helpers to look at the screen.
#ifndef PONTIRO_TESTS_APP_GUITEST_H
#define PONTIRO_TESTS_APP_GUITEST_H

#include "app/frame.h"
#include "app/transparentstatictext.h"
#include "driver/wizarddriver.h"

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

    // The program's window, made the way the program makes it (not shown);
    // m_driver reads it.
    wxPontiroFrame* CreateFrame();
    // Closes the frame the toolkit's way and lets it be deleted, which
    // writes the configuration.
    void DestroyFrame();

    std::string m_folder;
    std::unique_ptr<PontiroFrameDriver> m_driver;
    std::vector<RecordedBox> m_boxes;

private:
    std::unique_ptr<ScratchFolder> m_scratch;
    std::string m_previousFolder;
};

// Runs the toolkit's events for about `ms` milliseconds (the driver's pump).
inline void Pump(int ms)
{
    PumpToolkit(ms / 1000.0);
}

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

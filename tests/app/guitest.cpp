#include "tests/app/guitest.h"

#include "app/dialogs.h"

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dir.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/gauge.h>
#include <wx/mstream.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/pictures.h"
#include "tests/app/native.h"
#include "sync/navfolder.h"
#include "tests/support/files.h"
#include "tests/support/pontiroini.h"
#include "tests/support/scratchfolder.h"

#include <algorithm>
#include <cstdlib>

namespace
{
std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

void CopyCatalogs(const std::string& to)
{
    const std::string from = Env("PONTIRO_CATALOG_DIR");
    ASSERT_FALSE(from.empty()) << "PONTIRO_CATALOG_DIR is not set";
    for (const char* language : {"de", "es", "fr"})
    {
        const wxString folder = wxString::Format("%s/%s", to, language);
        ASSERT_TRUE(wxFileName::Mkdir(folder));
        ASSERT_TRUE(wxCopyFile(wxString::Format("%s/%s/lang.mo", from, language),
                               folder + "/lang.mo"));
    }
}
}

WizardTest::WizardTest() = default;
WizardTest::~WizardTest() = default;

void WizardTest::SetUp()
{
    m_scratch = std::make_unique<ScratchFolder>();
    m_folder = m_scratch->Utf8Path();
    ASSERT_FALSE(m_folder.empty()) << "cannot make a temporary folder";
    m_previousFolder = wxGetCwd().ToStdString();
    ASSERT_TRUE(wxSetWorkingDirectory(m_folder));
    CopyCatalogs(m_folder);
    // Each test is a fresh start of the program.
    g_firstStart = true;
    g_navFolder = kNavFolderDefault;

    SetMessageBoxHook([this](const wxString& message, const wxString& caption, long style) {
        m_boxes.push_back({message, caption, style});
        return wxOK;
    });
    SetDirSelectorHook([](const wxString&) { return wxString(); });
}

void WizardTest::TearDown()
{
    DestroyFrame();
    SetMessageBoxHook({});
    SetDirSelectorHook({});
    wxSetWorkingDirectory(m_previousFolder);
    m_scratch.reset();
}

void WizardTest::WriteIni(const std::string& text)
{
    ASSERT_TRUE(WriteFile(m_folder + "/Pontiro.ini", text));
}

void WizardTest::WriteIni(const PontiroIni& ini)
{
    WriteIni(ini.Text());
}

std::string WizardTest::ReadIniText() const
{
    // As text: the toolkit ends the file's lines with CRLF on Windows.
    std::string text = ReadFile(m_folder + "/Pontiro.ini");
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

wxString WizardTest::IniValue(const wxString& key) const
{
    wxFileConfig file("Pontiro", "Kelvo", m_folder + "/Pontiro.ini", wxString(),
                      wxCONFIG_USE_LOCAL_FILE);
    file.SetExpandEnvVars(false);
    wxString value;
    return file.Read(key, &value) ? value : wxString("<missing>");
}

wxPontiroFrame* WizardTest::CreateFrame()
{
    m_driver = std::make_unique<PontiroFrameDriver>(false);
    return m_driver->Frame();
}

void WizardTest::DestroyFrame()
{
    m_driver.reset();
}

std::vector<wxWindow*> WindowsOf(wxSizer* sizer)
{
    std::vector<wxWindow*> windows;
    for (wxSizerItem* item : sizer->GetChildren())
    {
        if (item->IsWindow())
            windows.push_back(item->GetWindow());
        else if (item->IsSizer())
        {
            for (wxWindow* inner : WindowsOf(item->GetSizer()))
                windows.push_back(inner);
        }
    }
    return windows;
}

std::string Describe(wxWindow* window)
{
    wxString text;
    if (auto* label = dynamic_cast<CTransparentStaticText*>(window))
    {
        wxString line = label->GetLabel();
        line.Replace("\n", " ");
        text = "text:" + line;
    }
    else if (auto* check = dynamic_cast<wxCheckBox*>(window))
        text = wxString::Format("check:%d", check->GetValue() ? 1 : 0);
    else if (auto* choice = dynamic_cast<wxChoice*>(window))
    {
        text = "choice:";
        for (unsigned i = 0; i < choice->GetCount(); ++i)
            text += (i ? "|" : "") + choice->GetString(i);
        text += wxString::Format("@%d", choice->GetSelection());
    }
    else if (auto* field = dynamic_cast<wxTextCtrl*>(window))
        text = "field:" + field->GetValue();
    else if (auto* button = dynamic_cast<wxButton*>(window))
        text = "button:" + button->GetLabel();
    else if (auto* gauge = dynamic_cast<wxGauge*>(window))
        text = wxString::Format("gauge:%d", gauge->GetRange());
    else
        text = wxString("window:") + window->GetClassInfo()->GetClassName();
    return text.utf8_string();
}

std::vector<std::string> DescribePage(wxSizer* sizer)
{
    std::vector<std::string> page;
    for (wxWindow* window : WindowsOf(sizer))
        page.push_back(Describe(window));
    return page;
}

namespace
{
bool SamePixels(const wxImage& a, const wxImage& b)
{
    return a.IsOk() && b.IsOk() && a.GetSize() == b.GetSize() &&
           std::equal(a.GetData(), a.GetData() + a.GetWidth() * a.GetHeight() * 3, b.GetData());
}
}

wxImage Screenshot(wxWindow* window)
{
    window->Refresh();
    window->Update();
    Pump(100);
    const wxSize size = window->GetClientSize();
    const wxPoint origin = window->ClientToScreen(wxPoint(0, 0));
    // A busy machine may still be painting: wait until two looks agree.
    wxImage shot = CaptureScreen(origin, size);
    for (int tries = 0; tries < 40; ++tries)
    {
        Pump(50);
        wxImage again = CaptureScreen(origin, size);
        if (SamePixels(shot, again))
            break;
        shot = again;
    }
    return shot;
}

void SaveArtifact(const wxImage& image, const std::string& name)
{
    const std::string folder = Env("PONTIRO_SCREENSHOT_DIR");
    if (folder.empty())
        return;
    wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    EXPECT_TRUE(image.SaveFile(folder + "/" + name + ".png", wxBITMAP_TYPE_PNG));
}

wxImage BackgroundPicture()
{
    wxMemoryInputStream in(g_backgroundPng, g_backgroundPngSize);
    return wxImage(in, wxBITMAP_TYPE_PNG);
}

// The wizard end to end on the Windows build, under Wine: the real window
// driven as on Linux, against the stand-in web service that wine_e2e.sh
// runs on the host. Each test is one scenario the script selects and sets
// the scene for (rapi.dll beside the program or not, drive E: mapped to the
// card folder, the registry's proxy setting, the Windows version Wine
// reports); the script checks what only the host sees (the proxy's log).
#include "app/frame.h"
#include "devicelib/devicelibraryimage.h"
#include "driver/wizarddriver.h"
#include "sync/navfolder.h"
#include "tests/support/files.h"
#include "tests/support/guitoolkit.h"
#include "tests/support/licensefile.h"
#include "tests/support/pontiroini.h"
#include "tests/support/wizardwalk.h"

#include <gtest/gtest.h>

#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/platinfo.h>
#include <wx/utils.h>

#include <string>

namespace
{
const char* const kEmail = "anna@kelvonet.example";
const char* const kPassword = "s3cret&=";

const auto* const g_toolkit = ::testing::AddGlobalTestEnvironment(new GuiToolkit);

std::string Env(const char* name)
{
    wxString value;
    wxGetEnv(wxString::FromAscii(name), &value);
    return value.utf8_string();
}

class WineWizard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_content = Env("PONTIRO_E2E_CONTENT");
        m_device = Env("PONTIRO_DEVICE_ROOT");
        ASSERT_FALSE(Env("PONTIRO_E2E_SERVER").empty()) << "run through wine_e2e.sh";
        g_navFolder = kNavFolderDefault;
    }

    void TearDown() override { m_driver.reset(); }

    std::string Content(const char* item) const { return ReadFile(m_content + "/" + item); }

    // The device file holds exactly what the service sent for item (the
    // contents are large: only their sizes are printed).
    ::testing::AssertionResult Landed(const std::string& path, const char* item) const
    {
        const std::string got = ReadFile(path);
        const std::string sent = Content(item);
        if (!sent.empty() && got == sent)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << path << " holds " << got.size() << " bytes, the service sent " << sent.size();
    }

    // "Pontiro.ini" in the working folder, naming the stand-in service.
    static void WriteConfiguration(bool memoryCard)
    {
        ASSERT_TRUE(PontiroIni::Installation(Env("PONTIRO_E2E_SERVER")).MemoryCard(memoryCard).Write("Pontiro.ini"));
    }

    void PrepareDockedDevice(const std::string& profile)
    {
        ASSERT_FALSE(m_device.empty());
        ASSERT_TRUE(WriteFile(m_device + "/devicesim.ini", profile + "\n"));
        wxFileName::Mkdir(wxString::FromUTF8(m_device + "/windows"), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        ASSERT_TRUE(WriteFile(m_device + "/SDMMC Card/Kelvo/license.db", LicenseFile("KELVO")));
    }

    void OpenAndConnect(const wxString& cardFolder = wxString())
    {
        ::OpenAndConnect(m_driver, cardFolder, 30);
    }

    void RunWith(bool addressBook, bool speedCams)
    {
        ::RunWith(*m_driver, addressBook, speedCams, kEmail, wxString::FromUTF8(kPassword), 90);
        ASSERT_EQ(m_driver->PageState(), PAGE_DONE) << m_driver->Title() << " / " << m_driver->Message();
    }

    void Finish()
    {
        m_driver->ClickNext();
        EXPECT_TRUE(m_driver->RunUntil([this] { return !m_driver->IsOpen(); }, 10));
        m_driver.reset();
    }

    std::string m_content;
    std::string m_device;
    std::unique_ptr<PontiroFrameDriver> m_driver;
};

// rapi.dll beside the program is the simulated device: the device-side
// library is deployed, called remotely and its replies released with
// LocalFree; both contents land byte for byte.
TEST_F(WineWizard, DockedDeviceBothContents)
{
    WriteConfiguration(false);
    PrepareDockedDevice("map_extra = KELVO Oselan");
    OpenAndConnect();
    EXPECT_EQ(m_driver->Message(), wxT("Your Oselan connected successfully."));
    RunWith(true, true);
    EXPECT_EQ(m_driver->Steps(), "db2 de2 db3 de3 db4 de4 de5 ub2 ue2 ub3 ue3 ub4 ue4 ue5");
    const std::string nav = m_device + "/SDMMC Card/Kelvo";
    EXPECT_TRUE(Landed(nav + "/Contacts/addressbook.vcf", "addressbook"));
    EXPECT_TRUE(Landed(nav + "/Speedcams/speedcams.txt", "radars"));
    EXPECT_TRUE(Landed(nav + "/Speedcams/speedcams_mobile.txt", "radarsv2"));
    // The library deployed before each remote call is the Windows DLL the
    // program carries, byte for byte.
    const std::string deployed = ReadFile(m_device + "/windows/vdxrapi.dll");
    EXPECT_EQ(deployed.size(), g_deviceLibraryImageSize);
    EXPECT_TRUE(deployed == std::string(reinterpret_cast<const char*>(g_deviceLibraryImage),
                                        g_deviceLibraryImageSize));
    EXPECT_EQ(deployed.compare(0, 2, "MZ"), 0);
    Finish();
}

// The card by drive letter: E:\Kelvo gives drive E and the folder \Kelvo/.
TEST_F(WineWizard, MemoryCardByDriveLetter)
{
    ASSERT_TRUE(wxDirExists("E:\\")) << "drive E: is not mapped";
    ASSERT_TRUE(WriteFile("E:\\Kelvo\\license.db", LicenseFile("xKELVO card")));
    WriteConfiguration(true);
    OpenAndConnect("E:\\Kelvo");
    EXPECT_EQ(g_navFolder, wxT("\\Kelvo/"));
    RunWith(true, true);
    EXPECT_TRUE(Landed("E:\\Kelvo\\Contacts\\addressbook.vcf", "addressbook"));
    EXPECT_TRUE(Landed("E:\\Kelvo\\Speedcams\\speedcams.txt", "radars"));
    Finish();
}

// The proxy comes from the registry at the start of the run (the script
// set it and checks on the host which way the requests came); the saved
// settings mirror it.
TEST_F(WineWizard, ProxyFromTheRegistry)
{
    const bool viaProxy = Env("PONTIRO_E2E_EXPECT_PROXY") == "1";
    WriteConfiguration(false);
    PrepareDockedDevice("map_extra = KELVO Oselan");
    OpenAndConnect();
    RunWith(true, false);
    EXPECT_TRUE(Landed(m_device + "/SDMMC Card/Kelvo/Contacts/addressbook.vcf", "addressbook"));
    Finish();
    const std::string ini = ReadFile("Pontiro.ini");
    EXPECT_NE(ini.find(viaProxy ? "useproxy=1" : "useproxy=0"), std::string::npos) << ini;
    if (viaProxy)
    {
        const wxString proxy = Env("PONTIRO_E2E_PROXY");
        EXPECT_NE(ini.find("address=" + proxy.BeforeFirst(':').ToStdString()), std::string::npos) << ini;
        EXPECT_NE(ini.find("port=" + proxy.AfterFirst(':').ToStdString()), std::string::npos) << ini;
    }
}

// No rapi.dll anywhere: the connection gives up after its 100 ticks with
// the text for the Windows version Wine reports.
TEST_F(WineWizard, DeviceNotFoundWithoutRapi)
{
    const long major = wxPlatformInfo::Get().GetOSMajorVersion();
    const wxString expected = Env("PONTIRO_E2E_OS_MAJOR");
    ASSERT_EQ(wxString::Format("%ld", major), expected) << "Wine reports another Windows version";
    WriteConfiguration(false);
    m_driver.reset(new PontiroFrameDriver);
    m_driver->ClickNext();
    ASSERT_EQ(m_driver->PageState(), PAGE_CONNECTING);
    ASSERT_TRUE(m_driver->WaitForPage(PAGE_RESULT, 40));
    EXPECT_EQ(m_driver->Title(), wxT("Device not found"));
    if (major == 6)
        EXPECT_EQ(m_driver->Message(),
                  wxT("Pontiro has not found any connected device. Please check the connection. "
                      "You can also make the update via your memory card reader."));
    else
        EXPECT_EQ(m_driver->Message(),
                  wxT("Pontiro has not found any connected device or you have a problem with "
                      "ActiveSync. Please check the connection!"));
    EXPECT_EQ(m_driver->NextLabel(), wxT("Retry"));
}

} // namespace

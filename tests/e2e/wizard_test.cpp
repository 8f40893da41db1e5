// The whole wizard, end to end: the real window, the stand-in web service,
// the simulated docked device or a mounted memory card; what lands on the
// device is checked byte for byte.
#include "tests/e2e/e2eworld.h"

#include "app/dialogs.h"
#include "app/frame.h"
#include "tests/support/mountedcard.h"
#include "tests/support/tinyproxy.h"

#include <chrono>
#include <cstdlib>
#include <sys/stat.h>

namespace
{

const std::string kNav = "/SDMMC Card/Kelvo";

std::vector<std::string> Uris(const StandInService& service)
{
    std::vector<std::string> uris;
    for (const auto& request : service.Requests())
        uris.push_back(request.uri);
    return uris;
}

class Wizard : public E2EWorld
{
};

TEST_F(Wizard, DockedKind1BothContents)
{
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO Oselan");
    OpenAndConnect();
    EXPECT_EQ(m_driver->Message(), wxT("Your Oselan connected successfully."));
    EXPECT_TRUE(m_driver->IsNextEnabled());
    RunWith(true, true, kEmail, kPassword);

    EXPECT_EQ(m_driver->PageState(), PAGE_DONE) << m_driver->Title() << " / " << m_driver->Message();
    EXPECT_EQ(m_driver->Title(), wxT("Kelvo synchronization done"));
    EXPECT_EQ(m_driver->Steps(), "db2 de2 db3 de3 db4 de4 de5 ub2 ue2 ub3 ue3 ub4 ue4 ue5");
    EXPECT_EQ(Uris(*m_service),
              (std::vector<std::string>{"/BtoB/PND/session?email=" + std::string(kEmail) + "&password=" + kPassword,
                                        "/BtoB/PND/radars", "/BtoB/PND/radarsv2"}));
    // The sub-folders did not exist below the navigation folder: made.
    EXPECT_EQ(ReadFile(m_device + kNav + "/Contacts/addressbook.vcf"), Content("addressbook"));
    EXPECT_EQ(ReadFile(m_device + kNav + "/Speedcams/speedcams.txt"), Content("radars"));
    EXPECT_EQ(ReadFile(m_device + kNav + "/Speedcams/speedcams_mobile.txt"), Content("radarsv2"));

    m_driver->ClickNext(); // Finish
    EXPECT_TRUE(m_driver->RunUntil([this] { return !m_driver->IsOpen(); }, 10));
    // The credentials are kept sealed.
    const std::string ini = ReadFile(m_work + "/Pontiro.ini");
    EXPECT_EQ(ini.find(kEmail), std::string::npos);
    EXPECT_NE(ini.find("username="), std::string::npos);
}

TEST_F(Wizard, DockedKind2SpeedCamsInTheFallbackFolder)
{
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = Kelvo5020 Tarvik", "SDMMC/Kelvo");
    OpenAndConnect();
    EXPECT_EQ(m_driver->Message(), wxT("Your Tarvik connected successfully."));
    RunWith(false, true, kEmail, kPassword);

    EXPECT_EQ(m_driver->PageState(), PAGE_DONE) << m_driver->Message();
    EXPECT_EQ(m_driver->Steps(), "db3 de3 de5 ub3 ue3 ue5");
    EXPECT_EQ(Uris(*m_service), std::vector<std::string>{"/BtoB/PND/radarsv3"});
    EXPECT_EQ(ReadFile(m_device + "/SDMMC/Kelvo/Speedcams/speedcams_fixed.txt"), Content("radarsv3"));
}

TEST_F(Wizard, Kind2NeedsTheLoginEvenForSpeedCams)
{
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO7070");
    int boxes = 0;
    SetMessageBoxHook([&](const wxString& message, const wxString& caption, long) {
        EXPECT_EQ(message, wxT("Your login or password is missing."));
        EXPECT_EQ(caption, wxT("Kelvo synchronization"));
        ++boxes;
        return wxOK;
    });
    OpenAndConnect();
    m_driver->ClickNext();
    m_driver->SetContent(false, true);
    m_driver->SetLogin(wxT(""), wxT(""));
    m_driver->ClickNext();
    SetMessageBoxHook(MessageBoxHook());
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(m_driver->PageState(), PAGE_LOGIN);
    EXPECT_TRUE(m_service->Requests().empty());
}

TEST_F(Wizard, WrongLoginRetriesAtTheLoginPage)
{
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO");
    OpenAndConnect();
    const int serial = m_driver->ConnectSerial();
    RunWith(true, true, kEmail, "wrong");
    EXPECT_EQ(m_driver->Title(), wxT("Login not successful"));
    EXPECT_EQ(m_driver->Message(), wxT("Your login and password do not match. Please try again."));
    EXPECT_EQ(m_driver->NextLabel(), wxT("Retry"));
    EXPECT_EQ(m_driver->Steps(), "db2 de6");
    EXPECT_EQ(m_service->Requests().size(), 1u);

    m_driver->ClickNext();
    EXPECT_EQ(m_driver->PageState(), PAGE_LOGIN);
    EXPECT_EQ(m_driver->EmailField(), wxString::FromUTF8(kEmail));
    EXPECT_EQ(m_driver->PasswordField(), wxT("wrong"));
    EXPECT_EQ(m_driver->ConnectSerial(), serial); // no new connection

    m_driver->SetLogin(wxString::FromUTF8(kEmail), wxString::FromUTF8(kPassword));
    m_driver->ClickNext();
    ASSERT_TRUE(m_driver->WaitForPage(PAGE_DONE, 60)) << m_driver->Title();
    EXPECT_FALSE(PathExists(m_device + kNav + "/Contacts/addressbook.vcf.tmp"));
    EXPECT_EQ(ReadFile(m_device + kNav + "/Contacts/addressbook.vcf"), Content("addressbook"));
}

TEST_F(Wizard, ServerFailuresEndOnTheirResultPage)
{
    struct Case
    {
        const char* fault; // on the "radars" item; "down" for no server
        const char* title;
        int code;
    };
    const Case cases[] = {
        {"down", "Internet connection problem", RESULT_NO_INTERNET},
        {"status:404", "Internet connection problem", RESULT_NO_INTERNET},
        {"status:204", "Communication problem", RESULT_SERVER_PROBLEM},
        {"nolocation", "Communication problem", RESULT_SERVER_PROBLEM},
        {"cut:30000", "Internet connection problem", RESULT_NO_INTERNET},
        {"redirects:11", "Communication problem", RESULT_SERVER_PROBLEM},
    };
    PrepareDockedDevice("map_extra = KELVO");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.fault);
        m_options.faults.clear();
        if (std::string(c.fault) == "down")
        {
            WriteConfiguration("127.0.0.1:1");
        }
        else
        {
            ASSERT_TRUE(StandInService::ParseFault(c.fault, m_options.faults["radars"]));
            StartService();
            WriteConfiguration();
        }
        g_firstStart = true;
        OpenAndConnect();
        RunWith(true, true, kEmail, kPassword);
        EXPECT_EQ(m_driver->Title(), wxString::FromUTF8(c.title));
        EXPECT_EQ(m_driver->ResultCode(), c.code);
        const bool retry = c.code == RESULT_NO_INTERNET;
        EXPECT_EQ(m_driver->NextLabel(), retry ? wxT("Retry") : wxT("Finish"));
        EXPECT_EQ(m_driver->IsCancelEnabled(), retry);
        // Nothing of a failed download reaches the device.
        EXPECT_FALSE(PathExists(m_device + kNav + "/Contacts"));
        EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams"));
        m_driver.reset();
        if (m_service)
            m_service->Stop();
    }
}

TEST_F(Wizard, DeviceThatNeverLinks)
{
    WriteConfiguration("127.0.0.1:1");
    PrepareDockedDevice("link_delay_ms = never");
    m_driver.reset(new PontiroFrameDriver);
    const auto start = std::chrono::steady_clock::now();
    m_driver->ClickNext();
    ASSERT_EQ(m_driver->PageState(), PAGE_CONNECTING);
    EXPECT_EQ(m_driver->Title(), wxT("Connecting to Kelvo navigation device"));
    // A result that is not the current thread's changes nothing.
    m_driver->PostConnectResult(m_driver->ConnectSerial() + 1000);
    EXPECT_EQ(m_driver->PageState(), PAGE_CONNECTING);
    EXPECT_FALSE(m_driver->IsNextEnabled());

    ASSERT_TRUE(m_driver->WaitForPage(PAGE_RESULT, 30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(9500));
    EXPECT_EQ(m_driver->Title(), wxT("Device not found"));
    EXPECT_EQ(m_driver->ResultCode(), RESULT_DEVICE_NOT_FOUND);
    // A late result of the cancelled thread is ignored.
    m_driver->PostConnectResult(m_driver->ConnectSerial());
    EXPECT_EQ(m_driver->PageState(), PAGE_RESULT);
    EXPECT_EQ(m_driver->Title(), wxT("Device not found"));

    m_driver->SetMemoryCardOption(true);
    m_driver->ClickNext();
    EXPECT_EQ(m_driver->PageState(), PAGE_MEMORY_CARD);
    EXPECT_EQ(m_driver->NextLabel(), wxT("Next"));
}

TEST_F(Wizard, InvalidDevices)
{
    struct Case
    {
        const char* profile;
        const char* navFolder;
        const char* message;
    };
    const Case cases[] = {
        {"map_extra = kelvo7070", "SDMMC Card/Kelvo", "Your device is not a valid Kelvo device."},
        {"map_extra = KELVO", "",
         "Pontiro does not found any connected device with Kelvo navigation software. Is your storage card inserted into your device?"},
    };
    WriteConfiguration("127.0.0.1:1");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.profile);
        std::system(("rm -rf '" + m_device + "'/*").c_str());
        PrepareDockedDevice(c.profile, c.navFolder);
        g_firstStart = true;
        OpenAndConnect();
        EXPECT_EQ(m_driver->Title(), wxT("Invalid device"));
        EXPECT_EQ(m_driver->Message(), wxString::FromUTF8(c.message));
        EXPECT_EQ(m_driver->ResultCode(), RESULT_INVALID_DEVICE);
        // Retry connects again, the same way, with a new thread.
        const int serial = m_driver->ConnectSerial();
        m_driver->ClickNext();
        ASSERT_TRUE(m_driver->WaitForConnection(20));
        EXPECT_NE(m_driver->ConnectSerial(), serial);
        EXPECT_EQ(m_driver->Title(), wxT("Invalid device"));
        m_driver.reset();
    }
}

// A provider without CeMoveFile: each file goes straight onto its target.
TEST_F(Wizard, DockedUploadFailureRemovesTheFailedFile)
{
    ::setenv("PONTIRO_RAPI_LIBRARY", PONTIRO_RAPI_BASIC_LIBRARY_PATH, 1);
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO\nwrite_fault_path = " + kNav + "/Speedcams/speedcams.txt\nwrite_fail_after = 20000");
    OpenAndConnect();
    RunWith(true, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->Title(), wxT("Synchronization not successful"));
    EXPECT_EQ(m_driver->ResultCode(), RESULT_UPDATE_FAILED);
    EXPECT_EQ(m_driver->NextLabel(), wxT("Finish"));
    EXPECT_EQ(m_driver->Steps(), "db2 de2 db3 de3 db4 de4 de5 ub2 ue2 ub3 ue6");
    EXPECT_EQ(ReadFile(m_device + kNav + "/Contacts/addressbook.vcf"), Content("addressbook"));
    EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams/speedcams.txt"));
    EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams/speedcams_mobile.txt"));
}

TEST_F(Wizard, ThroughTheSystemProxyAndAroundIt)
{
    TinyproxyProcess proxy;
    ASSERT_TRUE(proxy.IsRunning()) << proxy.Error();
    StartService();
    PrepareDockedDevice("map_extra = KELVO");
    ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.Port()) + "/").c_str(), 1);

    WriteConfiguration();
    OpenAndConnect();
    RunWith(false, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->PageState(), PAGE_DONE) << m_driver->Message();
    EXPECT_EQ(m_service->Requests().size(), 2u);
    // The proxy carried both requests.
    std::string log = proxy.Log();
    EXPECT_NE(log.find("/kelvonet/pnd?user=PND;uri="), std::string::npos) << log;
    m_driver.reset();

    // A host in no_proxy goes direct.
    ::setenv("no_proxy", "localhost", 1);
    WriteConfiguration("localhost:" + std::to_string(m_service->Port()));
    const std::size_t before = proxy.Log().size();
    g_firstStart = true;
    OpenAndConnect();
    RunWith(false, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->PageState(), PAGE_DONE) << m_driver->Message();
    EXPECT_EQ(m_service->Requests().size(), 4u);
    EXPECT_EQ(proxy.Log().find("/kelvonet/pnd", before), std::string::npos);
    ::unsetenv("http_proxy");
    ::unsetenv("no_proxy");
    m_driver.reset();
    // The configuration mirrors the setting found at the last run.
    EXPECT_NE(ReadFile(m_work + "/Pontiro.ini").find("port=" + std::to_string(proxy.Port())), std::string::npos);
}

// --- memory card ----------------------------------------------------------------

TEST_F(Wizard, MemoryCardOnAMountedFatFileSystem)
{
    ::mkdir((m_dir + "/fat").c_str(), 0700);
    MountedCard card(m_dir + "/fat");
    PONTIRO_REQUIRE_MOUNT(card.MountFat(8192, 12));
    WriteFile(card.Root() + "/Kelvo/license.db", LicenseFile("xKELVO card"));
    StartService();
    WriteConfiguration(std::string(), true);

    // A folder without license.db is refused with a message box.
    int boxes = 0;
    SetMessageBoxHook([&](const wxString& message, const wxString& caption, long) {
        EXPECT_EQ(message, wxT("The selected directory does not seem to be a valid Kelvo directory."));
        EXPECT_EQ(caption, wxT("Browse Kelvo Directory"));
        ++boxes;
        return wxOK;
    });
    m_driver.reset(new PontiroFrameDriver);
    m_driver->SetMemoryCardOption(true);
    m_driver->ClickNext();
    ASSERT_EQ(m_driver->PageState(), PAGE_MEMORY_CARD);
    m_driver->SetFolder(wxString::FromUTF8(card.Root().c_str()));
    m_driver->ClickNext();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(m_driver->PageState(), PAGE_MEMORY_CARD);
    SetMessageBoxHook(MessageBoxHook());

    m_driver->SetFolder(wxString::FromUTF8((card.Root() + "/Kelvo").c_str()));
    m_driver->ClickNext();
    EXPECT_EQ(m_driver->Title(), wxT("Connecting..."));
    ASSERT_TRUE(m_driver->WaitForConnection(10));
    RunWith(true, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->PageState(), PAGE_DONE) << m_driver->Message();
    EXPECT_EQ(ReadFile(card.Root() + "/Kelvo/Contacts/addressbook.vcf"), Content("addressbook"));
    EXPECT_EQ(ReadFile(card.Root() + "/Kelvo/Speedcams/speedcams.txt"), Content("radars"));
    EXPECT_EQ(ReadFile(card.Root() + "/Kelvo/Speedcams/speedcams_mobile.txt"), Content("radarsv2"));
    m_driver.reset();
    EXPECT_TRUE(card.Unmount());
}

TEST_F(Wizard, MemoryCardUploadFailureKeepsThePreviousFile)
{
    ::mkdir((m_dir + "/tmpfs").c_str(), 0700);
    MountedCard card(m_dir + "/tmpfs");
    PONTIRO_REQUIRE_MOUNT(card.MountTmpfs(1024));
    WriteFile(card.Root() + "/Kelvo/license.db", LicenseFile("KELVO"));
    WriteFile(card.Root() + "/Kelvo/Speedcams/speedcams.txt", "previous cameras\n");
    SetContent("radars", std::string(3 << 20, 'n')); // more than the card holds
    StartService();
    WriteConfiguration(std::string(), true);
    OpenAndConnect(card.Root() + "/Kelvo");
    RunWith(false, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->Title(), wxT("Synchronization not successful"));
    EXPECT_EQ(ReadFile(card.Root() + "/Kelvo/Speedcams/speedcams.txt"), "previous cameras\n");
    // No half-written file is left beside it.
    EXPECT_EQ(FolderEntries(card.Root() + "/Kelvo/Speedcams"), std::vector<std::string>{"speedcams.txt"});
    m_driver.reset();
    EXPECT_TRUE(card.Unmount());
}

} // namespace

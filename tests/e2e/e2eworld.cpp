#include "tests/e2e/e2eworld.h"

#include "app/frame.h"
#include "sync/navfolder.h"
#include "tests/support/guitoolkit.h"
#include "tests/support/pontiroini.h"
#include "tests/support/wizardwalk.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

const char* const kEmail = "anna@kelvonet.example";
const char* const kPassword = "s3cret&=";

namespace
{

const auto* const g_toolkit = ::testing::AddGlobalTestEnvironment(new GuiToolkit);

} // namespace

void E2EWorld::SetUp()
{
    m_dir = m_scratch.Utf8Path();
    ASSERT_FALSE(m_dir.empty()) << "cannot make a scratch folder";
    m_work = m_dir + "/work";
    m_device = m_dir + "/device";
    ::mkdir(m_work.c_str(), 0700);
    ::mkdir(m_device.c_str(), 0700);
    ::mkdir((m_dir + "/content").c_str(), 0700);
    char cwd[4096];
    m_oldCwd = ::getcwd(cwd, sizeof(cwd)) ? cwd : "/";
    ASSERT_EQ(::chdir(m_work.c_str()), 0);

    m_options.contentDir = m_dir + "/content";
    m_options.email = kEmail;
    m_options.password = kPassword;
    SetContent("addressbook", "BEGIN:VCARD\r\nN:Dupont;Jean\r\nEND:VCARD\r\n");
    SetContent("radars", std::string(70000, 'r') + "end");
    SetContent("radarsv2", std::string(20480, 'm'));
    SetContent("radarsv3", "fixed cameras only\n");

    ::setenv("PONTIRO_RAPI_LIBRARY", PONTIRO_RAPI_LIBRARY_PATH, 1);
    ::setenv("PONTIRO_DEVICE_ROOT", m_device.c_str(), 1);
    ::unsetenv("http_proxy");
    ::unsetenv("HTTP_PROXY");
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    // Each test is a fresh start of the program.
    g_firstStart = true;
    g_navFolder = kNavFolderDefault;
}

void E2EWorld::TearDown()
{
    m_driver.reset();
    if (m_service)
        m_service->Stop();
    (void)::chdir(m_oldCwd.c_str());
}

void E2EWorld::SetContent(const std::string& item, const std::string& bytes)
{
    WriteFile(m_options.contentDir + "/" + item, bytes);
}

std::string E2EWorld::Content(const std::string& item) const
{
    return ReadFile(m_options.contentDir + "/" + item);
}

void E2EWorld::StartService()
{
    m_service.reset(new StandInService(m_options));
    ASSERT_TRUE(m_service->Start());
}

void E2EWorld::WriteConfiguration(const std::string& host, bool memoryCard)
{
    const std::string server =
        host.empty() ? "127.0.0.1:" + std::to_string(m_service ? m_service->Port() : 1) : host;
    PontiroIni::Installation(server).MemoryCard(memoryCard).Write(m_work + "/Pontiro.ini");
}

void E2EWorld::PrepareDockedDevice(const std::string& profile, const std::string& navFolder)
{
    WriteFile(m_device + "/devicesim.ini", profile + "\n");
    ::mkdir((m_device + "/windows").c_str(), 0700);
    if (!navFolder.empty())
        WriteFile(m_device + "/" + navFolder + "/license.db", LicenseFile("KELVO"));
}

void E2EWorld::OpenAndConnect(const std::string& cardFolder)
{
    ::OpenAndConnect(m_driver, wxString::FromUTF8(cardFolder.c_str()), 20);
}

void E2EWorld::RunWith(bool addressBook, bool speedCams, const std::string& email, const std::string& password)
{
    ::RunWith(*m_driver, addressBook, speedCams, wxString::FromUTF8(email.c_str()),
              wxString::FromUTF8(password.c_str()), 60);
}

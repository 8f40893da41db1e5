// The configuration file: what a load makes of small ini files, and what a
// save writes back.
#include "tests/app/guitest.h"
#include "tests/support/pontiroini.h"

#include "crypt/seal.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/fileconf.h>

namespace
{
struct ConfigCase
{
    const char* name;
    std::string ini;
    // After the start-up (load, save, load).
    int languageIndex;
    bool useProxy;
    const char* proxyHost;
    int proxyPort;
    bool useMemoryCard;
    // In the file after the window is gone.
    const char* savedUseProxy;
    const char* savedPort;
    const char* savedLanguage;
};

std::string Sealed(const char* text)
{
    return SealText(wxString::FromUTF8(text)).utf8_string();
}

const ConfigCase kCases[] = {
    {"no proxy section", "[Pontiro]\nlanguage=en\n", 1, false, "", 8080, false, "0", "8080", "en"},
    // The start-up's second load reads the "0" its save wrote, hence 8080;
    // one load of the file keeps 3128 (see TwoLoadsAreOneLoad).
    {"proxy on without address is off",
     "[Pontiro]\nlanguage=en\n[proxy]\nuseproxy=1\naddress=\nport=3128\n", 1, false, "", 8080,
     false, "0", "3128", "en"},
    {"proxy on with address", "[proxy]\nuseproxy=1\naddress=proxy.local\nport=3128\n", 0, true,
     "proxy.local", 3128, false, "1", "3128", "de"},
    {"proxy off forces 8080", "[proxy]\nuseproxy=0\naddress=proxy.local\nport=3128\n", 0, false,
     "proxy.local", 8080, false, "0", "8080", "de"},
    {"port that is no number leaves the member", "[proxy]\nuseproxy=1\naddress=p\nport=abc\n", 0,
     true, "p", 8080, false, "1", "8080", "de"},
    {"language codes are compared exactly", "[Pontiro]\nlanguage=DE\n", 0, false, "", 8080, false,
     "0", "8080", "de"},
    {"unknown language keeps row 0", "[Pontiro]\nlanguage=it\n", 0, false, "", 8080, false, "0",
     "8080", "de"},
    {"spanish", "[Pontiro]\nlanguage=es\n", 2, false, "", 8080, false, "0", "8080", "es"},
    {"french and memory card", "[Pontiro]\nlanguage=fr\nusememorycard=1\n", 3, false, "", 8080,
     true, "0", "8080", "fr"},
};

class ConfigTest : public WizardTest, public ::testing::WithParamInterface<ConfigCase>
{
};
}

TEST_P(ConfigTest, LoadAndSave)
{
    const ConfigCase& c = GetParam();
    WriteIni(c.ini);
    CreateFrame();
    EXPECT_TRUE(m_boxes.empty());

    EXPECT_EQ(m_driver->LanguageIndex(), c.languageIndex);
    EXPECT_EQ(m_driver->LanguageChoice()->GetSelection(), c.languageIndex);
    EXPECT_EQ(m_driver->UseProxy(), c.useProxy);
    EXPECT_EQ(m_driver->ProxyHost(), c.proxyHost);
    EXPECT_EQ(m_driver->ProxyPort(), c.proxyPort);
    EXPECT_EQ(m_driver->UseMemoryCard(), c.useMemoryCard);
    EXPECT_EQ(m_driver->MemoryCardCheck()->GetValue(), c.useMemoryCard);

    DestroyFrame();
    EXPECT_EQ(IniValue("proxy/useproxy"), c.savedUseProxy);
    EXPECT_EQ(IniValue("proxy/address"), c.proxyHost);
    EXPECT_EQ(IniValue("proxy/port"), c.savedPort);
    EXPECT_EQ(IniValue("Pontiro/language"), c.savedLanguage);
    EXPECT_EQ(IniValue("Pontiro/usememorycard"), c.useMemoryCard ? "1" : "0");
}

INSTANTIATE_TEST_SUITE_P(Files, ConfigTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ConfigCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST_F(WizardTest, CredentialsAreSealedAndNeverInClear)
{
    const char* email = "j\xc3\xbcrgen@example.com";
    WriteIni(PontiroIni()
                 .Set("addressbook", "username", Sealed(email))
                 .Set("addressbook", "password", Sealed("s3cret")));
    wxPontiroFrame* frame = CreateFrame();
    EXPECT_EQ(m_driver->Email(), wxString::FromUTF8(email));
    EXPECT_EQ(m_driver->Password(), "s3cret");

    // The user types a new address and clears the password on the login
    // page, and the run takes them (it finds nothing to fetch).
    frame->OpenLoginPage();
    m_driver->SetContent(true, false); // the fields take input
    m_driver->SetLogin("new.user@example.org", "");
    m_driver->SetContent(false, false);
    frame->StartRun();
    ASSERT_EQ(m_driver->Email(), "new.user@example.org");
    frame->SaveConfiguration();
    DestroyFrame();

    const std::string file = ReadIniText();
    EXPECT_EQ(file.find("new.user"), std::string::npos);
    EXPECT_EQ(file.find("example"), std::string::npos);
    EXPECT_EQ(IniValue("addressbook/username"), SealText("new.user@example.org"));
    EXPECT_EQ(UnsealText(IniValue("addressbook/username")), "new.user@example.org");
    EXPECT_EQ(IniValue("addressbook/password"), "");
    EXPECT_NE(file.find("password=\n"), std::string::npos);
}

TEST_F(WizardTest, InstallationSettingsAreReadNotWritten)
{
    WriteIni("[addressbook]\nhostname=ab.example\ndir=Contacts\nfilename=book.dat\nurl=/BtoB/PND/"
             "session\n"
             "[speedcam]\nhostname=sc.example\ndir=Radar\nfilename=cams.dat\nfilenamev2=cams2.dat\n"
             "filenamestatic=static.dat\nurl=/BtoB/PND/\n"
             "[20minutes]\nhostname=rb.example\ndir=Roadbook\nfilename=rb.dat\nurl=/rb\n");
    wxPontiroFrame* frame = CreateFrame();
    const std::map<int, wxString> hosts = {{0, "ab.example"}, {1, "sc.example"}, {2, "rb.example"}};
    const std::map<int, wxString> dirs = {{0, "Contacts"}, {1, "Radar"}, {2, "Roadbook"}};
    const std::map<int, wxString> files = {
        {0, "book.dat"}, {1, "cams.dat"}, {2, "rb.dat"}, {3, "cams2.dat"}, {4, "static.dat"}};
    const std::map<int, wxString> urls = {{0, "/BtoB/PND/session"}, {1, "/BtoB/PND/"}, {2, "/rb"}};
    EXPECT_EQ(m_driver->HostNames(), hosts);
    EXPECT_EQ(m_driver->Dirs(), dirs);
    EXPECT_EQ(m_driver->FileNames(), files);
    EXPECT_EQ(m_driver->Urls(), urls);

    // Changed in memory, they are still not written: the window loads a host
    // its file then no longer has.
    m_driver->Configuration()->Write("addressbook/hostname", "changed.example");
    frame->LoadConfiguration();
    m_driver->Configuration()->Write("addressbook/hostname", "ab.example");
    ASSERT_EQ(m_driver->HostNames().at(0), "changed.example");
    frame->SaveConfiguration();
    DestroyFrame();
    EXPECT_EQ(IniValue("addressbook/hostname"), "ab.example");
}

TEST_F(WizardTest, MissingInstallationSettingsAreEmpty)
{
    WriteIni(PontiroIni().Language("en"));
    CreateFrame();
    for (int key : {0, 1, 2})
    {
        EXPECT_EQ(m_driver->HostNames().at(key), "");
        EXPECT_EQ(m_driver->Urls().at(key), "");
        EXPECT_EQ(m_driver->Dirs().at(key), "");
    }
    EXPECT_EQ(m_driver->FileNames().size(), 5u);
    EXPECT_EQ(m_driver->UploadTexts().at(CONTENT_ROADBOOK),
              "Uploading 20 minutes weekend roadbook to device...");
}

TEST_F(WizardTest, TwoLoadsAreOneLoad)
{
    WriteIni(PontiroIni()
                 .Language("es")
                 .MemoryCard(true)
                 .Set("proxy", "useproxy", "1")
                 .Set("proxy", "address", "")
                 .Set("proxy", "port", "3128")
                 .Set("addressbook", "username", Sealed("a@b.c"))
                 .Set("addressbook", "hostname", "h"));
    wxPontiroFrame* frame = CreateFrame();
    // Back to the file as it was before the start-up's save normalised it.
    m_driver->Configuration()->Write("proxy/useproxy", true);
    frame->LoadConfiguration();
    auto snapshot = [this] {
        return std::make_tuple(m_driver->LanguageIndex(), m_driver->Email(), m_driver->Password(),
                               m_driver->UseMemoryCard(), m_driver->UseProxy(), m_driver->ProxyHost(),
                               m_driver->ProxyPort(), m_driver->HostNames(), m_driver->Dirs(),
                               m_driver->FileNames(), m_driver->Urls(), m_driver->DownloadTexts(),
                               m_driver->UploadTexts());
    };
    const auto once = snapshot();
    frame->LoadConfiguration();
    EXPECT_TRUE(once == snapshot());
    EXPECT_EQ(m_driver->ProxyPort(), 3128);
    EXPECT_FALSE(m_driver->UseProxy());
}

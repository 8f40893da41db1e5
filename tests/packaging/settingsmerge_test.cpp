// The launcher's merge of the installation's settings into the user's
// Pontiro.ini, on the toolkit's own ini reader and writer.
#include "packaging/linux/settingsmerge.h"

#include <gtest/gtest.h>

#include <wx/fileconf.h>
#include <wx/init.h>
#include <wx/mstream.h>
#include <wx/utils.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
class Toolkit : public ::testing::Environment
{
public:
    void SetUp() override { m_toolkit = std::make_unique<wxInitializer>(); }
    void TearDown() override { m_toolkit.reset(); }

private:
    std::unique_ptr<wxInitializer> m_toolkit;
};
const auto* const g_toolkit = ::testing::AddGlobalTestEnvironment(new Toolkit);

std::unique_ptr<wxFileConfig> Config(const std::string& text)
{
    wxMemoryInputStream in(text.data(), text.size());
    return std::make_unique<wxFileConfig>(in);
}

std::string Text(wxFileConfig& config)
{
    wxMemoryOutputStream out;
    config.Save(out);
    std::string text(out.GetLength(), '\0');
    out.CopyTo(text.data(), text.size());
    return text;
}

struct Case
{
    const char* what;
    std::string installation;
    std::string user;
    std::string merged; // the user's file afterwards
};
}

TEST(SettingsMerge, InstallationSettingsReachTheUserAndTheUsersOwnStay)
{
    wxSetEnv("PONTIRO_MERGE_TEST", "expanded");
    const std::vector<Case> cases = {
        {"a new host replaces the old one; the login and language stay",
         "[Pontiro]\nlanguage=en\n[speedcam]\nhostname=new.example:80\n",
         "[Pontiro]\nlanguage=fr\n[addressbook]\nusername=cBO7MH9eoo1x/kJ+c0eXqA==\n"
         "[speedcam]\nhostname=old.example:80\n",
         "[Pontiro]\nlanguage=fr\n[addressbook]\nusername=cBO7MH9eoo1x/kJ+c0eXqA==\n"
         "[speedcam]\nhostname=new.example:80\n"},
        {"values holding '=' are taken whole",
         "[addressbook]\nurl=/pnd?a=b==\n",
         "[addressbook]\npassword=Aq0+u3n8Yw2d7w==\nurl=/old\n",
         "[addressbook]\npassword=Aq0+u3n8Yw2d7w==\nurl=/pnd?a=b==\n"},
        {"the installation's samples of user settings do not override the user's",
         "[Pontiro]\nlanguage=en\nusememorycard=0\n[addressbook]\nusername=\npassword=\n"
         "[proxy]\nuseproxy=0\naddress=\nport=8080\n",
         "[Pontiro]\nlanguage=de\nusememorycard=1\n[addressbook]\nusername=X0==\npassword=Y0==\n"
         "[proxy]\nuseproxy=1\naddress=proxy.lan\nport=3128\n",
         "[Pontiro]\nlanguage=de\nusememorycard=1\n[addressbook]\nusername=X0==\npassword=Y0==\n"
         "[proxy]\nuseproxy=1\naddress=proxy.lan\nport=3128\n"},
        {"a section the user lacks is added",
         "[20minutes]\ndir=/Roadbook\n",
         "[Pontiro]\nlanguage=de\n",
         "[Pontiro]\nlanguage=de\n[20minutes]\ndir=/Roadbook\n"},
        {"an installation setting the installation dropped goes",
         "[speedcam]\nhostname=h\n",
         "[speedcam]\nhostname=h\nurl=/old\n",
         "[speedcam]\nhostname=h\n"},
        {"names match whatever their case, as the program reads them",
         "[speedcam]\nhostname=new\n",
         "[SpeedCam]\nHostName=old\n",
         "[SpeedCam]\nHostName=new\n"},
        {"environment variables stay as written",
         "[speedcam]\ndir=$PONTIRO_MERGE_TEST/cams\n",
         "[speedcam]\ndir=/old\n",
         "[speedcam]\ndir=$PONTIRO_MERGE_TEST/cams\n"},
        {"quoted values keep their blanks",
         "[speedcam]\nfilename=\" spaced.bin\"\n",
         "[speedcam]\nfilename=old.bin\n",
         "[speedcam]\nfilename=\" spaced.bin\"\n"},
        {"a key the user lacks arrives; one the user has stays",
         "[speedcam]\nlimit=30\n[Pontiro]\nlanguage=en\n",
         "[speedcam]\n[Pontiro]\n",
         "[speedcam]\nlimit=30\n[Pontiro]\nlanguage=en\n"},
        {"the user's comments and unknown keys stay",
         "[speedcam]\nhostname=h\n",
         "; mine\n[speedcam]\nhostname=h\n[extra]\nnote=kept\n",
         "; mine\n[speedcam]\nhostname=h\n[extra]\nnote=kept\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto installation = Config(c.installation);
        auto user = Config(c.user);
        const bool changed = MergeInstallationSettings(*installation, *user);
        EXPECT_EQ(Text(*user), c.merged);
        EXPECT_EQ(changed, c.merged != c.user);
    }
}

TEST(SettingsMerge, KnowsTheInstallationSettings)
{
    for (const char* key : {"addressbook/hostname", "/speedcam/filenamestatic", "20MINUTES/URL",
                            "speedcam/dir", "addressbook/filename"})
        EXPECT_TRUE(IsInstallationSetting(key)) << key;
    for (const char* key : {"Pontiro/language", "Pontiro/usememorycard", "addressbook/username",
                            "addressbook/password", "proxy/useproxy", "proxy/address",
                            "proxy/port", "speedcam", "hostname"})
        EXPECT_FALSE(IsInstallationSetting(key)) << key;
}

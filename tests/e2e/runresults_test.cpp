// The run's endings that are not the done page, end to end: an empty answer,
// a content without a file name, a failed write, and a device without room
// for the run (in English and German, with a picture of each page). Nothing
// of such a run reaches the device.
#include "tests/e2e/e2eworld.h"

#include "app/frame.h"
#include "tests/support/pontiroini.h"

#include <wx/filename.h>
#include <wx/utils.h>

#include <cstdlib>
#include <sys/stat.h>

namespace
{

const std::string kNav = "/SDMMC Card/Kelvo";

class RunResults : public E2EWorld
{
protected:
    // The compiled catalogs where the program looks for them: the working
    // folder's language folders.
    void CopyCatalogs()
    {
        const char* from = std::getenv("PONTIRO_CATALOG_DIR");
        ASSERT_TRUE(from && *from) << "PONTIRO_CATALOG_DIR is not set";
        for (const char* language : {"de", "es", "fr"})
        {
            const std::string folder = m_work + "/" + language;
            ::mkdir(folder.c_str(), 0700);
            ASSERT_TRUE(wxCopyFile(wxString::Format("%s/%s/lang.mo", from, language),
                                   wxString::FromUTF8((folder + "/lang.mo").c_str())));
        }
    }

    void SaveScreenshot(const std::string& name)
    {
        const char* folder = std::getenv("PONTIRO_SCREENSHOT_DIR");
        if (!folder || !*folder)
            return;
        wxFileName::Mkdir(wxString::FromUTF8(folder), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        EXPECT_TRUE(m_driver->SaveScreenshot(wxString::FromUTF8((std::string(folder) + "/" + name).c_str())));
    }
};

TEST_F(RunResults, EmptySpeedCamAnswerIsACommunicationProblem)
{
    SetContent("radars", "");
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO Oselan");
    OpenAndConnect();
    RunWith(true, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->Title(), wxT("Communication problem"));
    EXPECT_EQ(m_driver->Message(), wxT("Synchronization tool could not connect to the server."));
    EXPECT_EQ(m_driver->ResultCode(), RESULT_SERVER_PROBLEM);
    EXPECT_EQ(m_driver->Steps(), "db2 de2 db3 de6");
    EXPECT_FALSE(PathExists(m_device + kNav + "/Contacts"));
    EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams"));
}

TEST_F(RunResults, ContentWithoutAFileNameFailsBeforeAnythingIsWritten)
{
    StartService();
    PontiroIni::Installation("127.0.0.1:" + std::to_string(m_service->Port()))
        .Set("speedcam", "filenamev2", "")
        .Write(m_work + "/Pontiro.ini");
    PrepareDockedDevice("map_extra = KELVO Oselan");
    WriteFile(m_device + kNav + "/Speedcams/speedcams.txt", "previous cameras\n");
    OpenAndConnect();
    RunWith(true, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->Title(), wxT("Synchronization not successful"));
    EXPECT_EQ(m_driver->Message(), wxT("Updating the data not successful for unknown reason. Please try again later."));
    EXPECT_EQ(m_driver->ResultCode(), RESULT_UPDATE_FAILED);
    EXPECT_EQ(m_driver->Steps(), "db2 de2 db3 de3 db4 de4 de5 ue6");
    EXPECT_FALSE(PathExists(m_device + kNav + "/Contacts"));
    EXPECT_EQ(FolderEntries(m_device + kNav + "/Speedcams"), std::vector<std::string>{"speedcams.txt"});
    EXPECT_EQ(ReadFile(m_device + kNav + "/Speedcams/speedcams.txt"), "previous cameras\n");
}

// The write of the second file fails: the run commits nothing, and the
// device keeps every previous file as it was.
TEST_F(RunResults, DockedUploadFailureCommitsNothing)
{
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO\nwrite_fault_path = " + kNav +
                        "/Speedcams/speedcams.txt.pontiro-new\nwrite_fail_after = 20000");
    const std::string old[] = {"/Contacts/addressbook.vcf", "/Speedcams/speedcams.txt", "/Speedcams/speedcams_mobile.txt"};
    for (const std::string& name : old)
        WriteFile(m_device + kNav + name, "previous " + name);
    OpenAndConnect();
    RunWith(true, true, kEmail, kPassword);
    EXPECT_EQ(m_driver->Title(), wxT("Synchronization not successful"));
    EXPECT_EQ(m_driver->Message(), wxT("Updating the data not successful for unknown reason. Please try again later."));
    EXPECT_EQ(m_driver->Steps(), "db2 de2 db3 de3 db4 de4 de5 ub2 ue2 ub3 ue6");
    for (const std::string& name : old)
        EXPECT_EQ(ReadFile(m_device + kNav + name), "previous " + name);
    EXPECT_EQ(FolderEntries(m_device + kNav + "/Contacts"), std::vector<std::string>{"addressbook.vcf"});
    EXPECT_EQ(FolderEntries(m_device + kNav + "/Speedcams"),
              (std::vector<std::string>{"speedcams.txt", "speedcams_mobile.txt"}));
}

// A kind-2 device fetches one file: 12,200,000 bytes take 373 clusters of
// 32 KiB, and the run keeps 64 KiB more, 12,288,000 bytes in all. Each size
// keeps its unit on its line (a no-break space between them).
TEST_F(RunResults, TooLittleRoomNamesTheSizes)
{
    const struct
    {
        const char* language;
        const char* title;
        const char* message;
    } cases[] = {
        {"en", "Synchronization not successful",
         "There is not enough free space on the device: 12.3\u00a0MB are needed, 4.1\u00a0MB are free."},
        {"de", "Synchronisation nicht erfolgreich",
         "Auf dem Gerät ist nicht genügend Speicherplatz frei: 12,3\u00a0MB werden benötigt, 4,1\u00a0MB sind frei."},
    };
    ASSERT_NO_FATAL_FAILURE(CopyCatalogs());
    SetContent("radarsv3", std::string(12200000, 'c'));
    StartService();
    PrepareDockedDevice("map_extra = Kelvo5020 Tarvik\ndisk_free = 4100000", "SDMMC/Kelvo");
    WriteFile(m_device + "/SDMMC/Kelvo/Speedcams/speedcams_fixed.txt", "previous cameras\n");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.language);
        PontiroIni::Installation("127.0.0.1:" + std::to_string(m_service->Port()))
            .Language(c.language)
            .Write(m_work + "/Pontiro.ini");
        g_firstStart = true;
        OpenAndConnect();
        RunWith(false, true, kEmail, kPassword);
        EXPECT_EQ(m_driver->Title(), wxString::FromUTF8(c.title));
        EXPECT_EQ(m_driver->Message(), wxString::FromUTF8(c.message));
        EXPECT_EQ(m_driver->ResultCode(), RESULT_UPDATE_FAILED);
        EXPECT_EQ(m_driver->Steps(), "db3 de3 de5 ue6");
        SaveScreenshot(std::string("free-space-") + c.language + ".png");
        EXPECT_EQ(FolderEntries(m_device + "/SDMMC/Kelvo/Speedcams"), std::vector<std::string>{"speedcams_fixed.txt"});
        EXPECT_EQ(ReadFile(m_device + "/SDMMC/Kelvo/Speedcams/speedcams_fixed.txt"), "previous cameras\n");
        m_driver.reset();
    }
}

} // namespace

// The memory-card device on a real FAT32 file system, as a card in a reader:
// case-insensitive names, no Unix permissions, names FAT refuses.
#include "device/vdxrdevcard.h"

#include "devicetest.h"
#include "tests/support/mountedcard.h"

#include <gtest/gtest.h>

#include <wx/arrstr.h>

#include <algorithm>
#include <functional>
#include <cstdlib>
#include <memory>

namespace
{
typedef std::vector<std::string> Names;

class FatCardTest : public testing::Test
{
protected:
    void SetUp() override
    {
        PONTIRO_REQUIRE_MOUNT(mounted.MountFat(40 * 1024, 32));
        card = std::make_unique<VDXRDEVCARD>(mounted.Root());
        card->SetEventHandler(&log);
        ASSERT_TRUE(card->Connect());
        ASSERT_TRUE(card->IsConnected());
    }

    // Unmounts and checks that the driver left a consistent file system.
    void ExpectCleanImage()
    {
        card.reset();
        EXPECT_TRUE(mounted.Unmount());
        std::string report;
        EXPECT_TRUE(mounted.ImageIsClean(report)) << report;
    }

    std::string Local(const std::string& relative) const { return mounted.Root() + "/" + relative; }

    void Write(const std::string& path, const Bytes& bytes)
    {
        ASSERT_TRUE(card->WriteFromMemory(bytes, path)) << card->GetErrorText();
    }

    ScratchFolder dir;
    MountedCard mounted{dir.Utf8Path()};
    std::unique_ptr<VDXRDEVCARD> card;
    EventLog log;
};

TEST_F(FatCardTest, FoldersAreCaseInsensitive)
{
    EXPECT_TRUE(card->CreateDir("/Kelvo", false));
    EXPECT_FALSE(card->CreateDir("/KELVO", false));
    EXPECT_EQ(card->GetErrorCode(), DEVICE_ERR_MKDIR);
    EXPECT_EQ(card->GetErrorText(), "/KELVO");
    EXPECT_TRUE(card->CreateDir("/kelvo/Cameras/Fixed", true));
    EXPECT_EQ(card->GetErrorCode(), 0);
    EXPECT_TRUE(card->CreateDir("/KELVO/CAMERAS", true));
    EXPECT_EQ(FolderEntries(mounted.Root()), Names{"Kelvo"});
    EXPECT_EQ(FolderEntries(Local("Kelvo")), Names{"Cameras"});
    EXPECT_TRUE(card->DirExists("/KELVO/cameras/fixed/"));
    EXPECT_TRUE(card->CreatePath("/Kelvo/Cameras/Mobile", 2));
    EXPECT_FALSE(card->CreatePath("/Other/Cameras/Mobile", 2));
    EXPECT_EQ(FolderEntries(Local("Kelvo/Cameras")), (Names{"Fixed", "Mobile"}));
    ExpectCleanImage();
}

TEST_F(FatCardTest, NamesFatRefusesFailWithTheirRecord)
{
    ASSERT_TRUE(card->CreateDir("/Kelvo", false));
    struct Case
    {
        const char* name;
        std::function<bool()> run;
        int code;
        const char* text;
    } cases[] = {
        {"folder with a star", [&] { return card->CreateDir("/Kelvo/bad*dir", false); },
         DEVICE_ERR_MKDIR, "/Kelvo/bad*dir"},
        {"folders with a question mark", [&] { return card->CreateDir("/Kelvo/a?/b", true); },
         DEVICE_ERR_MKDIR, "/Kelvo/a?/b"},
        {"file with a colon", [&] { return card->WriteFromMemory(Pattern(100), "/Kelvo/bad:name"); },
         DEVICE_ERR_OPEN, ">/Kelvo/bad:name"},
        {"name too long", [&] { return card->WriteFromMemory(Pattern(100), "/Kelvo/" + std::string(300, 'n')); },
         DEVICE_ERR_OPEN, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        log.events.clear();
        EXPECT_FALSE(c.run());
        EXPECT_EQ(card->GetErrorCode(), c.code);
        if (c.text)
        {
            EXPECT_EQ(card->GetErrorText(), c.text);
        }
        EXPECT_EQ(FolderEntries(Local("Kelvo")), Names{});
    }
    ExpectCleanImage();
}

TEST_F(FatCardTest, MapExtraFromTheLicenseFileWhateverTheCase)
{
    ASSERT_TRUE(card->CreateDir("/KELVO", false));
    Write("/KELVO/LICENSE.DB", Utf16(u"serial 12\u00e9 KELVO7070x" + std::u16string(1, 0) + u"tail"));
    EXPECT_EQ(card->GetMapExtra(), "KELVO7070x");
    EXPECT_EQ(card->GetErrorCode(), 0);
    ExpectCleanImage();
}

TEST_F(FatCardTest, FindsTheNavigationFolderInListingOrder)
{
    // FAT lists entries in the order they were made.
    for (const char* folder : {"/Music/Album", "/Second/Navi", "/First/Navi"})
        ASSERT_TRUE(card->CreateDir(folder, true));
    for (const char* folder : {"/Second/Navi/", "/First/Navi/"})
        for (const char* name : {"license.db", "data.zip", "device.vdx"})
            Write(std::string(folder) + name, Pattern(10));

    wxArrayString names;
    ASSERT_TRUE(card->ListDirs("/", names));
    EXPECT_EQ(Names(names.begin(), names.end()), (Names{"Music", "Second", "First"}));
    EXPECT_EQ(card->FindLicenseFile(false), "/Second/Navi/license.db");
    ASSERT_TRUE(card->ListFiles("/First/Navi", names));
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], Local("First/Navi/license.db"));
    ExpectCleanImage();
}

TEST_F(FatCardTest, ReplacesAnExistingFileWhole)
{
    ASSERT_TRUE(card->CreateDir("/Kelvo", false));
    Write("/Kelvo/speedcam.txt", Pattern(300000, 1));

    const Bytes shorter = Pattern(25000, 2);
    log.events.clear();
    Write("/KELVO/SPEEDCAM.TXT", shorter);
    EXPECT_EQ(log.events, (std::vector<std::string>{"started", "0", "40", "81", "100", "100", "finished"}));
    EXPECT_EQ(ReadFileBytes(Local("Kelvo/speedcam.txt")), shorter);

    const Bytes longer = Pattern(400000, 3);
    WriteFile(dir / "local.bin", longer);
    ASSERT_TRUE(card->CopyToDevice(dir / "local.bin", "/Kelvo/speedcam.txt"));
    Bytes back;
    ASSERT_TRUE(card->ReadToMemory("/Kelvo/speedcam.txt", back));
    EXPECT_EQ(back, longer);
    ASSERT_TRUE(card->CopyFromDevice("/Kelvo/speedcam.txt", dir / "copy.bin"));
    EXPECT_EQ(ReadFileBytes(dir / "copy.bin"), longer);

    // One file, whatever its case on the card, and no temporary left over.
    EXPECT_EQ(FolderEntries(Local("Kelvo")).size(), 1u);
    ExpectCleanImage();
}
}

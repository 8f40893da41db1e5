// The memory-card device over real folders: every operation's main path,
// its failures with the exact error record, and the notifications.
#include "device/vdxrdevcard.h"

#include "devicetest.h"

#include <gtest/gtest.h>

#include <wx/arrstr.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace
{
typedef std::vector<std::string> Events;

const Events kWrite25000 = {"started", "0", "40", "81", "100", "100", "finished"};

std::vector<std::string> Sorted(const wxArrayString& names)
{
    std::vector<std::string> sorted;
    for (const wxString& name : names)
        sorted.push_back(name.ToStdString());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

void ExpectRecord(const VDXRDEV& device, int code, const wxString& text)
{
    EXPECT_EQ(device.GetErrorCode(), code);
    EXPECT_EQ(device.GetErrorText(), text);
    EXPECT_EQ(device.GetSystemError(), 0);
}

// A card laid out as the navigation software leaves it, plus odd entries.
class CardTest : public testing::Test
{
protected:
    CardTest() : card(dir.Utf8Path())
    {
        MakeDirs(dir / "Kelvo/Sub");
        MakeDirs(dir / "Kelvo/.HiddenDir");
        WriteFile(dir / "Kelvo/old.bin", "old contents");
        WriteFile(dir / "Kelvo/.hidden", "x");
        card.SetEventHandler(&log);
    }

    ScratchFolder dir;
    VDXRDEVCARD card;
    EventLog log;
};

TEST(CardMapPath, JoinsTheRootAndRefusesWhatCannotBeOnTheCard)
{
    struct Case
    {
        const char* root;
        const char* path;
        const char* mapped;   // empty: refused with DEVICE_ERR_BAD_PATH
    } cases[] = {
        {"/media/card", "/Kelvo/x", "/media/card/Kelvo/x"},
        {"/media/card", "\\Kelvo/x", "/media/card/Kelvo/x"},
        {"/media/card", "\\Kelvo\\x", "/media/card/Kelvo/x"},
        {"/media/card/", "/Kelvo/x", "/media/card/Kelvo/x"},
        {"/media/card", "/", "/media/card/"},
        {"/", "/Kelvo/x", "/Kelvo/x"},
        {"/media/card", "/Kelvo/./x", "/media/card/Kelvo/./x"},
        {"/media/card", "/Kelvo/..x", "/media/card/Kelvo/..x"},
        {"/media/card", "Kelvo/x", ""},
        {"/media/card", "", ""},
        {"/media/card", "/../etc/passwd", ""},
        {"/media/card", "/Kelvo/../../x", ""},
        {"/media/card", "\\..\\x", ""},
        {"", "/Kelvo/x", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.root) + " " + c.path);
        VDXRDEVCARD card(c.root);
        card.SetError(DEVICE_ERR_READ, "stale", 1);
        EXPECT_EQ(card.MapPath(c.path), wxString(c.mapped));
        if (*c.mapped)
            ExpectRecord(card, 0, wxString());
        else
            ExpectRecord(card, DEVICE_ERR_BAD_PATH, c.path);
    }
}

TEST(CardConnect, SucceedsAlwaysAndTellsWhetherTheCardIsThere)
{
    ScratchFolder dir;
    struct Case
    {
        std::string root;
        bool connected;
    } cases[] = {{dir.Utf8Path(), true}, {dir / "gone", false}, {"", false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.root);
        VDXRDEVCARD card(c.root);
        EXPECT_EQ(card.GetTransport(), TRANSPORT_MEMORY_CARD);
        EXPECT_FALSE(card.IsConnected());
        card.SetError(DEVICE_ERR_READ, "stale", 1);
        EXPECT_TRUE(card.Connect());
        EXPECT_EQ(card.IsConnected(), c.connected);
        ExpectRecord(card, 0, wxString());
        card.SetError(DEVICE_ERR_READ, "stale", 1);
        EXPECT_TRUE(card.Disconnect());
        EXPECT_FALSE(card.IsConnected());
        ExpectRecord(card, 0, wxString());
    }
}

TEST_F(CardTest, QueriesTellFilesFromFolders)
{
    struct Case
    {
        const char* path;
        bool exists, dirExists, fileExists;
    } cases[] = {
        {"/Kelvo", true, true, false},
        {"/Kelvo/", true, true, false},
        {"\\Kelvo", true, true, false},
        {"/Kelvo/old.bin", true, false, true},
        {"/Kelvo/missing.bin", false, false, false},
        {"/", true, true, false},
        {"Kelvo/old.bin", false, false, false},
        {"/Kelvo/../Kelvo/old.bin", false, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(card.Exists(c.path), c.exists);
        EXPECT_EQ(card.DirExists(c.path), c.dirExists);
        EXPECT_EQ(card.FileExists(c.path), c.fileExists);
    }
}

TEST_F(CardTest, DeleteFileRemovesFilesOnly)
{
    EXPECT_TRUE(card.DeleteFile("/Kelvo/old.bin"));
    EXPECT_FALSE(PathExists(dir / "Kelvo/old.bin"));
    EXPECT_FALSE(card.DeleteFile("/Kelvo/old.bin"));
    EXPECT_FALSE(card.DeleteFile("/Kelvo/Sub"));
    EXPECT_TRUE(PathExists(dir / "Kelvo/Sub"));
    EXPECT_FALSE(card.DeleteFile("Kelvo/.hidden"));
    ExpectRecord(card, DEVICE_ERR_BAD_PATH, "Kelvo/.hidden");
}

TEST(CardCreateDir, RecursiveOrNot)
{
    struct Case
    {
        const char* name;
        const char* path;
        bool recursive;
        bool result;
        int code;
        const char* made;   // folder that must exist afterwards
    } cases[] = {
        {"recursive, all there", "/X/Y", true, true, 0, "X/Y"},
        {"not recursive, all there", "/X/Y", false, false, DEVICE_ERR_MKDIR, "X/Y"},
        {"recursive, every level new", "/A/B/C", true, true, 0, "A/B/C"},
        {"recursive, trailing slash", "/A/B/", true, true, 0, "A/B"},
        {"not recursive, parent there", "/X/New", false, true, 0, "X/New"},
        {"not recursive, parent missing", "/Q/R", false, false, DEVICE_ERR_MKDIR, nullptr},
        {"over a file", "/X/file", true, false, DEVICE_ERR_MKDIR, nullptr},
        {"below a file", "/X/file/sub", true, false, DEVICE_ERR_MKDIR, nullptr},
        {"backslash first", "\\X\\Z", true, false, DEVICE_ERR_BAD_PATH, nullptr},
        {"relative", "X/Z", true, false, DEVICE_ERR_BAD_PATH, nullptr},
        {"leaves the card", "/X/../../Z", true, false, DEVICE_ERR_BAD_PATH, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScratchFolder dir;
        MakeDirs(dir / "X/Y");
        WriteFile(dir / "X/file", "f");
        VDXRDEVCARD card(dir.Utf8Path());
        card.SetError(DEVICE_ERR_READ, "stale", 1);
        EXPECT_EQ(card.CreateDir(c.path, c.recursive), c.result);
        ExpectRecord(card, c.code, c.code ? wxString(c.path) : wxString());
        if (c.made)
        {
            EXPECT_TRUE(PathExists(dir / c.made));
        }
        EXPECT_FALSE(PathExists(dir.Utf8Path() + "/../Z"));
    }
}

TEST_F(CardTest, ListsFoldersByNameAndFilesByLocalPath)
{
    wxArrayString names;
    names.push_back("stale");
    ASSERT_TRUE(card.ListDirs("/Kelvo", names));
    EXPECT_EQ(Sorted(names), (std::vector<std::string>{".HiddenDir", "Sub"}));

    ASSERT_TRUE(card.ListFiles("/Kelvo/", names));
    EXPECT_EQ(Sorted(names), (std::vector<std::string>{dir / "Kelvo/old.bin"}));

    ASSERT_TRUE(card.ListFiles("/Kelvo/Sub", names));
    EXPECT_TRUE(names.empty());

    for (const char* path : {"/Missing", "/Kelvo/old.bin", "Kelvo"})
    {
        SCOPED_TRACE(path);
        names.assign(1, "stale");
        EXPECT_FALSE(card.ListDirs(path, names));
        EXPECT_TRUE(names.empty());
        names.assign(1, "stale");
        EXPECT_FALSE(card.ListFiles(path, names));
        EXPECT_TRUE(names.empty());
    }
}

TEST_F(CardTest, WriteFromMemoryReplacesTheWholeFile)
{
    struct Case
    {
        const char* path;
        std::size_t size;
        Events events;
    } cases[] = {
        {"/Kelvo/new.bin", 25000, kWrite25000},
        {"/Kelvo/old.bin", 25000, kWrite25000},
        {"/Kelvo/old.bin", 3, {"started", "0", "100", "100", "finished"}},
        {"/Kelvo/empty.bin", 0, {"started", "0", "100", "finished"}},
        {"/Kelvo/old.bin", 0, {"started", "0", "100", "finished"}},
        {"\\Kelvo\\back.bin", 10240, {"started", "0", "100", "100", "finished"}},
    };
    unsigned seed = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.size));
        log.events.clear();
        card.SetError(DEVICE_ERR_READ, "stale", 1);
        const Bytes bytes = Pattern(c.size, ++seed);
        EXPECT_TRUE(card.WriteFromMemory(bytes, c.path));
        ExpectRecord(card, 0, wxString());
        EXPECT_EQ(log.events, c.events);
        wxString local = card.MapPath(c.path);
        EXPECT_EQ(ReadFileBytes(local.ToStdString()), bytes);
    }
    // No temporary is left behind.
    EXPECT_EQ(FolderEntries(dir / "Kelvo"), (std::vector<std::string>{
                  ".HiddenDir", ".hidden", "Sub", "back.bin", "empty.bin", "new.bin", "old.bin"}));
}

TEST_F(CardTest, ALargeWritePostsEachWholePercentageOnce)
{
    // 6554 pieces of 10 KiB: one notice per piece would be thousands.
    const Bytes bytes = Pattern(64u << 20, 9);
    ASSERT_TRUE(card.WriteFromMemory(bytes, "/Kelvo/big.bin"));
    EXPECT_LE(log.events.size(), 110u);
    Events expected = {"started"};
    for (int percent = 0; percent <= 100; ++percent)
        expected.push_back(std::to_string(percent));
    expected.insert(expected.end(), {"100", "finished"});
    EXPECT_EQ(log.events, expected);
    EXPECT_TRUE(ReadFileBytes(dir / "Kelvo/big.bin") == bytes);
}

TEST_F(CardTest, WriteBytesGoesThroughWriteFromMemory)
{
    const Bytes bytes = Pattern(6144);
    EXPECT_TRUE(card.WriteBytes(bytes.data(), "/Kelvo/lib.dll", 6144));
    EXPECT_EQ(ReadFileBytes(dir / "Kelvo/lib.dll"), bytes);
    EXPECT_EQ(log.events, (Events{"started", "0", "100", "100", "finished"}));
}

// Transfers that cannot start: the exact record, no failed notification,
// and nothing changed on the card.
TEST_F(CardTest, TransfersThatCannotOpenTheirFiles)
{
    MakeDirs(dir / "Kelvo/folder.bin");
    const std::string local = dir / "local.bin";
    WriteFile(local, Pattern(100));
    const std::string localFolder = dir / "Kelvo";
    Bytes vector;

    struct Case
    {
        const char* name;
        std::function<bool()> run;
        int code;
        std::string text;
    } cases[] = {
        {"write, parent missing", [&] { return card.WriteFromMemory(Pattern(10), "/Nope/x.bin"); },
         DEVICE_ERR_OPEN, ">/Nope/x.bin"},
        {"write, refused path", [&] { return card.WriteFromMemory(Pattern(10), "Kelvo/x.bin"); },
         DEVICE_ERR_OPEN, ">Kelvo/x.bin"},
        {"write, over a folder", [&] { return card.WriteFromMemory(Pattern(10), "/Kelvo/folder.bin"); },
         DEVICE_ERR_OPEN, ">/Kelvo/folder.bin"},
        {"copy to, local missing", [&] { return card.CopyToDevice(dir / "none", "/Kelvo/x.bin"); },
         DEVICE_ERR_LOCAL_OPEN, "<" + dir / "none"},
        {"copy to, local is a folder", [&] { return card.CopyToDevice(localFolder, "/Kelvo/x.bin"); },
         DEVICE_ERR_LOCAL_OPEN, "<" + localFolder},
        {"copy to, parent missing", [&] { return card.CopyToDevice(local, "/Nope/x.bin"); },
         DEVICE_ERR_OPEN, ">/Nope/x.bin"},
        {"copy to, leaves the card", [&] { return card.CopyToDevice(local, "/../x.bin"); },
         DEVICE_ERR_OPEN, ">/../x.bin"},
        {"copy from, missing", [&] { return card.CopyFromDevice("/Kelvo/none", dir / "out"); },
         DEVICE_ERR_OPEN, "</Kelvo/none"},
        {"copy from, a folder", [&] { return card.CopyFromDevice("/Kelvo/Sub", dir / "out"); },
         DEVICE_ERR_OPEN, "</Kelvo/Sub"},
        {"copy from, local parent missing",
         [&] { return card.CopyFromDevice("/Kelvo/old.bin", dir / "no/out"); },
         DEVICE_ERR_LOCAL_OPEN, ">" + dir / "no/out"},
        {"read, missing", [&] { return card.ReadToMemory("/Kelvo/none", vector); },
         DEVICE_ERR_OPEN, "</Kelvo/none"},
        {"read, refused path", [&] { return card.ReadToMemory("Kelvo/old.bin", vector); },
         DEVICE_ERR_OPEN, "<Kelvo/old.bin"},
    };
    const std::vector<std::string> before = FolderEntries(dir / "Kelvo");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        log.events.clear();
        vector = Pattern(5);
        EXPECT_FALSE(c.run());
        ExpectRecord(card, c.code, c.text);
        EXPECT_EQ(log.events, (Events{"started"}));
        EXPECT_EQ(FolderEntries(dir / "Kelvo"), before);
        EXPECT_FALSE(PathExists(dir / "out"));
        EXPECT_FALSE(PathExists(dir / "Nope"));
        EXPECT_FALSE(PathExists(dir / "x.bin"));
    }
    EXPECT_TRUE(vector.empty());
    EXPECT_EQ(ReadFileBytes(dir / "Kelvo/old.bin"), Bytes({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'}));
}

TEST_F(CardTest, CopyToDeviceCopiesInWriteChunks)
{
    struct Case
    {
        std::size_t size;
        Events events;
    } cases[] = {
        {25000, kWrite25000},
        {0, {"started", "0", "100", "finished"}},
        {10240, {"started", "0", "100", "100", "finished"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.size);
        log.events.clear();
        const Bytes bytes = Pattern(c.size, 7);
        WriteFile(dir / "src.bin", bytes);
        EXPECT_TRUE(card.CopyToDevice(dir / "src.bin", "/Kelvo/old.bin"));
        ExpectRecord(card, 0, wxString());
        EXPECT_EQ(log.events, c.events);
        EXPECT_EQ(ReadFileBytes(dir / "Kelvo/old.bin"), bytes);
    }
}

TEST_F(CardTest, CopyToDeviceFromASourceWhoseReadsFail)
{
    // Opens as a file but every read fails; the card file stays as it was.
    log.events.clear();
    EXPECT_FALSE(card.CopyToDevice("/proc/self/mem", "/Kelvo/old.bin"));
    ExpectRecord(card, DEVICE_ERR_READ, "</proc/self/mem");
    EXPECT_EQ(log.events, (Events{"started", "0", "failed"}));
    EXPECT_EQ(ReadFileBytes(dir / "Kelvo/old.bin").size(), 12u);
    EXPECT_EQ(FolderEntries(dir / "Kelvo"), (std::vector<std::string>{".HiddenDir", ".hidden", "Sub", "old.bin"}));
}

TEST_F(CardTest, CopyToDeviceFromAnUnreadableSource)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root from reading";
    WriteFile(dir / "locked.bin", Pattern(10));
    chmod((dir / "locked.bin").c_str(), 0);
    EXPECT_FALSE(card.CopyToDevice(dir / "locked.bin", "/Kelvo/x.bin"));
    ExpectRecord(card, DEVICE_ERR_LOCAL_OPEN, "<" + dir / "locked.bin");
}

TEST_F(CardTest, CopyFromDeviceCopiesInReadChunks)
{
    struct Case
    {
        std::size_t size;
        Events events;
    } cases[] = {
        {200000, {"started", "0", "32", "65", "98", "100", "100", "finished"}},
        {0, {"started", "0", "100", "finished"}},
        {65536, {"started", "0", "100", "100", "finished"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.size);
        log.events.clear();
        const Bytes bytes = Pattern(c.size, 3);
        WriteFile(dir / "Kelvo/card.bin", bytes);
        WriteFile(dir / "local.bin", "previous local contents, longer than some");
        EXPECT_TRUE(card.CopyFromDevice("/Kelvo/card.bin", dir / "local.bin"));
        ExpectRecord(card, 0, wxString());
        EXPECT_EQ(log.events, c.events);
        EXPECT_EQ(ReadFileBytes(dir / "local.bin"), bytes);
    }
}

TEST_F(CardTest, ReadToMemoryFillsTheVector)
{
    struct Case
    {
        std::size_t size;
        Events events;
    } cases[] = {
        {30000, {"started", "0", "100", "100", "finished"}},
        {140000, {"started", "0", "46", "93", "100", "100", "finished"}},
        {0, {"started", "0", "100", "finished"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.size);
        log.events.clear();
        const Bytes bytes = Pattern(c.size, 5);
        WriteFile(dir / "Kelvo/card.bin", bytes);
        Bytes vector = Pattern(77);
        card.SetError(DEVICE_ERR_READ, "stale", 1);
        EXPECT_TRUE(card.ReadToMemory("/Kelvo/card.bin", vector));
        ExpectRecord(card, 0, wxString());
        EXPECT_EQ(log.events, c.events);
        EXPECT_EQ(vector, bytes);
    }
}

TEST_F(CardTest, TransfersPostNothingWithoutAHandler)
{
    card.SetEventHandler(nullptr);
    Bytes vector;
    EXPECT_TRUE(card.WriteFromMemory(Pattern(25000), "/Kelvo/a.bin"));
    EXPECT_TRUE(card.ReadToMemory("/Kelvo/a.bin", vector));
    EXPECT_EQ(vector, Pattern(25000));
    EXPECT_TRUE(card.CopyFromDevice("/Kelvo/a.bin", dir / "a.bin"));
    EXPECT_TRUE(card.CopyToDevice(dir / "a.bin", "/Kelvo/b.bin"));
    EXPECT_FALSE(card.ReadToMemory("/Kelvo/none", vector));
    EXPECT_TRUE(log.events.empty());
}

TEST(CardIdentity, OnlyTheMapExtraTextIsOffered)
{
    VDXRDEVCARD card("/nonexistent");
    struct Case
    {
        std::function<wxString()> run;
        const char* text;
    } cases[] = {
        {[&] { return card.GetDeviceID(); }, "VDXRDEVCARD::GetDeviceID"},
        {[&] { return card.GetCardID("/Storage Card"); }, "VDXRDEVCARD::GetCardID"},
        {[&] { return card.GetMapVender(); }, "VDXRDEVCARD::GetMapVender"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        card.ClearError();
        EXPECT_TRUE(c.run().empty());
        ExpectRecord(card, DEVICE_ERR_UNSUPPORTED, c.text);
    }
}

TEST(CardMapExtra, ReadsTheMarkedTextOfTheLicenseFile)
{
    const std::u16string zero(1, u'\0');
    struct Case
    {
        const char* name;
        Bytes contents;
        const wchar_t* expected;
    } cases[] = {
        {"marker after text, zero after", Utf16(u"abcKELVO7070x" + zero + u"more KELVO"), L"KELVO7070x"},
        {"lower case only", Utf16(u"kelvo7070"), L""},
        {"capital then lower case", Utf16(u"xxKelvo7070"), L"Kelvo7070"},
        {"mixed case after the K", Utf16(u"KeLvO1"), L"KeLvO1"},
        {"first K not a marker", Utf16(u"KKELVO2"), L"KELVO2"},
        {"marker at the very end", Utf16(u"abcKELVO"), L"KELVO"},
        {"marker then text to the end", Utf16(u"zzKELVO77"), L"KELVO77"},
        {"cut marker", Utf16(u"abcKELV"), L""},
        {"empty file", Bytes(), L""},
        {"single byte", Bytes{'K'}, L""},
        {"odd last byte dropped", [] { Bytes b = Utf16(u"KELVOab"); b.push_back('c'); return b; }(), L"KELVOab"},
        {"8-bit text is not UTF-16", Bytes{'K', 'E', 'L', 'V', 'O', '1', '2', '3', '4', '5'}, L""},
        {"beyond the basic plane", Utf16(u"KELVO\U0001F600!"), L"KELVO\U0001F600!"},
        {"lone surrogate", Utf16(u"KELVO\xD800!"), L"KELVO\xFFFD!"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScratchFolder dir;
        MakeDirs(dir / "Kelvo");
        WriteFile(dir / "Kelvo/license.db", c.contents);
        VDXRDEVCARD card(dir.Utf8Path());
        card.SetError(DEVICE_ERR_READ, "stale", 1);
        EXPECT_EQ(card.GetMapExtra(), wxString(c.expected));
        ExpectRecord(card, 0, wxString());
    }
}

TEST(CardMapExtra, EmptyWithoutALicenseFile)
{
    ScratchFolder dir;
    VDXRDEVCARD card(dir.Utf8Path());
    EXPECT_TRUE(card.GetMapExtra().empty());
    MakeDirs(dir / "Kelvo/license.db");   // a folder of that name
    EXPECT_TRUE(card.GetMapExtra().empty());
    // Only the root's Kelvo folder counts.
    MakeDirs(dir / "Other/Kelvo");
    WriteFile(dir / "Other/Kelvo/license.db", Utf16(u"KELVO1"));
    EXPECT_TRUE(card.GetMapExtra().empty());
}

TEST(CardFindLicenseFile, FindsTheFolderOnARealCard)
{
    ScratchFolder dir;
    MakeDirs(dir / "Navi/Kelvo");
    MakeDirs(dir / "Music/Album");
    for (const char* name : {"license.db", "data.zip", "device.vdx"})
        WriteFile(dir / "Navi/Kelvo/" + name, "x");
    VDXRDEVCARD card(dir.Utf8Path());
    EXPECT_EQ(card.FindLicenseFile(false), "/Navi/Kelvo/license.db");
    EXPECT_TRUE(card.CreatePath("/Navi/Kelvo/Cameras/Fixed", 2));
    EXPECT_TRUE(PathExists(dir / "Navi/Kelvo/Cameras/Fixed"));
    EXPECT_FALSE(card.CreatePath("/Gone/Kelvo/Cameras", 2));
    EXPECT_FALSE(PathExists(dir / "Gone"));
}
}

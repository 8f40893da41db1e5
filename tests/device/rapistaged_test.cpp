// Staged, verified replacement on the simulated docked device: the happy
// path, and each fault leaving the device as it was (or, where the link is
// gone, as the next run's repair makes it again).
#include "foldertree.h"
#include "simdevice.h"

#include "device/vdxrdevrapi.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// DeleteFile and GetFreeSpace below are the device's operations.
#undef DeleteFile
#undef GetFreeSpace
#endif

#include <string>
#include <vector>

namespace
{
typedef std::vector<std::string> Events;

const char* const kFixed = "/Kelvo/fixed.txt";
const char* const kMobile = "/Kelvo/mobile.txt";
const char* const kBook = "/Kelvo/book.txt";    // none on the device yet

class RapiStaged : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim.MakeFolder("/Kelvo");
        sim.PutFile(kFixed, Pattern(30000, 1));
        sim.PutFile(kMobile, Pattern(5000, 2));
        ASSERT_TRUE(device.Connect());
        device.SetEventHandler(&log);
        before = Tree();
    }

    void TearDown() override
    {
        device.SetEventHandler(nullptr);
        EXPECT_EQ(0u, SimDevice::Counters().openHandles);
    }

    FolderTree Tree() const { return ReadTree(sim.Root(), {"devicesim.ini"}); }

    void Fault(const std::string& profile)
    {
        sim.SetProfile(profile);
        SimDevice::Reset();
        log.events.clear();
    }

    // The device docked again, without the fault.
    void Redock()
    {
        sim.SetProfile("");
        device.Disconnect();
        ASSERT_TRUE(device.Connect());
    }

    bool Stage(const Bytes& bytes, const char* path)
    {
        return device.WriteStaged(bytes, path) && device.VerifyStaged(bytes, path);
    }

    SimDevice sim;
    VDXRDEVRAPI device;
    EventLog log;
    FolderTree before;
};
}

TEST_F(RapiStaged, StagedFilesReplaceTheTargetsOnlyAtTheCommit)
{
    ASSERT_TRUE(device.CanStage());
    const Bytes fixed = Pattern(25000, 11);
    const Bytes book = Pattern(700, 12);

    ASSERT_TRUE(device.WriteStaged(fixed, kFixed)) << device.GetErrorText();
    EXPECT_EQ(log.events, (Events{"started", "0", "40", "81", "100", "100", "finished"}));
    log.events.clear();
    ASSERT_TRUE(device.VerifyStaged(fixed, kFixed)) << device.GetErrorText();
    // The read-back is not a second transfer.
    EXPECT_TRUE(log.events.empty());
    ASSERT_TRUE(Stage(book, kBook));
    EXPECT_EQ(sim.GetFile("/Kelvo/fixed.txt.pontiro-new"), fixed);
    EXPECT_EQ(sim.GetFile(kFixed), Pattern(30000, 1));
    EXPECT_FALSE(sim.Has(kBook));

    ASSERT_TRUE(device.CommitStaged(kFixed)) << device.GetErrorText();
    ASSERT_TRUE(device.CommitStaged(kBook)) << device.GetErrorText();
    EXPECT_EQ(sim.GetFile("/Kelvo/fixed.txt.pontiro-old"), Pattern(30000, 1));
    EXPECT_TRUE(device.FinishCommit(kFixed));
    EXPECT_TRUE(device.FinishCommit(kBook));
    EXPECT_EQ(0, device.GetErrorCode());

    FolderTree after = before;
    after.entries["Kelvo/fixed.txt"] = std::string(fixed.begin(), fixed.end());
    after.entries["Kelvo/book.txt"] = std::string(book.begin(), book.end());
    EXPECT_EQ(Tree(), after);
    EXPECT_EQ(3u, SimDevice::Calls("CeMoveFile").size());
}

TEST_F(RapiStaged, ARollbackPutsEveryCommittedFileBack)
{
    ASSERT_TRUE(Stage(Pattern(100, 3), kFixed));
    ASSERT_TRUE(Stage(Pattern(100, 4), kBook));
    ASSERT_TRUE(device.CommitStaged(kFixed));
    ASSERT_TRUE(device.CommitStaged(kBook));
    EXPECT_TRUE(device.RollbackStaged(kBook));
    EXPECT_TRUE(device.RollbackStaged(kFixed));
    EXPECT_EQ(Tree(), before);

    // Without a commit to undo, nothing that was there goes.
    ASSERT_TRUE(Stage(Pattern(100, 5), kMobile));
    EXPECT_TRUE(device.RollbackStaged(kMobile));
    EXPECT_TRUE(device.RollbackStaged(kFixed));
    EXPECT_EQ(Tree(), before);
}

TEST_F(RapiStaged, FailuresBeforeTheCommitLeaveTheDeviceAsItWas)
{
    struct Case
    {
        const char* name;
        const char* profile;
        int failingFile;        // 0-based among fixed, mobile, book
        bool verifying;         // fails at the read-back
        int code;
        const char* text;
    } cases[] = {
        {"a write failure in the third file", "write_fail_file = 3\n", 2, false,
         DEVICE_ERR_WRITE, ">/Kelvo/book.txt"},
        {"a read-back that differs",
         "read_fault_path = /Kelvo/mobile.txt.pontiro-new\nread_flip_at = 4321\n", 1, true,
         DEVICE_ERR_VERIFY, ">/Kelvo/mobile.txt"},
        {"a read-back that fails",
         "read_fault_path = /Kelvo/fixed.txt.pontiro-new\nread_fail_after = 5000\n", 0, true,
         DEVICE_ERR_READ, "</Kelvo/fixed.txt"},
    };
    const char* const paths[] = {kFixed, kMobile, kBook};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Fault(c.profile);
        int staged = 0;
        for (; staged < 3; ++staged)
        {
            const Bytes bytes = Pattern(12000 + staged, 20 + staged);
            if (!device.WriteStaged(bytes, paths[staged]) || !device.VerifyStaged(bytes, paths[staged]))
                break;
        }
        ASSERT_EQ(staged, c.failingFile);
        EXPECT_EQ(device.GetErrorCode(), c.code);
        EXPECT_EQ(device.GetErrorText(), c.text);
        if (!c.verifying)
        {
            EXPECT_EQ(log.events.back(), "failed");
        }
        for (int i = 0; i <= staged; ++i)
            EXPECT_TRUE(device.DiscardStaged(paths[i]));
        EXPECT_EQ(Tree(), before);
    }
}

TEST_F(RapiStaged, TheLinkLostMidFileCostsNoFile)
{
    Fault("link_lost_after_bytes = 15000\n");
    EXPECT_FALSE(device.WriteStaged(Pattern(25000, 6), kFixed));
    EXPECT_EQ(device.GetErrorCode(), DEVICE_ERR_WRITE);
    EXPECT_EQ(device.GetSystemError(), 1167);
    EXPECT_EQ(log.events.back(), "failed");
    // The part that got there could not be removed over a lost link; the
    // target is untouched.
    EXPECT_EQ(sim.GetFile(kFixed), Pattern(30000, 1));
    EXPECT_TRUE(sim.Has("/Kelvo/fixed.txt.pontiro-new"));

    Redock();
    EXPECT_TRUE(device.RepairStaged(kFixed));
    EXPECT_EQ(Tree(), before);
}

TEST_F(RapiStaged, TheLinkLostBetweenTheRenamesIsRepairedByTheNextRun)
{
    ASSERT_TRUE(Stage(Pattern(9000, 7), kFixed));
    Fault("link_lost_after_moves = 1\n");
    EXPECT_FALSE(device.CommitStaged(kFixed));
    EXPECT_EQ(device.GetErrorCode(), DEVICE_ERR_RENAME);
    EXPECT_EQ(device.GetErrorText(), ">/Kelvo/fixed.txt");
    EXPECT_EQ(device.GetSystemError(), 1167);
    EXPECT_FALSE(device.RollbackStaged(kFixed));
    // The old file is only under its old name now.
    EXPECT_FALSE(sim.Has(kFixed));
    EXPECT_EQ(sim.GetFile("/Kelvo/fixed.txt.pontiro-old"), Pattern(30000, 1));

    Redock();
    EXPECT_TRUE(device.RepairStaged(kFixed));
    EXPECT_TRUE(device.RepairStaged(kMobile));
    EXPECT_EQ(0, device.GetErrorCode());
    EXPECT_EQ(Tree(), before);
}

TEST_F(RapiStaged, ACommitCutShortAfterItsFirstFileIsUndoneWholeByTheNextRun)
{
    ASSERT_TRUE(Stage(Pattern(9000, 7), kFixed));
    ASSERT_TRUE(Stage(Pattern(8000, 8), kMobile));
    ASSERT_TRUE(Stage(Pattern(7000, 9), kBook));
    // The first file in place, the second moved aside, then the link goes.
    Fault("link_lost_after_moves = 3\n");
    EXPECT_TRUE(device.CommitStaged(kFixed));
    EXPECT_FALSE(device.CommitStaged(kMobile));

    Redock();
    EXPECT_TRUE(device.RepairStagedRun({kFixed, kMobile, kBook})) << device.GetErrorText();
    EXPECT_EQ(0, device.GetErrorCode());
    EXPECT_EQ(Tree(), before);
}

TEST_F(RapiStaged, RepairRemovesLeftoversAndKeepsACommittedFile)
{
    // An interrupted run left: a commit that got through (new target and
    // its old copy), a staged file, and an old copy without its target.
    sim.PutFile("/Kelvo/fixed.txt.pontiro-old", Pattern(10, 1));
    sim.PutFile("/Kelvo/mobile.txt.pontiro-new", Pattern(10, 2));
    sim.PutFile("/Kelvo/book.txt.pontiro-old", Pattern(10, 3));
    for (const char* path : {kFixed, kMobile, kBook})
        EXPECT_TRUE(device.RepairStaged(path)) << path;
    FolderTree after = before;
    const Bytes book = Pattern(10, 3);
    after.entries["Kelvo/book.txt"] = std::string(book.begin(), book.end());
    EXPECT_EQ(Tree(), after);
}

TEST_F(RapiStaged, FreeSpaceIsTheDevicesOwnAnswerBeyondFourGibibytes)
{
    std::uint64_t free = 0;
    Fault("disk_free = 6442450944\n");
    ASSERT_TRUE(device.GetFreeSpace(wxS("/Kelvo"), free));
    EXPECT_EQ(free, 6442450944u);
    Fault("disk_free = 4096\n");
    ASSERT_TRUE(device.GetFreeSpace(wxS("/Kelvo"), free));
    EXPECT_EQ(free, 4096u);

    EXPECT_FALSE(device.GetFreeSpace(wxS("/Missing"), free));
    EXPECT_EQ(device.GetErrorCode(), DEVICE_ERR_FREE_SPACE);
    EXPECT_EQ(device.GetErrorText(), "/Missing");
    EXPECT_EQ(device.GetSystemError(), 3);
    EXPECT_EQ(Tree(), before);
}

TEST(RapiWithoutOptionalEntries, ConnectsAndKeepsTheWrittenBehaviour)
{
    SimDevice sim;
    sim.MakeFolder("/Kelvo");
    sim.PutFile(kFixed, Pattern(30000, 1));
    SimDevice::UseProvider(kSimBasicProvider);
    {
        VDXRDEVRAPI device;
        ASSERT_TRUE(device.Connect());
        EXPECT_FALSE(device.CanStage());
        std::uint64_t free = 1;
        EXPECT_FALSE(device.GetFreeSpace(wxS("/Kelvo"), free));
        EXPECT_EQ(free, 0u);
        EXPECT_EQ(device.GetErrorCode(), DEVICE_ERR_UNSUPPORTED);
        EXPECT_FALSE(device.CommitStaged(kFixed));
        EXPECT_EQ(device.GetErrorCode(), DEVICE_ERR_UNSUPPORTED);

        ASSERT_TRUE(device.WriteFromMemory(Pattern(500, 9), kFixed));
        EXPECT_EQ(sim.GetFile(kFixed), Pattern(500, 9));
        EXPECT_FALSE(sim.Has("/Kelvo/fixed.txt.pontiro-new"));
        device.Disconnect();
    }
    SimDevice::UseProvider(kSimProvider);
}

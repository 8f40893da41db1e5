// Staged, verified replacement on mounted cards that fail as real ones do:
// a FAT card that fills part-way, one pulled from the reader in the middle
// of the commit, and a fake-capacity card that keeps only part of what it
// acknowledges. Each leaves the card as it was, or as the next run's repair
// makes it again.
#include "device/vdxrdevcard.h"

#include "devicetest.h"
#include "foldertree.h"
#include "tests/support/mountedcard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace
{
const char* const kFixed = "/Kelvo/fixed.txt";
const char* const kMobile = "/Kelvo/mobile.txt";

// Lays out the navigation folder with two files; returns the card's tree.
FolderTree LayOut(VDXRDEVCARD& card, const MountedCard& mounted, std::size_t fixedSize)
{
    EXPECT_TRUE(card.CreateDir("/Kelvo", false));
    EXPECT_TRUE(card.WriteFromMemory(Pattern(fixedSize, 1), kFixed));
    EXPECT_TRUE(card.WriteFromMemory(Pattern(50000, 2), kMobile));
    return ReadTree(mounted.Root());
}

bool Stage(VDXRDEVCARD& card, const Bytes& bytes, const char* path)
{
    return card.WriteStaged(bytes, path) && card.VerifyStaged(bytes, path);
}

// The card pulled from the reader once the commit has made its n-th rename.
class PulledInTheCommit : public VDXRDEVCARD
{
public:
    PulledInTheCommit(MountedCard& mounted, int pullAfter)
        : VDXRDEVCARD(mounted.Root()), m_mounted(mounted), m_pullAfter(pullAfter)
    {
    }
    bool pulled = false;

protected:
    bool MoveDeviceFile(const wxString& from, const wxString& to, std::int32_t& systemError) override
    {
        const bool moved = VDXRDEVCARD::MoveDeviceFile(from, to, systemError);
        if (moved && !pulled && ++m_moves == m_pullAfter)
        {
            m_mounted.Pull();
            pulled = true;
        }
        return moved;
    }

private:
    MountedCard& m_mounted;
    int m_pullAfter;
    int m_moves = 0;
};
}

TEST(StagedOnAFullCard, FillingPartWayLeavesTheCardAsItWas)
{
    ScratchFolder dir;
    MountedCard mounted(dir.Utf8Path());
    PONTIRO_REQUIRE_MOUNT(mounted.MountFat(2048, 12));
    VDXRDEVCARD card(mounted.Root());
    EventLog log;
    card.SetEventHandler(&log);
    const FolderTree before = LayOut(card, mounted, 800 * 1000);

    // The card reports less room than the new file needs beside the old.
    std::uint64_t free = 0;
    ASSERT_TRUE(card.GetFreeSpace("/Kelvo", free));
    EXPECT_LT(free, 1500u * 1000);

    // The first file fits, the second does not: both go.
    ASSERT_TRUE(Stage(card, Pattern(40000, 3), kMobile)) << card.GetErrorText();
    log.events.clear();
    EXPECT_FALSE(card.WriteStaged(Pattern(1500 * 1000, 4), kFixed));
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_WRITE);
    EXPECT_EQ(card.GetErrorText(), ">/Kelvo/fixed.txt");
    EXPECT_EQ(log.events.back(), "failed");
    EXPECT_FALSE(card.FileExists("/Kelvo/fixed.txt.pontiro-new"));
    EXPECT_TRUE(card.DiscardStaged(kMobile));
    EXPECT_EQ(ReadTree(mounted.Root()), before);
}

TEST(StagedOnAFullCard, TmpfsReportsItsFreeSpace)
{
    ScratchFolder dir;
    MountedCard mounted(dir.Utf8Path());
    PONTIRO_REQUIRE_MOUNT(mounted.MountTmpfs(256));
    VDXRDEVCARD card(mounted.Root());
    std::uint64_t free = 0;
    ASSERT_TRUE(card.GetFreeSpace("/", free));
    EXPECT_EQ(free, 256u * 1024);
    ASSERT_TRUE(card.WriteFromMemory(Pattern(100 * 1024), "/file"));
    ASSERT_TRUE(card.GetFreeSpace("/", free));
    EXPECT_EQ(free, 156u * 1024);
    EXPECT_FALSE(card.GetFreeSpace("/missing", free));
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_FREE_SPACE);
    EXPECT_EQ(card.GetErrorText(), "/missing");
}

// Pulled with the first file set aside, or with the first file committed
// and the second set aside: either way the next run's repair undoes the
// whole commit.
TEST(StagedOnAPulledCard, TheNextRunsRepairPutsTheOldFilesBack)
{
    const struct
    {
        const char* name;
        int pullAfter;
        bool firstCommitted;
    } cases[] = {
        {"between the renames of the first file", 1, false},
        {"between the renames of the second file", 3, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScratchFolder dir;
        MountedCard mounted(dir.Utf8Path());
        PONTIRO_REQUIRE_MOUNT(mounted.MountFat(40 * 1024, 32));
        FolderTree before;
        {
            PulledInTheCommit card(mounted, c.pullAfter);
            before = LayOut(card, mounted, 200000);
            ASSERT_TRUE(Stage(card, Pattern(300000, 5), kFixed));
            ASSERT_TRUE(Stage(card, Pattern(60000, 6), kMobile));
            EXPECT_EQ(card.CommitStaged(kFixed), c.firstCommitted);
            if (c.firstCommitted)
            {
                EXPECT_FALSE(card.CommitStaged(kMobile));
            }
            EXPECT_TRUE(card.pulled);
            EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_RENAME);
            EXPECT_FALSE(card.RollbackStaged(c.firstCommitted ? kMobile : kFixed));
        }

        // Back in the reader, the next run repairs before it writes anything.
        mounted.Unmount();
        PONTIRO_REQUIRE_MOUNT(mounted.RemountFat());
        VDXRDEVCARD card(mounted.Root());
        EXPECT_TRUE(card.RepairStagedRun({kFixed, kMobile})) << card.GetErrorText();
        EXPECT_EQ(ReadTree(mounted.Root()), before);
    }
}

TEST(StagedOnAFakeCapacityCard, TheReadBackFindsWhatTheCardDidNotKeep)
{
    ScratchFolder dir;
    MountedCard mounted(dir.Utf8Path());
    PONTIRO_REQUIRE_MOUNT(mounted.MountFakeCapacity(64ull << 20, 1 << 20));
    VDXRDEVCARD card(mounted.Root());
    const FolderTree before = LayOut(card, mounted, 100000);

    // Within what the card keeps, all is well.
    ASSERT_TRUE(Stage(card, Pattern(900000, 7), kMobile)) << card.GetErrorText();
    EXPECT_TRUE(card.DiscardStaged(kMobile));

    // Past it, the card took every byte and kept zeros; only the read-back
    // of the medium, not of the system's cache, tells.
    const Bytes large = Pattern(3 << 20, 8);
    ASSERT_TRUE(card.WriteStaged(large, kFixed)) << card.GetErrorText();
    EXPECT_FALSE(card.VerifyStaged(large, kFixed));
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_VERIFY);
    EXPECT_EQ(card.GetErrorText(), ">/Kelvo/fixed.txt");
    EXPECT_TRUE(card.DiscardStaged(kFixed));

    // Written in whole pages, the system's cache holds every byte as it was
    // written; the read-back must still see the card's.
    ASSERT_TRUE(WriteFile(mounted.Root() + "/Kelvo/fixed.txt.pontiro-new", large));
    EXPECT_FALSE(card.VerifyStaged(large, kFixed));
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_VERIFY);
    EXPECT_TRUE(card.DiscardStaged(kFixed));
    EXPECT_EQ(ReadTree(mounted.Root()), before);
}

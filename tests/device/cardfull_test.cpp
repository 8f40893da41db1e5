// Writes that fail part-way because the card is full: the previous file
// stays byte for byte, a new file does not appear, and no temporary is left.
#include "device/vdxrdevcard.h"

#include "devicetest.h"
#include "tests/support/mountedcard.h"

#include <gtest/gtest.h>

#include <wx/arrstr.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace
{
struct FullCard
{
    const char* name;
    std::function<std::string(MountedCard&)> mount;
    std::size_t oldSize;
    std::size_t newSize;   // more than the room left beside the old file
};

class FullCardTest : public testing::TestWithParam<FullCard>
{
};

TEST_P(FullCardTest, AFailedWriteLeavesThePreviousFile)
{
    const FullCard& c = GetParam();
    ScratchFolder dir;
    MountedCard mounted(dir.Utf8Path());
    PONTIRO_REQUIRE_MOUNT(c.mount(mounted));

    VDXRDEVCARD card(mounted.Root());
    EventLog log;
    card.SetEventHandler(&log);
    ASSERT_TRUE(card.CreateDir("/Kelvo", false));
    const Bytes old = Pattern(c.oldSize, 11);
    ASSERT_TRUE(card.WriteFromMemory(old, "/Kelvo/speedcam.txt"));
    const std::vector<std::string> before = FolderEntries(mounted.Root() + "/Kelvo");
    WriteFile(dir / "big.bin", Pattern(c.newSize, 12));

    struct Attempt
    {
        const char* name;
        std::function<bool()> run;
        const char* target;
    } attempts[] = {
        {"write from memory", [&] { return card.WriteFromMemory(Pattern(c.newSize, 12), "/Kelvo/speedcam.txt"); },
         "/Kelvo/speedcam.txt"},
        {"copy to the card", [&] { return card.CopyToDevice(dir / "big.bin", "/Kelvo/speedcam.txt"); },
         "/Kelvo/speedcam.txt"},
        {"new file", [&] { return card.WriteFromMemory(Pattern(c.newSize, 12), "/Kelvo/new.txt"); },
         "/Kelvo/new.txt"},
    };
    for (const Attempt& a : attempts)
    {
        SCOPED_TRACE(a.name);
        log.events.clear();
        EXPECT_FALSE(a.run());
        EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_WRITE);
        EXPECT_EQ(card.GetErrorText(), std::string(">") + a.target);
        ASSERT_GE(log.events.size(), 3u);
        EXPECT_EQ(log.events.front(), "started");
        EXPECT_EQ(log.events.back(), "failed");
        EXPECT_EQ(ReadFileBytes(mounted.Root() + "/Kelvo/speedcam.txt"), old);
        EXPECT_EQ(FolderEntries(mounted.Root() + "/Kelvo"), before);
    }

    // The room is back: the same write now succeeds.
    ASSERT_TRUE(card.DeleteFile("/Kelvo/speedcam.txt"));
    EXPECT_TRUE(card.WriteFromMemory(Pattern(c.newSize, 12), "/Kelvo/speedcam.txt"));
    EXPECT_EQ(ReadFileBytes(mounted.Root() + "/Kelvo/speedcam.txt"), Pattern(c.newSize, 12));
}

// Pulls the card out once a transfer has reached the given percentage.
class PullAt : public wxEvtHandler
{
public:
    PullAt(MountedCard& card, int percent) : m_card(card), m_percent(percent) {}
    void QueueEvent(wxEvent* event) override
    {
        std::unique_ptr<wxEvent> owned(event);
        const auto* progress = dynamic_cast<wxThreadEvent*>(event);
        if (!pulled && progress && event->GetId() == ID_DEVICE_PROGRESS && progress->GetInt() >= m_percent)
        {
            m_card.Pull();
            pulled = true;
        }
        if (event->GetId() == ID_DEVICE_FAILED)
            failed = true;
    }
    bool pulled = false;
    bool failed = false;

private:
    MountedCard& m_card;
    int m_percent;
};

TEST(PulledCard, ThePreviousFileSurvivesAWriteCutShort)
{
    ScratchFolder dir;
    MountedCard mounted(dir.Utf8Path());
    PONTIRO_REQUIRE_MOUNT(mounted.MountFat(40 * 1024, 32));
    const Bytes old = Pattern(200000, 21);
    {
        VDXRDEVCARD card(mounted.Root());
        ASSERT_TRUE(card.CreateDir("/Kelvo", false));
        ASSERT_TRUE(card.WriteFromMemory(old, "/Kelvo/speedcam.txt"));

        PullAt puller(mounted, 40);
        card.SetEventHandler(&puller);
        EXPECT_FALSE(card.WriteFromMemory(Pattern(300000, 22), "/Kelvo/speedcam.txt"));
        EXPECT_TRUE(puller.pulled);
        EXPECT_TRUE(puller.failed);
        EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_WRITE);
        EXPECT_EQ(card.GetErrorText(), ">/Kelvo/speedcam.txt");
    }

    // Back in the reader: the old file is there as it was.
    mounted.Unmount();
    PONTIRO_REQUIRE_MOUNT(mounted.RemountFat());
    VDXRDEVCARD card(mounted.Root());
    Bytes back;
    ASSERT_TRUE(card.ReadToMemory("/Kelvo/speedcam.txt", back));
    EXPECT_EQ(back, old);
    // What the pull left is the staged file, under its own name, which the
    // next run's repair removes.
    EXPECT_TRUE(card.FileExists("/Kelvo/speedcam.txt.pontiro-new"));
    EXPECT_TRUE(card.RepairStaged("/Kelvo/speedcam.txt"));
    wxArrayString names;
    ASSERT_TRUE(card.ListFiles("/Kelvo", names));
    EXPECT_EQ(names.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, FullCardTest,
    testing::Values(
        FullCard{"Tmpfs", [](MountedCard& m) { return m.MountTmpfs(256); }, 100 * 1024, 200 * 1024},
        FullCard{"Fat12Image", [](MountedCard& m) { return m.MountFat(2048, 12); }, 800 * 1000,
                 1500 * 1000}),
    [](const testing::TestParamInfo<FullCard>& info) { return info.param.name; });
}

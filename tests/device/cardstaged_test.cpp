// Staged, verified replacement on the memory card over a real folder: the
// happy path, a staged file that is not what was written, the rollback, and
// no file under a target's name before its bytes are in.
#include "device/vdxrdevcard.h"

#include "devicetest.h"
#include "foldertree.h"

#include <gtest/gtest.h>

#include <wx/filefn.h>

#ifdef __linux__
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace
{
typedef std::vector<std::string> Events;

std::string Text(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// Runs a check at the first progress notice of at least percent, short of
// the end of a transfer.
class DuringTransfer : public wxEvtHandler
{
public:
    explicit DuringTransfer(std::function<void()> check, int percent = 1)
        : m_check(std::move(check)), m_percent(percent)
    {
    }
    void QueueEvent(wxEvent* event) override
    {
        std::unique_ptr<wxEvent> owned(event);
        const auto* progress = dynamic_cast<wxThreadEvent*>(event);
        if (progress && event->GetId() == ID_DEVICE_PROGRESS && progress->GetInt() >= m_percent
            && progress->GetInt() < 100 && !checked)
        {
            checked = true;
            m_check();
        }
    }
    bool checked = false;

private:
    std::function<void()> m_check;
    int m_percent;
};

class CardStaged : public testing::Test
{
protected:
    CardStaged() : card(dir.Utf8Path())
    {
        MakeDirs(dir / "Kelvo");
        WriteFile(dir / "Kelvo/fixed.txt", Pattern(30000, 1));
        WriteFile(dir / "Kelvo/mobile.txt", Pattern(5000, 2));
        card.SetEventHandler(&log);
        before = ReadTree(dir.Utf8Path());
    }

    FolderTree Tree() const { return ReadTree(dir.Utf8Path()); }

    ScratchFolder dir;
    VDXRDEVCARD card;
    EventLog log;
    FolderTree before;
};
}

TEST_F(CardStaged, StagedFilesReplaceTheTargetsOnlyAtTheCommit)
{
    ASSERT_TRUE(card.CanStage());
    const Bytes fixed = Pattern(25000, 11);
    const Bytes book = Pattern(300000, 12);

    ASSERT_TRUE(card.WriteStaged(fixed, "/Kelvo/fixed.txt")) << card.GetErrorText();
    EXPECT_EQ(log.events, (Events{"started", "0", "40", "81", "100", "100", "finished"}));
    log.events.clear();
    ASSERT_TRUE(card.VerifyStaged(fixed, "/Kelvo/fixed.txt")) << card.GetErrorText();
    EXPECT_TRUE(log.events.empty());

    // A new target has no file under its name while its bytes go in.
    DuringTransfer watch([&] { EXPECT_FALSE(PathExists(dir / "Kelvo/book.txt")); });
    card.SetEventHandler(&watch);
    ASSERT_TRUE(card.WriteStaged(book, "/Kelvo/book.txt"));
    EXPECT_TRUE(watch.checked);
    ASSERT_TRUE(card.VerifyStaged(book, "/Kelvo/book.txt")) << card.GetErrorText();
    EXPECT_EQ(ReadFileBytes(dir / "Kelvo/book.txt.pontiro-new"), book);
    EXPECT_EQ(Tree().entries.size(), before.entries.size() + 2);

    ASSERT_TRUE(card.CommitStaged("/Kelvo/fixed.txt")) << card.GetErrorText();
    ASSERT_TRUE(card.CommitStaged("/Kelvo/book.txt")) << card.GetErrorText();
    EXPECT_EQ(ReadFileBytes(dir / "Kelvo/fixed.txt.pontiro-old"), Pattern(30000, 1));
    EXPECT_TRUE(card.FinishCommit("/Kelvo/fixed.txt"));
    EXPECT_TRUE(card.FinishCommit("/Kelvo/book.txt"));

    FolderTree after = before;
    after.entries["Kelvo/fixed.txt"] = Text(fixed);
    after.entries["Kelvo/book.txt"] = Text(book);
    EXPECT_EQ(Tree(), after);
}

TEST_F(CardStaged, AStagedFileThatIsNotWhatWasWrittenFailsTheVerification)
{
    const Bytes bytes = Pattern(200000, 3);
    const std::string staged = dir / "Kelvo/fixed.txt.pontiro-new";
    struct Case
    {
        const char* name;
        std::function<void()> spoil;
    } cases[] = {
        {"a byte changed", [&] {
             Bytes changed = bytes;
             changed[150000] ^= 1;
             WriteFile(staged, changed);
         }},
        {"cut short", [&] { WriteFile(staged, Bytes(bytes.begin(), bytes.end() - 1)); }},
        {"zeros from 64 KiB on", [&] {
             Bytes zeros = bytes;
             std::fill(zeros.begin() + 65536, zeros.end(), 0);
             WriteFile(staged, zeros);
         }},
        {"gone", [&] { wxRemoveFile(wxString::FromUTF8(staged)); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(card.WriteStaged(bytes, "/Kelvo/fixed.txt"));
        c.spoil();
        EXPECT_FALSE(card.VerifyStaged(bytes, "/Kelvo/fixed.txt"));
        EXPECT_EQ(card.GetErrorCode(), PathExists(staged) ? DEVICE_ERR_VERIFY : DEVICE_ERR_OPEN);
        EXPECT_EQ(card.GetErrorText(), PathExists(staged) ? ">/Kelvo/fixed.txt" : "</Kelvo/fixed.txt");
        EXPECT_TRUE(card.DiscardStaged("/Kelvo/fixed.txt"));
        EXPECT_EQ(Tree(), before);
    }
}

TEST_F(CardStaged, ARollbackPutsEveryCommittedFileBack)
{
    ASSERT_TRUE(card.WriteStaged(Pattern(100, 4), "/Kelvo/fixed.txt"));
    ASSERT_TRUE(card.WriteStaged(Pattern(100, 5), "/Kelvo/book.txt"));
    ASSERT_TRUE(card.WriteStaged(Pattern(100, 6), "/Kelvo/mobile.txt"));
    ASSERT_TRUE(card.CommitStaged("/Kelvo/fixed.txt"));
    ASSERT_TRUE(card.CommitStaged("/Kelvo/book.txt"));
    EXPECT_TRUE(card.RollbackStaged("/Kelvo/mobile.txt"));
    EXPECT_TRUE(card.RollbackStaged("/Kelvo/book.txt"));
    EXPECT_TRUE(card.RollbackStaged("/Kelvo/fixed.txt"));
    EXPECT_EQ(Tree(), before);
}

TEST_F(CardStaged, AFolderInTheTargetsPlaceIsRefusedAtTheOpen)
{
    MakeDirs(dir / "Kelvo/folder");
    before = Tree();
    EXPECT_FALSE(card.WriteStaged(Pattern(10), "/Kelvo/folder"));
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_OPEN);
    EXPECT_EQ(card.GetErrorText(), ">/Kelvo/folder");
    EXPECT_EQ(Tree(), before);
}

TEST_F(CardStaged, APlainWriteOfANewFileShowsNothingUnderItsNameBeforeItsBytes)
{
    DuringTransfer watch([&] {
        EXPECT_FALSE(PathExists(dir / "Kelvo/book.txt"));
        EXPECT_TRUE(PathExists(dir / "Kelvo/book.txt.pontiro-new"));
    });
    card.SetEventHandler(&watch);
    ASSERT_TRUE(card.WriteFromMemory(Pattern(100000, 7), "/Kelvo/book.txt"));
    EXPECT_TRUE(watch.checked);
    FolderTree after = before;
    after.entries["Kelvo/book.txt"] = Text(Pattern(100000, 7));
    EXPECT_EQ(Tree(), after);
}

#ifdef __linux__
namespace
{
// The page cache's account of a file range (Linux 6.5), declared here as
// older system headers lack it.
struct CacheRange
{
    std::uint64_t offset;
    std::uint64_t length;
};
struct CacheState
{
    std::uint64_t cached;
    std::uint64_t dirty;
    std::uint64_t writeback;
    std::uint64_t evicted;
    std::uint64_t recentlyEvicted;
};
const long kCacheStatCall = 451;

// Pages of the file's first length bytes that the card does not hold yet,
// or -1 when the system cannot say.
long PagesNotOnTheCard(const std::string& path, std::uint64_t length)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    CacheRange range = {0, length};
    CacheState state = {};
    const long result = ::syscall(kCacheStatCall, fd, &range, &state, 0);
    ::close(fd);
    return result == 0 ? static_cast<long>(state.dirty + state.writeback) : -1;
}
}

// The card is written while the transfer goes on, not all at the flush:
// the progress follows what the card holds.
TEST_F(CardStaged, TheCardIsWrittenBehindTheWrites)
{
    struct statfs info;
    ASSERT_EQ(::statfs(dir.Utf8Path().c_str(), &info), 0);
    if (info.f_type == 0x01021994)
        GTEST_SKIP() << "the scratch folder is in memory (tmpfs): nothing is written behind";
    if (PagesNotOnTheCard(dir / "Kelvo/fixed.txt", 4096) < 0)
        GTEST_SKIP() << "the system does not report a file's pages (cachestat)";

    const std::size_t size = std::size_t(64) << 20;
    const Bytes bytes = Pattern(size, 21);
    long behind = -1;
    DuringTransfer watch(
        [&] {
            // Half is written; what the card may still lack is the last
            // windows and the last write, a few MiB.
            behind = PagesNotOnTheCard(dir / "Kelvo/big.bin.pontiro-new", size / 2 - (std::size_t(8) << 20));
        },
        50);
    card.SetEventHandler(&watch);
    ASSERT_TRUE(card.WriteFromMemory(bytes, "/Kelvo/big.bin")) << card.GetErrorText();
    ASSERT_TRUE(watch.checked);
    EXPECT_EQ(behind, 0);
    EXPECT_EQ(ReadFileBytes(dir / "Kelvo/big.bin"), bytes);
}
#endif

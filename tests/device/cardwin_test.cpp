// The memory-card device where the card is a drive letter.
#include "device/vdxrdevcard.h"
#include "tests/support/scratchfolder.h"

#include <gtest/gtest.h>

#include <wx/arrstr.h>
#include <wx/dir.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include <vector>

namespace
{
typedef ByteVector Bytes;

TEST(CardDrive, MapsDevicePathsOntoTheDrive)
{
    VDXRDEVCARD card(wxT('E'));
    EXPECT_EQ(card.MapPath("/Kelvo/x"), "E:/Kelvo/x");
    EXPECT_EQ(card.MapPath("\\Kelvo/x"), "E:/Kelvo/x");
    EXPECT_EQ(card.GetErrorCode(), 0);
    EXPECT_EQ(card.MapPath("Kelvo/x"), "");
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_BAD_PATH);
    EXPECT_EQ(card.GetErrorText(), "Kelvo/x");
}

// A scratch folder on the drive of the temporary folder, named by its
// device path on that drive.
class CardDriveTest : public testing::Test
{
protected:
    void SetUp() override
    {
        wxString temp = m_folder.Path();
        ASSERT_FALSE(temp.empty());
        m_local = temp;
        temp.Replace("\\", "/");
        m_drive = temp[0];
        m_device = temp.Mid(2);
    }

    ScratchFolder m_folder;
    wxString m_local;
    wxChar m_drive = 0;
    wxString m_device;
};

TEST_F(CardDriveTest, ReplacesFilesWholeAndReadsThemBack)
{
    VDXRDEVCARD card(m_drive);
    ASSERT_TRUE(card.Connect());
    EXPECT_TRUE(card.IsConnected());
    ASSERT_TRUE(card.CreateDir(m_device + "/Kelvo/Sub", true));
    const wxString path = m_device + "/Kelvo/speedcam.txt";

    Bytes old(30000, 'o');
    ASSERT_TRUE(card.WriteFromMemory(old, path));
    Bytes fresh(25000, 'n');
    ASSERT_TRUE(card.WriteFromMemory(fresh, path));
    Bytes back;
    ASSERT_TRUE(card.ReadToMemory(path, back));
    EXPECT_EQ(back, fresh);

    wxArrayString names;
    ASSERT_TRUE(card.ListFiles(m_device + "/Kelvo", names));
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(wxFileExists(names[0]));
    ASSERT_TRUE(card.ListDirs(m_device + "/Kelvo", names));
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], "Sub");

    EXPECT_FALSE(card.WriteFromMemory(fresh, m_device + "/Missing/x.txt"));
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_OPEN);
    EXPECT_EQ(card.GetErrorText(), ">" + m_device + "/Missing/x.txt");

    const wxString copy = m_local + "/copy.bin";
    ASSERT_TRUE(card.CopyFromDevice(path, copy));
    ASSERT_TRUE(card.CopyToDevice(copy, m_device + "/Kelvo/again.txt"));
    ASSERT_TRUE(card.ReadToMemory(m_device + "/Kelvo/again.txt", back));
    EXPECT_EQ(back, fresh);
    EXPECT_TRUE(card.DeleteFile(m_device + "/Kelvo/again.txt"));

    // Nothing but the written file is left in the folder.
    wxDir dir(m_local + "/Kelvo");
    wxString name;
    std::vector<wxString> entries;
    for (bool more = dir.GetFirst(&name, wxEmptyString, wxDIR_FILES | wxDIR_HIDDEN); more; more = dir.GetNext(&name))
        entries.push_back(name);
    EXPECT_EQ(entries, std::vector<wxString>{"speedcam.txt"});
}

TEST_F(CardDriveTest, StagesVerifiesAndCommitsOnTheDrive)
{
    VDXRDEVCARD card(m_drive);
    ASSERT_TRUE(card.Connect());
    ASSERT_TRUE(card.CreateDir(m_device + "/Kelvo", true));
    const wxString path = m_device + "/Kelvo/speedcam.txt";
    const Bytes old(30000, 'o');
    ASSERT_TRUE(card.WriteFromMemory(old, path));

    // Not a whole number of blocks: the unbuffered reads end short.
    Bytes fresh((3 << 20) + 123);
    for (std::size_t i = 0; i < fresh.size(); ++i)
        fresh[i] = static_cast<unsigned char>(i * 7 + i / 4096);
    ASSERT_TRUE(card.WriteStaged(fresh, path)) << card.GetErrorText();
    ASSERT_TRUE(card.VerifyStaged(fresh, path)) << card.GetErrorText();
    Bytes other = fresh;
    other[(2 << 20) + 5] ^= 1;
    EXPECT_FALSE(card.VerifyStaged(other, path));
    EXPECT_EQ(card.GetErrorCode(), DEVICE_ERR_VERIFY);

    // Committed and rolled back, the old file is there again; committed and
    // finished, the new one.
    ASSERT_TRUE(card.CommitStaged(path)) << card.GetErrorText();
    EXPECT_TRUE(card.RollbackStaged(path)) << card.GetErrorText();
    Bytes back;
    ASSERT_TRUE(card.ReadToMemory(path, back));
    EXPECT_EQ(back, old);
    ASSERT_TRUE(card.WriteStaged(fresh, path));
    ASSERT_TRUE(card.CommitStaged(path)) << card.GetErrorText();
    ASSERT_TRUE(card.FinishCommit(path));
    ASSERT_TRUE(card.ReadToMemory(path, back));
    EXPECT_EQ(back, fresh);
    EXPECT_FALSE(wxFileExists(m_local + "/Kelvo/speedcam.txt.pontiro-old"));
    EXPECT_FALSE(wxFileExists(m_local + "/Kelvo/speedcam.txt.pontiro-new"));

    std::uint64_t free = 0;
    EXPECT_TRUE(card.GetFreeSpace(m_device + "/Kelvo", free));
    EXPECT_GT(free, 0u);
}
}

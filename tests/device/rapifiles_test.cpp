// File and folder operations of the Remote API device on the simulated
// device's folder.
#include "simdevice.h"

#include "device/vdxrdevrapi.h"
#include "tests/support/files.h"

#include <wx/arrstr.h>
#include <wx/filefn.h>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// DeleteFile below is the device's operation.
#undef DeleteFile
#endif

#include <functional>
#include <string>
#include <vector>

namespace
{
typedef std::vector<std::string> Lines;

class RapiFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(device.Connect());
        device.SetEventHandler(&log);
    }

    void TearDown() override
    {
        device.SetEventHandler(nullptr);
        // Every operation closes what it opened on the device.
        EXPECT_EQ(0u, SimDevice::Counters().openHandles);
    }

    void Fault(const std::string& profile)
    {
        sim.SetProfile(profile);
        SimDevice::Reset();
        log.events.clear();
    }

    std::string Local(const std::string& name) const { return sim.Root() + "-" + name; }

    SimDevice sim;
    VDXRDEVRAPI device;
    EventLog log;
};
}

TEST_F(RapiFiles, PathsInTheDevicesOwnFormWorkAndAreMarked)
{
    sim.MakeFolder("/Kelvo");
    sim.MakeFolder("/Kelvo/sub");
    sim.PutFile("/Kelvo/sub/file", Bytes(3, 1));

    EXPECT_TRUE(device.Exists(wxS("\\Kelvo")));
    EXPECT_EQ(DEVICE_ERR_BAD_PATH, device.GetErrorCode());
    EXPECT_EQ(wxS("\\Kelvo"), device.GetErrorText());

    EXPECT_TRUE(device.Exists(wxS("/Kelvo\\sub/file")));
    EXPECT_EQ(0, device.GetErrorCode());
    // DirExists and FileExists neither clear nor set the record.
    device.SetError(42, wxS("kept"), 7);
    EXPECT_TRUE(device.DirExists(wxS("\\Kelvo")));
    EXPECT_FALSE(device.FileExists(wxS("\\Kelvo")));
    EXPECT_TRUE(device.FileExists(wxS("\\Kelvo\\sub/file")));
    EXPECT_EQ(42, device.GetErrorCode());
    EXPECT_EQ(wxS("kept"), device.GetErrorText());

    EXPECT_FALSE(device.Exists(wxS("/Kelvo/missing")));
    EXPECT_EQ(wxS("/x"), device.MapPath(wxS("/x")));
    EXPECT_EQ(0, device.GetErrorCode());
    EXPECT_EQ(wxS("x"), device.MapPath(wxS("x")));
    EXPECT_EQ(DEVICE_ERR_BAD_PATH, device.GetErrorCode());
}

TEST_F(RapiFiles, NamesBeyondAsciiReachTheDeviceAndComeBack)
{
    const wxString name = wxString::FromUTF8("caf\xC3\xA9 \xF0\x9F\x98\x80.txt");
    ASSERT_TRUE(device.WriteFromMemory(Pattern(10), wxS("/windows/") + name));
#ifndef _WIN32
    // The simulated device names its files in UTF-8, which only POSIX hosts
    // take as it is.
    EXPECT_TRUE(sim.Has("/windows/caf\xC3\xA9 \xF0\x9F\x98\x80.txt"));
#endif
    wxArrayString names;
    ASSERT_TRUE(device.ListFiles(wxS("/windows"), names));
    EXPECT_EQ(wxArrayString(1, name), names);
}

TEST_F(RapiFiles, CreateDirRecursiveReportsWhetherItCreatedAnything)
{
    sim.MakeFolder("/X");
    EXPECT_TRUE(device.CreateDir(wxS("/X/Y/Z"), true));
    EXPECT_TRUE(sim.Has("/X/Y/Z"));
    EXPECT_FALSE(device.CreateDir(wxS("/X/Y/Z"), true));
    EXPECT_EQ(0, device.GetErrorCode());
    EXPECT_TRUE(device.GetErrorText().empty());
}

TEST_F(RapiFiles, CreateDirFailures)
{
    sim.MakeFolder("/X");
    sim.MakeFolder("/X/Y");
    EXPECT_FALSE(device.CreateDir(wxS("/X/Y"), false));
    EXPECT_EQ(DEVICE_ERR_MKDIR, device.GetErrorCode());
    EXPECT_EQ(wxS("/X/Y"), device.GetErrorText());
    EXPECT_EQ(183, device.GetSystemError());

    EXPECT_FALSE(device.CreateDir(wxS("\\X\\W"), true));
    EXPECT_EQ(DEVICE_ERR_BAD_PATH, device.GetErrorCode());
    EXPECT_FALSE(sim.Has("/X/W"));

    // A level that is a file stops the walk there, keeping what was made.
    sim.PutFile("/X/file", Bytes(1, 0));
    EXPECT_FALSE(device.CreateDir(wxS("/X/file/A"), true));
    EXPECT_EQ(DEVICE_ERR_MKDIR, device.GetErrorCode());
    EXPECT_EQ(wxS("/X/file/A"), device.GetErrorText());

    EXPECT_TRUE(device.CreateDir(wxS("/X/N"), false));
    EXPECT_TRUE(device.CreatePath(wxS("/X/N/M"), 2));
    EXPECT_TRUE(sim.Has("/X/N/M"));
}

TEST_F(RapiFiles, ListingsNameFoldersAndFilesApart)
{
    Fault("list_dots = yes\n");
    sim.MakeFolder("/F");
    sim.MakeFolder("/F/sub");
    sim.PutFile("/F/file.txt", Bytes(2, 0));
    wxArrayString names;
    names.push_back(wxS("stale"));
    ASSERT_TRUE(device.ListDirs(wxS("/F"), names));
    EXPECT_EQ(wxArrayString(1, wxS("sub")), names);
    ASSERT_TRUE(device.ListFiles(wxS("/F"), names));
    EXPECT_EQ(wxArrayString(1, wxS("file.txt")), names);

    sim.MakeFolder("/E");
    EXPECT_TRUE(device.ListFiles(wxS("/E"), names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(device.ListDirs(wxS("/missing"), names));
    EXPECT_FALSE(device.ListDirs(wxS("/F/file.txt"), names));
    // The profile file is not part of the device.
    ASSERT_TRUE(device.ListFiles(wxS("/"), names));
    EXPECT_TRUE(names.empty());
}

TEST_F(RapiFiles, FindLicenseFileWalksTheDevice)
{
    sim.MakeFolder("/A");
    sim.MakeFolder("/B");
    sim.MakeFolder("/B/Kelvo");
    for (const char* name : {"license.db", "data.zip", "device.vdx"})
        sim.PutFile(std::string("/B/Kelvo/") + name, Bytes(1, 0));
    EXPECT_EQ(wxS("/B/Kelvo/license.db"), device.FindLicenseFile(false));
}

TEST_F(RapiFiles, WriteFromMemoryWritesInChunksWithProgress)
{
    const Bytes bytes = Pattern(25000);
    ASSERT_TRUE(device.WriteFromMemory(bytes, wxS("/windows/f.bin")));
    EXPECT_EQ(bytes, sim.GetFile("/windows/f.bin"));
    EXPECT_EQ((Lines{"CeWriteFile 10240", "CeWriteFile 10240", "CeWriteFile 4520"}),
              SimDevice::Calls("CeWriteFile"));
    EXPECT_EQ((Lines{"started", "0", "40", "81", "100", "100", "finished"}), log.events);
    EXPECT_EQ(0, device.GetErrorCode());
}

TEST_F(RapiFiles, WriteFromMemoryReplacesAndKeepsNothingForEmptyBytes)
{
    sim.PutFile("/old", Pattern(50000, 2));
    const Bytes bytes = Pattern(100, 3);
    ASSERT_TRUE(device.WriteFromMemory(bytes, wxS("/old")));
    EXPECT_EQ(bytes, sim.GetFile("/old"));

    log.events.clear();
    EXPECT_TRUE(device.WriteFromMemory(Bytes(), wxS("/new")));
    EXPECT_FALSE(sim.Has("/new"));
    EXPECT_EQ(Lines{"started"}, log.events);
}

TEST_F(RapiFiles, FailedUploadsLeaveNoFile)
{
    struct Case
    {
        const char* profile;
        std::int32_t systemError;
        Lines writes;
    } const cases[] = {
        // The second write fails.
        {"write_fault_path = /up.bin\nwrite_fail_after = 10240\nwrite_error = 112\n", 112,
         {"CeWriteFile 10240", "CeWriteFile 10240"}},
        // A device that takes nothing but says it succeeded: given up.
        {"write_fault_path = /up.bin\nwrite_zero = yes\n", 0,
         {"CeWriteFile 10240", "CeWriteFile 10240", "CeWriteFile 10240"}},
    };
    // Both uploads follow the same rules, from memory and from a file.
    const std::string local = Local("up.src");
    WriteFile(local, Pattern(25000));
    const std::function<bool()> uploads[] = {
        [&] { return device.WriteFromMemory(Pattern(25000), wxS("/up.bin")); },
        [&] { return device.CopyToDevice(wxString::FromUTF8(local), wxS("/up.bin")); },
    };
    for (const Case& c : cases)
    {
        for (const std::function<bool()>& upload : uploads)
        {
            SCOPED_TRACE(c.profile);
            sim.PutFile("/up.bin", Pattern(10, 9));
            Fault(c.profile);
            EXPECT_FALSE(upload());
            EXPECT_EQ(DEVICE_ERR_WRITE, device.GetErrorCode());
            EXPECT_EQ(wxS(">/up.bin"), device.GetErrorText());
            EXPECT_EQ(c.systemError, device.GetSystemError());
            EXPECT_FALSE(sim.Has("/up.bin"));
            EXPECT_EQ(c.writes, SimDevice::Calls("CeWriteFile"));
            EXPECT_EQ("failed", log.events.back());
        }
    }
    wxRemoveFile(wxString::FromUTF8(local));
}

TEST_F(RapiFiles, ShortWritesAreContinuedFromWhereTheDeviceStopped)
{
    // The first write comes short; the rest follows in the next writes.
    Fault("write_fault_path = /s.bin\nwrite_short_after = 5000\n");
    // (after 5000 bytes every write is cut to nothing, so this one fails)
    EXPECT_FALSE(device.WriteFromMemory(Pattern(6000), wxS("/s.bin")));
    EXPECT_EQ(DEVICE_ERR_WRITE, device.GetErrorCode());
    EXPECT_FALSE(sim.Has("/s.bin"));
}

TEST_F(RapiFiles, RefusedCreationIsAnOpenError)
{
    Fault("refuse_create = /r.bin\nrefuse_error = 5\n");
    EXPECT_FALSE(device.WriteFromMemory(Pattern(10), wxS("/r.bin")));
    EXPECT_EQ(DEVICE_ERR_OPEN, device.GetErrorCode());
    EXPECT_EQ(wxS(">/r.bin"), device.GetErrorText());
    EXPECT_EQ(5, device.GetSystemError());
    EXPECT_EQ((Lines{"started", "failed"}), log.events);

    const std::string local = Local("r.src");
    WriteFile(local, Pattern(10));
    EXPECT_FALSE(device.CopyToDevice(wxString::FromUTF8(local), wxS("/r.bin")));
    EXPECT_EQ(DEVICE_ERR_OPEN, device.GetErrorCode());
    wxRemoveFile(wxString::FromUTF8(local));
}

TEST_F(RapiFiles, ReadToMemoryReadsTheWholeFile)
{
    const Bytes bytes = Pattern(30000, 4);
    sim.PutFile("/r.bin", bytes);
    Bytes read(5, 1);
    ASSERT_TRUE(device.ReadToMemory(wxS("/r.bin"), read));
    EXPECT_EQ(bytes, read);
    EXPECT_EQ((Lines{"started", "0", "34", "68", "100", "100", "finished"}), log.events);

    sim.PutFile("/empty", Bytes());
    ASSERT_TRUE(device.ReadToMemory(wxS("/empty"), read));
    EXPECT_TRUE(read.empty());
}

TEST_F(RapiFiles, LargeTransfersMoveChunksAndPostEachWholePercentageOnce)
{
    const Bytes bytes = Pattern(2u << 20, 12);
    sim.PutFile("/big.bin", bytes);
    Bytes read;
    ASSERT_TRUE(device.ReadToMemory(wxS("/big.bin"), read));
    EXPECT_TRUE(bytes == read);
    // 205 reads, each about half a percent.
    const Lines reads = SimDevice::Calls("CeReadFile");
    ASSERT_EQ(205u, reads.size());
    EXPECT_EQ("CeReadFile 10240", reads[0]);
    EXPECT_EQ("CeReadFile 8192", reads[204]);
    Lines expected = {"started"};
    for (int percent = 0; percent <= 100; ++percent)
        expected.push_back(std::to_string(percent));
    expected.insert(expected.end(), {"100", "finished"});
    EXPECT_EQ(expected, log.events);
}

TEST_F(RapiFiles, ReadToMemoryFailuresEmptyTheVector)
{
    sim.PutFile("/r.bin", Pattern(30000, 4));
    struct Case
    {
        const char* profile;
        const char* path;
        std::int32_t code;
        const wchar_t* text;
        std::int32_t systemError;
    } const cases[] = {
        {"", "/missing", DEVICE_ERR_OPEN, L"</missing", 2},
        {"read_fault_path = /r.bin\nread_fail_after = 10240\nread_error = 30\n", "/r.bin",
         DEVICE_ERR_READ, L"</r.bin", 30},
        // The device reports a size the file does not have.
        {"read_fault_path = /r.bin\nsize_extra = 7\n", "/r.bin", DEVICE_ERR_READ,
         L">[Memory]", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.profile);
        Fault(c.profile);
        Bytes read(5, 1);
        EXPECT_FALSE(device.ReadToMemory(wxString::FromUTF8(c.path), read));
        EXPECT_TRUE(read.empty());
        EXPECT_EQ(c.code, device.GetErrorCode());
        EXPECT_EQ(wxString(c.text), device.GetErrorText());
        EXPECT_EQ(c.systemError, device.GetSystemError());
        EXPECT_EQ("failed", log.events.back());
    }
}

TEST_F(RapiFiles, CopyToDeviceAndBack)
{
    const Bytes bytes = Pattern(23456, 5);
    const std::string source = Local("src");
    const std::string back = Local("back");
    WriteFile(source, bytes);
    ASSERT_TRUE(device.CopyToDevice(wxString::FromUTF8(source), wxS("/c.bin")));
    EXPECT_EQ(bytes, sim.GetFile("/c.bin"));
    ASSERT_TRUE(device.CopyFromDevice(wxS("/c.bin"), wxString::FromUTF8(back)));
    EXPECT_EQ(bytes, ReadFileBytes(back));
    EXPECT_EQ("finished", log.events.back());

    WriteFile(source, Bytes());
    ASSERT_TRUE(device.CopyToDevice(wxString::FromUTF8(source), wxS("/c.bin")));
    EXPECT_TRUE(sim.Has("/c.bin"));
    EXPECT_TRUE(sim.GetFile("/c.bin").empty());
    wxRemoveFile(wxString::FromUTF8(source));
    wxRemoveFile(wxString::FromUTF8(back));
}

TEST_F(RapiFiles, CopyToDeviceWhoseLastWriteComesShortLeavesNoFile)
{
    const std::string source = Local("src");
    WriteFile(source, Pattern(25000, 6));
    Fault("write_fault_path = /c.bin\nwrite_short_after = 24000\n");
    EXPECT_FALSE(device.CopyToDevice(wxString::FromUTF8(source), wxS("/c.bin")));
    EXPECT_EQ(DEVICE_ERR_WRITE, device.GetErrorCode());
    EXPECT_EQ(wxS(">/c.bin"), device.GetErrorText());
    EXPECT_EQ(0, device.GetSystemError());
    EXPECT_FALSE(sim.Has("/c.bin"));
    EXPECT_EQ("failed", log.events.back());

    Fault("write_fault_path = /c.bin\nwrite_zero = yes\n");
    EXPECT_FALSE(device.CopyToDevice(wxString::FromUTF8(source), wxS("/c.bin")));
    EXPECT_EQ(DEVICE_ERR_WRITE, device.GetErrorCode());
    EXPECT_FALSE(sim.Has("/c.bin"));
    wxRemoveFile(wxString::FromUTF8(source));

    EXPECT_FALSE(device.CopyToDevice(wxString::FromUTF8(source), wxS("/c.bin")));
    EXPECT_EQ(DEVICE_ERR_LOCAL_OPEN, device.GetErrorCode());
    EXPECT_EQ(wxS("<") + wxString::FromUTF8(source), device.GetErrorText());
}

TEST_F(RapiFiles, UnreadableLocalFileFailsTheUploadAndLeavesNoFile)
{
#ifdef _WIN32
    // Wine has no file that opens but cannot say its size (its /proc files
    // are plain and empty); what Windows has is a file another program holds
    // open without sharing: refused before the device file is touched.
    const std::string path = Local("held");
    WriteFile(path, Pattern(100, 1));
    const wxString local = wxString::FromUTF8(path);
    const HANDLE holder = ::CreateFileW(local.wc_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    sim.PutFile("/c.bin", Pattern(10, 1));
    EXPECT_FALSE(device.CopyToDevice(local, wxS("/c.bin")));
    EXPECT_EQ(DEVICE_ERR_LOCAL_OPEN, device.GetErrorCode());
    EXPECT_EQ(wxS("<") + local, device.GetErrorText());
    EXPECT_EQ(Pattern(10, 1), sim.GetFile("/c.bin"));
    EXPECT_EQ("failed", log.events.back());
    ::CloseHandle(holder);
    wxRemoveFile(local);
#else
    // Opens as a file but cannot say its size (its seek fails).
    const wxString local = wxS("/proc/self/pagemap");
    if (!wxFileExists(local))
        GTEST_SKIP() << "no /proc here";
    sim.PutFile("/c.bin", Pattern(10, 1));
    EXPECT_FALSE(device.CopyToDevice(local, wxS("/c.bin")));
    EXPECT_EQ(DEVICE_ERR_READ, device.GetErrorCode());
    EXPECT_EQ(wxS("<") + local, device.GetErrorText());
    EXPECT_FALSE(sim.Has("/c.bin"));
    EXPECT_EQ("failed", log.events.back());
#endif
}

TEST_F(RapiFiles, CopyFromDeviceFailuresLeaveNoLocalFile)
{
    const std::string target = Local("dst");
    EXPECT_FALSE(device.CopyFromDevice(wxS("/missing"), wxString::FromUTF8(target)));
    EXPECT_EQ(DEVICE_ERR_OPEN, device.GetErrorCode());
    EXPECT_EQ(wxS("</missing"), device.GetErrorText());
    EXPECT_FALSE(wxFileExists(wxString::FromUTF8(target)));

    sim.PutFile("/r.bin", Pattern(30000, 7));
    Fault("read_fault_path = /r.bin\nread_fail_after = 20000\nread_error = 30\n");
    EXPECT_FALSE(device.CopyFromDevice(wxS("/r.bin"), wxString::FromUTF8(target)));
    EXPECT_EQ(DEVICE_ERR_READ, device.GetErrorCode());
    EXPECT_EQ(wxS("</r.bin"), device.GetErrorText());
    EXPECT_EQ(30, device.GetSystemError());
    EXPECT_FALSE(wxFileExists(wxString::FromUTF8(target)));

    Fault("read_fault_path = /r.bin\nsize_extra = 1\n");
    EXPECT_FALSE(device.CopyFromDevice(wxS("/r.bin"), wxString::FromUTF8(target)));
    EXPECT_EQ(DEVICE_ERR_READ, device.GetErrorCode());
    EXPECT_EQ(wxS(">") + wxString::FromUTF8(target), device.GetErrorText());
    EXPECT_FALSE(wxFileExists(wxString::FromUTF8(target)));
}

TEST_F(RapiFiles, DeleteFile)
{
    sim.PutFile("/d.bin", Bytes(1, 0));
    EXPECT_TRUE(device.DeleteFile(wxS("/d.bin")));
    EXPECT_FALSE(sim.Has("/d.bin"));
    EXPECT_FALSE(device.DeleteFile(wxS("/d.bin")));
    EXPECT_EQ(0, device.GetErrorCode());
}

TEST_F(RapiFiles, DevicePathsNeverLeaveTheDeviceFolder)
{
    EXPECT_FALSE(device.Exists(wxS("/../outside")));
    EXPECT_FALSE(device.WriteFromMemory(Pattern(10), wxS("/windows/../../escape")));
    EXPECT_EQ(DEVICE_ERR_OPEN, device.GetErrorCode());
    EXPECT_FALSE(wxFileExists(wxString::FromUTF8(sim.Root() + "/../escape")));
}

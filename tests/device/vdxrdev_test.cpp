// The operations VDXRDEV implements once for every back end, over an
// in-memory device whose folder order is under the test's control.
#include "device/vdxrdev.h"

#include <gtest/gtest.h>

#include <wx/arrstr.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace
{
wxString Folder(wxString path)
{
    while (path.length() > 1 && path.Last() == '/')
        path.RemoveLast();
    return path;
}

class FakeDevice : public VDXRDEV
{
public:
    FakeDevice() { m_dirs.insert("/"); }

    // Adds a folder and its parents; children are listed in the order added.
    void AddDir(const wxString& path)
    {
        const wxString folder = Folder(path);
        if (folder == "/" || m_dirs.count(folder))
            return;
        const wxString parent = Folder(folder.BeforeLast('/') + "/");
        AddDir(parent);
        m_dirs.insert(folder);
        m_children[parent].push_back(folder.AfterLast('/'));
    }
    void AddFiles(const wxString& folder, const std::vector<wxString>& names)
    {
        AddDir(folder);
        for (const wxString& name : names)
            m_files.insert(Folder(folder) + (Folder(folder) == "/" ? "" : "/") + name);
    }

    bool Connect() override { return true; }
    bool Disconnect() override { return true; }
    bool CopyToDevice(const wxString&, const wxString&) override { return false; }
    bool CopyFromDevice(const wxString&, const wxString&) override { return false; }
    bool DeleteFile(const wxString&) override { return false; }
    bool Exists(const wxString& path) override
    {
        ClearError();
        probes.push_back(path);
        return m_dirs.count(Folder(path)) || m_files.count(path);
    }
    bool DirExists(const wxString& path) override { return m_dirs.count(Folder(path)) > 0; }
    bool FileExists(const wxString& path) override { return m_files.count(path) > 0; }
    bool CreateDir(const wxString& path, bool recursive) override
    {
        ClearError();
        created.push_back(path + (recursive ? " recursive" : ""));
        AddDir(path);
        return true;
    }
    bool ListDirs(const wxString& path, wxArrayString& names) override
    {
        names.clear();
        for (const wxString& name : m_children[Folder(path)])
            names.push_back(name);
        return DirExists(path);
    }
    bool ListFiles(const wxString&, wxArrayString& names) override
    {
        names.clear();
        return false;
    }
    wxString GetDeviceID() override { return wxString(); }
    wxString GetCardID(const wxString&) override { return wxString(); }
    wxString GetMapVender() override { return wxString(); }
    wxString GetMapExtra() override { return wxString(); }

    using VDXRDEV::NotifyProgress;
    using VDXRDEV::TransferPercent;

    std::vector<wxString> created;
    std::vector<wxString> probes;

private:
    std::set<wxString> m_dirs;
    std::set<wxString> m_files;
    std::map<wxString, std::vector<wxString>> m_children;
};

const std::vector<wxString> kAllMarkers = {"license.db", "data.zip", "device.vdx"};

struct SearchCase
{
    const char* name;
    // folder -> marker files in it, added in this order
    std::vector<std::pair<wxString, std::vector<wxString>>> layout;
    bool acceptDeviceFile;
    const char* expected;
};

class FindLicenseFileTest : public testing::TestWithParam<SearchCase>
{
};

TEST_P(FindLicenseFileTest, FindsTheFirstMarkedFolder)
{
    const SearchCase& c = GetParam();
    FakeDevice device;
    for (const auto& folder : c.layout)
        device.AddFiles(folder.first, folder.second);
    device.SetError(DEVICE_ERR_READ, "stale", 5);

    EXPECT_EQ(device.FindLicenseFile(c.acceptDeviceFile), wxString(c.expected));
    EXPECT_EQ(device.GetErrorCode(), 0);
    EXPECT_EQ(device.GetErrorText(), wxString());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FindLicenseFileTest,
    testing::Values(
        SearchCase{"TwoLevelsDown", {{"/Other/", {"license.db"}}, {"/X/Y/", kAllMarkers}}, false,
                   "/X/Y/license.db"},
        SearchCase{"AtTheRoot", {{"/", kAllMarkers}}, false, "/license.db"},
        SearchCase{"DeviceFileAccepted", {{"/N/", {"license.db", "device.vdx"}}}, true,
                   "/N/device.vdx"},
        SearchCase{"DeviceFileNotAcceptedSearchGoesOn",
                   {{"/N/", {"license.db", "device.vdx"}}, {"/N/M/", kAllMarkers}}, false,
                   "/N/M/license.db"},
        SearchCase{"FullSetBeatsDeviceFileInTheSameFolder", {{"/N/", kAllMarkers}}, true,
                   "/N/license.db"},
        SearchCase{"DeviceFileAloneIsNotEnough", {{"/N/", {"device.vdx", "data.zip"}}}, false, ""},
        SearchCase{"FourLevelsDownIsFound", {{"/a/b/c/d/", kAllMarkers}}, false,
                   "/a/b/c/d/license.db"},
        SearchCase{"FiveLevelsDownIsNot", {{"/a/b/c/d/e/", kAllMarkers}}, true, ""},
        SearchCase{"FirstListedSiblingWins", {{"/B/", kAllMarkers}, {"/A/", kAllMarkers}}, false,
                   "/B/license.db"},
        SearchCase{"PreOrderBeforeLaterSibling", {{"/A/", {}}, {"/A/Deep/", kAllMarkers},
                                                 {"/B/", kAllMarkers}}, false,
                   "/A/Deep/license.db"},
        SearchCase{"NothingThere", {{"/A/B/", {"data.zip"}}}, true, ""}),
    [](const testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

TEST(FindLicenseFile, TestsMarkersInOrderAndStopsAtTheFirstMissing)
{
    FakeDevice device;
    device.FindLicenseFile(true);
    EXPECT_EQ(device.probes, (std::vector<wxString>{"/license.db", "/device.vdx"}));
}

struct CreatePathCase
{
    const char* name;
    std::vector<wxString> existing;
    const char* path;
    int levels;
    bool result;
    std::vector<wxString> created;
};

class CreatePathTest : public testing::TestWithParam<CreatePathCase>
{
};

TEST_P(CreatePathTest, CreatesOnlyBelowTheRequiredLevels)
{
    const CreatePathCase& c = GetParam();
    FakeDevice device;
    for (const wxString& dir : c.existing)
        device.AddDir(dir);
    EXPECT_EQ(device.CreatePath(c.path, c.levels), c.result);
    EXPECT_EQ(device.created, c.created);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CreatePathTest,
    testing::Values(
        CreatePathCase{"AsManyLevelsAsRequiredExisting", {"/X/Y"}, "/X/Y", 2, true, {}},
        CreatePathCase{"AsManyLevelsAsRequiredMissing", {"/X"}, "/X/Y", 2, false, {}},
        CreatePathCase{"DeeperUnderExistingPrefix", {"/X/Y"}, "/X/Y/Z", 2, true,
                       {"/X/Y/Z recursive"}},
        CreatePathCase{"DeeperUnderMissingPrefix", {"/X"}, "/X/Y/Z", 2, false, {}},
        CreatePathCase{"EmptyComponentsSkipped", {"/X/Y"}, "//X//Y//Z", 2, true,
                       {"//X//Y//Z recursive"}},
        CreatePathCase{"NoLevelsCreatesEverything", {}, "/X/Y/Z", 0, true, {"/X/Y/Z recursive"}}),
    [](const testing::TestParamInfo<CreatePathCase>& info) { return info.param.name; });

TEST(CreatePath, RefusesAPathWithoutLeadingSlashAndKeepsTheRecord)
{
    for (const wxString& path : {wxString("\\X\\Y"), wxString("X/Y"), wxString()})
    {
        FakeDevice device;
        device.SetError(DEVICE_ERR_READ, "kept", 3);
        EXPECT_FALSE(device.CreatePath(path, 2));
        EXPECT_FALSE(device.CreatePath(path, 0));
        EXPECT_TRUE(device.created.empty());
        EXPECT_EQ(device.GetErrorCode(), DEVICE_ERR_READ);
        EXPECT_EQ(device.GetErrorText(), "kept");
        EXPECT_EQ(device.GetSystemError(), 3);
    }
}

TEST(Device, StartsWithAClearedRecordAndNoTransport)
{
    FakeDevice device;
    EXPECT_FALSE(device.IsConnected());
    EXPECT_EQ(device.GetErrorCode(), 0);
    EXPECT_EQ(device.GetSystemError(), 0);
    EXPECT_TRUE(device.GetErrorText().empty());
    EXPECT_EQ(device.GetTransport(), TRANSPORT_NONE);
    EXPECT_EQ(device.GetEventHandler(), nullptr);
}

TEST(Device, EventIdsAreDistinct)
{
    const std::set<int> ids = {ID_DEVICE_STARTED, ID_DEVICE_PROGRESS, ID_DEVICE_FINISHED,
                               ID_DEVICE_FAILED};
    EXPECT_EQ(ids.size(), 4u);
    EXPECT_NE(EVT_DEVICE, wxEVT_NULL);
}

TEST(Device, PercentagesStayWholeAndBounded)
{
    EXPECT_EQ(FakeDevice::TransferPercent(10240, 25000), 40);
    EXPECT_EQ(FakeDevice::TransferPercent(20480, 25000), 81);
    EXPECT_EQ(FakeDevice::TransferPercent(0, 0), 100);
    // Sizes whose byte count times 100 does not fit 32 bits.
    EXPECT_EQ(FakeDevice::TransferPercent(3ull << 30, 4ull << 30), 75);
    // A source that grew under the transfer never reports past 100.
    EXPECT_EQ(FakeDevice::TransferPercent(300, 200), 100);
}
}

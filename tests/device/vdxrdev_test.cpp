// The operations VDXRDEV implements once for every back end, over an
// in-memory device whose folder order is under the test's control.
#include "device/vdxrdev.h"

#include "device/transferends.h"
#include "eventlog.h"

#include <gtest/gtest.h>

#include <wx/arrstr.h>

#include <algorithm>
#include <functional>
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

    using VDXRDEV::DeviceToMemory;
    using VDXRDEV::MemoryToDevice;
    using VDXRDEV::NotifyProgress;
    using VDXRDEV::TransferPercent;

    // The device file of the next transfer.
    std::function<std::unique_ptr<DeviceWriter>()> writer;
    std::function<std::unique_ptr<DeviceReader>()> reader;

    std::vector<wxString> created;
    std::vector<wxString> probes;

protected:
    std::unique_ptr<DeviceWriter> OpenWriter(const wxString&, std::int32_t& systemError) override
    {
        systemError = 0;
        return writer ? writer() : nullptr;
    }
    std::unique_ptr<DeviceReader> OpenReader(const wxString&, std::int32_t& systemError) override
    {
        systemError = 0;
        return reader ? reader() : nullptr;
    }

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

typedef ByteVector Bytes;

// How the device file is handed its bytes: in pieces of piece, up to largest
// at once; a device that takes at most `takes` of them per call.
struct SpanCase
{
    std::size_t size;
    std::size_t piece;
    std::size_t largest;
    std::size_t takes;
};

// A device file in memory that records the span each call is handed.
class SpanFile : public DeviceWriter, public DeviceReader
{
public:
    SpanFile(const SpanCase& shape, Bytes& bytes, std::vector<std::size_t>& spans)
        : m_shape(shape), m_bytes(bytes), m_spans(spans)
    {
    }
    std::size_t LargestWrite() const override { return m_shape.largest; }
    std::size_t PieceSize() const override { return m_shape.piece; }
    bool Write(const unsigned char* data, std::size_t size, std::size_t& written, std::int32_t&) override
    {
        m_spans.push_back(size);
        written = std::min(size, m_shape.takes);
        m_bytes.insert(m_bytes.end(), data, data + written);
        return true;
    }
    bool Finish(std::int32_t&) override { return true; }
    void Discard() override { m_bytes.clear(); }

    std::size_t LargestRead() const override { return m_shape.largest; }
    bool Size(std::uint64_t& size) override
    {
        size = m_bytes.size();
        return true;
    }
    bool Read(unsigned char* data, std::size_t size, std::size_t& read, std::int32_t&) override
    {
        m_spans.push_back(size);
        read = std::min({size, m_shape.takes, m_bytes.size() - m_at});
        std::copy(m_bytes.begin() + m_at, m_bytes.begin() + m_at + read, data);
        m_at += read;
        return true;
    }
    void Close() override {}

private:
    SpanCase m_shape;
    Bytes& m_bytes;
    std::vector<std::size_t>& m_spans;
    std::size_t m_at = 0;
};

// The notifications of the same transfer one piece per call.
std::vector<std::string> PieceByPiece(std::size_t size, std::size_t piece)
{
    std::vector<std::string> events = {"0"};
    int posted = 0;
    for (std::size_t done = 0; done < size;)
    {
        done = std::min(done + piece, size);
        const int percent = FakeDevice::TransferPercent(done, size);
        if (percent != posted)
            events.push_back(std::to_string(posted = percent));
    }
    events.insert(events.end(), {"100", "finished"});
    return events;
}

// Each call ends on a piece (or the end), and is either the largest span or
// the one after which the next whole percentage is posted: one call per
// notification, wherever the device takes whole spans.
void ExpectSpansEndOnNotifications(const SpanCase& c, const std::vector<std::size_t>& spans)
{
    std::size_t done = 0;
    for (std::size_t span : spans)
    {
        const int before = FakeDevice::TransferPercent(done, c.size);
        EXPECT_LE(span, c.largest);
        EXPECT_TRUE(span % c.piece == 0 || done + span >= c.size) << "span " << span << " at " << done;
        done += span;
        EXPECT_TRUE(span == c.largest || FakeDevice::TransferPercent(done, c.size) != before)
            << "span " << span << " ends at " << done << " without a notification";
    }
    EXPECT_GE(done, c.size);
}

const SpanCase kSpanCases[] = {
    // The card: 10 KiB pieces, up to 4 MiB at once.
    {16u << 20, 10240, 4u << 20, SIZE_MAX},
    {25000, 10240, 4u << 20, SIZE_MAX},
    {3, 10240, 4u << 20, SIZE_MAX},
    {0, 10240, 4u << 20, SIZE_MAX},
    // A step of 1 % larger than the largest call: two calls per step.
    {1000000, 100, 5000, SIZE_MAX},
    {999999, 7, 1u << 20, SIZE_MAX},
    // The Remote API: one piece per call, as before.
    {100000, 10240, 10240, SIZE_MAX},
};

TEST(Transfer, WritesGoInOneCallPerNotificationWithThePiecesNotifications)
{
    for (const SpanCase& c : kSpanCases)
    {
        SCOPED_TRACE(std::to_string(c.size) + " in pieces of " + std::to_string(c.piece));
        FakeDevice device;
        EventLog log;
        device.SetEventHandler(&log);
        Bytes written;
        std::vector<std::size_t> spans;
        device.writer = [&] { return std::make_unique<SpanFile>(c, written, spans); };
        Bytes bytes(c.size);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<unsigned char>(i * 131 + i / 251);

        EXPECT_TRUE(device.MemoryToDevice(bytes, "/f.bin"));
        EXPECT_TRUE(written == bytes);
        EXPECT_EQ(log.events, PieceByPiece(c.size, c.piece));
        ExpectSpansEndOnNotifications(c, spans);
    }
}

TEST(Transfer, ReadsGoInOneCallPerNotificationWithThePiecesNotifications)
{
    for (const SpanCase& c : kSpanCases)
    {
        SCOPED_TRACE(std::to_string(c.size) + " in pieces of " + std::to_string(c.piece));
        FakeDevice device;
        EventLog log;
        device.SetEventHandler(&log);
        Bytes file(c.size);
        for (std::size_t i = 0; i < file.size(); ++i)
            file[i] = static_cast<unsigned char>(i * 7 + i / 509);
        std::vector<std::size_t> spans;
        device.reader = [&] { return std::make_unique<SpanFile>(c, file, spans); };
        // A vector that held more than the file, as a reused one may.
        Bytes vector(c.size + 100, 0xAB);

        EXPECT_TRUE(device.DeviceToMemory("/f.bin", vector));
        EXPECT_TRUE(vector == file);
        EXPECT_EQ(log.events, PieceByPiece(c.size, c.piece));
        ExpectSpansEndOnNotifications(c, spans);
    }
}

TEST(Transfer, ADeviceThatTakesLessThanItIsHandedGetsTheRestInLaterCalls)
{
    // Calls come short of the span, so the pieces no longer line up; the
    // bytes and one notice per whole percentage stay.
    const SpanCase c = {1000000, 10240, 4u << 20, 3001};
    Bytes bytes(c.size);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 13 + i / 1021);
    for (const bool writing : {true, false})
    {
        SCOPED_TRACE(writing ? "write" : "read");
        FakeDevice device;
        EventLog log;
        device.SetEventHandler(&log);
        Bytes file = writing ? Bytes() : bytes;
        Bytes vector;
        std::vector<std::size_t> spans;
        device.writer = [&] { return std::make_unique<SpanFile>(c, file, spans); };
        device.reader = [&] { return std::make_unique<SpanFile>(c, file, spans); };

        EXPECT_TRUE(writing ? device.MemoryToDevice(bytes, "/f.bin") : device.DeviceToMemory("/f.bin", vector));
        EXPECT_TRUE((writing ? file : vector) == bytes);
        ASSERT_GE(log.events.size(), 4u);
        std::vector<int> percents;
        for (std::size_t i = 0; i + 2 < log.events.size(); ++i)
            percents.push_back(std::stoi(log.events[i]));
        EXPECT_EQ(percents.front(), 0);
        EXPECT_EQ(percents.back(), 100);
        EXPECT_TRUE(std::adjacent_find(percents.begin(), percents.end(), std::greater_equal<int>()) == percents.end());
        EXPECT_EQ(log.events.back(), "finished");
    }
}
}

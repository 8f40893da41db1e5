// The exports of vdxrapi, called as the device's remote service calls them.
#include "devicelib/vdxrapi.h"
#include "devicesim/devicecore.h"
#include "devicesim/profile.h"
#include "devicesim/sharedlibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
typedef std::vector<unsigned char> Bytes;

devsim::DeviceCore& Core()
{
    return devsim::DeviceCore::Instance();
}

// The library, loaded once for all tests as the device would load it: by
// its path, as the DLL it is on Windows.
class Library
{
public:
    Library()
    {
        m_handle = devsim::OpenLibrary(PONTIRO_TEST_DEVICE_LIBRARY);
        if (!m_handle)
            return;
        auto attach = reinterpret_cast<VDXRAPI_ATTACH>(Symbol("CeAttachCoreLibrary"));
        m_attached = attach && attach(Core().Table());
    }
    ~Library() { devsim::CloseLibrary(m_handle); }
    bool Ready() const { return m_handle && m_attached; }
    VDXRAPI_FUNCTION Export(const char* name) const
    {
        return reinterpret_cast<VDXRAPI_FUNCTION>(Symbol(name));
    }

private:
    void* Symbol(const char* name) const { return devsim::LibrarySymbol(m_handle, name); }

    void* m_handle = nullptr;
    bool m_attached = false;
};

const Library& TheLibrary()
{
    static Library s_library;
    return s_library;
}

// One call of an export and what came of it.
struct Outcome
{
    LONG result = 0;
    bool hasReply = false;
    Bytes reply;
    DWORD replySize = 0;
    bool inputReleased = false;
};

enum Places
{
    BOTH_PLACES,
    NO_SIZE_PLACE,
    NO_REPLY_PLACE
};

class Vdxrapi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(TheLibrary().Ready()) << "cannot load " << PONTIRO_TEST_DEVICE_LIBRARY;
        Core().Reset();
        Profile("");
    }

    void TearDown() override
    {
        // Nothing the exports allocated is left, and nothing was released
        // twice or released that was not theirs.
        const devsim::CoreCounters counters = Core().Counters();
        EXPECT_EQ(0u, counters.live);
        EXPECT_EQ(0u, counters.badFrees);
        EXPECT_EQ(0u, counters.openVolumes);
    }

    static void Profile(const std::string& text)
    {
        const devsim::DeviceProfile profile = devsim::ParseProfile(text);
        ASSERT_TRUE(profile.problems.empty()) << profile.problems.front();
        Core().SetProfile(profile);
    }

    // Calls the export with a copy of input made as the remote service makes
    // it (LocalAlloc); none when input is null.
    static Outcome Call(const char* name, const Bytes* input, Places places = BOTH_PLACES,
                        DWORD inputSize = 0xFFFFFFFF)
    {
        BYTE* block = nullptr;
        if (input)
        {
            block = static_cast<BYTE*>(Core().LocalAlloc(0, static_cast<UINT>(input->size())));
            if (!input->empty())
                std::memcpy(block, input->data(), input->size());
        }
        const std::uint64_t serial = Core().Serial(block);
        if (inputSize == 0xFFFFFFFF)
            inputSize = input ? static_cast<DWORD>(input->size()) : 0;

        Outcome outcome;
        BYTE* reply = reinterpret_cast<BYTE*>(1);
        DWORD size = 77;
        Core().BeginCall();
        outcome.result = TheLibrary().Export(name)(inputSize, block,
                                                   places == NO_SIZE_PLACE ? nullptr : &size,
                                                   places == NO_REPLY_PLACE ? nullptr : &reply,
                                                   nullptr);
        outcome.inputReleased = !block || Core().Serial(block) != serial;
        if (!outcome.inputReleased)
            Core().LocalFree(block);
        if (places == BOTH_PLACES)
        {
            outcome.replySize = size;
            outcome.hasReply = reply != nullptr;
            if (reply)
            {
                EXPECT_TRUE(Core().IsLive(reply));
                outcome.reply.assign(reply, reply + size);
                Core().LocalFree(reply);
            }
        }
        return outcome;
    }

    static Bytes Text(const std::string& text)
    {
        Bytes bytes(text.begin(), text.end());
        bytes.push_back(0);
        return bytes;
    }

    static Bytes Wide(const std::u16string& text, bool terminated = true)
    {
        Bytes bytes;
        for (char16_t unit : text)
        {
            bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
            bytes.push_back(static_cast<unsigned char>(unit >> 8));
        }
        if (terminated)
            bytes.insert(bytes.end(), {0, 0});
        return bytes;
    }
};
}

TEST_F(Vdxrapi, DeviceIdIsUpperCaseHexOfBothParts)
{
    Profile("device_id_preset = 01 02 0A FF\ndevice_id_platform = 10 20\n");
    const Bytes none;
    const Outcome out = Call("VDXGetDeviceID", &none);
    EXPECT_EQ(0, out.result);
    EXPECT_EQ(Text("x01020AFF1020"), out.reply);
    EXPECT_EQ(14u, out.replySize);
    EXPECT_TRUE(out.inputReleased);
}

TEST_F(Vdxrapi, DeviceIdAnswers)
{
    struct Case
    {
        std::string profile;
        bool hasReply;
        std::string text;
    } const cases[] = {
        // Both offsets 0: success without a reply.
        {"", false, ""},
        // Only one part present.
        {"device_id_platform = AB\n", true, "xAB"},
        // The query fails: "00".
        {"device_id_error = 50\n", true, "x00"},
        // A record larger than the first buffer is asked for again; the text
        // is cut to its 512-byte buffer.
        {"device_id_preset = " + std::string(1200, 'C') + "\n", true, "x" + std::string(510, 'C')},
        // Offsets outside the record are not read: as a failed query.
        {"device_id_record = 14000000 00100000 04000000 00000000 00000000\n", true, "x00"},
        {"device_id_record = 16000000 14000000 04000000 00000000 00000000 0102\n", true, "x00"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.profile);
        Profile(c.profile);
        const Outcome out = Call("VDXGetDeviceID", nullptr);
        EXPECT_EQ(0, out.result);
        EXPECT_EQ(c.hasReply, out.hasReply);
        if (c.hasReply)
        {
            EXPECT_EQ(Text(c.text), out.reply);
            EXPECT_EQ(c.text.size() + 1, out.replySize);
        }
        else
        {
            EXPECT_EQ(0u, out.replySize);
        }
    }
}

TEST_F(Vdxrapi, CardIdFollowsTheIdentificationFlags)
{
    const std::string card = "card_folder = /Storage Card\ncard_manufacturer = SanD\n"
                             "card_serial = 0099\n";
    struct Case
    {
        std::string profile;
        bool hasReply;
    } const cases[] = {
        {card, true},
        {card + "card_flags = 2\n", false},
        {card + "card_flags = 1\n", false},
        {card + "card_flags = 2\noem_info = TR518\n", true},
        {card + "card_flags = 2\noem_info = TR5180\n", false},
        {card + "card_flags = 2\noem_info = tr518\n", false},
        // The driver that wants the record passed in too.
        {card + "card_query_first_fails = yes\n", true},
        {card + "no_oem_info = yes\n", true},
    };
    const Bytes folder = Wide(u"/Storage Card");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.profile);
        Profile(c.profile);
        const Outcome out = Call("VDXGetCardID", &folder);
        EXPECT_EQ(0, out.result);
        EXPECT_TRUE(out.inputReleased);
        EXPECT_EQ(c.hasReply, out.hasReply);
        if (c.hasReply)
        {
            EXPECT_EQ(Text("SanD0099"), out.reply);
        }
    }
}

TEST_F(Vdxrapi, CardIdInputAndRecordLimits)
{
    struct Case
    {
        std::string profile;
        Bytes input;
        LONG result;
        std::string reply;     // empty: none
    } const cases[] = {
        // No card at that folder.
        {"card_folder = /SD\ncard_manufacturer = M\n", Wide(u"/Other"), 0, ""},
        // Empty text, text without its terminator within the input.
        {"card_folder = /SD\n", Wide(u""), VDXRAPI_BAD_INPUT, ""},
        {"card_folder = /SD\n", Wide(u"/SD", false), VDXRAPI_BAD_INPUT, ""},
        // The longest folder the volume path holds, and one more.
        {"card_folder = /" + std::string(261, 'a') + "\ncard_manufacturer = M\n",
         Wide(u"/" + std::u16string(261, u'a')), 0, "M"},
        {"card_folder = /SD\n", Wide(u"/" + std::u16string(262, u'a')), VDXRAPI_BAD_INPUT, ""},
        // Texts longer than their 64-byte buffers are cut.
        {"card_folder = /SD\ncard_manufacturer = " + std::string(70, 'm') + "\ncard_serial = 12\n",
         Wide(u"/SD"), 0, std::string(63, 'm')},
        {"card_folder = /SD\ncard_manufacturer = " + std::string(60, 'm') + "\ncard_serial = 12345\n",
         Wide(u"/SD"), 0, std::string(60, 'm') + "123"},
        // A record that does not fit 144 bytes is not asked for again.
        {"card_folder = /SD\ncard_manufacturer = M\ncard_serial = " + std::string(200, '9') + "\n",
         Wide(u"/SD"), 0, ""},
        // Offsets pointing into the record's head or past its size.
        {"card_folder = /SD\ncard_record = 14000000 00000000 04000000 10000000 41420000\n",
         Wide(u"/SD"), 0, ""},
        {"card_folder = /SD\ncard_record = 14000000 00000000 10000000 40000000 41420000\n",
         Wide(u"/SD"), 0, ""},
        {"card_folder = /SD\ncard_record = 14000000 00000000 10000000 12000000 41420000\n",
         Wide(u"/SD"), 0, "AB"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.profile);
        Profile(c.profile);
        const Outcome out = Call("VDXGetCardID", &c.input);
        EXPECT_EQ(c.result, out.result);
        EXPECT_TRUE(out.inputReleased);
        EXPECT_EQ(!c.reply.empty(), out.hasReply);
        if (!c.reply.empty())
        {
            EXPECT_EQ(Text(c.reply), out.reply);
        }
    }
}

TEST_F(Vdxrapi, DiskSizeIsTheLow32BitsOfEach)
{
    Profile("disk_total = 6442450944\ndisk_free = 5368709121\n");
    const Bytes folder = Wide(u"/Storage Card");
    const Outcome out = Call("VDXGetDiskSize", &folder);
    EXPECT_EQ(0, out.result);
    EXPECT_TRUE(out.inputReleased);
    EXPECT_EQ((Bytes{0x00, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0x40}), out.reply);

    Profile("disk_error = 21\n");
    const Outcome failed = Call("VDXGetDiskSize", &folder);
    EXPECT_EQ(21, failed.result);
    EXPECT_FALSE(failed.hasReply);
    EXPECT_TRUE(failed.inputReleased);
}

TEST_F(Vdxrapi, MapTexts)
{
    Profile("map_extra = KELVO7070x\nmap_vender = V\n");
    const Bytes stray = {1, 2, 3};
    const Outcome extra = Call("VDXGetMapExtra", &stray);
    EXPECT_EQ(0, extra.result);
    EXPECT_EQ(Wide(u"KELVO7070x"), extra.reply);
    EXPECT_TRUE(extra.inputReleased);
    EXPECT_EQ(Wide(u"V"), Call("VDXGetMapVender", nullptr).reply);

    Profile("map_extra =\n");
    const Outcome empty = Call("VDXGetMapExtra", nullptr);
    EXPECT_EQ(0, empty.result);
    EXPECT_EQ(2u, empty.replySize);

    // A device that fills the whole buffer without a terminator.
    Profile("map_extra = " + std::string(64, 'Z') + "\n");
    EXPECT_EQ(Wide(std::u16string(63, u'Z')), Call("VDXGetMapExtra", nullptr).reply);

    Profile("vendor_codes = no\n");
    const Outcome unknown = Call("VDXGetMapExtra", &stray);
    EXPECT_EQ(VDXRAPI_NO_PLACE, unknown.result);
    EXPECT_FALSE(unknown.hasReply);
    EXPECT_TRUE(unknown.inputReleased);
}

TEST_F(Vdxrapi, FailedReplyAllocationWritesNoReply)
{
    const Bytes folder = Wide(u"/SD");
    struct Case
    {
        const char* name;
        const char* profile;
        const Bytes* input;
    } const cases[] = {
        {"VDXGetMapExtra", "map_extra = K\nalloc_fail = 1\n", nullptr},
        // The first allocation is the identity buffer, the second the reply.
        {"VDXGetDeviceID", "device_id_preset = 01\nalloc_fail = 2\n", nullptr},
        {"VDXGetCardID", "card_folder = /SD\ncard_manufacturer = M\nalloc_fail = 2\n", &folder},
        {"VDXGetCardID", "card_folder = /SD\ncard_manufacturer = M\nalloc_fail = 1\n", &folder},
        {"VDXGetDiskSize", "alloc_fail = 1\n", &folder},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.name) + " " + c.profile);
        Profile(c.profile);
        const Outcome out = Call(c.name, c.input);
        EXPECT_FALSE(out.hasReply);
        EXPECT_EQ(0u, out.replySize);
        EXPECT_TRUE(out.inputReleased);
        // A failed call, never a success without its reply.
        EXPECT_NE(0, out.result);
    }

    // Without the identity buffer the query counts as failed: "00".
    Profile("device_id_preset = 01\nalloc_fail = 1\n");
    const Outcome fallback = Call("VDXGetDeviceID", nullptr);
    EXPECT_EQ(0, fallback.result);
    EXPECT_EQ(Text("x00"), fallback.reply);
}

TEST_F(Vdxrapi, MissingPlacesAndInputs)
{
    const Bytes folder = Wide(u"/SD");
    for (const char* name : {"VDXGetDeviceID", "VDXGetCardID", "VDXGetDiskSize"})
    {
        SCOPED_TRACE(name);
        for (Places places : {NO_SIZE_PLACE, NO_REPLY_PLACE})
        {
            const Outcome out = Call(name, &folder, places);
            EXPECT_EQ(VDXRAPI_NO_PLACE, out.result);
            // Left alone: the caller still owns it.
            EXPECT_FALSE(out.inputReleased);
        }
    }
    for (const char* name : {"VDXGetMapExtra", "VDXGetMapVender"})
    {
        const Outcome out = Call(name, &folder, NO_REPLY_PLACE);
        EXPECT_EQ(VDXRAPI_NO_PLACE, out.result);
        EXPECT_TRUE(out.inputReleased);
    }
    EXPECT_EQ(VDXRAPI_NO_PLACE, Call("VDXGetCardID", nullptr).result);
    EXPECT_EQ(VDXRAPI_NO_PLACE, Call("VDXGetDiskSize", nullptr).result);
    const Bytes empty = Wide(u"");
    const Outcome refused = Call("VDXGetDiskSize", &empty);
    EXPECT_EQ(VDXRAPI_BAD_INPUT, refused.result);
    EXPECT_TRUE(refused.inputReleased);
}

TEST_F(Vdxrapi, StopApplication)
{
    Profile("windows = Explorer, KelvoNav\n");
    const Bytes nav = Wide(u"KelvoNav");
    const Outcome closed = Call("VDXStopApplication", &nav);
    EXPECT_EQ(0, closed.result);
    EXPECT_TRUE(closed.inputReleased);
    EXPECT_FALSE(closed.hasReply);
    EXPECT_NE(std::string::npos, Core().LogText().find("PostMessageW KelvoNav 16"));

    const Bytes other = Wide(u"Other");
    const Outcome none = Call("VDXStopApplication", &other);
    EXPECT_EQ(VDXRAPI_NO_WINDOW, none.result);
    EXPECT_TRUE(none.inputReleased);

    const Outcome sizeZero = Call("VDXStopApplication", &nav, BOTH_PLACES, 0);
    EXPECT_EQ(VDXRAPI_NO_PLACE, sizeZero.result);
    EXPECT_FALSE(sizeZero.inputReleased);
    EXPECT_EQ(VDXRAPI_NO_PLACE, Call("VDXStopApplication", nullptr).result);

    const Bytes unterminated = Wide(u"KelvoNav", false);
    const Outcome bad = Call("VDXStopApplication", &unterminated);
    EXPECT_EQ(VDXRAPI_BAD_INPUT, bad.result);
    EXPECT_TRUE(bad.inputReleased);
}

TEST_F(Vdxrapi, SoftResetWaitsThenRestarts)
{
    const Bytes stray = {9};
    const Outcome out = Call("VDXSoftReset", &stray);
    EXPECT_EQ(0, out.result);
    EXPECT_FALSE(out.hasReply);
    EXPECT_TRUE(out.inputReleased);
    const std::string log = Core().LogText();
    const auto sleep = log.find("Sleep 1000");
    ASSERT_NE(std::string::npos, sleep);
    EXPECT_NE(std::string::npos, log.find("KernelIoControl 0x0101003C", sleep));
}

TEST_F(Vdxrapi, ControlCodes)
{
    EXPECT_EQ(0x01010054u, static_cast<unsigned>(IOCTL_HAL_GET_DEVICEID));
    EXPECT_EQ(0x0101003Cu, static_cast<unsigned>(IOCTL_HAL_REBOOT));
    EXPECT_EQ(0x0101206Cu, static_cast<unsigned>(IOCTL_HAL_GET_MAP_VENDER));
    EXPECT_EQ(0x01012068u, static_cast<unsigned>(IOCTL_HAL_GET_MAP_EXTRA));
    EXPECT_EQ(0x00071C24u, static_cast<unsigned>(IOCTL_DISK_GET_STORAGEID));
}

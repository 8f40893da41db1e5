// The identity operations: deployment of the device-side library, the remote
// call into it, and the reply tests.
#include "simdevice.h"

#include "device/vdxrdevrapi.h"
#include "devicelib/devicelibraryimage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace
{
class RapiIdentity : public ::testing::Test
{
protected:
    void Connect(const std::string& profile)
    {
        sim.SetProfile(profile);
        ASSERT_TRUE(device.Connect());
    }

    // Every reply was released (with LocalFree: on Windows the system's,
    // watched in this program's imports) and nothing leaked on the device.
    void ExpectBalanced()
    {
        const DEVSIM_COUNTERS c = SimDevice::Counters();
        EXPECT_EQ(c.replies, c.replyFrees);
        EXPECT_EQ(0u, c.replyBadFrees);
        EXPECT_EQ(0u, c.deviceLive);
        EXPECT_EQ(0u, c.deviceBadFrees);
        EXPECT_EQ(0u, c.inputsLeft);
        // Inputs came from LocalAlloc, and the Remote API released them.
        EXPECT_EQ(0u, c.inputsForeign);
        EXPECT_EQ(0u, c.openHandles);
        EXPECT_EQ(0u, c.openVolumes);
    }

    SimDevice sim;
    VDXRDEVRAPI device;
};
}

TEST_F(RapiIdentity, MapExtraComesFromTheDeployedLibrary)
{
    Connect("map_extra = KELVO7070x\nmap_vender = Kelvo Maps\n");
    EXPECT_EQ(wxS("KELVO7070x"), device.GetMapExtra());
    EXPECT_EQ(0, device.GetErrorCode());
    EXPECT_EQ(wxS("Kelvo Maps"), device.GetMapVender());
    // The file on the device is the image the program carries.
    const Bytes deployed = sim.GetFile("/windows/vdxrapi.dll");
    ASSERT_EQ(g_deviceLibraryImageSize, deployed.size());
    EXPECT_TRUE(std::equal(deployed.begin(), deployed.end(), g_deviceLibraryImage));
    EXPECT_EQ(2u, SimDevice::Counters().exportCalls);
    EXPECT_EQ(2u, SimDevice::Counters().replyFrees);
    ExpectBalanced();
}

TEST_F(RapiIdentity, EmptyMapExtraIsAnEmptyTextWithAClearedRecord)
{
    Connect("map_extra =\n");
    EXPECT_TRUE(device.GetMapExtra().empty());
    EXPECT_EQ(0, device.GetErrorCode());
    ExpectBalanced();
}

TEST_F(RapiIdentity, LongMapTextsAreCutToTheReplyBuffer)
{
    Connect("map_extra = " + std::string(100, 'K') + "\n");
    EXPECT_EQ(wxString(63, 'K'), device.GetMapExtra());
    ExpectBalanced();
}

TEST_F(RapiIdentity, DeviceWithoutTheVendorCodesFailsTheCall)
{
    Connect("vendor_codes = no\n");
    EXPECT_TRUE(device.GetMapExtra().empty());
    EXPECT_EQ(DEVICE_ERR_INVOKE, device.GetErrorCode());
    EXPECT_EQ(-1, device.GetSystemError());
    EXPECT_TRUE(device.GetMapVender().empty());
    EXPECT_EQ(DEVICE_ERR_INVOKE, device.GetErrorCode());
    ExpectBalanced();
}

TEST_F(RapiIdentity, DeviceIdIsTheHexadecimalIdentity)
{
    Connect("device_id_preset = 01 02 0A FF\ndevice_id_platform = 10 20\n");
    EXPECT_EQ(wxS("x01020AFF1020"), device.GetDeviceID());
    EXPECT_EQ(0, device.GetErrorCode());
    ExpectBalanced();
}

TEST_F(RapiIdentity, CardIdOfTheMountedCard)
{
    Connect("card_folder = /Storage Card\ncard_manufacturer = SD-M\ncard_serial = 0042\n");
    EXPECT_EQ(wxS("SD-M0042"), device.GetCardID(wxS("/Storage Card")));
    EXPECT_EQ(0, device.GetErrorCode());
    EXPECT_TRUE(device.GetCardID(wxS("/Other Card")).empty());
    EXPECT_EQ(DEVICE_ERR_REPLY, device.GetErrorCode());
    EXPECT_EQ(2u, SimDevice::Counters().inputsReleased);
    ExpectBalanced();
}

TEST_F(RapiIdentity, UnusableRepliesAreRefused)
{
    struct Case
    {
        const char* profile;
        std::function<wxString(VDXRDEVRAPI&)> call;
    } const cases[] = {
        // Three characters and two zero bytes.
        {"reply = 61 62 63 00 00\n", [](VDXRDEVRAPI& d) { return d.GetDeviceID(); }},
        {"device_id_preset = 0102\nreply_fault = unterminated\n",
         [](VDXRDEVRAPI& d) { return d.GetDeviceID(); }},
        {"device_id_preset = 0102\nreply_fault = inner-zero\n",
         [](VDXRDEVRAPI& d) { return d.GetDeviceID(); }},
        {"device_id_preset = 0102\nreply_fault = empty\n",
         [](VDXRDEVRAPI& d) { return d.GetDeviceID(); }},
        // Both identity offsets 0: the export answers with no reply.
        {"", [](VDXRDEVRAPI& d) { return d.GetDeviceID(); }},
        {"map_extra = KELVO\nreply_fault = empty\n",
         [](VDXRDEVRAPI& d) { return d.GetMapExtra(); }},
        {"card_folder = /SD\ncard_manufacturer = M\ncard_serial = 1\nreply_fault = inner-zero\n",
         [](VDXRDEVRAPI& d) { return d.GetCardID(wxS("/SD")); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.profile);
        sim.SetProfile(c.profile);
        ASSERT_TRUE(device.Connect());
        EXPECT_TRUE(c.call(device).empty());
        EXPECT_EQ(DEVICE_ERR_REPLY, device.GetErrorCode());
        EXPECT_TRUE(device.GetErrorText().empty());
        ExpectBalanced();
    }
}

TEST_F(RapiIdentity, WideReplyWithoutTerminatorReadsToItsEnd)
{
    Connect("reply = 4B 00 45 00 4C 00\n");
    EXPECT_EQ(wxS("KEL"), device.GetMapExtra());
    EXPECT_EQ(0, device.GetErrorCode());
}

TEST_F(RapiIdentity, RefusedLibraryFileMeansNoRemoteCall)
{
    Connect("map_extra = KELVO\nrefuse_create = /windows/vdxrapi.dll\nrefuse_error = 5\n");
    EXPECT_TRUE(device.GetMapExtra().empty());
    EXPECT_EQ(DEVICE_ERR_OPEN, device.GetErrorCode());
    EXPECT_EQ(wxS(">/windows/vdxrapi.dll"), device.GetErrorText());
    EXPECT_EQ(5, device.GetSystemError());
    EXPECT_EQ(0u, SimDevice::Counters().invokes);
    ExpectBalanced();
}

TEST_F(RapiIdentity, FailedLibraryWriteLeavesNoFileAndMakesNoCall)
{
    Connect("map_extra = KELVO\nwrite_fault_path = /windows/vdxrapi.dll\n"
            "write_fail_after = 0\nwrite_error = 112\n");
    EXPECT_TRUE(device.GetDeviceID().empty());
    EXPECT_EQ(DEVICE_ERR_WRITE, device.GetErrorCode());
    EXPECT_EQ(wxS(">/windows/vdxrapi.dll"), device.GetErrorText());
    EXPECT_EQ(112, device.GetSystemError());
    EXPECT_FALSE(sim.Has("/windows/vdxrapi.dll"));
    EXPECT_EQ(0u, SimDevice::Counters().invokes);
}

TEST_F(RapiIdentity, FailedRemoteCallKeepsTheDeviceError)
{
    Connect("invoke_result = 1157\n");
    EXPECT_TRUE(device.GetMapExtra().empty());
    EXPECT_EQ(DEVICE_ERR_INVOKE, device.GetErrorCode());
    EXPECT_EQ(1157, device.GetSystemError());
}

TEST_F(RapiIdentity, DeploymentPostsTheTransferNotifications)
{
    Connect("map_extra = KELVO\n");
    EventLog log;
    device.SetEventHandler(&log);
    device.GetMapExtra();
    device.SetEventHandler(nullptr);
    ASSERT_GE(log.events.size(), 4u);
    EXPECT_EQ("started", log.events.front());
    EXPECT_EQ("finished", log.events.back());
}

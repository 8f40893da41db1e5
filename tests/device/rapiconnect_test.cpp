// Loading and binding the provider, and the connection attempt.
#include "simdevice.h"

#include "device/rapibinding.h"
#include "device/vdxrdevrapi.h"

#include <wx/utils.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

TEST(RapiConnect, ConnectsAndDisconnects)
{
    SimDevice sim;
    VDXRDEVRAPI device;
    EXPECT_EQ(TRANSPORT_ACTIVESYNC, device.GetTransport());
    ASSERT_TRUE(device.Connect());
    EXPECT_TRUE(device.IsConnected());
    EXPECT_EQ(0, device.GetErrorCode());
    EXPECT_TRUE(device.Disconnect());
    EXPECT_FALSE(device.IsConnected());
    EXPECT_EQ(1u, SimDevice::Counters().inits);
    EXPECT_EQ(1u, SimDevice::Counters().uninits);
}

TEST(RapiConnect, MissingProviderIsReportedByNameAndTriedAgain)
{
    SimDevice sim;
    const std::string missing = sim.Root() + "/no-such-provider.so";
    SimDevice::UseProvider(missing);
    VDXRDEVRAPI device;
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        EXPECT_FALSE(device.Connect());
        EXPECT_EQ(DEVICE_ERR_NO_RAPI, device.GetErrorCode());
        EXPECT_EQ(SimDevice::ProviderName(missing), device.GetErrorText());
        EXPECT_EQ(0, device.GetSystemError());
    }
    // Installed later: the next attempt loads it.
    SimDevice::UseProvider(kSimProvider);
    EXPECT_TRUE(device.Connect());
    EXPECT_EQ(0, device.GetErrorCode());
}

TEST(RapiConnect, WithoutTheVariableTheUsualLibraryNameIsTried)
{
    SimDevice sim;
#ifdef _WIN32
    // There it is always rapi.dll by name; the variable has no say.
    const wxString usual = wxS("rapi.dll");
    const wxString named = usual;
#else
    const wxString usual = wxS("librapi.so");
    const wxString named = wxS("/opt/x/librapi-other.so");
#endif
    wxUnsetEnv(wxS("PONTIRO_RAPI_LIBRARY"));
    EXPECT_EQ(usual, RapiLibraryName());
    wxSetEnv(wxS("PONTIRO_RAPI_LIBRARY"), wxString());
    EXPECT_EQ(usual, RapiLibraryName());
    wxSetEnv(wxS("PONTIRO_RAPI_LIBRARY"), wxS("/opt/x/librapi-other.so"));
    EXPECT_EQ(named, RapiLibraryName());
}

TEST(RapiConnect, ProviderLackingOneEntryPointIsRefusedAndUnloaded)
{
    SimDevice sim;
    SimDevice::UseProvider(kSimPartialProvider);
    VDXRDEVRAPI device;
    EXPECT_FALSE(device.Connect());
    EXPECT_EQ(DEVICE_ERR_RAPI_ENTRY, device.GetErrorCode());
    EXPECT_TRUE(device.GetErrorText().empty());
    EXPECT_EQ(0u, SimDevice::Counters().inits);
    // Unloaded: the next attempt loads whatever is named now.
    SimDevice::UseProvider(kSimProvider);
    EXPECT_TRUE(device.Connect());
}

TEST(RapiConnect, LinkThatComesUpLateFailsOneAttemptAndNotTheNext)
{
    SimDevice sim;
    sim.SetProfile("link_delay_ms = 150\n");
    VDXRDEVRAPI device;
    const auto start = std::chrono::steady_clock::now();
    const bool first = device.Connect();
    // Only a machine that stalled this thread past the link's time could
    // see the link in the first attempt.
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(150))
    {
        EXPECT_FALSE(first);
        EXPECT_FALSE(device.IsConnected());
        EXPECT_EQ(0, device.GetErrorCode());
        // The initialisation stays pending for the next attempt.
        EXPECT_EQ(0u, SimDevice::Counters().uninits);
    }
    // The caller tries again; by the end of this wait the link is up.
    EXPECT_TRUE(device.Connect());
    EXPECT_EQ(1u, SimDevice::Counters().inits);
    EXPECT_EQ(0u, SimDevice::Counters().uninits);
}

// As the connecting thread does it: an attempt every 300 ms. A link that
// needs longer than one attempt's wait comes up only if the attempts keep
// one initialisation pending.
TEST(RapiConnect, SlowLinkComesUpUnderOnePendingInitialisation)
{
    SimDevice sim;
    sim.SetProfile("link_delay_ms = 250\n");
    {
        VDXRDEVRAPI device;
        int attempts = 0;
        while (attempts < 10 && !device.Connect())
        {
            ++attempts;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        EXPECT_TRUE(device.IsConnected());
        EXPECT_EQ(1u, SimDevice::Counters().inits);
        EXPECT_EQ(0u, SimDevice::Counters().uninits);
        EXPECT_TRUE(device.Exists(wxS("/windows")));
    }
    // The device's end ends the connection.
    EXPECT_EQ(1u, SimDevice::Counters().uninits);
}

TEST(RapiConnect, RefusedInitialisationsFailWithTheRecordCleared)
{
    struct Case
    {
        const char* profile;
        bool pending;   // the initialisation outlives the attempt
    } const cases[] = {
        {"init_result = -2147467259\n", false},    // E_FAIL
        {"init_result = 1\n", false},              // a positive result
        {"link_result = -2147467259\n", false},    // the link failed
        {"link_delay_ms = never\n", true},         // no link within the wait
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.profile);
        SimDevice sim;
        sim.SetProfile(c.profile);
        {
            VDXRDEVRAPI device;
            EXPECT_FALSE(device.Connect());
            EXPECT_FALSE(device.IsConnected());
            EXPECT_EQ(0, device.GetErrorCode());
            EXPECT_EQ(c.pending ? 0u : 1u, SimDevice::Counters().uninits);
            if (c.pending)
            {
                EXPECT_FALSE(device.Connect());
                EXPECT_EQ(1u, SimDevice::Counters().inits);
            }
        }
        // Every initialisation that did not connect is ended, at the latest
        // when the connection is given up.
        EXPECT_EQ(1u, SimDevice::Counters().uninits);
    }
}

TEST(RapiConnect, ConnectingAgainEndsTheConnectionBefore)
{
    SimDevice sim;
    VDXRDEVRAPI device;
    ASSERT_TRUE(device.Connect());
    ASSERT_TRUE(device.Connect());
    EXPECT_EQ(2u, SimDevice::Counters().inits);
    EXPECT_EQ(1u, SimDevice::Counters().uninits);
    EXPECT_TRUE(device.Disconnect());
    EXPECT_EQ(2u, SimDevice::Counters().uninits);
}

TEST(RapiConnect, OperationsWithoutAProviderFailInsteadOfCrashing)
{
    SimDevice sim;
    VDXRDEVRAPI device;
    ByteVector bytes(10, 1);
    EXPECT_FALSE(device.Exists(wxS("/windows")));
    EXPECT_EQ(DEVICE_ERR_RAPI_ENTRY, device.GetErrorCode());
    EXPECT_FALSE(device.WriteFromMemory(bytes, wxS("/x")));
    EXPECT_FALSE(device.ReadToMemory(wxS("/x"), bytes));
    EXPECT_TRUE(device.GetMapExtra().empty());
    wxArrayString names;
    EXPECT_FALSE(device.ListDirs(wxS("/"), names));
    EXPECT_FALSE(device.FileExists(wxS("/x")));
}

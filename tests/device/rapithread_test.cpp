// The device as the program uses it: connected and recognised on one worker
// thread, then written to from another, notifications going to a handler
// that the main thread reads afterwards.
#include "simdevice.h"

#include "device/vdxrdevrapi.h"

#include <gtest/gtest.h>

#include <thread>

TEST(RapiThreads, ConnectingThreadThenUploadThread)
{
    SimDevice sim;
    sim.SetProfile("link_delay_ms = 50\nmap_extra = KELVO7070x\n");
    sim.MakeFolder("/Kelvo");
    sim.PutFile("/Kelvo/license.db", Bytes(4, 1));
    VDXRDEVRAPI device;
    EventLog log;

    wxString mapExtra;
    bool found = false;
    std::thread connecting([&] {
        for (int attempt = 0; attempt < 20 && !device.Connect(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        mapExtra = device.GetMapExtra();
        found = device.FileExists(wxS("/Kelvo/license.db"));
    });
    connecting.join();
    EXPECT_TRUE(device.IsConnected());
    EXPECT_EQ(wxS("KELVO7070x"), mapExtra);
    EXPECT_TRUE(found);

    const Bytes content = Pattern(25000, 8);
    bool written = false;
    std::thread uploading([&] {
        device.SetEventHandler(&log);
        written = device.CreatePath(wxS("/Kelvo/Cameras"), 1)
                  && device.WriteFromMemory(content, wxS("/Kelvo/Cameras/cams.bin"));
        device.SetEventHandler(nullptr);
    });
    uploading.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(content, sim.GetFile("/Kelvo/Cameras/cams.bin"));
    ASSERT_FALSE(log.events.empty());
    EXPECT_EQ("finished", log.events.back());
    EXPECT_TRUE(device.Disconnect());
}

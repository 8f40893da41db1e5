// Closing the window in the middle of a run: it must not wait for a stalled
// transfer, leave a thread on freed objects, or leave a half-written file.
// Runs under ThreadSanitizer too.
#include "tests/e2e/e2eworld.h"

#include "app/frame.h"

#include <chrono>
#include <string>

namespace
{

const std::string kNav = "/SDMMC Card/Kelvo";

class CloseMidRun : public E2EWorld
{
protected:
    // Starts a run with both contents and waits for `step` in the events.
    void RunUntilStep(const std::string& step)
    {
        OpenAndConnect();
        ASSERT_EQ(m_driver->PageState(), PAGE_CONNECTING) << m_driver->Title();
        m_driver->ClickNext();
        m_driver->SetContent(true, true);
        m_driver->SetLogin(wxString::FromUTF8(kEmail), wxString::FromUTF8(kPassword));
        m_driver->ClickNext();
        ASSERT_TRUE(m_driver->RunUntil(
            [&] { return m_driver->Steps().find(step) != std::string::npos || m_driver->PageState() != PAGE_UPDATING; },
            60))
            << m_driver->Steps();
        ASSERT_EQ(m_driver->PageState(), PAGE_UPDATING) << m_driver->Title();
    }

    // Seconds from the close until the window is gone.
    double CloseAndWait(bool cancelButton)
    {
        const auto start = std::chrono::steady_clock::now();
        if (cancelButton)
            m_driver->ClickCancel();
        else
            m_driver->CloseWindow();
        EXPECT_TRUE(m_driver->RunUntil([this] { return !m_driver->IsOpen(); }, 30));
        m_driver->Pump(0.2);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(CloseMidRun, CancelDuringAStalledDownload)
{
    m_options.faults["radars"] = {StandInFault::Stall, 30000};
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO");
    RunUntilStep("db3");
    // Let the transfer stall with part of the body in hand.
    m_driver->Pump(0.3);
    EXPECT_LT(CloseAndWait(true), 5.0);
    // Nothing of the run reached the device.
    EXPECT_FALSE(PathExists(m_device + kNav + "/Contacts"));
    EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams"));
}

// The server takes the request and never answers, not even with a head.
// The close comes from the Cancel button (true) or the close box (false).
class CloseDuringAHeadStall : public CloseMidRun, public ::testing::WithParamInterface<bool>
{
};

TEST_P(CloseDuringAHeadStall, EndsAtOnceWithNothingWritten)
{
    m_options.faults["radars"] = {StandInFault::Silent, 0};
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO");
    RunUntilStep("db3");
    // The speed camera request is with the silent server.
    ASSERT_TRUE(m_driver->RunUntil([this] { return m_service->Requests().size() >= 2; }, 30));
    m_driver->Pump(0.3);
    ASSERT_EQ(m_driver->PageState(), PAGE_UPDATING) << m_driver->Title();
    EXPECT_LT(CloseAndWait(GetParam()), 5.0);
    EXPECT_FALSE(PathExists(m_device + kNav + "/Contacts"));
    EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams"));
}

INSTANTIATE_TEST_SUITE_P(CancelOrCloseBox, CloseDuringAHeadStall, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "CancelButton" : "CloseBox");
                         });

TEST_F(CloseMidRun, CloseBoxDuringASlowDownload)
{
    m_options.faults["radarsv2"] = {StandInFault::Slow, 20};
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO");
    RunUntilStep("db4");
    m_driver->Pump(0.2);
    EXPECT_LT(CloseAndWait(false), 5.0);
    EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams"));
}

TEST_F(CloseMidRun, CancelDuringTheUpload)
{
    // Large enough that the upload is still writing when Cancel comes.
    SetContent("radars", std::string(24 << 20, 'u'));
    StartService();
    WriteConfiguration();
    PrepareDockedDevice("map_extra = KELVO");
    WriteFile(m_device + kNav + "/Speedcams/speedcams.txt", "previous\n");
    RunUntilStep("ub3");
    CloseAndWait(true);
    // The file being written was finished; none after it was begun.
    const std::string written = ReadFile(m_device + kNav + "/Speedcams/speedcams.txt");
    EXPECT_TRUE(written == Content("radars") || written == "previous\n") << written.size();
    EXPECT_FALSE(PathExists(m_device + kNav + "/Speedcams/speedcams_mobile.txt"));
}

} // namespace

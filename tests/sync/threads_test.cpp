// The three worker threads against the stand-in web service and a card
// folder, with an event sink in place of the window; and a download through
// the proxy the system setting names.
#include "sync/connectingthread.h"
#include "sync/downloadingthread.h"
#include "sync/navfolder.h"
#include "sync/serverprotocol.h"
#include "sync/syncdefs.h"
#include "sync/syncevents.h"
#include "sync/uploadingthread.h"

#include "device/devicedefs.h"
#include "device/vdxrdevcard.h"
#include "http/httpbuilder.h"
#include "loopback/loopbacksocket.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/files.h"
#include "tests/support/licensefile.h"
#include "tests/support/scratchfolder.h"
#include "webservice/standinservice.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/socket.h>
#include <wx/utils.h>
#ifdef __WINDOWS__
#include <wx/msw/registry.h>
#endif

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

class WxEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_wx.reset(new wxInitializer);
        wxSocketBase::Initialize();
    }
    void TearDown() override
    {
        wxSocketBase::Shutdown();
        m_wx.reset();
    }

private:
    std::unique_ptr<wxInitializer> m_wx;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new WxEnvironment);

// Stands in for the window: records the events as "b2", "e2", ... and "c".
class EventSink : public wxEvtHandler
{
public:
    EventSink()
    {
        for (wxEventType type : {EVT_DOWNLOADING, EVT_UPLOADING, EVT_CONNECTING})
            Bind(wxEventTypeTag<wxThreadEvent>(type), &EventSink::OnStep, this);
    }
    std::string Log()
    {
        // One event per call, as in the application's idle handling.
        // The application's list holds the handlers that have events (a
        // handler's own call with an empty queue would keep its lock).
        wxAppConsole* app = wxAppConsole::GetInstance();
        while (app && app->HasPendingEvents())
            app->ProcessPendingEvents();
        return m_log;
    }

private:
    void OnStep(wxThreadEvent& event)
    {
        if (!m_log.empty())
            m_log += ' ';
        const int id = event.GetId();
        if (id == ID_CONNECT_DONE)
            m_log += "c";
        else
            m_log += (id == ID_DOWNLOAD_STEP_BEGIN || id == ID_UPLOAD_STEP_BEGIN ? "b" : "e") +
                     std::to_string(event.GetInt());
    }
    std::string m_log;
};

// Runs a job thread to its end with the sink as its window; the events it
// posted, in order.
template <class Thread>
std::string RunToEnd(Thread& thread, EventSink& sink)
{
    thread.SetFrame(&sink);
    EXPECT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
    thread.Wait();
    return sink.Log();
}

#ifdef __WINDOWS__
// The file the test's wrapper (wine-card.sh) puts on the card drive: only a
// drive that holds it is emptied for a test.
const char kCardMarker[] = "pontiro-scratch-card";

wxString CardDrive()
{
    wxString letter;
    if (!wxGetEnv(wxS("PONTIRO_CARD_DRIVE"), &letter) || letter.length() != 1)
        return wxString();
    const wxString drive = letter + wxS(":");
    return wxFileExists(drive + wxS("/") + kCardMarker) ? drive : wxString();
}
#endif

// The memory card of the upload and connection tests, empty at the start.
// A scratch folder on POSIX; on Windows a drive, as in the program: the one
// PONTIRO_CARD_DRIVE names, which the wrapper maps onto a fresh folder.
class Card : public ScratchFolder
{
public:
#ifdef __WINDOWS__
    Card() : ScratchFolder(CardDrive())
    {
        wxArrayString names;
        wxDir dir;
        wxString name;
        if (!Path().empty() && dir.Open(Path() + wxS("/")))
            for (bool more = dir.GetFirst(&name, wxEmptyString, wxDIR_FILES | wxDIR_DIRS | wxDIR_HIDDEN); more;
                 more = dir.GetNext(&name))
                names.push_back(name);
        for (const wxString& entry : names)
        {
            const wxString full = Path() + wxS("/") + entry;
            if (entry == kCardMarker)
                continue;
            if (wxDirExists(full))
                wxFileName::Rmdir(full, wxPATH_RMDIR_RECURSIVE);
            else
                wxRemoveFile(full);
        }
    }
    wxChar DeviceRoot() const { return Path().empty() ? wxChar('?') : static_cast<wxChar>(Path()[0]); }
#else
    wxString DeviceRoot() const { return Path(); }
#endif
};

std::string Text(const ByteVector& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

ByteVector Bytes(const std::string& text)
{
    return ByteVector(text.begin(), text.end());
}

// --- download ---------------------------------------------------------------

class DownloadTest : public ::testing::Test
{
protected:
    DownloadTest() { SetUpContent(); }

    void SetUpContent()
    {
        m_content.Write("addressbook", "BEGIN:VCARD demo");
        m_content.Write("radars", std::string(25000, 'r'));
        m_content.Write("radarsv2", std::string(10240, '2'));
        m_content.Write("radarsv3", "v3");
        m_options.contentDir = m_content.Utf8Path();
        m_options.email = "demo@example.com";
        m_options.password = "secret";
    }

    bool StartService()
    {
        m_service.reset(new StandInService(m_options));
        return m_service->Start();
    }
    wxString Url(const wxString& path) const
    {
        return ComposeRequestUrl(wxString::Format(wxT("127.0.0.1:%u"), m_service->Port()),
                                 wxT("/pnd/request"), path);
    }
    // Runs the thread to its end; the buffers keep what it fetched.
    std::string Run(DOWNLOADINGTHREAD& thread)
    {
        return RunToEnd(thread, m_sink);
    }

    ScratchFolder m_content;
    StandInService::Options m_options;
    std::unique_ptr<StandInService> m_service;
    wxHTTPBuilder m_builder;
    EventSink m_sink;
    ByteVector m_buffers[3];
};

TEST_F(DownloadTest, AllThreeSlotsInOrder)
{
    ASSERT_TRUE(StartService());
    DOWNLOADINGTHREAD thread(&m_builder);
    thread.SetJob1(Url(AddressBookPath(wxT("demo@example.com"), wxT("secret"))), &m_buffers[0]);
    thread.SetJob2(Url(SpeedCamPath(DEVICE_KIND_OSELAN)), &m_buffers[1]);
    thread.SetJob3(Url(SecondSpeedCamPath()), &m_buffers[2]);
    EXPECT_EQ(Run(thread), "b2 e2 b3 e3 b4 e4 e5");
    EXPECT_TRUE(thread.IsDone());
    EXPECT_EQ(thread.GetError(), DOWNLOAD_ERR_NONE);
    EXPECT_EQ(Text(m_buffers[0]), "BEGIN:VCARD demo");
    EXPECT_EQ(m_buffers[1].size(), 25000u);
    EXPECT_EQ(m_buffers[2].size(), 10240u); // exactly one read's worth

    const auto requests = m_service->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].uri, "/BtoB/PND/session?email=demo@example.com&password=secret");
    EXPECT_EQ(requests[1].uri, "/BtoB/PND/radars");
    EXPECT_EQ(requests[2].uri, "/BtoB/PND/radarsv2");
    EXPECT_EQ(requests[0].headers.at("user-agent"), "Pontiro 1.2");
}

TEST_F(DownloadTest, RefusedLoginStopsTheRun)
{
    ASSERT_TRUE(StartService());
    DOWNLOADINGTHREAD thread(&m_builder);
    thread.SetJob1(Url(AddressBookPath(wxT("demo@example.com"), wxT("wrong"))), &m_buffers[0]);
    thread.SetJob2(Url(SpeedCamPath(DEVICE_KIND_OSELAN)), &m_buffers[1]);
    EXPECT_EQ(Run(thread), "b2 e6");
    EXPECT_FALSE(thread.IsDone());
    EXPECT_EQ(thread.GetError(), DOWNLOAD_ERR_LOGIN);
    EXPECT_EQ(m_service->Requests().size(), 1u);
}

TEST_F(DownloadTest, LoginMarkerPastTheWindowIsContent)
{
    m_content.Write("addressbook", std::string(600, ' ') + "<Error>");
    ASSERT_TRUE(StartService());
    DOWNLOADINGTHREAD thread(&m_builder);
    thread.SetJob1(Url(AddressBookPath(wxT("demo@example.com"), wxT("secret"))), &m_buffers[0]);
    EXPECT_EQ(Run(thread), "b2 e2 e5");
}

TEST_F(DownloadTest, ServerMisbehaviourByErrorCode)
{
    struct Case
    {
        const char* fault;
        int error; // DOWNLOAD_ERR_NONE: the content arrives whole
    };
    const Case cases[] = {
        {"status:404", DOWNLOAD_ERR_NO_RESPONSE}, {"status:500", DOWNLOAD_ERR_NO_RESPONSE},
        {"status:204", DOWNLOAD_ERR_HTTP},        {"nolocation", DOWNLOAD_ERR_HTTP},
        {"redirects:10", DOWNLOAD_ERR_NONE},      {"redirects:11", DOWNLOAD_ERR_HTTP},
        {"cut:20000", DOWNLOAD_ERR_NO_RESPONSE},  {"reset", DOWNLOAD_ERR_NO_RESPONSE},
        // A body announced past the memory limit is refused before it is read.
        {"length:513", DOWNLOAD_ERR_HTTP},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.fault);
        m_options.faults.clear();
        ASSERT_TRUE(StandInService::ParseFault(c.fault, m_options.faults["radars"]));
        ASSERT_TRUE(StartService());
        EventSink sink;
        wxHTTPBuilder builder;
        ByteVector buffer = Bytes("old");
        DOWNLOADINGTHREAD thread(&builder);
        thread.SetJob2(Url(SpeedCamPath(DEVICE_KIND_OSELAN)), &buffer);
        thread.SetJob3(Url(SecondSpeedCamPath()), &m_buffers[2]);
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        thread.Wait();
        EXPECT_EQ(thread.GetError(), c.error);
        if (c.error == DOWNLOAD_ERR_NONE)
        {
            EXPECT_EQ(sink.Log(), "b3 e3 b4 e4 e5");
            EXPECT_EQ(buffer.size(), 25000u);
        }
        else
        {
            EXPECT_EQ(sink.Log(), "b3 e6");
            // A cut body is never taken for the content.
            EXPECT_NE(buffer.size(), 20000u);
        }
        m_service->Stop();
    }
}

// An empty speed-camera answer fails the run; an empty address book does
// not (the upload then leaves the device's own in place).
TEST_F(DownloadTest, EmptyAnswers)
{
    const struct
    {
        const char* item;
        const char* log;
        int error;
    } cases[] = {
        {"radars", "b2 e2 b3 e6", DOWNLOAD_ERR_HTTP},
        {"radarsv2", "b2 e2 b3 e3 b4 e6", DOWNLOAD_ERR_HTTP},
        {"addressbook", "b2 e2 b3 e3 b4 e4 e5", DOWNLOAD_ERR_NONE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.item);
        SetUpContent();
        m_content.Write(c.item, "");
        ASSERT_TRUE(StartService());
        EventSink sink;
        wxHTTPBuilder builder;
        ByteVector buffers[3];
        DOWNLOADINGTHREAD thread(&builder);
        thread.SetJob1(Url(AddressBookPath(wxT("demo@example.com"), wxT("secret"))), &buffers[0]);
        thread.SetJob2(Url(SpeedCamPath(DEVICE_KIND_OSELAN)), &buffers[1]);
        thread.SetJob3(Url(SecondSpeedCamPath()), &buffers[2]);
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        thread.Wait();
        EXPECT_EQ(sink.Log(), c.log);
        EXPECT_EQ(thread.GetError(), c.error);
        EXPECT_EQ(thread.IsDone(), c.error == DOWNLOAD_ERR_NONE);
        m_service->Stop();
    }
}

// The body is read in pieces as large as the buffer's room allows: with a
// length or up to the close, whatever the size against the chunk and the
// piece, every byte lands in its place and nothing more.
TEST(DownloadBody, WholeAtAnySize)
{
    const std::size_t kChunk = kTransferChunk;
    const std::size_t kPiece = 256 * 1024;
    const std::size_t sizes[] = {1,          kChunk - 1,         kChunk,    kChunk + 1,
                                 kPiece - 1, kPiece,             kPiece + 1, kPiece + kChunk,
                                 3 * kPiece, (1u << 20) + 7};
    ScriptedServer server;
    const wxString url = wxString::Format(wxT("http://127.0.0.1:%d/body"), server.Port());
    for (const bool withLength : {true, false})
    {
        for (const std::size_t size : sizes)
        {
            SCOPED_TRACE(testing::Message() << size << (withLength ? " bytes with a length" : " bytes to the close"));
            std::string body(size, '\0');
            for (std::size_t i = 0; i < size; ++i)
                body[i] = static_cast<char>(i * 131 + i / 4093);
            std::string head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream";
            if (withLength)
                head += "\r\nContent-Length: " + std::to_string(size);
            server.Queue(ScriptedServer::Response(head, body));

            wxHTTPBuilder builder;
            EventSink sink;
            ByteVector buffer = Bytes("old");
            DOWNLOADINGTHREAD thread(&builder);
            thread.SetJob2(url, &buffer);
            thread.SetFrame(&sink);
            ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
            thread.Wait();
            EXPECT_EQ(sink.Log(), "b3 e3 e5");
            ASSERT_EQ(buffer.size(), size);
            EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), body.begin(),
                                   [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); }));
        }
    }
}

TEST_F(DownloadTest, NoServerIsNoResponse)
{
    const int port = loopback::UnusedPort();
    ASSERT_NE(port, 0);
    DOWNLOADINGTHREAD thread(&m_builder);
    thread.SetJob2(ComposeRequestUrl(wxString::Format(wxT("127.0.0.1:%d"), port), wxT("/x"),
                                     SpeedCamPath(DEVICE_KIND_OSELAN)),
                   &m_buffers[1]);
    EXPECT_EQ(Run(thread), "b3 e6");
    EXPECT_EQ(thread.GetError(), DOWNLOAD_ERR_NO_RESPONSE);
}

TEST_F(DownloadTest, StopCutsOffAStalledTransfer)
{
    // Stalled in the body, or before the answer's head.
    for (const StandInFault fault : {StandInFault{StandInFault::Stall, 5000}, StandInFault{StandInFault::Silent, 0}})
    {
        SCOPED_TRACE(fault.kind);
        m_options.faults["radars"] = fault;
        ASSERT_TRUE(StartService());
        wxHTTPBuilder builder;
        EventSink sink;
        m_buffers[1].clear();
        DOWNLOADINGTHREAD thread(&builder);
        thread.SetJob2(Url(SpeedCamPath(DEVICE_KIND_OSELAN)), &m_buffers[1]);
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        // Wait until the server has stalled with a request in hand.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_service->Requests().empty() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));

        const auto start = std::chrono::steady_clock::now();
        thread.RequestStop();
        thread.Wait();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(sink.Log(), "b3"); // nothing after the stop
        EXPECT_TRUE(m_buffers[1].empty());
        m_service->Stop();
    }
}

// As the window does after a failed run: the builder goes with the last
// event, the thread is stopped and joined later (at a retry or the close).
TEST_F(DownloadTest, StopAfterTheLastEventLeavesTheBuilderAlone)
{
    m_options.faults["radars"] = {StandInFault::Status, 404};
    ASSERT_TRUE(StartService());
    auto builder = std::make_unique<wxHTTPBuilder>();
    DOWNLOADINGTHREAD thread(builder.get());
    thread.SetJob2(Url(SpeedCamPath(DEVICE_KIND_OSELAN)), &m_buffers[1]);
    thread.SetFrame(&m_sink);
    ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string log;
    while (log.find("e6") == std::string::npos && std::chrono::steady_clock::now() < limit)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log = m_sink.Log();
    }
    EXPECT_EQ(log, "b3 e6");
    builder.reset();
    thread.RequestStop();
    thread.Wait();
}

// --- the system's proxy -------------------------------------------------------

// Sets the system's proxy setting for one test and puts the old one back
// after it: the current user's Internet Settings on Windows, where the
// environment's http_proxy names a dead proxy to show that it is not read;
// http_proxy elsewhere, whatever the host's environment held.
class SystemProxy
{
public:
    SystemProxy()
    {
        for (const wxChar* name : kVariables)
            m_oldVariables.push_back(Variable{name, wxGetEnv(name, nullptr), wxString()});
        for (Variable& variable : m_oldVariables)
            if (variable.set)
                wxGetEnv(variable.name, &variable.value);
#ifdef __WINDOWS__
        m_key.Create();
        m_hadEnable = m_key.HasValue(wxS("ProxyEnable")) && m_key.QueryValue(wxS("ProxyEnable"), &m_oldEnable);
        m_hadServer = m_key.HasValue(wxS("ProxyServer")) && m_key.QueryValue(wxS("ProxyServer"), m_oldServer);
        const int dead = loopback::UnusedPort();
        wxSetEnv(wxS("http_proxy"), wxString::Format(wxS("http://127.0.0.1:%d/"), dead));
#endif
    }
    ~SystemProxy()
    {
        for (const Variable& variable : m_oldVariables)
            if (variable.set)
                wxSetEnv(variable.name, variable.value);
            else
                wxUnsetEnv(variable.name);
#ifdef __WINDOWS__
        if (m_hadEnable)
            m_key.SetValue(wxS("ProxyEnable"), m_oldEnable);
        else
            m_key.DeleteValue(wxS("ProxyEnable"));
        if (m_hadServer)
            m_key.SetValue(wxS("ProxyServer"), m_oldServer);
        else
            m_key.DeleteValue(wxS("ProxyServer"));
#endif
    }
    // The proxy "host:port", switched on or off.
    bool Set(bool enabled, const wxString& server)
    {
#ifdef __WINDOWS__
        return m_key.SetValue(wxS("ProxyEnable"), enabled ? 1L : 0L) && m_key.SetValue(wxS("ProxyServer"), server);
#else
        for (const wxChar* name : kVariables)
            wxUnsetEnv(name);
        return !enabled || wxSetEnv(wxS("http_proxy"), wxS("http://") + server + wxS("/"));
#endif
    }

private:
    struct Variable
    {
        const wxChar* name;
        bool set;
        wxString value;
    };
    static constexpr const wxChar* kVariables[] = {wxS("http_proxy"), wxS("HTTP_PROXY"), wxS("no_proxy"),
                                                   wxS("NO_PROXY")};
    std::vector<Variable> m_oldVariables;
#ifdef __WINDOWS__
    wxRegKey m_key{wxRegKey::HKCU, wxS("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings")};
    bool m_hadEnable = false;
    bool m_hadServer = false;
    long m_oldEnable = 0;
    wxString m_oldServer;
#endif
};

// The request goes through the proxy the system names, or straight to the
// server when the setting is off. The stand-in service plays both parts.
TEST_F(DownloadTest, ThroughTheSystemProxyOrDirect)
{
    ASSERT_TRUE(StartService());
    const wxString service = wxString::Format(wxT("127.0.0.1:%u"), m_service->Port());
    struct Case
    {
        bool proxyOn;
        wxString host;
        const char* targetStart; // of the request line the service received
    };
    // Through the proxy the URL's host is never looked up: a name that
    // cannot be resolved shows it.
    const Case cases[] = {
        {true, wxT("kelvonet.invalid"), "http://kelvonet.invalid/pnd/request?user=PND;uri="},
        {false, service, "/pnd/request?user=PND;uri="},
    };
    SystemProxy proxy;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.proxyOn ? "proxy" : "direct");
        ASSERT_TRUE(proxy.Set(c.proxyOn, service));
        const ProxySetting setting = DiscoverProxy();
        EXPECT_EQ(setting.enabled, c.proxyOn);
        wxHTTPBuilder builder;
        ApplyProxy(builder, setting);
        EventSink sink;
        ByteVector buffer;
        DOWNLOADINGTHREAD thread(&builder);
        thread.SetJob2(ComposeRequestUrl(c.host, wxT("/pnd/request"), SpeedCamPath(DEVICE_KIND_OSELAN)), &buffer);
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        thread.Wait();
        EXPECT_EQ(sink.Log(), "b3 e3 e5");
        EXPECT_EQ(buffer.size(), 25000u);
        const auto requests = m_service->Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().target.rfind(c.targetStart, 0), 0u) << requests.back().target;
        EXPECT_EQ(requests.back().uri, "/BtoB/PND/radars");
    }
}

// --- upload -------------------------------------------------------------------

class UploadTest : public ::testing::Test
{
protected:
    UploadTest() : m_device(m_card.DeviceRoot()) {}
    void SetUp() override
    {
        ASSERT_FALSE(m_card.Path().empty()) << "no card (on Windows: run through wine-card.sh)";
        m_card.Write("Kelvo/license.db", "x");
        g_navFolder = wxT("/Kelvo/");
        ASSERT_TRUE(m_device.Connect());
    }
    std::string Run(UPLOADINGTHREAD& thread)
    {
        return RunToEnd(thread, m_sink);
    }

    Card m_card;
    VDXRDEVCARD m_device;
    EventSink m_sink;
};

TEST_F(UploadTest, EachSlotToItsFolder)
{
    m_card.Write("Kelvo/speedcam/old.txt", "");
    UPLOADINGTHREAD thread(&m_device);
    thread.SetJob1(wxT("addressbook"), wxT("book.vcf"), Bytes("BOOK"));
    thread.SetJob2(wxT("speedcam"), wxT("radars.txt"), Bytes("R1"));
    thread.SetJob3(wxT("speedcam"), wxT("radarsv2.txt"), Bytes("R2"));
    EXPECT_EQ(Run(thread), "b2 e2 b3 e3 b4 e4 e5");
    EXPECT_TRUE(thread.IsDone());
    EXPECT_EQ(m_card.Read("Kelvo/addressbook/book.vcf"), "BOOK");
    EXPECT_EQ(m_card.Read("Kelvo/speedcam/radars.txt"), "R1");
    EXPECT_EQ(m_card.Read("Kelvo/speedcam/radarsv2.txt"), "R2");
}

TEST_F(UploadTest, MissingSubFolderBelowABackslashNavFolderIsCreated)
{
    m_card.Write("SDMMC Card/Kelvo/license.db", "x");
    g_navFolder = kNavFolderDefault;
    UPLOADINGTHREAD thread(&m_device);
    thread.SetJob2(wxT("speedcam"), wxT("radars.txt"), Bytes("R1"));
    EXPECT_EQ(Run(thread), "b3 e3 e5");
    EXPECT_EQ(m_card.Read("SDMMC Card/Kelvo/speedcam/radars.txt"), "R1");
}

// No bytes (an empty address book) leave the slot out; a content chosen
// without a file name fails the run before anything is written.
TEST_F(UploadTest, EmptyBytesAreSkippedAnEmptyNameFails)
{
    {
        UPLOADINGTHREAD thread(&m_device);
        thread.SetJob1(wxT("addressbook"), wxT("book.vcf"), ByteVector());
        thread.SetJob2(wxT("speedcam"), wxT("radars.txt"), ByteVector());
        EXPECT_EQ(Run(thread), "e5");
        EXPECT_TRUE(thread.IsDone());
        EXPECT_FALSE(m_card.Exists("Kelvo/addressbook"));
    }
    {
        EventSink sink;
        UPLOADINGTHREAD thread(&m_device);
        thread.SetJob1(wxT("addressbook"), wxT(""), Bytes("BOOK"));
        thread.SetJob2(wxT("speedcam"), wxT("radars.txt"), Bytes("R1"));
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        thread.Wait();
        EXPECT_EQ(sink.Log(), "e6");
        EXPECT_FALSE(thread.IsDone());
        EXPECT_FALSE(m_card.Exists("Kelvo/addressbook"));
        EXPECT_FALSE(m_card.Exists("Kelvo/speedcam"));
    }
}

TEST_F(UploadTest, FailuresStopTheUpload)
{
    {
        // No navigation folder: nothing is tried.
        g_navFolder = wxT("/Missing/");
        UPLOADINGTHREAD thread(&m_device);
        thread.SetJob2(wxT("speedcam"), wxT("radars.txt"), Bytes("R1"));
        EXPECT_EQ(Run(thread), "e6");
        EXPECT_FALSE(thread.IsDone());
    }
    {
        // A folder where the file should go: the write fails after its begin.
        EventSink sink;
        g_navFolder = wxT("/Kelvo/");
        m_card.Write("Kelvo/speedcam/radars.txt/inside", "");
        UPLOADINGTHREAD thread(&m_device);
        thread.SetJob1(wxT("addressbook"), wxT("book.vcf"), Bytes("BOOK"));
        thread.SetJob2(wxT("speedcam"), wxT("radars.txt"), Bytes("R1"));
        thread.SetJob3(wxT("speedcam"), wxT("radarsv2.txt"), Bytes("R2"));
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        thread.Wait();
        EXPECT_EQ(sink.Log(), "b2 e2 b3 e6");
        EXPECT_FALSE(m_card.Exists("Kelvo/speedcam/radarsv2.txt"));
    }
}

// Asks the upload thread to stop while it writes its `stopAt`-th file (1
// the first), straight onto the target or staged; a card that cannot stage
// is one whose run keeps to the straight writes.
class StopDuringWrite : public VDXRDEVCARD
{
public:
    StopDuringWrite(const Card& card, bool canStage, int stopAt)
        : VDXRDEVCARD(card.DeviceRoot()), m_canStage(canStage), m_stopAt(stopAt)
    {
    }
    bool CanStage() override { return m_canStage; }
    bool WriteFromMemory(const ByteVector& bytes, const wxString& path) override
    {
        Count();
        return VDXRDEVCARD::WriteFromMemory(bytes, path);
    }
    bool WriteStaged(const ByteVector& bytes, const wxString& path) override
    {
        Count();
        return VDXRDEVCARD::WriteStaged(bytes, path);
    }
    UPLOADINGTHREAD* m_thread = nullptr;

private:
    void Count()
    {
        if (++m_files == m_stopAt && m_thread)
            m_thread->RequestStop();
    }
    bool m_canStage;
    int m_stopAt;
    int m_files = 0;
};

TEST_F(UploadTest, StopMidUploadFinishesTheFileInHandOnly)
{
    StopDuringWrite device(m_card, false, 1);
    ASSERT_TRUE(device.Connect());
    UPLOADINGTHREAD thread(&device);
    device.m_thread = &thread;
    thread.SetJob1(wxT("addressbook"), wxT("book.vcf"), Bytes("BOOK"));
    thread.SetJob2(wxT("speedcam"), wxT("radars.txt"), Bytes("R1"));
    EXPECT_EQ(Run(thread), "b2"); // nothing after the stop
    EXPECT_EQ(m_card.Read("Kelvo/addressbook/book.vcf"), "BOOK");
    EXPECT_FALSE(m_card.Exists("Kelvo/speedcam"));
}

// --- all or nothing -------------------------------------------------------------

// Every file below a folder, by its "/"-separated path, with its bytes: a
// device that must be left as it was is compared whole.
using Tree = std::map<std::string, std::string>;

Tree ReadTree(const wxString& root)
{
    Tree tree;
    wxArrayString files;
    wxDir::GetAllFiles(root, &files, wxEmptyString, wxDIR_FILES | wxDIR_DIRS | wxDIR_HIDDEN);
    for (const wxString& file : files)
    {
        wxString name = file.Mid(root.length() + 1);
        name.Replace(wxS("\\"), wxS("/"));
        tree[std::string(name.utf8_str())] = ReadFile(std::string(file.utf8_str()));
    }
    return tree;
}

std::vector<std::string> StagedNames(const Tree& tree)
{
    std::vector<std::string> names;
    for (const auto& entry : tree)
        if (entry.first.find(".pontiro-") != std::string::npos)
            names.push_back(entry.first);
    return names;
}

// Bytes of every value, so a piece that goes astray shows.
std::string Pattern(std::size_t size, unsigned salt)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + salt + i / 251) & 0xff);
    return bytes;
}

// The three files of a kind-1 run below a navigation folder (a relative
// "/"-separated path on the host), their previous copies, and the run's
// bytes as the stand-in service sends them.
struct RunFiles
{
    explicit RunFiles(const std::string& nav)
        : names{nav + "/Contacts/addressbook.vcf", nav + "/Speedcams/speedcams.txt",
                nav + "/Speedcams/speedcams_mobile.txt"},
          items{"addressbook", "radars", "radarsv2"},
          bytes{"BEGIN:VCARD\r\nN:Dupont;Jean\r\nEND:VCARD\r\n", Pattern(70000, 1), Pattern(20480, 2)}
    {
    }
    void WriteOld(const ScratchFolder& root) const
    {
        for (int slot = 0; slot < 3; ++slot)
            root.Write(names[slot], "old " + items[slot] + "\n");
    }
    void Arm(UPLOADINGTHREAD& thread) const
    {
        thread.SetJob1(wxT("Contacts"), wxT("addressbook.vcf"), Bytes(bytes[0]));
        thread.SetJob2(wxT("Speedcams"), wxT("speedcams.txt"), Bytes(bytes[1]));
        thread.SetJob3(wxT("Speedcams"), wxT("speedcams_mobile.txt"), Bytes(bytes[2]));
    }
    std::string names[3];
    std::string items[3];
    std::string bytes[3];
};

// A card that stops every staged run before its commit: the stop comes
// while the last file is written.
TEST_F(UploadTest, StopBeforeTheCommitLeavesTheCardAsItWas)
{
    const RunFiles files("Kelvo");
    files.WriteOld(m_card);
    const Tree before = ReadTree(m_card.Path());
    StopDuringWrite device(m_card, true, 3);
    ASSERT_TRUE(device.Connect());
    UPLOADINGTHREAD thread(&device);
    device.m_thread = &thread;
    files.Arm(thread);
    EXPECT_EQ(Run(thread), "b2 e2 b3 e3 b4"); // nothing after the stop
    EXPECT_EQ(ReadTree(m_card.Path()), before);
}

// A card whose commit of one file fails, as a rename the medium refuses.
class RefusedCommit : public VDXRDEVCARD
{
public:
    RefusedCommit(const Card& card, const wxString& refused) : VDXRDEVCARD(card.DeviceRoot()), m_refused(refused) {}
    bool CommitStaged(const wxString& path) override
    {
        if (!path.EndsWith(m_refused))
            return VDXRDEVCARD::CommitStaged(path);
        SetError(DEVICE_ERR_RENAME, path, 0);
        return false;
    }

private:
    wxString m_refused;
};

// The second file's commit fails: the first goes back to its previous
// bytes, the third is never committed.
TEST_F(UploadTest, AFailedCommitPutsTheEarlierFilesBack)
{
    const RunFiles files("Kelvo");
    files.WriteOld(m_card);
    const Tree before = ReadTree(m_card.Path());
    RefusedCommit device(m_card, wxT("/speedcams.txt"));
    ASSERT_TRUE(device.Connect());
    UPLOADINGTHREAD thread(&device);
    files.Arm(thread);
    EXPECT_EQ(Run(thread), "b2 e2 b3 e3 b4 e4 e6");
    EXPECT_EQ(device.GetErrorCode(), DEVICE_ERR_RENAME);
    EXPECT_EQ(ReadTree(m_card.Path()), before);
}

// What the service sent, downloaded and uploaded by the threads, lands on
// the device byte for byte in place of the previous files, with nothing
// left beside them.
void ServiceToDevice(VDXRDEVRAPI& device, const ScratchFolder& root, const std::string& nav)
{
    const RunFiles files(nav);
    files.WriteOld(root);
    ScratchFolder content;
    for (int slot = 0; slot < 3; ++slot)
        content.Write(files.items[slot], files.bytes[slot]);
    StandInService::Options options;
    options.contentDir = content.Utf8Path();
    options.email = "demo@example.com";
    options.password = "secret";
    StandInService service(options);
    ASSERT_TRUE(service.Start());
    const wxString host = wxString::Format(wxT("127.0.0.1:%u"), service.Port());

    wxHTTPBuilder builder;
    ByteVector buffers[3];
    DOWNLOADINGTHREAD download(&builder);
    download.SetJob1(ComposeRequestUrl(host, wxT("/pnd"), AddressBookPath(wxT("demo@example.com"), wxT("secret"))),
                     &buffers[0]);
    download.SetJob2(ComposeRequestUrl(host, wxT("/pnd"), SpeedCamPath(DEVICE_KIND_OSELAN)), &buffers[1]);
    download.SetJob3(ComposeRequestUrl(host, wxT("/pnd"), SecondSpeedCamPath()), &buffers[2]);
    ASSERT_EQ(download.Run(), wxTHREAD_NO_ERROR);
    download.Wait();
    ASSERT_TRUE(download.IsDone());

    EventSink sink;
    UPLOADINGTHREAD upload(&device);
    upload.SetJob1(wxT("Contacts"), wxT("addressbook.vcf"), std::move(buffers[0]));
    upload.SetJob2(wxT("Speedcams"), wxT("speedcams.txt"), std::move(buffers[1]));
    upload.SetJob3(wxT("Speedcams"), wxT("speedcams_mobile.txt"), std::move(buffers[2]));
    upload.SetFrame(&sink);
    ASSERT_EQ(upload.Run(), wxTHREAD_NO_ERROR);
    upload.Wait();
    EXPECT_EQ(sink.Log(), "b2 e2 b3 e3 b4 e4 e5");
    EXPECT_TRUE(upload.IsDone());
    const Tree after = ReadTree(root.Path());
    for (int slot = 0; slot < 3; ++slot)
    {
        ASSERT_EQ(after.count(files.names[slot]), 1u) << files.names[slot];
        EXPECT_TRUE(after.at(files.names[slot]) == files.bytes[slot]) << files.names[slot];
    }
    EXPECT_EQ(StagedNames(after), std::vector<std::string>());
    service.Stop();
}

TEST_F(UploadTest, ServiceToCardByteForByte)
{
    ServiceToDevice(m_device, m_card, "Kelvo");
}

#ifdef PONTIRO_RAPI_LIBRARY_PATH
// The simulated docked device (the provider named by PONTIRO_RAPI_LIBRARY,
// its file system a scratch folder), with the navigation folder of a kind-1
// device and the previous files of a run.
class DockedUploadTest : public ::testing::Test
{
protected:
    DockedUploadTest() : m_files("SDMMC Card/Kelvo") {}
    void SetUp() override
    {
        ASSERT_FALSE(m_root.Path().empty());
        wxSetEnv(wxS("PONTIRO_RAPI_LIBRARY"), wxS(PONTIRO_RAPI_LIBRARY_PATH));
        wxSetEnv(wxS("PONTIRO_DEVICE_ROOT"), m_root.Path());
        m_root.Write("SDMMC Card/Kelvo/license.db", "x");
        m_files.WriteOld(m_root);
        g_navFolder = kNavFolderDefault;
    }
    // The profile is read when the link comes up.
    void Connect(const std::string& profile)
    {
        m_root.Write("devicesim.ini", profile + "\n");
        m_before = Device();
        ASSERT_TRUE(m_device.Connect());
    }
    std::string Run(UPLOADINGTHREAD& thread)
    {
        return RunToEnd(thread, m_sink);
    }
    // The device's files without its profile.
    Tree Device() const
    {
        Tree tree = ReadTree(m_root.Path());
        tree.erase("devicesim.ini");
        return tree;
    }

    ScratchFolder m_root;
    RunFiles m_files;
    VDXRDEVRAPI m_device;
    EventSink m_sink;
    Tree m_before;
};

TEST_F(DockedUploadTest, AFailureBeforeTheCommitLeavesTheDeviceAsItWas)
{
    const std::string staged3 = "/SDMMC Card/Kelvo/Speedcams/speedcams_mobile.txt.pontiro-new";
    const struct
    {
        const char* name;
        std::string profile;
        int error;
    } cases[] = {
        {"a write failure in the third file", "write_fail_file = 3", DEVICE_ERR_WRITE},
        {"a read-back that differs", "read_fault_path = " + staged3 + "\nread_flip_at = 4000", DEVICE_ERR_VERIFY},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EventSink sink;
        Connect(c.profile);
        UPLOADINGTHREAD thread(&m_device);
        m_files.Arm(thread);
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        thread.Wait();
        EXPECT_EQ(sink.Log(), "b2 e2 b3 e3 b4 e6");
        EXPECT_FALSE(thread.IsDone());
        EXPECT_FALSE(thread.IsShortOfRoom());
        // The clean-up keeps the failure's own reason.
        EXPECT_EQ(m_device.GetErrorCode(), c.error) << m_device.GetErrorText();
        EXPECT_EQ(Device(), m_before);
        m_device.Disconnect();
    }
}

// The link goes while the run writes or commits, and neither the clean-up
// nor the rollback can reach the device. The next run puts every file back
// as it was before it writes anything (this one then finds too little room,
// so that the repair is all it does), also where the commit had already put
// the first new file in place: the run is undone whole, not file by file.
TEST_F(DockedUploadTest, TheNextRunRepairsAnInterruptedRun)
{
    const struct
    {
        const char* name;
        const char* profile;
        const char* steps;
    } cases[] = {
        {"the link lost mid-file", "link_lost_after_bytes = 30000", "b2 e2 b3 e6"},
        {"the link lost between the renames of the first file", "link_lost_after_moves = 1",
         "b2 e2 b3 e3 b4 e4 e6"},
        {"the link lost between the renames of the second file", "link_lost_after_moves = 3",
         "b2 e2 b3 e3 b4 e4 e6"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Connect(c.profile);
        const Tree before = m_before;
        {
            EventSink sink;
            UPLOADINGTHREAD thread(&m_device);
            m_files.Arm(thread);
            thread.SetFrame(&sink);
            ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
            thread.Wait();
            EXPECT_EQ(sink.Log(), c.steps);
        }
        // What the run left over the lost link.
        EXPECT_NE(Device(), before);
        m_device.Disconnect();

        EventSink sink;
        Connect("disk_free = 1000");
        UPLOADINGTHREAD thread(&m_device);
        m_files.Arm(thread);
        thread.SetFrame(&sink);
        ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
        thread.Wait();
        EXPECT_EQ(sink.Log(), "e6");
        EXPECT_TRUE(thread.IsShortOfRoom());
        EXPECT_EQ(Device(), before);
        m_device.Disconnect();
    }
}

// 2,000 bytes, 70,000 and 20,480 take one, three and one clusters of
// 32 KiB; the run keeps 64 KiB more.
TEST_F(DockedUploadTest, TooLittleRoomTouchesNothing)
{
    Connect("disk_free = 229375");
    UPLOADINGTHREAD thread(&m_device);
    m_files.Arm(thread);
    EXPECT_EQ(Run(thread), "e6");
    EXPECT_TRUE(thread.IsShortOfRoom());
    EXPECT_EQ(thread.GetRoomNeeded(), 5u * 32768 + 65536);
    EXPECT_EQ(thread.GetRoomFree(), 229375u);
    EXPECT_EQ(Device(), m_before);
}

TEST_F(DockedUploadTest, ExactlyEnoughRoomIsEnough)
{
    Connect("disk_free = 229376");
    UPLOADINGTHREAD thread(&m_device);
    m_files.Arm(thread);
    EXPECT_EQ(Run(thread), "b2 e2 b3 e3 b4 e4 e5");
    EXPECT_FALSE(thread.IsShortOfRoom());
}

TEST_F(DockedUploadTest, ServiceToDeviceByteForByte)
{
    Connect("");
    ServiceToDevice(m_device, m_root, "SDMMC Card/Kelvo");
}
#endif

// --- connection ---------------------------------------------------------------

class NeverLinkedDevice : public VDXRDEVCARD
{
public:
    using VDXRDEVCARD::VDXRDEVCARD;
    bool Connect() override { return false; }
};

struct Connection
{
    std::string log;
    bool recognised;
    bool folderFound;
    int kind;
};

Connection Connect(VDXRDEV& device)
{
    EventSink sink;
    CONNECTINGTHREAD thread(&device);
    thread.SetFrame(&sink);
    EXPECT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
    thread.Wait();
    return {sink.Log(), thread.IsRecognised(), thread.IsFolderFound(), thread.GetDeviceKind()};
}

TEST(ConnectingThread, RecognisesAndFindsTheFolder)
{
    wxInitializer wx;
    Card card;
    ASSERT_FALSE(card.Path().empty());
    VDXRDEVCARD device(card.DeviceRoot());

    card.Write("Kelvo/license.db", LicenseFile("xxKELVO map"));
    g_navFolder = wxT("/Kelvo/");
    Connection c = Connect(device);
    EXPECT_EQ(c.log, "c");
    EXPECT_TRUE(c.recognised);
    EXPECT_TRUE(c.folderFound);
    EXPECT_EQ(c.kind, DEVICE_KIND_OSELAN);

    // Kind 1 is probed once only.
    g_navFolder = kNavFolderDefault;
    card.Write("SDMMC/Kelvo/license.db", "x");
    c = Connect(device);
    EXPECT_TRUE(c.recognised);
    EXPECT_FALSE(c.folderFound);
    EXPECT_EQ(g_navFolder, kNavFolderDefault);

    // Kind 2 falls back to the second folder, which then stays.
    card.Write("Kelvo/license.db", Utf16Le(u"Kelvo5020 map"));
    c = Connect(device);
    EXPECT_EQ(c.kind, DEVICE_KIND_TARVIK);
    EXPECT_TRUE(c.folderFound);
    EXPECT_EQ(g_navFolder, kNavFolderTarvik);

    card.Write("Kelvo/license.db", Utf16Le(u"kelvo7070"));
    c = Connect(device);
    EXPECT_EQ(c.log, "c");
    EXPECT_FALSE(c.recognised);
    EXPECT_EQ(c.kind, DEVICE_KIND_NONE);
}

TEST(ConnectingThread, CancelEndsTheAttemptsWithoutAnEvent)
{
    wxInitializer wx;
    Card card;
    NeverLinkedDevice device(card.DeviceRoot());
    EventSink sink;
    CONNECTINGTHREAD thread(&device);
    thread.SetFrame(&sink);
    ASSERT_EQ(thread.Run(), wxTHREAD_NO_ERROR);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const auto start = std::chrono::steady_clock::now();
    thread.RequestCancel();
    thread.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(sink.Log(), "");
}

} // namespace

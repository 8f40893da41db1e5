// The stand-in web service must answer like the real one, or the end-to-end
// tests prove nothing; these check it over a raw socket.
#include "webservice/standinservice.h"

#include "crypt/seal.h"
#include "loopback/loopbacksocket.h"
#include "tests/support/scratchfolder.h"

#include <gtest/gtest.h>
#include <wx/init.h>
#include <wx/string.h>

#include <chrono>
#include <string>
#include <thread>

namespace
{

// The content folder of the one known account.
class ContentDir : public ScratchFolder
{
public:
    ContentDir()
    {
        Write("addressbook", "BOOK");
        Write("radars", std::string(30000, 'r'));
        Write("radarsv2", "V2");
        Write("radarsv3", "V3");
    }
};

std::string Sealed(const std::string& path)
{
    return std::string(SealText(wxString::FromUTF8(path.c_str())).utf8_str().data());
}

// What a client saw of one answer.
struct Answer
{
    std::string bytes;  // everything received
    const char* ending; // "closed", "reset" or "waiting" (nothing more within the time)
};

// Sends a GET and collects the answer until the server closes, resets, or
// stays quiet for `quietMs`.
Answer Exchange(std::uint16_t port, const std::string& target, int quietMs = 5000)
{
    Answer answer{std::string(), "waiting"};
    const loopback::Socket socket = loopback::Connect(port);
    if (socket == loopback::kNoSocket)
        return {"connect failed", "closed"};
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    loopback::SendAll(socket, request.data(), request.size());
    char buffer[65536];
    while (loopback::Wait(socket, false, quietMs) == 1)
    {
        const long got = loopback::Receive(socket, buffer, sizeof(buffer));
        if (got == 0)
        {
            // Wine reports a reset as an orderly end; the first send after
            // an orderly end still goes out, after a reset it fails.
            const long sent = loopback::Send(socket, "x", 1);
            answer.ending = sent == 1 ? "closed" : "reset";
            break;
        }
        if (got < 0)
        {
            answer.ending = "reset";
            break;
        }
        answer.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    loopback::Close(socket);
    return answer;
}

std::string Get(std::uint16_t port, const std::string& target)
{
    return Exchange(port, target).bytes;
}

std::string Target(const std::string& path)
{
    return "/pnd/request?user=PND;uri=" + Sealed(path);
}

std::string Body(const std::string& answer)
{
    const auto end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

class StandInServiceTest : public ::testing::Test
{
protected:
    StandInService::Options Options()
    {
        StandInService::Options options;
        options.contentDir = m_content.Utf8Path();
        options.email = "demo@example.com";
        options.password = "p&ss=1";
        return options;
    }
    wxInitializer m_wx;
    ContentDir m_content;
};

TEST_F(StandInServiceTest, AnswersTheSealedRequests)
{
    StandInService service(Options());
    ASSERT_TRUE(service.Start());

    EXPECT_EQ(Body(Get(service.Port(), Target("/BtoB/PND/session?email=demo@example.com&password=p&ss=1"))),
              "BOOK");
    EXPECT_EQ(Body(Get(service.Port(), Target("/BtoB/PND/session?email=demo@example.com&password=wrong"))),
              StandInService::LoginErrorBody());
    EXPECT_EQ(Body(Get(service.Port(), Target("/BtoB/PND/radars"))), std::string(30000, 'r'));
    EXPECT_EQ(Body(Get(service.Port(), Target("/BtoB/PND/radarsv3"))), "V3");
    EXPECT_NE(Get(service.Port(), Target("/BtoB/PND/other")).find(" 404 "), std::string::npos);
    EXPECT_NE(Get(service.Port(), "/pnd/request?user=PND;uri=bm90c2VhbGVk").find(" 400 "), std::string::npos);

    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[2].uri, "/BtoB/PND/radars");
    EXPECT_EQ(requests[2].user, "PND");
    EXPECT_EQ(requests[2].headers.at("host"), "127.0.0.1");
}

TEST_F(StandInServiceTest, MisbehavesAsTold)
{
    struct Case
    {
        const char* fault;
        const char* expected; // a piece of the answer
        std::size_t bodySize;
        const char* ending;
        int quietMs;          // how long the client waits for more
        int atLeastMs;        // the answer takes at least this long
    };
    const Case cases[] = {
        {"redirects:2", "Location: http://127.0.0.1:", 0, "closed", 5000, 0},
        {"nolocation", "HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n", 0, "closed", 5000, 0},
        {"status:404", "HTTP/1.0 404 Not Found\r\n\r\n", 0, "closed", 5000, 0},
        {"status:204", "HTTP/1.0 204 No Content\r\n\r\n", 0, "closed", 5000, 0},
        {"cut:1000", "Content-Length: 30000", 1000, "closed", 5000, 0},
        {"reset", "", 0, "reset", 5000, 0},
        {"length:600", "Content-Length: 629145600\r\n", 30000, "closed", 5000, 0},
        // 30 pieces of 1 KiB, 20 ms apart.
        {"slow:20", "Content-Length: 30000\r\n", 30000, "closed", 5000, 29 * 20},
        {"stall:100", "Content-Length: 30000\r\n", 100, "waiting", 300, 0},
        {"silent", "", 0, "waiting", 300, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.fault);
        auto options = Options();
        ASSERT_TRUE(StandInService::ParseFault(c.fault, options.faults["radars"]));
        StandInService service(options);
        ASSERT_TRUE(service.Start());
        const auto start = std::chrono::steady_clock::now();
        const Answer answer = Exchange(service.Port(), Target("/BtoB/PND/radars"), c.quietMs);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(c.atLeastMs));
        EXPECT_NE(answer.bytes.find(c.expected), std::string::npos) << answer.bytes.substr(0, 200);
        EXPECT_EQ(Body(answer.bytes).size(), c.bodySize);
        EXPECT_STREQ(answer.ending, c.ending);
        // Other items are unaffected.
        EXPECT_EQ(Body(Get(service.Port(), Target("/BtoB/PND/radarsv2"))), "V2");
    }
}

TEST_F(StandInServiceTest, RedirectChainEndsInTheContent)
{
    auto options = Options();
    options.faults["radars"] = {StandInFault::Redirects, 3};
    StandInService service(options);
    ASSERT_TRUE(service.Start());
    std::string target = Target("/BtoB/PND/radars");
    for (int hop = 1; hop <= 3; ++hop)
    {
        const std::string answer = Get(service.Port(), target);
        const auto at = answer.find("/hop/");
        ASSERT_NE(at, std::string::npos) << answer;
        target = answer.substr(at, answer.find("\r\n", at) - at);
        EXPECT_EQ(target.compare(0, 6 + std::to_string(hop).size(), "/hop/" + std::to_string(hop) + "?"), 0);
    }
    EXPECT_EQ(Body(Get(service.Port(), target)).size(), 30000u);
}

// A stop does not wait for clients: not for one that has not sent its
// request yet, nor for a silent answer or a stalled body.
TEST_F(StandInServiceTest, StopEndsEveryWaitingAnswer)
{
    const StandInFault faults[] = {{StandInFault::None, 0}, {StandInFault::Silent, 0}, {StandInFault::Stall, 10}};
    for (const StandInFault& fault : faults)
    {
        SCOPED_TRACE(fault.kind);
        auto options = Options();
        options.faults["*"] = fault;
        StandInService service(options);
        ASSERT_TRUE(service.Start());
        const loopback::Socket client = loopback::Connect(service.Port());
        ASSERT_NE(client, loopback::kNoSocket);
        char buffer[256];
        if (fault.kind != StandInFault::None)
        {
            const std::string request = "GET " + Target("/BtoB/PND/radars") + " HTTP/1.0\r\n\r\n";
            ASSERT_TRUE(loopback::SendAll(client, request.data(), request.size()));
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (service.Requests().empty() && std::chrono::steady_clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ASSERT_EQ(service.Requests().size(), 1u);
            if (fault.kind == StandInFault::Stall)
            {
                ASSERT_EQ(loopback::Wait(client, false, 5000), 1);
                ASSERT_GT(loopback::Receive(client, buffer, sizeof(buffer)), 0);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));

        const auto start = std::chrono::steady_clock::now();
        service.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        // The client sees the end of the connection, not more waiting.
        long got = 1;
        while (got > 0 && loopback::Wait(client, false, 3000) == 1)
            got = loopback::Receive(client, buffer, sizeof(buffer));
        EXPECT_LE(got, 0);
        loopback::Close(client);
    }
}

TEST(StandInFaultText, ParsesKnownKindsOnly)
{
    StandInFault fault;
    EXPECT_TRUE(StandInService::ParseFault("redirects:11", fault));
    EXPECT_EQ(fault.kind, StandInFault::Redirects);
    EXPECT_EQ(fault.count, 11);
    EXPECT_TRUE(StandInService::ParseFault("reset", fault));
    EXPECT_EQ(fault.kind, StandInFault::Reset);
    EXPECT_TRUE(StandInService::ParseFault("silent", fault));
    EXPECT_EQ(fault.kind, StandInFault::Silent);
    EXPECT_FALSE(StandInService::ParseFault("status:", fault));
    EXPECT_FALSE(StandInService::ParseFault("status:-1", fault));
    EXPECT_FALSE(StandInService::ParseFault("explode", fault));
}

} // namespace

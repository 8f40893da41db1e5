// The stand-in web service must answer like the real one, or the end-to-end
// tests prove nothing; these check it over a raw socket.
#include "webservice/standinservice.h"

#include "crypt/seal.h"

#include <gtest/gtest.h>
#include <wx/init.h>
#include <wx/string.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace
{

class ContentDir
{
public:
    ContentDir()
    {
        char pattern[] = "/tmp/pontiro-ws-XXXXXX";
        m_path = ::mkdtemp(pattern);
        Write("addressbook", "BOOK");
        Write("radars", std::string(30000, 'r'));
        Write("radarsv2", "V2");
        Write("radarsv3", "V3");
    }
    ~ContentDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    void Write(const std::string& name, const std::string& data)
    {
        std::ofstream(m_path + "/" + name, std::ios::binary) << data;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string Sealed(const std::string& path)
{
    return std::string(SealText(wxString::FromUTF8(path.c_str())).utf8_str().data());
}

// Sends a GET and returns everything the server sent before it closed.
std::string Get(std::uint16_t port, const std::string& target)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    timeval limit = {5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
    {
        ::close(fd);
        return "connect failed";
    }
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[65536];
    ssize_t got;
    while ((got = ::recv(fd, buffer, sizeof(buffer), 0)) > 0)
        answer.append(buffer, static_cast<std::size_t>(got));
    if (got < 0)
        answer += "<recv error>";
    ::close(fd);
    return answer;
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
        options.contentDir = m_content.Path();
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
    };
    const Case cases[] = {
        {"redirects:2", "Location: http://127.0.0.1:", 0},
        {"nolocation", "HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n", 0},
        {"status:404", "HTTP/1.0 404 Not Found\r\n\r\n", 0},
        {"status:204", "HTTP/1.0 204 No Content\r\n\r\n", 0},
        {"cut:1000", "Content-Length: 30000", 1000},
        {"reset", "", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.fault);
        auto options = Options();
        ASSERT_TRUE(StandInService::ParseFault(c.fault, options.faults["radars"]));
        StandInService service(options);
        ASSERT_TRUE(service.Start());
        const std::string answer = Get(service.Port(), Target("/BtoB/PND/radars"));
        EXPECT_NE(answer.find(c.expected), std::string::npos) << answer.substr(0, 200);
        EXPECT_EQ(Body(answer).size(), c.bodySize);
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

TEST_F(StandInServiceTest, StopEndsAStalledAnswer)
{
    auto options = Options();
    options.faults["*"] = {StandInFault::Stall, 10};
    StandInService service(options);
    ASSERT_TRUE(service.Start());
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(service.Port());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const std::string request = "GET " + Target("/BtoB/PND/radars") + " HTTP/1.0\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[256];
    ASSERT_GT(::recv(fd, buffer, sizeof(buffer), 0), 0);

    const auto start = std::chrono::steady_clock::now();
    service.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ::close(fd);
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

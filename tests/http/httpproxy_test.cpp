// The request builder through a real forward proxy (tinyproxy) to our
// scripted origin server.
#include "http/httpbuilder.h"

#include "tests/http/httpbuildertestsupport.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tinyproxy.h"
#include "tests/http/wxsockets.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

using Stream = std::unique_ptr<wxHTTPBuilderStream>;
using S = ScriptedServer;

struct WxReady
{
    WxReady() { InitWxSocketsForTests(); }
};

class HttpProxyTest : public ::testing::Test
{
protected:
    void StartProxy(const std::string& user = std::string(), const std::string& password = std::string())
    {
        m_proxy.reset(new TinyproxyProcess(user, password));
        ASSERT_TRUE(m_proxy->IsRunning()) << m_proxy->Error();
        m_builder.SetTimeout(5);
        m_builder.SetProxy("127.0.0.1", m_proxy->Port());
    }
    // The origin listens on a port of its own choosing, never 80, so the
    // proxy only reaches it when the request names that port.
    wxString OriginUrl(const std::string& path) const
    {
        return wxString::Format("http://localhost:%d%s", m_origin.Port(), path);
    }

    WxReady m_wx;
    ScriptedServer m_origin;
    std::unique_ptr<TinyproxyProcess> m_proxy;
    wxHTTPBuilder m_builder;
};

} // namespace

TEST_F(HttpProxyTest, FetchesThroughTheProxy)
{
    StartProxy();
    const std::string body(50000, 'c');
    m_origin.Queue(S::Response("HTTP/1.0 200 OK\r\nContent-Length: 50000\r\nX-Origin: yes", body));

    Stream stream(m_builder.OpenUrl(OriginUrl("/content/cams.bin?x=1")));
    ASSERT_TRUE(stream) << m_builder.GetStatus() << "\n" << m_proxy->Log();
    EXPECT_TRUE(m_builder.IsViaProxy());
    EXPECT_EQ(m_builder.GetResponse(), 200);
    EXPECT_EQ(m_builder.GetHeader("X-Origin"), "yes");
    const ReadResult read = ReadAll(*stream);
    EXPECT_EQ(read.body, body);
    EXPECT_TRUE(stream->IsComplete());

    const auto requests = m_origin.Requests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /content/cams.bin?x=1 HTTP/1.0");
    EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), "Pontiro 1.2");
}

TEST_F(HttpProxyTest, RedirectAndRefusalComeBackThroughTheProxy)
{
    StartProxy();
    m_origin.Queue(S::Response("HTTP/1.0 302 Found\r\nLocation: http://elsewhere/x\r\nContent-Length: 0"));
    m_origin.Queue(S::Response("HTTP/1.0 404 Not Found\r\nContent-Length: 0"));

    Stream redirect(m_builder.OpenUrl(OriginUrl("/moved")));
    ASSERT_TRUE(redirect) << m_builder.GetStatus();
    EXPECT_EQ(m_builder.GetResponse(), 302);
    EXPECT_EQ(m_builder.GetHeader("Location"), "http://elsewhere/x");
    redirect.reset();

    EXPECT_FALSE(Stream(m_builder.OpenUrl(OriginUrl("/missing"))));
    EXPECT_EQ(m_builder.GetStatus(), "Sending Request");
    EXPECT_EQ(m_builder.GetResponse(), 404);
}

TEST_F(HttpProxyTest, CutBodyIsSeenThroughTheProxy)
{
    StartProxy();
    m_origin.Queue({S::Send("HTTP/1.0 200 OK\r\nContent-Length: 9000\r\n\r\n" + std::string(3000, 'x'))});
    Stream stream(m_builder.OpenUrl(OriginUrl("/cut")));
    ASSERT_TRUE(stream) << m_builder.GetStatus();
    const ReadResult read = ReadAll(*stream);
    EXPECT_EQ(read.body.size(), 3000u);
    EXPECT_TRUE(stream->IsCut());
    EXPECT_EQ(stream->GetBytesDue(), 6000u);
}

TEST_F(HttpProxyTest, ProxyAuthentication)
{
    StartProxy("alice", "s3cret");
    wxProxySettings& settings = m_builder.GetProxySettings();
    const struct
    {
        const char* name;
        bool send;
        const char* password;
        int code;
    } cases[] = {
        {"no credentials", false, "", 407},
        // tinyproxy answers a wrong password with 401.
        {"wrong password", true, "wrong", 401},
        {"right password", true, "s3cret", 200},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        settings.m_requiresAuth = c.send;
        settings.m_user = "alice";
        settings.m_password = c.password;
        const bool accepted = c.code == 200;
        if (accepted)
            m_origin.Queue(S::Response("HTTP/1.0 200 OK\r\nContent-Length: 2", "ok"));
        Stream stream(m_builder.OpenUrl(OriginUrl("/private")));
        if (accepted)
        {
            ASSERT_TRUE(stream) << m_builder.GetStatus() << "\n" << m_proxy->Log();
            EXPECT_EQ(ReadAll(*stream).body, "ok");
            // The proxy keeps its credentials to itself.
            const auto requests = m_origin.Requests(1);
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(HeaderValue(requests[0], "Proxy-Authorization"), "");
        }
        else
        {
            EXPECT_FALSE(stream);
            EXPECT_EQ(m_builder.GetStatus(), "Sending Request");
            EXPECT_EQ(m_builder.GetResponse(), c.code);
        }
    }
    EXPECT_EQ(m_origin.ConnectionCount(), 1u);
}

TEST_F(HttpProxyTest, ExceptionsGoAroundTheProxy)
{
    StartProxy("alice", "s3cret");
    // Without credentials the proxy would refuse; the exception goes direct.
    m_builder.GetProxySettings().m_exceptions = "example.org;LOCALHOST";
    m_builder.GetProxySettings().m_exceptionDelimiter = ";";
    m_origin.Queue(S::Response("HTTP/1.0 200 OK\r\nContent-Length: 6", "direct"));
    Stream stream(m_builder.OpenUrl(OriginUrl("/d")));
    ASSERT_TRUE(stream) << m_builder.GetStatus();
    EXPECT_FALSE(m_builder.IsViaProxy());
    EXPECT_EQ(ReadAll(*stream).body, "direct");
}

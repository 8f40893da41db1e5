#include "http/httpurl.h"

#include <gtest/gtest.h>

TEST(ParseUrl, SplitsTheParts)
{
    const struct
    {
        const char* url;
        const char* scheme;
        const char* host;
        long port;
        const char* path;
        const char* user;
        const char* password;
        bool hasUser;
    } cases[] = {
        {"http://H:8080/a/b?c=1", "http", "H", 8080, "/a/b?c=1", "", "", false},
        {"http://host", "http", "host", 80, "/", "", "", false},
        {"http://host/", "http", "host", 80, "/", "", "", false},
        {"https://host/p", "https", "host", 443, "/p", "", "", false},
        {"HTTPS://host/p", "HTTPS", "host", 80, "/p", "", "", false},
        {"ftp://host/p", "ftp", "host", 80, "/p", "", "", false},
        {"http://host:/p", "http", "host", 0, "/p", "", "", false},
        {"http://host:81x/p", "http", "host", 81, "/p", "", "", false},
        {"http://host:+82/p", "http", "host", 82, "/p", "", "", false},
        {"http://u:p:q@host/p#frag", "http", "host", 80, "/p#frag", "u", "p:q", true},
        {"http://u@host:1/p@x", "http", "host", 1, "/p@x", "u", "", true},
        {"http://a@b@host/", "http", "b@host", 80, "/", "a", "", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.url);
        HttpUrl url;
        ASSERT_TRUE(ParseUrl(c.url, url));
        EXPECT_EQ(url.scheme, c.scheme);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.path, c.path);
        EXPECT_EQ(url.user, c.user);
        EXPECT_EQ(url.password, c.password);
        EXPECT_EQ(url.hasUser, c.hasUser);
    }
}

TEST(ParseUrl, RefusesMalformedAndUnsafeUrls)
{
    const char* const cases[] = {
        "host/path",            // no scheme
        "http:/host/path",      // a single slash
        "http:host",
        "http://",              // empty authority
        "http:///path",
        "http://host:65536/",   // port would wrap
        "http://host:-1/",
        "http://host/a b",      // would split the request line
        "http://host/a\r\nX: y",
        "http://ho\tst/",
        "http://host/\x7f",
    };
    for (const char* c : cases)
    {
        HttpUrl url;
        EXPECT_FALSE(ParseUrl(c, url)) << c;
    }
}

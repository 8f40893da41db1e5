// UrlEncode, MakeBoundary and the builder's field encodings and MIME table.
#include "http/httpbuilder.h"
#include "http/httpencoding.h"

#include "tests/http/wxsockets.h"

#include <gtest/gtest.h>
#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/stream.h>

#include <cctype>
#include <memory>
#include <string>

TEST(UrlEncode, Table)
{
    const struct
    {
        wxString text;
        wxString encoded;
    } cases[] = {
        {"a b.c\r\n", "a+b%2Ec%0D%0D%0A"},
        {"AZaz09-@*_", "AZaz09-@*_"},
        {"~/?&=%+", "%7E%2F%3F%26%3D%25%2B"},
        {wxString(wxUniChar(0x20AC)), "%20AC"},
        {wxString(wxUniChar(0x1)), "%01"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UrlEncode(c.text), c.encoded) << c.text;
}

TEST(MakeBoundary, DashesThenLettersAndDigits)
{
    const struct
    {
        size_t length;
        size_t dashes;
    } cases[] = {{40, 26}, {3, 2}, {2, 2}, {9, 6}, {0, 0}};
    for (const auto& c : cases)
    {
        const wxString boundary = MakeBoundary(c.length);
        ASSERT_EQ(boundary.length(), c.length);
        for (size_t i = 0; i < c.length; ++i)
        {
            const wxUniChar ch = boundary[i];
            if (i < c.dashes)
                EXPECT_EQ(ch, '-') << boundary;
            else
                EXPECT_TRUE(ch.IsAscii() && std::isalnum(static_cast<int>(ch.GetValue()))) << boundary;
        }
    }
    EXPECT_NE(MakeBoundary(40), MakeBoundary(40));
}

TEST(ParseLeadingInteger, Table)
{
    const struct
    {
        const char* text;
        std::int64_t value;
    } cases[] = {
        {"", 0}, {"abc", 0}, {"  42x", 42}, {"+7", 7}, {"-15000", -15000}, {"\t3", 3},
        {"99999999999999999999999", INT64_MAX}, {"-", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseLeadingInteger(wxString(c.text)), c.value) << c.text;
}

class BuilderFieldsTest : public ::testing::Test
{
protected:
    BuilderFieldsTest() { InitWxSocketsForTests(); }
    std::unique_ptr<wxHTTPBuilder> m_builder{new wxHTTPBuilder};
};

TEST_F(BuilderFieldsTest, QueryStringTakesQueryFieldsAndEitherForGet)
{
    m_builder->AddField("a", "1", FieldQuery);
    m_builder->AddField("b", "2", FieldEither);
    m_builder->AddField("c", "3", FieldCookie);
    EXPECT_EQ(m_builder->BuildQueryString(true), "?a=1&b=2");
    EXPECT_EQ(m_builder->BuildQueryString(false), "?a=1");
}

TEST_F(BuilderFieldsTest, FormBodyNeedsABodyField)
{
    m_builder->AddField("b", "2", FieldEither);
    EXPECT_EQ(m_builder->BuildFormBody(), "");
    EXPECT_EQ(m_builder->GetHeader("Content-Type"), "");

    m_builder->AddField("n a", "x&y", FieldBody);
    EXPECT_EQ(m_builder->BuildFormBody(), "b=2&n+a=x%26y");
    EXPECT_EQ(m_builder->GetHeader("Content-Length"), "13");
    EXPECT_EQ(m_builder->GetHeader("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(BuilderFieldsTest, FormBodyKeepsHeadersTheOwnerSet)
{
    m_builder->SetHeader("Content-Type", "text/x-custom");
    m_builder->AddField("a", "1", FieldBody);
    EXPECT_EQ(m_builder->BuildFormBody(), "a=1");
    EXPECT_EQ(m_builder->GetHeader("Content-Type"), "text/x-custom");
}

TEST_F(BuilderFieldsTest, CookieHeader)
{
    m_builder->AddField("a", "x y", FieldCookie);
    m_builder->AddField("q", "1", FieldQuery);
    m_builder->AddField("b", "x y", FieldRawCookie);
    EXPECT_EQ(m_builder->BuildCookieHeader(), "a=x+y; b=x y");
}

TEST_F(BuilderFieldsTest, MultipartBodyOfEveryKind)
{
    const wxString upload = wxFileName::CreateTempFileName("pontiro-part");
    {
        wxFFile out(upload, "wb");
        ASSERT_TRUE(out.Write(std::string("\0\1\2", 3).data(), 3));
    }
    m_builder->InitMimeTypes();
    m_builder->AddField("f", "v", FieldEither);
    m_builder->AddField("q", "skipped", FieldQuery);
    m_builder->AddField("doc", upload, FieldFile);
    m_builder->AddField("c", "skipped", FieldCookie);
    const wxString bodyFile = wxFileName::CreateTempFileName("pontiro-body");

    std::unique_ptr<wxInputStream> in(m_builder->BuildMultipartBody(bodyFile));
    ASSERT_TRUE(in);
    std::string body(in->GetSize(), '\0');
    in->Read(&body[0], body.size());
    in.reset();

    const std::string type(m_builder->GetHeader("Content-Type").utf8_str());
    ASSERT_EQ(type.substr(0, 30), "multipart/form-data; boundary=");
    const std::string b = type.substr(30);
    EXPECT_EQ(body, "--" + b + "\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nv\r\n" +
                        "--" + b + "\r\nContent-Disposition: form-data; name=\"doc\"; filename=\"" +
                        std::string(upload.utf8_str()) +
                        "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + std::string("\0\1\2", 3) +
                        "\r\n--" + b + "--\r\n");
    EXPECT_EQ(m_builder->GetHeader("Content-Length"), std::to_string(body.size()));
    wxRemoveFile(upload);
    wxRemoveFile(bodyFile);
}

TEST_F(BuilderFieldsTest, MultipartBodyRefusesAnUnreadableFile)
{
    m_builder->AddField("doc", "/nonexistent/pontiro.txt", FieldFile);
    const wxString bodyFile = wxFileName::CreateTempFileName("pontiro-body");
    EXPECT_EQ(m_builder->BuildMultipartBody(bodyFile), nullptr);
    EXPECT_FALSE(wxFileExists(bodyFile));
}

TEST_F(BuilderFieldsTest, MimeTypes)
{
    m_builder->InitMimeTypes();
    EXPECT_EQ(m_builder->GetMimeTypeCount(), 12u);
    const struct
    {
        const char* path;
        const char* type;
    } cases[] = {
        {"/photos/a.JPG", "image/jpeg"},
        {"page.htm", "text/html"},
        {"archive.tar.zip", "application/zip"},
        {"README", "application/octet-stream"},
        {".zip", "application/octet-stream"},
        {"/dir.pdf/file", "application/octet-stream"},
        {"dir.txt/.bmp", "application/octet-stream"},
        {"movie.MPEG", "video/mpeg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_builder->GetMimeType(c.path), c.type) << c.path;

    m_builder->AddMimeType("TXT", "text/x-other");
    EXPECT_EQ(m_builder->GetMimeTypeCount(), 12u);
    EXPECT_EQ(m_builder->GetMimeType("a.txt"), "text/x-other");
    EXPECT_TRUE(m_builder->RemoveMimeType("Txt"));
    EXPECT_FALSE(m_builder->RemoveMimeType("txt"));
    EXPECT_EQ(m_builder->GetMimeType("a.txt"), "application/octet-stream");
    EXPECT_EQ(m_builder->GetMimeTypeCount(), 11u);
}

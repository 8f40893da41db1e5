// Texts on the Remote API's wire.
#include "device/rapitext.h"
#include "device/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<unsigned char> Bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}
}

TEST(RapiText, NarrowReplies)
{
    struct Case
    {
        std::string reply;
        bool accepted;
        const wchar_t* text;
    } const cases[] = {
        {std::string("x0102\0", 6), true, L"x0102"},
        {std::string("\0", 1), true, L""},
        {std::string("abc\0\0", 5), false, L""},
        {std::string("ab\0c\0", 5), false, L""},
        {std::string("abc"), false, L""},
        {std::string(), false, L""},
        {std::string("\xE9\xFF\0", 3), true, L"\u00E9\u00FF"},
    };
    for (const Case& c : cases)
    {
        const std::vector<unsigned char> reply = Bytes(c.reply);
        wxString text = wxS("stale");
        EXPECT_EQ(c.accepted, DecodeNarrowReply(reply.data(),
                                                static_cast<std::uint32_t>(reply.size()), text));
        EXPECT_EQ(wxString(c.text), text);
    }
    wxString text;
    EXPECT_FALSE(DecodeNarrowReply(nullptr, 4, text));
}

TEST(RapiText, WideReplies)
{
    struct Case
    {
        std::string reply;
        bool accepted;
        const wchar_t* text;
    } const cases[] = {
        {std::string("K\0E\0\0\0", 6), true, L"KE"},
        {std::string("\0\0", 2), true, L""},
        {std::string("K\0E\0", 4), true, L"KE"},
        {std::string("K\0E", 3), true, L"K"},
        {std::string("K", 1), true, L""},
        {std::string("K\0\0\0X\0", 6), true, L"K"},
        {std::string(), false, L""},
        // A pair beyond the basic plane, and a lone surrogate.
        {std::string("\x3D\xD8\x00\xDE\0\0", 6), true, L"\U0001F600"},
        {std::string("\x3D\xD8" "A\0", 4), true, L"\uFFFDA"},
    };
    for (const Case& c : cases)
    {
        const std::vector<unsigned char> reply = Bytes(c.reply);
        wxString text;
        EXPECT_EQ(c.accepted, DecodeWideReply(reply.data(),
                                              static_cast<std::uint32_t>(reply.size()), text));
        EXPECT_EQ(wxString(c.text), text);
    }
}

TEST(RapiText, PathsGoAsUtf16)
{
    EXPECT_EQ(u"/Kelvo/\u00E9", ToDeviceText(wxString(L"/Kelvo/\u00E9")));
    EXPECT_EQ(u"\U0001F600", ToDeviceText(wxString(L"\U0001F600")));
    const std::u16string units = u"a\U0001F600";
    EXPECT_EQ(wxString(L"a\U0001F600"), FromDeviceText(units.data(), units.size()));
}

TEST(Utf16, CodePointsWithPairsJoinedAndLoneSurrogatesLeftToTheCaller)
{
    struct Case
    {
        std::u16string units;
        std::u32string codes;
    } const cases[] = {
        {u"a\u00E9", U"a\u00E9"},
        {u"\U0001F600", U"\U0001F600"},
        {u"\xD83D", {0xD83D}},             // a high surrogate at the end
        {u"\xD83Dx", {0xD83D, U'x'}},      // ... followed by no low one
        {u"\xDE00\xD83D", {0xDE00, 0xD83D}},
    };
    for (const Case& c : cases)
    {
        std::u32string codes;
        for (std::size_t at = 0; at < c.units.size();)
            codes += utf16::Next(c.units.data(), c.units.size(), at);
        EXPECT_TRUE(c.codes == codes);
        std::u16string back;
        for (char32_t code : codes)
            utf16::Append(back, code);
        EXPECT_TRUE(c.units == back);
    }
    std::u16string beyond;
    utf16::Append(beyond, 0x110000);
    EXPECT_TRUE(u"\uFFFD" == beyond);
}

#include "http/base64.h"

#include <gtest/gtest.h>
#include <wx/string.h>

#include <string>

namespace
{

std::string Decoded(const wxString& text)
{
    const auto bytes = Base64Decode(text);
    return std::string(bytes.begin(), bytes.end());
}

wxString EncodedBytes(const std::string& s)
{
    return Base64EncodeBytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

} // namespace

TEST(Base64, Rfc4648Vectors)
{
    const struct
    {
        const char* plain;
        const char* encoded;
    } vectors[] = {
        {"", ""},           {"f", "Zg=="},        {"fo", "Zm8="},
        {"foo", "Zm9v"},    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}, {"abc", "YWJj"},  {"ab", "YWI="},
        {"a", "YQ=="},
    };
    for (const auto& v : vectors)
    {
        SCOPED_TRACE(v.plain);
        EXPECT_EQ(wxString(v.encoded), EncodedBytes(v.plain));
        EXPECT_EQ(wxString(v.encoded), Base64Encode(v.plain));
        EXPECT_EQ(v.plain, Decoded(v.encoded));
    }
}

TEST(Base64, AllByteValuesRoundTrip)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(all, Decoded(EncodedBytes(all)));

    // Base64Encode takes each character's code as one byte.
    wxString latin1;
    for (int i = 0; i < 256; ++i)
        latin1 += wxUniChar(i);
    EXPECT_EQ(EncodedBytes(all), Base64Encode(latin1));
}

TEST(Base64, LenientDecoding)
{
    const struct
    {
        const char* text;
        const char* bytes;
        size_t length;
    } cases[] = {
        {"YW j", "ao\xa3", 3},   // a space counts as "+"
        {"YW+j", "ao\xa3", 3},
        {"YWJj=", "", 0},        // "=" after 4 characters: c mod 4 is 0
        {"Y=", "", 0},           // c mod 4 is 1
        {"=", "", 0},
        {"YWJjZ", "abc", 3},     // the started fourth byte is dropped
        {"YWJjZA=trailing", "abcd", 4}, // "=" ends the walk
        {"", "", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(std::string(c.bytes, c.length), Decoded(c.text));
    }
}

TEST(Base64, MarkersTakePartInTheShifts)
{
    // "!" is outside the alphabet: 0xFFFF in every shift.
    // c=0: (0xFFFF << 2) & 0xFF = 0xFC; c=1 ORs 0xFFFF >> 4 -> 0xFF.
    EXPECT_EQ(std::string("\xFF", 1), Decoded("!!"));
    // Codes above 0xFF are markers too.
    wxString wide;
    wide += wxUniChar(0x263A);
    wide += "Q";
    // 0xFC | (16 >> 4) = 0xFD
    EXPECT_EQ(std::string("\xFD", 1), Decoded(wide));
    // A marker in the last position of a group sets the whole byte.
    EXPECT_EQ(std::string("ab\xFF", 3), Decoded("YWJ!"));
}

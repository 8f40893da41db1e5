#include "http/base64.h"

#include <wx/string.h>

#include <array>

namespace
{

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const std::uint16_t kMarker = 0xFFFF;

std::array<std::uint16_t, 256> MakeDecodeTable()
{
    std::array<std::uint16_t, 256> table;
    table.fill(kMarker);
    for (std::uint16_t i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}

const std::array<std::uint16_t, 256> kDecodeTable = MakeDecodeTable();

} // namespace

wxString Base64EncodeBytes(const std::uint8_t* bytes, std::size_t count)
{
    std::string out;
    out.reserve((count + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= count; i += 3)
    {
        const std::uint32_t v = (std::uint32_t(bytes[i]) << 16) |
                                (std::uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = count - i;
    if (rest == 1)
    {
        const std::uint32_t v = std::uint32_t(bytes[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    }
    else if (rest == 2)
    {
        const std::uint32_t v = (std::uint32_t(bytes[i]) << 16) | (std::uint32_t(bytes[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return wxString::FromAscii(out.c_str(), out.size());
}

wxString Base64Encode(const wxString& text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.length());
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
        bytes.push_back(static_cast<std::uint8_t>(static_cast<wxUniChar>(*it).GetValue()));
    return Base64EncodeBytes(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> Base64Decode(const wxString& text)
{
    std::vector<std::uint8_t> out;
    out.reserve(text.length() * 3 / 4 + 1);
    std::size_t c = 0;
    bool endedByPad = false;
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
    {
        wxUint32 ch = static_cast<wxUniChar>(*it).GetValue();
        if (ch == '=')
        {
            endedByPad = true;
            break;
        }
        if (ch == ' ')
            ch = '+';
        const std::uint16_t v = ch <= 0xFF ? kDecodeTable[ch] : kMarker;
        switch (c % 4)
        {
        case 0:
            out.push_back(std::uint8_t(v << 2));
            break;
        case 1:
            out.back() |= std::uint8_t(v >> 4);
            out.push_back(std::uint8_t(v << 4));
            break;
        case 2:
            out.back() |= std::uint8_t(v >> 2);
            out.push_back(std::uint8_t(v << 6));
            break;
        default:
            out.back() |= std::uint8_t(v);
            break;
        }
        ++c;
    }
    if (endedByPad && (c % 4 == 0 || c % 4 == 1))
        return {};
    out.resize(c * 6 / 8);
    return out;
}

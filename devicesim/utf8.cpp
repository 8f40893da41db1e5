#include "devicesim/utf8.h"

#include "device/utf16.h"

#include <cstdint>

namespace devsim
{
namespace
{
void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80)
    {
        out += static_cast<char>(code);
    }
    else if (code < 0x800)
    {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    else if (code < 0x10000)
    {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}
}

std::size_t Utf16Length(const char16_t* text)
{
    std::size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

bool Utf16ToUtf8(const char16_t* text, std::size_t units, std::string& out)
{
    out.clear();
    for (std::size_t at = 0; at < units;)
    {
        const char32_t code = utf16::Next(text, units, at);
        if (utf16::IsSurrogate(code))
            return false;
        AppendUtf8(out, code);
    }
    return true;
}

bool Utf16ToUtf8(const char16_t* text, std::string& out)
{
    return Utf16ToUtf8(text, Utf16Length(text), out);
}

std::u16string Utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size())
    {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::uint32_t code = 0xFFFD;
        std::size_t length = 1;
        if (lead < 0x80)
        {
            code = lead;
        }
        else if (lead >= 0xC2 && lead < 0xF5)
        {
            const std::size_t need = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            std::uint32_t value = lead & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
            std::size_t k = 1;
            for (; k < need && i + k < text.size(); ++k)
            {
                const unsigned char c = static_cast<unsigned char>(text[i + k]);
                if ((c & 0xC0) != 0x80)
                    break;
                value = (value << 6) | (c & 0x3F);
            }
            if (k == need && value <= 0x10FFFF && !(value >= 0xD800 && value < 0xE000)
                && value >= (need == 2 ? 0x80u : need == 3 ? 0x800u : 0x10000u))
            {
                code = value;
                length = need;
            }
        }
        utf16::Append(out, code);
        i += length;
    }
    return out;
}
}

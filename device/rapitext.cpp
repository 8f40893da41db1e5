#include "device/rapitext.h"

#include <cstring>
#include <vector>

std::u16string ToRapiText(const wxString& text)
{
    std::u16string units;
    units.reserve(text.length());
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
    {
        std::uint32_t code = static_cast<std::uint32_t>((*it).GetValue());
        if (code >= 0x10000 && code <= 0x10FFFF)
        {
            code -= 0x10000;
            units += static_cast<char16_t>(0xD800 + (code >> 10));
            units += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        }
        else if (code > 0x10FFFF)
        {
            units += static_cast<char16_t>(0xFFFD);
        }
        else
        {
            units += static_cast<char16_t>(code);
        }
    }
    return units;
}

wxString FromRapiText(const char16_t* units, std::size_t count)
{
    wxString text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        std::uint32_t code = units[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00
            && units[i + 1] < 0xE000)
        {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        else if (code >= 0xD800 && code < 0xE000)
        {
            code = 0xFFFD;
        }
        text += wxUniChar(code);
    }
    return text;
}

bool DecodeNarrowReply(const unsigned char* reply, std::uint32_t size, wxString& text)
{
    text.clear();
    if (!reply || size == 0)
        return false;
    const void* zero = std::memchr(reply, 0, size);
    if (zero != reply + size - 1)
        return false;
    text.reserve(size - 1);
    for (std::uint32_t i = 0; i + 1 < size; ++i)
        text += wxUniChar(static_cast<unsigned>(reply[i]));
    return true;
}

bool DecodeWideReply(const unsigned char* reply, std::uint32_t size, wxString& text)
{
    text.clear();
    if (!reply || size == 0)
        return false;
    const std::uint32_t available = size / 2;
    std::vector<char16_t> units;
    units.reserve(available);
    for (std::uint32_t i = 0; i < available; ++i)
    {
        // The reply is a byte buffer: no alignment may be assumed.
        const char16_t unit = static_cast<char16_t>(reply[2 * i] | (reply[2 * i + 1] << 8));
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    text = FromRapiText(units.data(), units.size());
    return true;
}

#include "tests/support/licensefile.h"

#include <wx/string.h>

std::string Utf16Le(const std::u16string& text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text)
    {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string LicenseFile(const std::string& mapExtra)
{
    std::u16string units;
    for (const wxUniChar c : wxString::FromUTF8(mapExtra.c_str()))
    {
        const auto point = static_cast<char32_t>(c.GetValue());
        if (point < 0x10000)
        {
            units += static_cast<char16_t>(point);
        }
        else
        {
            units += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        }
    }
    units += u'\0';
    return Utf16Le(units);
}

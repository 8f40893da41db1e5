#include "device/rapitext.h"

#include "device/utf16.h"

#include <cstring>
#include <vector>

std::u16string ToDeviceText(const wxString& text)
{
    std::u16string units;
    units.reserve(text.length());
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
        utf16::Append(units, static_cast<char32_t>((*it).GetValue()));
    return units;
}

wxString FromDeviceText(const char16_t* units, std::size_t count)
{
    wxString text;
    text.reserve(count);
    for (std::size_t at = 0; at < count;)
    {
        const char32_t code = utf16::Next(units, count, at);
        // An unpaired surrogate has no code point of its own.
        text += wxUniChar(static_cast<wxUint32>(utf16::IsSurrogate(code) ? utf16::kReplacement : code));
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
    text = FromDeviceText(units.data(), units.size());
    return true;
}

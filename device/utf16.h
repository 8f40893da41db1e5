// UTF-16, the form of every text on the device: code points read one at a
// time with surrogate pairs joined, and written back. Header-only and
// without the toolkit, so that the simulated device shares it.
#ifndef PONTIRO_DEVICE_UTF16_H
#define PONTIRO_DEVICE_UTF16_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace utf16
{
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLast = 0x10FFFF;

inline bool IsSurrogate(char32_t code)
{
    return code >= 0xD800 && code < 0xE000;
}

// The code point that starts at units[at], a surrogate pair joined; at moves
// past it. An unpaired surrogate comes back as it is: the caller repairs or
// refuses it.
template <typename Unit>
char32_t Next(const Unit* units, std::size_t count, std::size_t& at)
{
    const char32_t unit = static_cast<std::uint16_t>(units[at++]);
    if (unit >= 0xD800 && unit < 0xDC00 && at < count)
    {
        const char32_t low = static_cast<std::uint16_t>(units[at]);
        if (low >= 0xDC00 && low < 0xE000)
        {
            ++at;
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return unit;
}

// Appends code in UTF-16; a value beyond Unicode becomes U+FFFD.
inline void Append(std::u16string& out, char32_t code)
{
    if (code > kLast)
        code = kReplacement;
    if (code < 0x10000)
    {
        out += static_cast<char16_t>(code);
        return;
    }
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
}
}

#endif

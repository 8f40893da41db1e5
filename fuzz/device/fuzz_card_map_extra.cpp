// The scan of the license file for the map-extra text, fed random file
// contents: it must return either nothing or the text that starts at the
// first marker, copied unchanged up to the next zero unit or the end.
#include "device/vdxrdevcard.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsLetter(char16_t unit, char upper)
{
    return unit == static_cast<char16_t>(upper) ||
           unit == static_cast<char16_t>(upper + ('a' - 'A'));
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<char16_t> units(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));

    // The first marker, found the plain way.
    std::size_t expectedBegin = units.size();
    for (std::size_t i = 0; i + 5 <= units.size(); ++i)
    {
        if (units[i] == 'K' && IsLetter(units[i + 1], 'E') && IsLetter(units[i + 2], 'L') &&
            IsLetter(units[i + 3], 'V') && IsLetter(units[i + 4], 'O'))
        {
            expectedBegin = i;
            break;
        }
    }

    const wxString text = VDXRDEVCARD::ExtractMapExtra(data, size);
    std::size_t begin = 0;
    std::size_t end = 0;
    const bool found = VDXRDEVCARD::FindMapExtra(units.data(), units.size(), begin, end);

    if (expectedBegin == units.size())
    {
        Check(!found && text.empty());
        return 0;
    }
    Check(found && begin == expectedBegin && end >= begin + 5 && end <= units.size());
    Check(end == units.size() || units[end] == 0);
    for (std::size_t i = begin; i < end; ++i)
        Check(units[i] != 0);

    // The text is the units as they are, but for an unpaired surrogate,
    // which becomes U+FFFD; a pair makes one character where characters
    // are wider than 16 bits.
    Check(text.length() >= 5 && text[0] == 'K');
    std::size_t at = 0;
    for (std::size_t i = begin; i < end; ++i, ++at)
    {
        Check(at < text.length());
        const std::uint32_t unit = units[i];
        const std::uint32_t ch = static_cast<std::uint32_t>(text[at].GetValue());
        if (unit < 0xD800 || unit >= 0xE000)
        {
            Check(ch == unit);
        }
        else if (unit < 0xDC00 && i + 1 < end && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
        {
            const std::uint32_t low = units[++i];
            if (sizeof(wchar_t) == 2)
                Check(ch == unit && ++at < text.length() && text[at].GetValue() == low);
            else
                Check(ch == 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        }
        else
        {
            Check(ch == 0xFFFD);
        }
    }
    Check(at == text.length());
    return 0;
}

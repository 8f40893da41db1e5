// Base64Decode over arbitrary text, including codes above 0xFF.
#include "http/base64.h"

#include <wx/string.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    wxString text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += wxUniChar(static_cast<unsigned>(data[i]) | (static_cast<unsigned>(data[i + 1] & 0x7F) << 8));
    const auto bytes = Base64Decode(text);
    // Never more than six bits per character.
    if (bytes.size() > text.length() * 6 / 8)
        __builtin_trap();
    return 0;
}

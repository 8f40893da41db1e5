// ParseUrl and UrlEncode over arbitrary text (bytes taken as Latin-1, pairs
// above 0x7F folded into wider codes).
#include "http/httpencoding.h"
#include "http/httpurl.h"

#include <wx/string.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    wxString text;
    for (std::size_t i = 0; i < size; ++i)
    {
        unsigned code = data[i];
        if (code >= 0xF0 && i + 1 < size)
            code = 0x100 + ((code & 0x0F) << 8 | data[++i]);
        text += wxUniChar(code);
    }

    HttpUrl url;
    if (ParseUrl(text, url))
    {
        // What the request line and the connect rely on.
        if (url.path.empty() || url.path[0] != '/')
            __builtin_trap();
        if (url.port < 0 || url.port > 65535)
            __builtin_trap();
        if (url.host.find(':') != wxString::npos || url.host.find('/') != wxString::npos)
            __builtin_trap();
        for (wxString::const_iterator it = text.begin(); it != text.end(); ++it)
        {
            if ((*it).GetValue() <= 0x20 || (*it).GetValue() == 0x7F)
                __builtin_trap();
        }
    }

    // Encoded text is printable ASCII without blanks.
    const wxString encoded = UrlEncode(text);
    for (wxString::const_iterator it = encoded.begin(); it != encoded.end(); ++it)
    {
        const wxUint32 code = static_cast<wxUint32>((*it).GetValue());
        if ((code <= 0x20 || code >= 0x7F) && !(code > 0x7F && code <= 0xFF))
            __builtin_trap();
    }
    return 0;
}

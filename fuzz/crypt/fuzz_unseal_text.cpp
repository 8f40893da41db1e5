// UnsealText over arbitrary stored values, and seal/unseal round trips.
#include "crypt/seal.h"

#include <wx/string.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const wxString stored = wxString::From8BitData(reinterpret_cast<const char*>(data), size);
    (void)UnsealText(stored);

    const wxString text = wxString::FromUTF8(reinterpret_cast<const char*>(data), size);
    if (!text.empty() && text.Find(wxUniChar(0)) == wxNOT_FOUND)
    {
        if (UnsealText(SealText(text)) != text)
            __builtin_trap();
    }
    return 0;
}

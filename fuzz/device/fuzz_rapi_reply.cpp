// The desktop's decoding of remote-call replies, on arbitrary replies: never
// a read past the reply, and the rules hold whatever the device sent.
#include "device/rapitext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reply in a buffer of its own size, so any overread is caught.
    unsigned char* reply = size ? static_cast<unsigned char*>(std::malloc(size)) : nullptr;
    if (size)
        std::memcpy(reply, data, size);
    const std::uint32_t length = static_cast<std::uint32_t>(size);

    wxString narrow;
    const bool narrowAccepted = DecodeNarrowReply(reply, length, narrow);
    const bool onlyZeroIsLast = size > 0 && std::memchr(data, 0, size) == data + size - 1;
    if (narrowAccepted != onlyZeroIsLast)
        std::abort();
    if (narrowAccepted && narrow.length() != size - 1)
        std::abort();

    wxString wide;
    const bool wideAccepted = DecodeWideReply(reply, length, wide);
    if (wideAccepted != (size > 0))
        std::abort();
    if (wide.length() > size / 2)
        std::abort();
    // Texts going out come back unchanged.
    const std::u16string units = ToDeviceText(wide);
    if (FromDeviceText(units.data(), units.size()) != wide)
        std::abort();

    std::free(reply);
    return 0;
}

#include "crypt/seal.h"

#include "crypt/blowfish.h"
#include "http/base64.h"

#include <wx/string.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

const std::uint8_t kSealKey[10] = {'w', 'k', 't', '8', '3', 'm', '2', 'p', 'z', 'r'};
const std::uint8_t kSealIv[8] = {0x3C, 0x71, 0x0E, 0xA5, 0xD2, 0x48, 0x9B, 0x6F};

// The cipher's offsets are 32-bit; nothing we seal comes near this.
const std::size_t kMaxSealedBytes = 0x10000000;

} // namespace

wxString SealText(const wxString& text)
{
    if (text.empty())
        return wxString();

    const wxScopedCharBuffer utf8 = text.utf8_str();
    // A text without a UTF-8 form (an unpaired surrogate) converts to
    // nothing; it is returned as it is, like any other sealing failure.
    if (utf8.length() == 0 || utf8.length() > kMaxSealedBytes)
        return text;

    std::vector<std::uint8_t> plain(utf8.data(), utf8.data() + utf8.length());
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    std::vector<std::uint8_t> cipher(plain.size());
    CCryptBlowFishCbc(kSealKey, sizeof(kSealKey), kSealIv)
        .Encrypt(plain.data(), cipher.data(), 0, 0, static_cast<std::int32_t>(plain.size()));
    return Base64EncodeBytes(cipher.data(), cipher.size());
}

wxString UnsealText(const wxString& sealed)
{
    if (sealed.empty())
        return wxString();

    const std::vector<std::uint8_t> data = Base64Decode(sealed);
    // Only whole blocks come from SealText; anything else is not ours.
    if (data.empty() || data.size() % 8 != 0 || data.size() > kMaxSealedBytes)
        return wxString();

    std::vector<std::uint8_t> plain(data.size(), 0);
    CCryptBlowFishCbc(kSealKey, sizeof(kSealKey), kSealIv)
        .Decrypt(data.data(), plain.data(), 0, 0, static_cast<std::int32_t>(data.size()));

    const void* zero = std::memchr(plain.data(), 0, plain.size());
    const std::size_t length =
        zero ? static_cast<const std::uint8_t*>(zero) - plain.data() : plain.size();
    if (length == 0)
        return wxString();
    // FromUTF8 gives "" for bytes that are not valid UTF-8.
    return wxString::FromUTF8(reinterpret_cast<const char*>(plain.data()), length);
}

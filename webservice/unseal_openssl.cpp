// OpenSSL's Blowfish and Base64, not the program's: a fault in the
// program's key, IV or padding then fails its requests here instead of
// being undone by the same fault on this side.
#include "webservice/unseal.h"

#include <openssl/evp.h>
#include <openssl/provider.h>
#include <wx/string.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{

const unsigned char kKey[10] = {'w', 'k', 't', '8', '3', 'm', '2', 'p', 'z', 'r'};
const unsigned char kIv[8] = {0x3C, 0x71, 0x0E, 0xA5, 0xD2, 0x48, 0x9B, 0x6F};

// OpenSSL 3 keeps Blowfish in its legacy provider. A library context of our
// own loads it without changing what the rest of the process gets.
class Blowfish
{
public:
    Blowfish()
        : m_context(OSSL_LIB_CTX_new()),
          m_legacy(m_context ? OSSL_PROVIDER_load(m_context, "legacy") : nullptr),
          m_cipher(m_legacy ? EVP_CIPHER_fetch(m_context, "BF-CBC", nullptr) : nullptr)
    {
    }
    ~Blowfish()
    {
        EVP_CIPHER_free(m_cipher);
        if (m_legacy)
            OSSL_PROVIDER_unload(m_legacy);
        OSSL_LIB_CTX_free(m_context);
    }
    Blowfish(const Blowfish&) = delete;
    Blowfish& operator=(const Blowfish&) = delete;

    // Shared by every worker; each decryption has a context of its own.
    const EVP_CIPHER* Cbc() const { return m_cipher; }

private:
    OSSL_LIB_CTX* m_context;
    OSSL_PROVIDER* m_legacy;
    EVP_CIPHER* m_cipher;
};

// Padded Base64 only: the program always writes the padding.
std::vector<unsigned char> DecodeBase64(const std::string& text)
{
    if (text.empty() || text.size() % 4 != 0)
        return {};
    std::vector<unsigned char> bytes(text.size() / 4 * 3);
    const int decoded = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    if (decoded < 0)
        return {};
    // The padding decodes to zero bytes that are not part of the value.
    const std::size_t padding = text.compare(text.size() - 2, 2, "==") == 0 ? 2 : text.back() == '=' ? 1 : 0;
    bytes.resize(static_cast<std::size_t>(decoded) - padding);
    return bytes;
}

} // namespace

std::string UnsealRequestPath(const std::string& sealed)
{
    const std::vector<unsigned char> cipher = DecodeBase64(sealed);
    if (cipher.empty() || cipher.size() % 8 != 0)
        return std::string();
    static const Blowfish blowfish;
    if (!blowfish.Cbc())
        return std::string();

    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
    std::vector<unsigned char> plain(cipher.size() + 8);
    int length = 0;
    int last = 0;
    // The key length goes between choosing the cipher and giving the key:
    // Blowfish's default is 16 bytes.
    if (!context || !EVP_DecryptInit_ex2(context.get(), blowfish.Cbc(), nullptr, nullptr, nullptr) ||
        !EVP_CIPHER_CTX_set_key_length(context.get(), sizeof(kKey)) ||
        !EVP_DecryptInit_ex2(context.get(), nullptr, kKey, kIv, nullptr) ||
        !EVP_CIPHER_CTX_set_padding(context.get(), 0) ||
        !EVP_DecryptUpdate(context.get(), plain.data(), &length, cipher.data(),
                           static_cast<int>(cipher.size())) ||
        !EVP_DecryptFinal_ex(context.get(), plain.data() + length, &last))
        return std::string();
    plain.resize(static_cast<std::size_t>(length + last));

    // Zero bytes fill the last block; a value that is not UTF-8 before them
    // was not sealed from a text.
    const auto end = std::find(plain.begin(), plain.end(), 0);
    const std::string path(plain.begin(), end);
    if (path.empty() || wxString::FromUTF8(path.data(), path.size()).empty())
        return std::string();
    return path;
}

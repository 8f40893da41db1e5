#include "crypt/blowfish.h"

#include "crypt/blowfish_tables.h"

#include <cstring>
#include <utility>

namespace
{

std::uint32_t ReadHalf(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
           (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
}

void WriteHalf(std::uint32_t v, std::uint8_t* p)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

} // namespace

CCryptBlowFish::CCryptBlowFish(const std::uint8_t* key, int keyLength)
{
    std::memcpy(m_p, blowfish_tables::kInitialP, sizeof(m_p));
    std::memcpy(m_s, blowfish_tables::kInitialS, sizeof(m_s));
    if (keyLength > 0 && key)
        KeySchedule(key, keyLength);
}

void CCryptBlowFish::Reset()
{
    std::memset(m_p, 0, sizeof(m_p));
    std::memset(m_s, 0, sizeof(m_s));
}

std::uint32_t CCryptBlowFish::F(std::uint32_t x) const
{
    return ((m_s[0][x >> 24] + m_s[1][(x >> 16) & 0xFF]) ^ m_s[2][(x >> 8) & 0xFF]) +
           m_s[3][x & 0xFF];
}

void CCryptBlowFish::BaseEncryptBlock(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left, r = right;
    for (int i = 0; i < 16; ++i)
    {
        l ^= m_p[i];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= m_p[16];
    l ^= m_p[17];
    left = l;
    right = r;
}

void CCryptBlowFish::BaseDecryptBlock(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left, r = right;
    for (int i = 17; i > 1; --i)
    {
        l ^= m_p[i];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= m_p[1];
    l ^= m_p[0];
    left = l;
    right = r;
}

void CCryptBlowFish::EncryptBlock(std::uint32_t& left, std::uint32_t& right)
{
    BaseEncryptBlock(left, right);
}

void CCryptBlowFish::DecryptBlock(std::uint32_t& left, std::uint32_t& right)
{
    BaseDecryptBlock(left, right);
}

void CCryptBlowFish::KeySchedule(const std::uint8_t* key, int keyLength)
{
    // Only the first 72 bytes can reach the P-array.
    int pos = 0;
    for (int i = 0; i < 18; ++i)
    {
        std::uint32_t word = 0;
        for (int k = 0; k < 4; ++k)
        {
            word = (word << 8) | key[pos];
            pos = (pos + 1) % keyLength;
        }
        m_p[i] ^= word;
    }

    std::uint32_t l = 0, r = 0;
    for (int i = 0; i < 18; i += 2)
    {
        BaseEncryptBlock(l, r);
        m_p[i] = l;
        m_p[i + 1] = r;
    }
    for (auto& box : m_s)
    {
        for (int i = 0; i < 256; i += 2)
        {
            BaseEncryptBlock(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
}

// Runs a block operation over a buffer; a partial last block is zero-filled
// and written whole. Returns the number of bytes written.
template <typename BlockOp>
std::int32_t CCryptBlowFish::Transform(const std::uint8_t* in, std::uint8_t* out,
                                       std::int32_t length, BlockOp op)
{
    if (length <= 0)
        return 0;
    const std::int32_t whole = length / 8;
    for (std::int32_t b = 0; b < whole; ++b, in += 8, out += 8)
    {
        std::uint32_t l = ReadHalf(in), r = ReadHalf(in + 4);
        (this->*op)(l, r);
        WriteHalf(l, out);
        WriteHalf(r, out + 4);
    }
    std::int32_t written = whole * 8;
    if (const int rest = length % 8)
    {
        std::uint8_t block[8] = {};
        std::memcpy(block, in, rest);
        std::uint32_t l = ReadHalf(block), r = ReadHalf(block + 4);
        (this->*op)(l, r);
        WriteHalf(l, out);
        WriteHalf(r, out + 4);
        written += 8;
    }
    return written;
}

std::int32_t CCryptBlowFish::Encrypt(const std::uint8_t* in, std::uint8_t* out,
                                     std::int32_t inOffset, std::int32_t outOffset,
                                     std::int32_t length)
{
    // The virtual call makes the same loop chain on a CBC object.
    return outOffset + Transform(in + inOffset, out + outOffset, length,
                                 &CCryptBlowFish::EncryptBlock);
}

std::int32_t CCryptBlowFish::Decrypt(const std::uint8_t* in, std::uint8_t* out,
                                     std::int32_t inOffset, std::int32_t outOffset,
                                     std::int32_t length)
{
    // Whole blocks are written, but only the input's length is counted.
    if (length <= 0)
        return outOffset;
    Transform(in + inOffset, out + outOffset, length, &CCryptBlowFish::DecryptBlock);
    return outOffset + length;
}

CCryptBlowFishCbc::CCryptBlowFishCbc(const std::uint8_t* key, int keyLength,
                                     const std::uint8_t* iv)
    : CCryptBlowFish(key, keyLength),
      m_chainLeft(ReadHalf(iv)),
      m_chainRight(ReadHalf(iv + 4))
{
}

void CCryptBlowFishCbc::Reset()
{
    CCryptBlowFish::Reset();
    m_chainLeft = 0;
    m_chainRight = 0;
}

void CCryptBlowFishCbc::EncryptBlock(std::uint32_t& left, std::uint32_t& right)
{
    left ^= m_chainLeft;
    right ^= m_chainRight;
    BaseEncryptBlock(left, right);
    m_chainLeft = left;
    m_chainRight = right;
}

void CCryptBlowFishCbc::DecryptBlock(std::uint32_t& left, std::uint32_t& right)
{
    const std::uint32_t cipherLeft = left, cipherRight = right;
    BaseDecryptBlock(left, right);
    left ^= m_chainLeft;
    right ^= m_chainRight;
    m_chainLeft = cipherLeft;
    m_chainRight = cipherRight;
}

// Blowfish block cipher (64-bit blocks, 16 rounds) in ECB and CBC modes.
#ifndef PONTIRO_CRYPT_BLOWFISH_H
#define PONTIRO_CRYPT_BLOWFISH_H

#include <cstdint>

// Objects are used by value (no virtual destructor).
// Blocks are two 32-bit halves read most significant byte first.
// Encrypt/Decrypt reach the block operations virtually, so the same buffer
// code chains on a CCryptBlowFishCbc.
class CCryptBlowFish
{
public:
    // A keyLength of 0 leaves the initial pi tables; keys past 72 bytes
    // lose their excess.
    CCryptBlowFish(const std::uint8_t* key, int keyLength);

    virtual void Reset();
    virtual void EncryptBlock(std::uint32_t& left, std::uint32_t& right);
    // Returns the new output offset; the output must have room for length
    // rounded up to whole blocks.
    virtual std::int32_t Encrypt(const std::uint8_t* in, std::uint8_t* out,
                                 std::int32_t inOffset, std::int32_t outOffset,
                                 std::int32_t length);
    virtual void DecryptBlock(std::uint32_t& left, std::uint32_t& right);
    // Writes whole blocks but returns outOffset + length.
    virtual std::int32_t Decrypt(const std::uint8_t* in, std::uint8_t* out,
                                 std::int32_t inOffset, std::int32_t outOffset,
                                 std::int32_t length);

protected:
    void BaseEncryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void BaseDecryptBlock(std::uint32_t& left, std::uint32_t& right) const;

private:
    template <typename BlockOp>
    std::int32_t Transform(const std::uint8_t* in, std::uint8_t* out, std::int32_t length,
                           BlockOp op);
    std::uint32_t F(std::uint32_t x) const;
    void KeySchedule(const std::uint8_t* key, int keyLength);

    std::uint32_t m_p[18];
    std::uint32_t m_s[4][256];
};

class CCryptBlowFishCbc final : public CCryptBlowFish
{
public:
    // iv: 8 bytes, read in the block byte order.
    CCryptBlowFishCbc(const std::uint8_t* key, int keyLength, const std::uint8_t* iv);

    void Reset() override;
    void EncryptBlock(std::uint32_t& left, std::uint32_t& right) override;
    void DecryptBlock(std::uint32_t& left, std::uint32_t& right) override;

private:
    std::uint32_t m_chainLeft;
    std::uint32_t m_chainRight;
};

#endif

#include "crypt/blowfish.h"
#include "tests/crypt/hexbytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{

std::string EcbEncrypt(const std::vector<std::uint8_t>& key, const std::string& plainHex)
{
    CCryptBlowFish bf(key.data(), static_cast<int>(key.size()));
    const auto plain = Hex(plainHex);
    std::uint8_t out[8] = {};
    EXPECT_EQ(8, bf.Encrypt(plain.data(), out, 0, 0, 8));
    return ToHex(out, 8);
}

struct EcbVector
{
    const char* key;
    const char* plain;
    const char* cipher;
};

// The standard Blowfish validation set.
const EcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

} // namespace

TEST(Blowfish, StandardEcbVectorsEncryptAndDecrypt)
{
    for (const auto& v : kEcbVectors)
    {
        SCOPED_TRACE(v.key);
        const auto key = Hex(v.key);
        EXPECT_EQ(v.cipher, EcbEncrypt(key, v.plain));

        CCryptBlowFish bf(key.data(), static_cast<int>(key.size()));
        const auto cipher = Hex(v.cipher);
        std::uint8_t out[8] = {};
        EXPECT_EQ(8, bf.Decrypt(cipher.data(), out, 0, 0, 8));
        EXPECT_EQ(v.plain, ToHex(out, 8));
    }
}

TEST(Blowfish, VariableKeyLengthVectors)
{
    const char* expected[24] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
        "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    const auto fullKey = Hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    for (std::size_t len = 1; len <= 24; ++len)
    {
        SCOPED_TRACE(len);
        std::vector<std::uint8_t> key(fullKey.begin(), fullKey.begin() + len);
        EXPECT_EQ(expected[len - 1], EcbEncrypt(key, "FEDCBA9876543210"));
    }
}

TEST(Blowfish, StandardCbcVectorChainsAcrossCalls)
{
    const auto key = Hex("0123456789ABCDEFF0E1D2C3B4A59687");
    const auto iv = Hex("FEDCBA9876543210");
    const std::string text = "7654321 Now is the time for ";
    std::vector<std::uint8_t> plain(text.begin(), text.end());
    plain.push_back(0); // 29 bytes; the last block is zero-filled
    const std::string expected =
        "6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC";

    std::vector<std::uint8_t> out(32);
    CCryptBlowFishCbc one(key.data(), 16, iv.data());
    EXPECT_EQ(32, one.Encrypt(plain.data(), out.data(), 0, 0, 29));
    EXPECT_EQ(expected, ToHex(out.data(), 32));

    // The same stream in pieces: the chaining value carries over.
    std::vector<std::uint8_t> pieces(32);
    CCryptBlowFishCbc split(key.data(), 16, iv.data());
    EXPECT_EQ(8, split.Encrypt(plain.data(), pieces.data(), 0, 0, 8));
    EXPECT_EQ(16, split.Encrypt(plain.data(), pieces.data(), 8, 8, 8));
    EXPECT_EQ(32, split.Encrypt(plain.data(), pieces.data(), 16, 16, 13));
    EXPECT_EQ(expected, ToHex(pieces.data(), 32));

    std::vector<std::uint8_t> back(32, 0xAA);
    CCryptBlowFishCbc dec(key.data(), 16, iv.data());
    EXPECT_EQ(32, dec.Decrypt(out.data(), back.data(), 0, 0, 32));
    EXPECT_EQ(ToHex(plain.data(), 29) + "000000", ToHex(back.data(), 32));
}

TEST(Blowfish, PartialBlocksAndOffsets)
{
    const auto key = Hex("0123456789ABCDEF");
    CCryptBlowFish bf(key.data(), 8);
    std::uint8_t in[13];
    for (int i = 0; i < 13; ++i)
        in[i] = static_cast<std::uint8_t>(i + 1);

    std::uint8_t untouched[8];
    std::fill(std::begin(untouched), std::end(untouched), 0x5A);
    EXPECT_EQ(3, bf.Encrypt(in, untouched, 0, 3, 0));
    for (auto b : untouched)
        EXPECT_EQ(0x5A, b);

    std::uint8_t enc[16] = {};
    EXPECT_EQ(16, bf.Encrypt(in, enc, 0, 0, 13));
    std::uint8_t dec[16];
    std::fill(std::begin(dec), std::end(dec), 0xEE);
    EXPECT_EQ(16, bf.Decrypt(enc, dec, 0, 0, 16));
    EXPECT_EQ(ToHex(in, 13) + "000000", ToHex(dec, 16));

    // A partial block to decrypt: all 8 bytes written, length counted.
    std::uint8_t five[24] = {};
    EXPECT_EQ(11, bf.Decrypt(enc, five, 0, 6, 5));
    std::uint8_t block[8] = {enc[0], enc[1], enc[2], enc[3], enc[4], 0, 0, 0};
    std::uint8_t expected[8];
    bf.Decrypt(block, expected, 0, 0, 8);
    EXPECT_EQ(ToHex(expected, 8), ToHex(five + 6, 8));
}

TEST(Blowfish, KeyLengthEdges)
{
    // No key: the pi tables as they are. Blowfish of zeros under the unkeyed
    // tables is fixed, so compare against a second unkeyed object's block op.
    CCryptBlowFish unkeyed(nullptr, 0);
    std::uint32_t l = 0, r = 0;
    unkeyed.EncryptBlock(l, r);
    const auto zeroKey = Hex("00");
    CCryptBlowFish keyed(zeroKey.data(), 1);
    std::uint32_t kl = 0, kr = 0;
    keyed.EncryptBlock(kl, kr);
    EXPECT_FALSE(l == kl && r == kr);
    std::uint32_t back_l = l, back_r = r;
    unkeyed.DecryptBlock(back_l, back_r);
    EXPECT_EQ(0u, back_l);
    EXPECT_EQ(0u, back_r);

    // A key of 80 bytes behaves as its first 72.
    std::vector<std::uint8_t> key80(80);
    for (int i = 0; i < 80; ++i)
        key80[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::vector<std::uint8_t> key72(key80.begin(), key80.begin() + 72);
    EXPECT_EQ(EcbEncrypt(key72, "0123456789ABCDEF"), EcbEncrypt(key80, "0123456789ABCDEF"));
}

TEST(Blowfish, ResetZeroesTablesAndChain)
{
    const auto key = Hex("0123456789ABCDEF");
    const auto iv = Hex("FEDCBA9876543210");
    CCryptBlowFishCbc cbc(key.data(), 8, iv.data());
    cbc.Reset();
    // With every table entry and the chain at zero, F is 0: sixteen swaps
    // and the undone last one leave the halves exchanged.
    std::uint32_t l = 0x01234567, r = 0x89ABCDEF;
    cbc.EncryptBlock(l, r);
    EXPECT_EQ(0x89ABCDEFu, l);
    EXPECT_EQ(0x01234567u, r);
    // The chain is now that ciphertext; a second block shows it was zero
    // before (no IV mixed in).
    std::uint32_t l2 = 0, r2 = 0;
    cbc.EncryptBlock(l2, r2);
    EXPECT_EQ(0x01234567u, l2);
    EXPECT_EQ(0x89ABCDEFu, r2);
}

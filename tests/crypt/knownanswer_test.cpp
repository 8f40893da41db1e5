// Answers computed outside the project, by OpenSSL's Blowfish. The stand-in
// web service and the demo cannot see a fault in the sealing's key, IV, byte
// order, chaining or padding when both ends of a request share it; these
// tables can.
//
// The sealing's key is 10 bytes. OpenSSL's enc command pads -K with zero
// bytes to 16, so its answers are for that 16-byte key (kCommandAnswers),
// each made from the text zero-padded to whole blocks:
//
//   printf '%s' "$TEXT" > t; n=$(stat -c %s t); head -c $(( -n & 7 )) /dev/zero >> t
//   openssl enc -bf-cbc -provider legacy -provider default -nopad -in t
//       -K 776b7438336d32707a72000000000000 -iv 3C710EA5D2489B6F | xxd -p -c 256 -u
//   (one command line)
//
// The answers for the 10-byte key itself (kSealAnswers) come from OpenSSL's
// library at that key length, through Debian's python3-cryptography:
//
//   /usr/bin/python3 -W ignore -c 'import sys,base64
//   from cryptography.hazmat.primitives.ciphers import Cipher,algorithms,modes
//   b=sys.argv[1].encode(); b+=bytes(-len(b)%8)
//   e=Cipher(algorithms.Blowfish(b"wkt83m2pzr"),modes.CBC(bytes.fromhex("3C710EA5D2489B6F"))).encryptor()
//   c=e.update(b)+e.finalize(); print(c.hex().upper(), base64.b64encode(c).decode())' "$TEXT"
#include "crypt/blowfish.h"
#include "crypt/seal.h"
#include "tests/crypt/hexbytes.h"

#include <gtest/gtest.h>
#include <wx/string.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{

const std::uint8_t kSealKey[10] = {'w', 'k', 't', '8', '3', 'm', '2', 'p', 'z', 'r'};
// What the enc command makes of that key.
const std::uint8_t kCommandKey[16] = {'w', 'k', 't', '8', '3', 'm', '2', 'p', 'z', 'r'};
const std::uint8_t kSealIv[8] = {0x3C, 0x71, 0x0E, 0xA5, 0xD2, 0x48, 0x9B, 0x6F};

struct Answer
{
    const char* utf8;
    const char* cipher; // hexadecimal
    const char* sealed; // Base64 of the cipher
};

const Answer kSealAnswers[] = {
    {"password", "F8D159E8216FA9F0", "+NFZ6CFvqfA="}, // exactly one block
    {"password1", "F8D159E8216FA9F0CFFD0D7E0F7FA147", "+NFZ6CFvqfDP/Q1+D3+hRw=="},
    {"demo@kelvonet.example", "E2F959B9FD070A11416B11C5B93B7692FEFD1A6B69D61FE8",
     "4vlZuf0HChFBaxHFuTt2kv79Gmtp1h/o"},
    // Two- and three-byte letters, 24 bytes in all.
    {"Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen \xE2\x82\xAC",
     "9B7861D0759220FA69694DEBC393E28A4CEB1DBB46C9A82D", "m3hh0HWSIPppaU3rw5PiikzrHbtGyagt"},
    {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "BFAE1DF329B737FDCF747E360E266025",
     "v64d8ym3N/3PdH42DiZgJQ=="}, // 9 bytes
    // The request paths.
    {"/BtoB/PND/radars", "E99A54CA9C062E27BAE983C7BCB7F2F6", "6ZpUypwGLie66YPHvLfy9g=="},
    {"/BtoB/PND/radarsv2", "E99A54CA9C062E27BAE983C7BCB7F2F6F14B38AC305DB1F5",
     "6ZpUypwGLie66YPHvLfy9vFLOKwwXbH1"},
    {"/BtoB/PND/radarsv3", "E99A54CA9C062E27BAE983C7BCB7F2F63D42D56273AFF66D",
     "6ZpUypwGLie66YPHvLfy9j1C1WJzr/Zt"},
    {"/BtoB/PND/session?email=demo@kelvonet.example&password=demo1234",
     "E99A54CA9C062E27CB7074004DDCCCAC4CE2C0C7A41BF8D30FDFBFEF7A356824"
     "043EC6654AE15E9EDE32B725C496997ACBC0F0F555237A9ACE3C3558203B7058",
     "6ZpUypwGLifLcHQATdzMrEziwMekG/jTD9+/73o1aCQEPsZlSuFent4ytyXElpl6y8Dw9VUjeprOPDVYIDtwWA=="},
};

const Answer kCommandAnswers[] = {
    {"password", "CF0D5D04BEEB44F3", nullptr},
    {"password1", "CF0D5D04BEEB44F39B02E832351CF63F", nullptr},
    {"Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen \xE2\x82\xAC",
     "53FBF46EB1F3274172B965EA408D88C217832625D4CF1C3A", nullptr},
    {"/BtoB/PND/session?email=demo@kelvonet.example&password=demo1234",
     "12AD1A034513D0EEFF9674DFA80693F83D0F8A0BD8693E43853D43413007F2AD"
     "5613FD59ACCF77527D9D03B36DBCF065A9F1C18879F60CC3F3B370EF221E61DE",
     nullptr},
};

std::vector<std::uint8_t> ZeroPadded(const char* utf8)
{
    std::vector<std::uint8_t> bytes(utf8, utf8 + std::strlen(utf8));
    bytes.resize((bytes.size() + 7) / 8 * 8, 0);
    return bytes;
}

// The raw class both ways, the stream given in one call and block by block.
void CheckCbc(const std::uint8_t* key, int keyLength, const Answer& answer)
{
    const std::vector<std::uint8_t> plain = ZeroPadded(answer.utf8);
    const auto length = static_cast<std::int32_t>(plain.size());

    std::vector<std::uint8_t> whole(plain.size());
    CCryptBlowFishCbc oneCall(key, keyLength, kSealIv);
    EXPECT_EQ(length, oneCall.Encrypt(plain.data(), whole.data(), 0, 0, length));
    EXPECT_EQ(answer.cipher, ToHex(whole.data(), whole.size()));

    std::vector<std::uint8_t> pieces(plain.size());
    CCryptBlowFishCbc blockwise(key, keyLength, kSealIv);
    for (std::int32_t at = 0; at < length; at += 8)
        blockwise.Encrypt(plain.data(), pieces.data(), at, at, 8);
    EXPECT_EQ(answer.cipher, ToHex(pieces.data(), pieces.size()));

    const std::vector<std::uint8_t> cipher = Hex(answer.cipher);
    std::vector<std::uint8_t> back(cipher.size(), 0xEE);
    CCryptBlowFishCbc decrypt(key, keyLength, kSealIv);
    EXPECT_EQ(static_cast<std::int32_t>(cipher.size()),
              decrypt.Decrypt(cipher.data(), back.data(), 0, 0, static_cast<std::int32_t>(cipher.size())));
    EXPECT_EQ(ToHex(plain.data(), plain.size()), ToHex(back.data(), back.size()));
}

} // namespace

TEST(KnownAnswers, SealingMatchesOpenSsl)
{
    for (const Answer& answer : kSealAnswers)
    {
        SCOPED_TRACE(answer.utf8);
        const wxString text = wxString::FromUTF8(answer.utf8);
        EXPECT_EQ(answer.sealed, SealText(text).ToStdString());
        EXPECT_EQ(text, UnsealText(answer.sealed));
        CheckCbc(kSealKey, sizeof(kSealKey), answer);
    }
}

TEST(KnownAnswers, CbcClassMatchesTheOpenSslCommand)
{
    for (const Answer& answer : kCommandAnswers)
    {
        SCOPED_TRACE(answer.utf8);
        CheckCbc(kCommandKey, sizeof(kCommandKey), answer);
    }
}

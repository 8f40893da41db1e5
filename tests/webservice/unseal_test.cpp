// The stand-in reads the program's sealed paths with a cipher of its own
// (OpenSSL's where the build has it); the answers here were made outside the
// project, as in tests/crypt/knownanswer_test.cpp.
#include "webservice/unseal.h"

#include <gtest/gtest.h>

#include <string>

TEST(StandInUnseal, ReadsSealedPathsAndRefusesTheRest)
{
    struct Case
    {
        const char* sealed;
        const char* path;
    };
    const Case cases[] = {
        {"6ZpUypwGLie66YPHvLfy9g==", "/BtoB/PND/radars"},
        {"6ZpUypwGLie66YPHvLfy9vFLOKwwXbH1", "/BtoB/PND/radarsv2"},
        {"6ZpUypwGLifLcHQATdzMrEziwMekG/jTD9+/73o1aCQEPsZlSuFent4ytyXElpl6y8Dw9VUjeprOPDVYIDtwWA==",
         "/BtoB/PND/session?email=demo@kelvonet.example&password=demo1234"},
        {"m3hh0HWSIPppaU3rw5PiikzrHbtGyagt", "Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen \xE2\x82\xAC"},
        {"", ""},
        {"bm90c2VhbGVk", ""},             // "notsealed": not whole blocks
        {"6ZpUypwGLie66YPH", ""},         // cut short
        {"!!!!not*base64!!", ""},
        {"zw1dBL7rRPM=", ""},             // "password" under another key
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.sealed);
        EXPECT_EQ(UnsealRequestPath(c.sealed), c.path);
    }
}

// For a build without OpenSSL (the Windows one): the program's own
// unsealing. There the stand-in shares any fault of the program's cipher;
// the known-answer tests of tests/crypt are what catch one.
#include "webservice/unseal.h"

#include "crypt/seal.h"

#include <wx/string.h>

std::string UnsealRequestPath(const std::string& sealed)
{
    return UnsealText(wxString::FromUTF8(sealed.c_str())).utf8_str().data();
}

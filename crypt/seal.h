// Sealing of stored credentials and request paths: Blowfish-CBC under a
// fixed key and IV, written as Base64.
#ifndef PONTIRO_CRYPT_SEAL_H
#define PONTIRO_CRYPT_SEAL_H

class wxString;

wxString SealText(const wxString& text);
// Values that do not come from SealText (bad length, wrong key, not UTF-8)
// give "".
wxString UnsealText(const wxString& sealed);

#endif

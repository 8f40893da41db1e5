// Texts and numbers of the request and response heads.
#ifndef PONTIRO_HTTP_HTTPENCODING_H
#define PONTIRO_HTTP_HTTPENCODING_H

#include <wx/string.h>

#include <cstdint>
#include <string>

// Letters and digits (codes up to 0xFF, as the C locale classifies them) and
// "-@*_" stay; a space becomes "+", a line feed "%0D%0A", anything else
// "%" and its code in upper-case hex (at least two digits).
wxString UrlEncode(const wxString& text);

// length characters: "-" for the first max(2, (length / 3) * 2), then
// random letters and digits.
wxString MakeBoundary(size_t length);

// Leading blanks, an optional sign, then decimal digits up to the first other
// character; 0 without digits. Saturates instead of overflowing.
std::int64_t ParseLeadingInteger(const wxString& text);
std::int64_t ParseLeadingInteger(const char* text, size_t length);

// Text in the narrow system encoding; false when it cannot be represented
// (a request with a mangled line must not go out).
bool ToNarrow(const wxString& text, std::string& bytes);

#endif

// The navigation software's "license.db" as tests lay it on a device or a
// card: its text in UTF-16LE.
#ifndef PONTIRO_TESTS_SUPPORT_LICENSEFILE_H
#define PONTIRO_TESTS_SUPPORT_LICENSEFILE_H

#include <string>

// UTF-16LE bytes of a text given as 16-bit units (lone surrogates stay).
std::string Utf16Le(const std::u16string& text);

// The file holding a map-extra text (UTF-8), ended by a zero unit.
std::string LicenseFile(const std::string& mapExtra);

#endif

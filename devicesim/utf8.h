// UTF-16 (the device's texts) to UTF-8 (the host's file names) and back.
#ifndef PONTIRO_DEVICESIM_UTF8_H
#define PONTIRO_DEVICESIM_UTF8_H

#include <cstddef>
#include <string>

namespace devsim
{
// False for a text with an unpaired surrogate.
bool Utf16ToUtf8(const char16_t* text, std::size_t units, std::string& out);
// The units of a zero-terminated text; false as above.
bool Utf16ToUtf8(const char16_t* text, std::string& out);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::size_t Utf16Length(const char16_t* text);
}

#endif

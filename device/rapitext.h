// Texts of the device: paths and inputs go to it as UTF-16, the replies of
// the device-side library come back as 8-bit or UTF-16 text, and the card's
// license file holds UTF-16.
#ifndef PONTIRO_DEVICE_RAPITEXT_H
#define PONTIRO_DEVICE_RAPITEXT_H

#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <string>

// UTF-16 units of a text (characters beyond the basic plane as pairs).
std::u16string ToDeviceText(const wxString& text);
// Unpaired surrogates become U+FFFD.
wxString FromDeviceText(const char16_t* units, std::size_t count);

// An 8-bit text reply: accepted when it is not empty and its only zero byte
// is its last; each byte becomes one character of the same value.
bool DecodeNarrowReply(const unsigned char* reply, std::uint32_t size, wxString& text);

// A UTF-16 text reply: accepted when it is not empty; read up to its first
// zero unit or its end (an odd last byte is no unit).
bool DecodeWideReply(const unsigned char* reply, std::uint32_t size, wxString& text);

#endif

// Base64 (RFC 4648 alphabet) with the lenient decoding the sealed texts and
// hand-edited ini values rely on.
#ifndef PONTIRO_HTTP_BASE64_H
#define PONTIRO_HTTP_BASE64_H

#include <cstddef>
#include <cstdint>
#include <vector>

class wxString;

// Each character's code taken as one byte (codes above 0xFF: undefined).
wxString Base64Encode(const wxString& text);
wxString Base64EncodeBytes(const std::uint8_t* bytes, std::size_t count);
// Never fails: "=" ends the walk, a space counts as "+", other characters
// take part with the marker value 0xFFFF; only complete bytes are returned.
std::vector<std::uint8_t> Base64Decode(const wxString& text);

#endif

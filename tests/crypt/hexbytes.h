// Bytes written as hexadecimal digits, for the cipher tests' tables.
#ifndef PONTIRO_TESTS_CRYPT_HEXBYTES_H
#define PONTIRO_TESTS_CRYPT_HEXBYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> Hex(const std::string& hex)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Upper-case digits.
inline std::string ToHex(const std::uint8_t* p, std::size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
    {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

#endif

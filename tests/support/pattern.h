// Reproducible pseudo-random test content, shared by the device test folders.
#ifndef PONTIRO_TESTS_SUPPORT_PATTERN_H
#define PONTIRO_TESTS_SUPPORT_PATTERN_H

#include "device/bytevector.h"

#include <cstddef>

inline ByteVector Pattern(std::size_t size, unsigned variant = 1)
{
    ByteVector bytes(size);
    // The variant spread by a multiplicative hash, then a plain linear
    // congruential generator: cheap, and the same bytes on every platform.
    unsigned state = variant * 2654435761u + 1;
    for (unsigned char& byte : bytes)
    {
        state = state * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(state >> 16);
    }
    return bytes;
}

#endif

// Blowfish's constant initial P-array and S-boxes.
#ifndef PONTIRO_CRYPT_BLOWFISH_TABLES_H
#define PONTIRO_CRYPT_BLOWFISH_TABLES_H

#include <cstdint>

namespace blowfish_tables
{
extern const std::uint32_t kInitialP[18];
extern const std::uint32_t kInitialS[4][256];
}

#endif

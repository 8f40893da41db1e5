// Where the byte vector's bytes start, and which growths set them.
#include "device/bytevector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace
{
std::uintptr_t Address(const ByteVector& bytes)
{
    return reinterpret_cast<std::uintptr_t>(bytes.data());
}
}

TEST(ByteVector, StartsOnACacheLineAndALargeOneOnAHugePage)
{
    const std::size_t huge = std::size_t(2) << 20;
    const std::size_t sizes[] = {1, 17, 4096, (1u << 20) + 17, huge - 1, huge, (64u << 20) + 5};
    for (const std::size_t size : sizes)
    {
        SCOPED_TRACE(std::to_string(size) + " bytes");
        const std::size_t alignment = size >= huge ? huge : 64;
        ByteVector reserved;
        reserved.reserve(size);
        EXPECT_EQ(Address(reserved) % alignment, 0u);
        // Grown a byte at a time, as a body of unknown length may be.
        ByteVector grown;
        for (std::size_t i = 0; i < std::min<std::size_t>(size, 5000); ++i)
            grown.push_back(static_cast<unsigned char>(i));
        EXPECT_EQ(Address(grown) % 64, 0u);
        ByteVector copy(size, 7);
        EXPECT_EQ(Address(copy) % alignment, 0u);
        EXPECT_TRUE(ByteVector(copy) == copy);
    }
}

TEST(ByteVector, GrowingWithAValueSetsTheNewBytes)
{
    ByteVector bytes(100000, 0xAB);
    bytes.resize(10);
    bytes.resize(100000, 0);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 10, [](unsigned char b) { return b == 0xAB; }));
    EXPECT_TRUE(std::all_of(bytes.begin() + 10, bytes.end(), [](unsigned char b) { return b == 0; }));
}

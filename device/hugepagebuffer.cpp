#include "device/hugepagebuffer.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

#include <cstdint>

void ReserveOnHugePages(std::vector<unsigned char>& bytes, std::size_t capacity)
{
    if (bytes.capacity() >= capacity)
        return;
    std::vector<unsigned char> larger;
    larger.reserve(capacity);
#ifdef __linux__
    // Only the whole huge pages inside the allocation can be offered.
    const std::uintptr_t huge = std::uintptr_t(2) << 20;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(larger.data());
    const std::uintptr_t first = (start + huge - 1) & ~(huge - 1);
    const std::uintptr_t last = (start + larger.capacity()) & ~(huge - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
    larger.assign(bytes.begin(), bytes.end());
    bytes.swap(larger);
}

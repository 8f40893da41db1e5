#include "device/bytevector.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace
{
constexpr std::size_t kCacheLine = 64;
constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Where a block of size bytes starts; the same for its release.
std::size_t AlignmentFor(std::size_t size)
{
    return size >= kHugePage ? kHugePage : kCacheLine;
}
}

void* AllocateTransferBytes(std::size_t size)
{
    const std::size_t alignment = AlignmentFor(size);
    void* block = ::operator new(size, std::align_val_t(alignment));
#ifdef __linux__
    // Filling fresh memory a 4 KiB page at a time costs more than receiving
    // or reading the bytes into it.
    if (alignment == kHugePage)
        ::madvise(block, size / kHugePage * kHugePage, MADV_HUGEPAGE);
#endif
    return block;
}

void ReleaseTransferBytes(void* block, std::size_t size) noexcept
{
    ::operator delete(block, std::align_val_t(AlignmentFor(size)));
}

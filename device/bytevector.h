// The byte vector that holds a whole file in memory on its way between the
// service, the program and the device.
//
// It differs from a std::vector<unsigned char> in two ways, both for the
// system's copies into and out of it, which are most of a transfer's work:
// - Its bytes start on a cache line, and a large one on a huge page, with
//   the whole offered huge pages where the system has them. A large block
//   from the C library starts 16 bytes past a page, and a read from the
//   page cache into such a block runs at half the speed.
// - Growing it leaves the new bytes unset: every growth here is read over
//   at once, and zeroing first would be a pass over memory of its own.
//   resize(n) and ByteVector(n) leave the new bytes undefined; resize(n, 0)
//   and ByteVector(n, 0) zero them.
#ifndef PONTIRO_DEVICE_BYTEVECTOR_H
#define PONTIRO_DEVICE_BYTEVECTOR_H

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// Blocks for the allocator below; size is the same in both calls.
void* AllocateTransferBytes(std::size_t size);
void ReleaseTransferBytes(void* block, std::size_t size) noexcept;

template <class T>
class TransferAllocator
{
public:
    typedef T value_type;

    TransferAllocator() noexcept = default;
    template <class U>
    TransferAllocator(const TransferAllocator<U>&) noexcept
    {
    }

    T* allocate(std::size_t count)
    {
        if (count > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateTransferBytes(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t count) noexcept
    {
        ReleaseTransferBytes(block, count * sizeof(T));
    }

    // Made without a value: growing leaves what the memory holds.
    template <class U>
    void construct(U* where) noexcept(std::is_nothrow_default_constructible<U>::value)
    {
        ::new (static_cast<void*>(where)) U;
    }
    template <class U, class... Args>
    void construct(U* where, Args&&... args)
    {
        ::new (static_cast<void*>(where)) U(std::forward<Args>(args)...);
    }
};

template <class T, class U>
bool operator==(const TransferAllocator<T>&, const TransferAllocator<U>&) noexcept
{
    return true;
}

template <class T, class U>
bool operator!=(const TransferAllocator<T>&, const TransferAllocator<U>&) noexcept
{
    return false;
}

typedef std::vector<unsigned char, TransferAllocator<unsigned char>> ByteVector;

#endif

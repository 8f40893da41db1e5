// The one way the program takes window and event ids.
#ifndef PONTIRO_DEVICE_LAZYID_H
#define PONTIRO_DEVICE_LAZYID_H

#include <atomic>

// An id taken from the toolkit's counter the first time it is read. Static
// event tables copy ids while files are initialised, in an order C++ leaves
// open; an id that is constant-initialised and allocated on first read has
// the same value in every table and every thread whatever that order is.
// Declare each one `inline const LazyId ID_NAME;` in a header.
class LazyId
{
public:
    constexpr LazyId() = default;
    LazyId(const LazyId&) = delete;
    LazyId& operator=(const LazyId&) = delete;

    operator int() const;

private:
    mutable std::atomic<int> m_id{0};
};

#endif

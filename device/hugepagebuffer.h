// Large byte buffers that are filled once, at the speed of the medium: a
// downloaded body, a file read from the device.
#ifndef PONTIRO_DEVICE_HUGEPAGEBUFFER_H
#define PONTIRO_DEVICE_HUGEPAGEBUFFER_H

#include <cstddef>
#include <vector>

// Gives `bytes` room for at least `capacity` bytes, keeping its content.
// New room is a fresh allocation offered huge pages where the system has
// them: filling fresh memory a 4 KiB page at a time costs more than
// receiving or reading the bytes.
void ReserveOnHugePages(std::vector<unsigned char>& bytes, std::size_t capacity);

#endif

// The file of the device-side library vdxrapi, compiled into the program;
// the Remote API device writes it to the device before every remote call.
#ifndef PONTIRO_DEVICELIB_DEVICELIBRARYIMAGE_H
#define PONTIRO_DEVICELIB_DEVICELIBRARYIMAGE_H

#include <cstddef>

extern const unsigned char g_deviceLibraryImage[];
extern const std::size_t g_deviceLibraryImageSize;

#endif

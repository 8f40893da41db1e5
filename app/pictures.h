// The two pictures carried in the program's data (generated from
// app/res/ by the build).
#ifndef PONTIRO_APP_PICTURES_H
#define PONTIRO_APP_PICTURES_H

#include <cstddef>

// 480 x 272 PNG, 8-bit RGB: the window's background and client size.
extern const unsigned char g_backgroundPng[];
extern const std::size_t g_backgroundPngSize;

// Windows icon file with one 16 x 16 picture at 24 bits per pixel.
extern const unsigned char g_iconIco[];
extern const std::size_t g_iconIcoSize;

#endif

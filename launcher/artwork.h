// The artwork bitmap file, carried in the executable as data of the stored layout.
#pragma once

#include <cstddef>

extern const unsigned char kArtworkBitmap[];
extern const std::size_t kArtworkBitmapSize;

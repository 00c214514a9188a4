// A bitmap file carried as data, drawn straight from its bytes: no GDI object to create or keep.
#pragma once

#include <windows.h>

#include "layout.h"

namespace platform {

// Only 24- and 32-bit pictures are accepted, so the header is all the BITMAPINFO there is; it is
// copied because a file header of 14 bytes leaves it unaligned in the data.
struct DibView {
    BITMAPINFO info = {};
    const void* bits = nullptr;
    int width = 0;
    int height = 0;
};

// Checks the file's headers against its size; a malformed picture is run-time error 481.
DibView openPicture(const Picture& picture);

// Draws the picture into `box`, which may reach beyond the window on any side: pixel for pixel
// where the box has the picture's size, else scaled to the box with a bilinear filter.
void drawPicture(HDC dc, const DibView& dib, const RECT& box);

}  // namespace platform

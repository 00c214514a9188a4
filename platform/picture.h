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

// Draws the picture unscaled with its top-left corner at (x, y), which may be negative.
void drawPicture(HDC dc, const DibView& dib, int x, int y);

}  // namespace platform

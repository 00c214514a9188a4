// The two launcher assets: the window's background picture and the application icon images, plus
// the fixed layout facts the picture is composed around.
#pragma once

#include "formats.hpp"
#include "raster.hpp"

namespace assetgen {

constexpr int kArtWidth = 520, kArtHeight = 316;
constexpr std::size_t kArtTrailingBytes = 2;

// Where the launcher window places things over the picture, in picture pixels (top-down,
// inclusive). The window shows columns 72..518 and rows 0..314.
struct Box {
    int left, top, right, bottom;
};
constexpr Box kWindowView{72, 0, 518, 314};
constexpr Box kButtons[3] = {{136, 80, 256, 112}, {136, 120, 256, 152}, {136, 280, 256, 312}};
constexpr Box kCreditText{384, 304, 519, 316};
constexpr Box kTitleArea{272, 20, 512, 70};

Image render_artwork();

// The emblem at `size` pixels. 8 bpp images get a palette fitted to the drawing; 4 bpp images use
// the 16 VGA colours.
IconImage render_icon(int size, int bpp);

}  // namespace assetgen

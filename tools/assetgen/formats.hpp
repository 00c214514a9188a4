// Writers and independent readers-back for the two Windows file formats the launcher ships: a
// 24-bit BMP and a multi-image ICO. The validators re-parse the produced bytes field by field so a
// layout slip is caught before anything is written to disk.
#pragma once

#include "raster.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

using Bytes = std::vector<std::uint8_t>;

// Bottom-up 24-bit BMP, image-size field 0, 2834 px/m, followed by `trailing_zero_bytes` zeros
// that are counted in the file-size field.
Bytes encode_bmp24(const Image& image, std::size_t trailing_zero_bytes);
// Empty when `bmp` is exactly such a file of the given dimensions; otherwise one line per fault.
std::vector<std::string> validate_bmp24(const Bytes& bmp, int width, int height,
                                        std::size_t trailing_zero_bytes);
// Reads the pixels back (top-down) from a file that validate_bmp24 accepted.
Image decode_bmp24(const Bytes& bmp);

// One palettised icon image. `indices` and `transparent` are top-down, width*height long;
// `palette` has exactly 1 << bpp entries.
struct IconImage {
    int width = 0, height = 0, bpp = 8;
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint8_t> transparent;  // 1 = show what is behind the icon
};

std::size_t icon_image_bytes(int width, int height, int bpp);
Bytes encode_ico(const std::vector<IconImage>& images);

struct IcoEntry {
    int width, height, colour_count, bpp;
    std::uint32_t bytes, offset;
};
std::vector<std::string> validate_ico(const Bytes& ico, const std::vector<IcoEntry>& expected);

// The 16 colours of the standard Windows/VGA 4-bit palette, in DIB index order.
std::vector<Rgb> vga_palette();

// Up to `max_colours` palette entries for `colours`: every distinct colour when they fit,
// otherwise the means of median-cut boxes. The result does not depend on the order of `colours`.
std::vector<Rgb> build_palette(const std::vector<Rgb>& colours, std::size_t max_colours);
// Index of the entry nearest to `c` (squared RGB distance, lowest index on a tie).
std::uint8_t nearest_index(const std::vector<Rgb>& palette, Rgb c);

}  // namespace assetgen

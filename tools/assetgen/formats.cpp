// BMP and ICO encoding, their field-by-field validators, and the palette builder for 8-bit icons.
#include "formats.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>
#include <utility>

namespace assetgen {

namespace {

void put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t get16(const Bytes& in, std::size_t at) { return in[at] | (in[at + 1] << 8); }

std::uint32_t get32(const Bytes& in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8) |
           (static_cast<std::uint32_t>(in[at + 2]) << 16) |
           (static_cast<std::uint32_t>(in[at + 3]) << 24);
}

std::size_t padded_row(std::size_t bits) { return (bits + 31) / 32 * 4; }

constexpr std::uint32_t kBmpHeaderBytes = 54;
constexpr std::uint32_t kPixelsPerMetre = 2834;  // 72 dpi

// Collects "name: got X, want Y" lines for the validators.
struct Faults {
    std::vector<std::string> lines;
    void expect(const std::string& name, std::uint64_t got, std::uint64_t want) {
        if (got != want)
            lines.push_back(name + ": got " + std::to_string(got) + ", want " + std::to_string(want));
    }
};

}  // namespace

Bytes encode_bmp24(const Image& image, std::size_t trailing_zero_bytes) {
    const std::size_t stride = padded_row(static_cast<std::size_t>(image.width) * 24);
    const std::size_t size = kBmpHeaderBytes + stride * image.height + trailing_zero_bytes;
    Bytes out;
    out.reserve(size);
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, 0);
    put32(out, kBmpHeaderBytes);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(image.width));
    put32(out, static_cast<std::uint32_t>(image.height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);  // BI_RGB
    put32(out, 0);  // image size: may be 0 for BI_RGB
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, 0);
    put32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t row_start = out.size();
        for (int x = 0; x < image.width; ++x) {
            const Rgb p = image.at(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        out.resize(row_start + stride, 0);
    }
    out.resize(out.size() + trailing_zero_bytes, 0);
    return out;
}

std::vector<std::string> validate_bmp24(const Bytes& bmp, int width, int height,
                                        std::size_t trailing_zero_bytes) {
    Faults f;
    const std::size_t stride = padded_row(static_cast<std::size_t>(width) * 24);
    const std::size_t pixel_bytes = stride * height;
    const std::size_t want_size = kBmpHeaderBytes + pixel_bytes + trailing_zero_bytes;
    f.expect("file length", bmp.size(), want_size);
    if (bmp.size() < kBmpHeaderBytes) return f.lines;
    f.expect("signature", get16(bmp, 0), 'B' | ('M' << 8));
    f.expect("file size field", get32(bmp, 2), want_size);
    f.expect("reserved", get32(bmp, 6), 0);
    f.expect("pixel offset", get32(bmp, 10), kBmpHeaderBytes);
    f.expect("header size", get32(bmp, 14), 40);
    f.expect("width", get32(bmp, 18), static_cast<std::uint32_t>(width));
    f.expect("height", get32(bmp, 22), static_cast<std::uint32_t>(height));
    f.expect("planes", get16(bmp, 26), 1);
    f.expect("bits per pixel", get16(bmp, 28), 24);
    f.expect("compression", get32(bmp, 30), 0);
    f.expect("image size", get32(bmp, 34), 0);
    f.expect("x resolution", get32(bmp, 38), kPixelsPerMetre);
    f.expect("y resolution", get32(bmp, 42), kPixelsPerMetre);
    f.expect("colours used", get32(bmp, 46), 0);
    f.expect("important colours", get32(bmp, 50), 0);
    if (bmp.size() != want_size) return f.lines;
    for (int row = 0; row < height; ++row)
        for (std::size_t i = static_cast<std::size_t>(width) * 3; i < stride; ++i)
            f.expect("row " + std::to_string(row) + " padding",
                     bmp[kBmpHeaderBytes + row * stride + i], 0);
    for (std::size_t i = kBmpHeaderBytes + pixel_bytes; i < want_size; ++i)
        f.expect("trailing byte at " + std::to_string(i), bmp[i], 0);
    return f.lines;
}

Image decode_bmp24(const Bytes& bmp) {
    Image image(static_cast<int>(get32(bmp, 18)), static_cast<int>(get32(bmp, 22)));
    const std::size_t stride = padded_row(static_cast<std::size_t>(image.width) * 24);
    for (int y = 0; y < image.height; ++y) {
        const std::size_t row = get32(bmp, 10) + (image.height - 1 - y) * stride;
        for (int x = 0; x < image.width; ++x) {
            const std::size_t at = row + 3 * static_cast<std::size_t>(x);
            image.at(x, y) = {bmp[at + 2], bmp[at + 1], bmp[at]};
        }
    }
    return image;
}

std::size_t icon_image_bytes(int width, int height, int bpp) {
    return 40 + (std::size_t{1} << bpp) * 4 + padded_row(static_cast<std::size_t>(width) * bpp) * height +
           padded_row(width) * height;
}

Bytes encode_ico(const std::vector<IconImage>& images) {
    Bytes out;
    put16(out, 0);
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const IconImage& im : images) {
        const auto bytes = static_cast<std::uint32_t>(icon_image_bytes(im.width, im.height, im.bpp));
        out.push_back(static_cast<std::uint8_t>(im.width));  // 256 would wrap to 0, as the format wants
        out.push_back(static_cast<std::uint8_t>(im.height));
        out.push_back(static_cast<std::uint8_t>(im.bpp < 8 ? 1 << im.bpp : 0));
        out.push_back(0);
        put16(out, 1);
        put16(out, static_cast<std::uint16_t>(im.bpp));
        put32(out, bytes);
        put32(out, offset);
        offset += bytes;
    }
    for (const IconImage& im : images) {
        if (im.palette.size() != (std::size_t{1} << im.bpp) ||
            im.indices.size() != static_cast<std::size_t>(im.width) * im.height ||
            im.transparent.size() != im.indices.size())
            throw std::invalid_argument("icon image buffers do not match its size and depth");
        const std::size_t xor_stride = padded_row(static_cast<std::size_t>(im.width) * im.bpp);
        const std::size_t and_stride = padded_row(im.width);
        put32(out, 40);
        put32(out, static_cast<std::uint32_t>(im.width));
        put32(out, static_cast<std::uint32_t>(im.height * 2));
        put16(out, 1);
        put16(out, static_cast<std::uint16_t>(im.bpp));
        put32(out, 0);
        put32(out, static_cast<std::uint32_t>((xor_stride + and_stride) * im.height));
        put32(out, 0);
        put32(out, 0);
        put32(out, 0);
        put32(out, 0);
        for (const Rgb& c : im.palette) {
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            out.push_back(0);
        }
        for (int y = im.height - 1; y >= 0; --y) {
            Bytes row(xor_stride, 0);
            for (int x = 0; x < im.width; ++x) {
                const std::uint8_t index = im.indices[static_cast<std::size_t>(y) * im.width + x];
                if (im.bpp == 8) {
                    row[x] = index;
                } else {  // 4 bpp: left pixel in the high nibble
                    row[x / 2] |= static_cast<std::uint8_t>((index & 15) << (x % 2 == 0 ? 4 : 0));
                }
            }
            out.insert(out.end(), row.begin(), row.end());
        }
        for (int y = im.height - 1; y >= 0; --y) {
            Bytes row(and_stride, 0);
            for (int x = 0; x < im.width; ++x)
                if (im.transparent[static_cast<std::size_t>(y) * im.width + x])
                    row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            out.insert(out.end(), row.begin(), row.end());
        }
    }
    return out;
}

std::vector<std::string> validate_ico(const Bytes& ico, const std::vector<IcoEntry>& expected) {
    Faults f;
    std::size_t want_size = 6 + 16 * expected.size();
    for (const IcoEntry& e : expected) want_size += e.bytes;
    f.expect("file length", ico.size(), want_size);
    if (ico.size() != want_size) return f.lines;
    f.expect("reserved", get16(ico, 0), 0);
    f.expect("type", get16(ico, 2), 1);
    f.expect("image count", get16(ico, 4), expected.size());
    std::uint32_t next_offset = static_cast<std::uint32_t>(6 + 16 * expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const IcoEntry& e = expected[i];
        const std::string n = "image " + std::to_string(i + 1) + " ";
        const std::size_t d = 6 + 16 * i;
        f.expect(n + "width", ico[d], static_cast<std::uint8_t>(e.width));
        f.expect(n + "height", ico[d + 1], static_cast<std::uint8_t>(e.height));
        f.expect(n + "colour count", ico[d + 2], e.colour_count);
        f.expect(n + "entry reserved", ico[d + 3], 0);
        f.expect(n + "planes", get16(ico, d + 4), 1);
        f.expect(n + "bit count", get16(ico, d + 6), e.bpp);
        f.expect(n + "bytes", get32(ico, d + 8), e.bytes);
        f.expect(n + "offset", get32(ico, d + 12), e.offset);
        f.expect(n + "offset follows previous image", e.offset, next_offset);
        f.expect(n + "bytes match its size and depth", e.bytes, icon_image_bytes(e.width, e.height, e.bpp));
        next_offset = e.offset + e.bytes;
        if (!f.lines.empty()) continue;  // the header cannot be located reliably

        const std::size_t h = e.offset;
        const std::size_t palette_size = std::size_t{1} << e.bpp;
        const std::size_t xor_stride = padded_row(static_cast<std::size_t>(e.width) * e.bpp);
        const std::size_t and_stride = padded_row(e.width);
        f.expect(n + "biSize", get32(ico, h), 40);
        f.expect(n + "biWidth", get32(ico, h + 4), e.width);
        f.expect(n + "biHeight", get32(ico, h + 8), 2 * e.height);
        f.expect(n + "biPlanes", get16(ico, h + 12), 1);
        f.expect(n + "biBitCount", get16(ico, h + 14), e.bpp);
        f.expect(n + "biCompression", get32(ico, h + 16), 0);
        f.expect(n + "biSizeImage", get32(ico, h + 20), (xor_stride + and_stride) * e.height);
        for (std::size_t k = 24; k < 40; k += 4) f.expect(n + "header field at " + std::to_string(k), get32(ico, h + k), 0);
        const std::size_t pal = h + 40, xor_at = pal + 4 * palette_size;
        const std::size_t and_at = xor_at + xor_stride * e.height;
        for (std::size_t k = 0; k < palette_size; ++k)
            f.expect(n + "palette reserved " + std::to_string(k), ico[pal + 4 * k + 3], 0);
        // Where the mask is set the colour must be black, or Windows inverts the background.
        for (int row = 0; row < e.height; ++row) {
            for (int x = 0; x < e.width; ++x) {
                const bool masked = ico[and_at + row * and_stride + x / 8] & (0x80 >> (x % 8));
                if (!masked) continue;
                const std::uint8_t byte = ico[xor_at + row * xor_stride + x * e.bpp / 8];
                const std::size_t index = e.bpp == 8 ? byte : (x % 2 == 0 ? byte >> 4 : byte & 15);
                const std::size_t c = pal + 4 * index;
                if (ico[c] | ico[c + 1] | ico[c + 2])
                    f.lines.push_back(n + "transparent pixel (" + std::to_string(x) + ", row " +
                                      std::to_string(row) + " from bottom) is not black");
            }
            for (std::size_t k = (static_cast<std::size_t>(e.width) * e.bpp + 7) / 8; k < xor_stride; ++k)
                f.expect(n + "colour row padding", ico[xor_at + row * xor_stride + k], 0);
            for (std::size_t k = (static_cast<std::size_t>(e.width) + 7) / 8; k < and_stride; ++k)
                f.expect(n + "mask row padding", ico[and_at + row * and_stride + k], 0);
        }
    }
    return f.lines;
}

std::vector<Rgb> vga_palette() {
    return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
            {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
            {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

namespace {

struct Counted {
    Rgb colour;
    std::uint32_t count;
};

int channel(Rgb c, int ch) { return ch == 0 ? c.r : (ch == 1 ? c.g : c.b); }
std::uint32_t pack(Rgb c) { return (c.r << 16) | (c.g << 8) | c.b; }

// Widest channel of a box and its extent.
std::pair<int, int> widest(const std::vector<Counted>& box) {
    std::array<int, 3> lo{255, 255, 255}, hi{0, 0, 0};
    for (const Counted& c : box)
        for (int ch = 0; ch < 3; ++ch) {
            lo[ch] = std::min(lo[ch], channel(c.colour, ch));
            hi[ch] = std::max(hi[ch], channel(c.colour, ch));
        }
    int best = 0;
    for (int ch = 1; ch < 3; ++ch)
        if (hi[ch] - lo[ch] > hi[best] - lo[best]) best = ch;
    return {best, hi[best] - lo[best]};
}

}  // namespace

std::vector<Rgb> build_palette(const std::vector<Rgb>& colours, std::size_t max_colours) {
    std::map<std::uint32_t, Counted> unique;
    for (const Rgb& c : colours) {
        auto [it, inserted] = unique.try_emplace(pack(c), Counted{c, 0});
        ++it->second.count;
    }
    std::vector<Counted> all;
    for (const auto& [key, value] : unique) all.push_back(value);
    if (all.size() <= max_colours) {
        std::vector<Rgb> palette;
        for (const Counted& c : all) palette.push_back(c.colour);
        return palette;
    }
    std::vector<std::vector<Counted>> boxes{all};
    while (boxes.size() < max_colours) {
        std::size_t pick = boxes.size();
        int pick_extent = 0, pick_channel = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].size() < 2) continue;
            const auto [ch, extent] = widest(boxes[i]);
            if (extent > pick_extent) {
                pick = i;
                pick_extent = extent;
                pick_channel = ch;
            }
        }
        if (pick == boxes.size()) break;
        std::vector<Counted>& box = boxes[pick];
        std::sort(box.begin(), box.end(), [pick_channel](const Counted& a, const Counted& b) {
            const int ca = channel(a.colour, pick_channel), cb = channel(b.colour, pick_channel);
            return ca != cb ? ca < cb : pack(a.colour) < pack(b.colour);
        });
        std::uint64_t total = 0, running = 0;
        for (const Counted& c : box) total += c.count;
        std::size_t split = 1;
        for (std::size_t i = 0; i + 1 < box.size(); ++i) {
            running += box[i].count;
            split = i + 1;
            if (2 * running >= total) break;
        }
        std::vector<Counted> upper(box.begin() + static_cast<std::ptrdiff_t>(split), box.end());
        box.resize(split);
        boxes.push_back(std::move(upper));
    }
    std::vector<Rgb> palette;
    for (const auto& box : boxes) {
        std::uint64_t n = 0, r = 0, g = 0, b = 0;
        for (const Counted& c : box) {
            n += c.count;
            r += std::uint64_t{c.colour.r} * c.count;
            g += std::uint64_t{c.colour.g} * c.count;
            b += std::uint64_t{c.colour.b} * c.count;
        }
        palette.push_back({static_cast<std::uint8_t>((r + n / 2) / n), static_cast<std::uint8_t>((g + n / 2) / n),
                           static_cast<std::uint8_t>((b + n / 2) / n)});
    }
    return palette;
}

std::uint8_t nearest_index(const std::vector<Rgb>& palette, Rgb c) {
    std::size_t best = 0;
    int best_distance = 1 << 30;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

}  // namespace assetgen

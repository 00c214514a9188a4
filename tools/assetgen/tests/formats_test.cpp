// Tests for the BMP/ICO writers, their validators, the palette builder and the noise helpers:
// byte layout on small hand-checkable images, and that every validator notices corruption.
#include "check.hpp"
#include "formats.hpp"
#include "raster.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace assetgen;

namespace {

Image three_by_two() {
    Image im(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            im.at(x, y) = {static_cast<std::uint8_t>(10 * x + y), static_cast<std::uint8_t>(100 + x),
                           static_cast<std::uint8_t>(200 + y)};
    return im;
}

IconImage flat_icon(int size, int bpp, std::uint8_t index) {
    IconImage im;
    im.width = im.height = size;
    im.bpp = bpp;
    im.palette.assign(std::size_t{1} << bpp, Rgb{0, 0, 0});
    im.palette[index] = {200, 150, 50};
    im.indices.assign(static_cast<std::size_t>(size) * size, index);
    im.transparent.assign(im.indices.size(), 0);
    return im;
}

const std::vector<IcoEntry> kLauncherIcoLayout = {
    {16, 16, 0, 8, 1384, 54}, {32, 32, 16, 4, 744, 1438}, {32, 32, 0, 8, 2216, 2182}};

std::vector<IconImage> launcher_like_icons() {
    return {flat_icon(16, 8, 7), flat_icon(32, 4, 9), flat_icon(32, 8, 200)};
}

}  // namespace

TEST(bmp_rows_are_bottom_up_bgr_and_padded_to_four_bytes) {
    const Image im = three_by_two();
    const Bytes bmp = encode_bmp24(im, 2);
    CHECK(bmp.size() == 54u + 2 * 12 + 2);  // 9 pixel bytes per row padded to 12
    CHECK(validate_bmp24(bmp, 3, 2, 2).empty());
    // The first stored row is the bottom one (y = 1), each pixel blue, green, red.
    CHECK(bmp[54] == 201 && bmp[55] == 100 && bmp[56] == 1);
    CHECK(bmp[60] == 201 && bmp[61] == 102 && bmp[62] == 21);
    CHECK(bmp[63] == 0 && bmp[64] == 0 && bmp[65] == 0);
    CHECK(bmp[66] == 200 && bmp[67] == 100 && bmp[68] == 0);
    CHECK(decode_bmp24(bmp).pixels == im.pixels);
}

TEST(bmp_of_launcher_size_has_the_expected_length) {
    const Bytes bmp = encode_bmp24(Image(520, 316), 2);
    CHECK(bmp.size() == 493016u);
    CHECK(validate_bmp24(bmp, 520, 316, 2).empty());
}

TEST(bmp_validator_notices_any_changed_header_byte_and_bad_tail) {
    const Bytes good = encode_bmp24(three_by_two(), 2);
    int unnoticed = 0;
    for (std::size_t i = 0; i < 54; ++i) {
        Bytes bad = good;
        bad[i] ^= 0x5A;
        if (validate_bmp24(bad, 3, 2, 2).empty()) ++unnoticed;
    }
    CHECK(unnoticed == 0);

    Bytes bad_padding = good;
    bad_padding[64] = 1;
    CHECK(!validate_bmp24(bad_padding, 3, 2, 2).empty());
    Bytes bad_tail = good;
    bad_tail.back() = 1;
    CHECK(!validate_bmp24(bad_tail, 3, 2, 2).empty());
    Bytes short_file = good;
    short_file.pop_back();
    CHECK(!validate_bmp24(short_file, 3, 2, 2).empty());
    CHECK(!validate_bmp24(Bytes(10, 0), 3, 2, 2).empty());
    CHECK(!validate_bmp24(good, 2, 3, 2).empty());
    CHECK(!validate_bmp24(good, 3, 2, 0).empty());
}

TEST(ico_directory_and_headers_match_the_launcher_layout) {
    const Bytes ico = encode_ico(launcher_like_icons());
    CHECK(ico.size() == 4398u);
    CHECK(validate_ico(ico, kLauncherIcoLayout).empty());
    CHECK(icon_image_bytes(16, 16, 8) == 1384u);
    CHECK(icon_image_bytes(32, 32, 4) == 744u);
    CHECK(icon_image_bytes(32, 32, 8) == 2216u);
    // The 4-bit entry declares 16 colours; biSizeImage counts colour bitmap plus mask only.
    CHECK(ico[6 + 16 + 2] == 16);
    CHECK(ico[6 + 2] == 0);
    CHECK(ico[1438 + 20] == 0x80 && ico[1438 + 21] == 0x02);  // 512 + 128 = 640
}

TEST(ico_packs_nibbles_high_first_and_mask_bits_bottom_up) {
    IconImage im = flat_icon(32, 4, 1);
    im.palette[10] = {1, 2, 3};
    im.palette[5] = {4, 5, 6};
    auto at = [](int x, int y) { return static_cast<std::size_t>(y) * 32 + x; };
    im.indices[at(0, 0)] = 0;  // masked pixels stay black
    im.transparent[at(0, 0)] = 1;
    im.indices[at(1, 0)] = 5;
    im.indices[at(2, 0)] = 10;
    im.indices[at(30, 31)] = 0;
    im.transparent[at(30, 31)] = 1;
    im.indices[at(31, 31)] = 5;
    const Bytes ico = encode_ico({im});
    const std::size_t xor_at = 22 + 40 + 64, and_at = xor_at + 16 * 32;
    // The top row is stored last; the left pixel of each pair is the high nibble.
    CHECK(ico[xor_at + 31 * 16] == 0x05);
    CHECK(ico[xor_at + 31 * 16 + 1] == 0xA1);
    CHECK(ico[xor_at + 31 * 16 + 2] == 0x11);
    CHECK(ico[xor_at + 15] == 0x05);
    CHECK(ico[and_at + 31 * 4] == 0x80);
    CHECK(ico[and_at + 3] == 0x02);
    CHECK(ico[and_at] == 0 && ico[and_at + 31 * 4 + 1] == 0);
    CHECK(validate_ico(ico, {{32, 32, 16, 4, 744, 22}}).empty());
}

TEST(ico_validator_rejects_broken_files) {
    const Bytes good = encode_ico(launcher_like_icons());
    CHECK(validate_ico(good, kLauncherIcoLayout).empty());

    // A masked pixel whose colour is not black would invert the desktop behind it.
    std::vector<IconImage> shown = launcher_like_icons();
    shown[2].transparent[5] = 1;
    CHECK(!validate_ico(encode_ico(shown), kLauncherIcoLayout).empty());

    int unnoticed = 0;
    for (std::size_t i = 0; i < 54; ++i) {  // header and directory
        Bytes bad = good;
        bad[i] ^= 0x21;
        if (validate_ico(bad, kLauncherIcoLayout).empty()) ++unnoticed;
    }
    for (std::size_t image_at : {54u, 1438u, 2182u})
        for (std::size_t i = 0; i < 40; ++i) {  // every BITMAPINFOHEADER byte
            Bytes bad = good;
            bad[image_at + i] ^= 0x21;
            if (validate_ico(bad, kLauncherIcoLayout).empty()) ++unnoticed;
        }
    CHECK(unnoticed == 0);

    Bytes reserved = good;
    reserved[54 + 40 + 3] = 7;  // reserved byte of the first palette entry
    CHECK(!validate_ico(reserved, kLauncherIcoLayout).empty());
    Bytes longer = good;
    longer.push_back(0);
    CHECK(!validate_ico(longer, kLauncherIcoLayout).empty());
    std::vector<IcoEntry> swapped = kLauncherIcoLayout;
    std::swap(swapped[0], swapped[2]);
    CHECK(!validate_ico(good, swapped).empty());
}

TEST(ico_encoder_refuses_mismatched_buffers) {
    IconImage im = flat_icon(16, 8, 1);
    im.palette.resize(16);
    bool threw = false;
    try {
        encode_ico({im});
    } catch (const std::invalid_argument&) {
        threw = true;
    }
    CHECK(threw);
}

TEST(palette_keeps_every_colour_when_they_fit) {
    const std::vector<Rgb> colours = {{1, 2, 3}, {9, 9, 9}, {1, 2, 3}, {255, 0, 0}, {0, 0, 0}};
    const std::vector<Rgb> palette = build_palette(colours, 4);
    CHECK(palette.size() == 4);
    for (const Rgb& c : colours) CHECK(palette[nearest_index(palette, c)] == c);
}

TEST(palette_median_cut_is_bounded_close_and_order_independent) {
    std::vector<Rgb> colours;
    Rng rng(7);
    for (int i = 0; i < 3000; ++i) {
        const std::uint32_t v = rng.next();
        colours.push_back({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                           static_cast<std::uint8_t>(v >> 16)});
    }
    const std::vector<Rgb> palette = build_palette(colours, 255);
    CHECK(palette.size() == 255);
    int worst = 0;
    for (const Rgb& c : colours) {
        const Rgb p = palette[nearest_index(palette, c)];
        worst = std::max({worst, std::abs(p.r - c.r), std::abs(p.g - c.g), std::abs(p.b - c.b)});
    }
    CHECK(worst <= 48);  // 255 boxes over the cube leave each well under a fifth of a channel wide
    std::vector<Rgb> reversed(colours.rbegin(), colours.rend());
    CHECK(build_palette(reversed, 255) == palette);
}

TEST(nearest_index_prefers_exact_then_lowest_index) {
    const std::vector<Rgb> palette = {{10, 10, 10}, {20, 20, 20}, {20, 20, 20}, {0, 0, 0}};
    CHECK(nearest_index(palette, {20, 20, 20}) == 1);
    CHECK(nearest_index(palette, {15, 15, 15}) == 0);  // equally far from 0 and 1
    CHECK(nearest_index(palette, {1, 0, 0}) == 3);
}

TEST(vga_palette_is_the_sixteen_windows_colours_in_order) {
    const std::vector<Rgb> vga = vga_palette();
    CHECK(vga.size() == 16);
    CHECK(vga[0] == (Rgb{0, 0, 0}) && vga[15] == (Rgb{255, 255, 255}));
    CHECK(vga[4] == (Rgb{0, 0, 128}) && vga[7] == (Rgb{192, 192, 192}) && vga[8] == (Rgb{128, 128, 128}));
    CHECK(vga[9] == (Rgb{255, 0, 0}) && vga[11] == (Rgb{255, 255, 0}) && vga[12] == (Rgb{0, 0, 255}));
}

TEST(quantise_clamps_and_dithers_within_one_step) {
    CHECK(quantise({-20, 300, 128}, 0, 0) == (Rgb{0, 255, 128}));
    int low = 0, high = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const Rgb q = quantise({100.5, 100, 99.75}, x, y);
            CHECK(q.g == 100);
            low += q.r == 100;
            high += q.r == 101;
            CHECK(q.b == 99 || q.b == 100);
        }
    CHECK(low == 8 && high == 8);  // a half step is split evenly over the 4x4 pattern
}

TEST(random_and_noise_are_reproducible_bounded_and_continuous) {
    Rng a(42), b(42), c(43);
    bool same = true, differs = false;
    for (int i = 0; i < 100; ++i) {
        const std::uint32_t va = a.next();
        same = same && va == b.next();
        differs = differs || va != c.next();
        const double u = a.unit();
        b.unit();
        CHECK(u >= 0 && u < 1);
    }
    CHECK(same);
    CHECK(differs);
    CHECK(Rng(0).next() != 0);

    double lo = 1, hi = 0, worst_step = 0;
    for (int i = -4000; i < 4000; ++i) {
        const double x = i * 0.01;
        const double n = value_noise2(x, x * 0.7, 5), f = fbm1(x, 5, 9);
        lo = std::min({lo, n, f, fbm2(x, -x, 4, 3)});
        hi = std::max({hi, n, f, fbm2(x, -x, 4, 3)});
        worst_step = std::max(worst_step, std::fabs(value_noise1(x + 0.01, 1) - value_noise1(x, 1)));
    }
    CHECK(lo >= 0 && hi <= 1);
    CHECK(hi - lo > 0.5);
    CHECK(worst_step < 0.02);
    // No seam where coordinates change sign.
    CHECK(std::fabs(value_noise1(-1e-9, 1) - value_noise1(1e-9, 1)) < 1e-6);
    CHECK(std::fabs(value_noise2(-1e-9, -1e-9, 1) - value_noise2(1e-9, 1e-9, 1)) < 1e-6);
}

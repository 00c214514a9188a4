// Tests that the painted assets keep the properties the launcher window relies on: a dark corner
// under the white credit line, a quiet area behind the buttons, a legible gold title, and icons
// with transparent corners and valid palettes. Also that painting is repeatable.
#include "assets.hpp"
#include "check.hpp"
#include "lettering.hpp"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

using namespace assetgen;

namespace {

const Image& artwork() {
    static const Image image = render_artwork();
    return image;
}

bool is_gold(Rgb c) { return c.r > 180 && c.g > 110 && c.b < 140 && c.r > c.b + 80; }

}  // namespace

TEST(artwork_is_repeatable_and_encodes_to_the_launcher_file) {
    CHECK(artwork().width == kArtWidth && artwork().height == kArtHeight);
    CHECK(render_artwork().pixels == artwork().pixels);
    const Bytes bmp = encode_bmp24(artwork(), kArtTrailingBytes);
    CHECK(bmp.size() == 493016u);
    CHECK(validate_bmp24(bmp, kArtWidth, kArtHeight, kArtTrailingBytes).empty());
}

TEST(white_credit_text_has_a_dark_background) {
    double brightest = 0, sum = 0;
    int n = 0;
    for (int y = kCreditText.top; y < kArtHeight && y <= kCreditText.bottom; ++y)
        for (int x = kCreditText.left; x <= kCreditText.right; ++x) {
            brightest = std::max(brightest, luminance(artwork().at(x, y)));
            sum += luminance(artwork().at(x, y));
            ++n;
        }
    CHECK(n == 136 * 12);
    CHECK(brightest < 60);
    CHECK(sum / n < 30);
}

TEST(button_column_is_calm_and_not_flat) {
    // Average step between neighbouring pixels around the buttons: texture or busy detail would
    // push it up, while a flat fill would bring it to zero across a whole band of rows.
    for (const Box& b : kButtons) {
        double steps = 0;
        int n = 0;
        std::set<int> shades;
        for (int y = std::max(0, b.top - 6); y <= std::min(kArtHeight - 1, b.bottom + 6); ++y)
            for (int x = b.left - 6; x < b.right + 6; ++x) {
                const Rgb p = artwork().at(x, y), q = artwork().at(x + 1, y);
                steps += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
                shades.insert(p.r << 16 | p.g << 8 | p.b);
                ++n;
            }
        CHECK(steps / n < 6);
        CHECK(shades.size() > 20);
    }
}

TEST(picture_is_a_scene_not_a_fill) {
    std::set<int> colours;
    for (const Rgb& p : artwork().pixels) colours.insert(p.r << 16 | p.g << 8 | p.b);
    CHECK(colours.size() > 5000);
    // Night sky at the top, warm light lower down, dark ground at the bottom.
    auto row_luma = [](int y, int x0, int x1) {
        double s = 0;
        for (int x = x0; x < x1; ++x) s += luminance(artwork().at(x, y));
        return s / (x1 - x0);
    };
    CHECK(row_luma(2, 72, 260) < 30);
    CHECK(row_luma(160, 72, 260) > row_luma(2, 72, 260) + 40);
    CHECK(row_luma(300, 72, 519) < 30);
}

TEST(title_is_gold_with_a_dark_rim_inside_its_area) {
    int gold = 0, dark = 0, gold_outside = 0;
    for (int y = 0; y < kArtHeight; ++y)
        for (int x = 0; x < kArtWidth; ++x) {
            const bool inside = x >= kTitleArea.left && x <= kTitleArea.right && y >= kTitleArea.top &&
                                y <= kTitleArea.bottom;
            const Rgb p = artwork().at(x, y);
            if (!inside) {
                gold_outside += is_gold(p) && y < 100;
                continue;
            }
            gold += is_gold(p);
            dark += luminance(p) < 48 && p.r > p.b + 8;  // brown rim, unlike the blue night sky
        }
    CHECK(gold > 1500);
    CHECK(dark > 800);
    CHECK(gold_outside == 0);
}

TEST(title_lettering_fits_its_area_and_has_every_letter) {
    for (char c : std::string("VALDRENN")) {
        const Glyph& g = glyph(c);
        for (const Stroke& s : g.strokes) {
            // Strokes may only overhang their advance by half a stroke, or letters would touch.
            CHECK(std::min(s.ax, s.bx) - s.width / 2 >= -s.width / 2 - 0.01);
            CHECK(std::max(s.ax, s.bx) <= g.advance + 0.01);
            CHECK(std::min(s.ay, s.by) >= 0 && std::max(s.ay, s.by) <= Lettering::kCapUnits);
        }
    }
    bool threw = false;
    try {
        glyph('Q');
    } catch (const std::invalid_argument&) {
        threw = true;
    }
    CHECK(threw);
    CHECK(Lettering::width_units("L") == glyph('L').advance);
    CHECK(Lettering::width_units("") == 0);
    CHECK(Lettering::width_units("VALDRENN") * 2.4 <= kTitleArea.right - kTitleArea.left);
}

TEST(lettering_samples_fill_outline_and_shadow) {
    // "L" at (10, 20), 2 px per unit: its stem is the 2.3-unit-wide stroke on x = 2.
    const Lettering word("L", 10, 20, 2, 0.5, 1, 1);
    const LetterSample stem = word.sample(10 + 2 * 2, 20 + 2 * 7);
    CHECK(stem.fill && stem.outline);
    CHECK(std::fabs(stem.v - 0.5) < 1e-9);
    const LetterSample rim = word.sample(10 + 2 * (2 + 1.15 + 0.3), 20 + 2 * 7);
    CHECK(!rim.fill && rim.outline);
    const LetterSample shadow = word.sample(10 + 2 * (2 + 1.15 + 1.2), 20 + 2 * 7);
    CHECK(!shadow.outline && shadow.shadow);
    // Flat-ended strokes are cut at the cap line, the outline reaches just above it.
    CHECK(!word.sample(10 + 4, 20 - 0.5).fill && word.sample(10 + 4, 20 - 0.5).outline);
    CHECK(!word.sample(10 + 4, 20 - 2).outline);
    CHECK(!word.sample(0, 0).outline && !word.sample(0, 0).shadow);
}

TEST(icons_are_round_badges_with_transparent_corners) {
    for (const auto& [size, bpp] : {std::pair{16, 8}, std::pair{32, 4}, std::pair{32, 8}}) {
        const IconImage icon = render_icon(size, bpp);
        CHECK(icon.width == size && icon.height == size && icon.bpp == bpp);
        CHECK(icon.palette.size() == (std::size_t{1} << bpp));
        auto clear = [&](int x, int y) { return icon.transparent[static_cast<std::size_t>(y) * size + x] != 0; };
        CHECK(clear(0, 0) && clear(size - 1, 0) && clear(0, size - 1) && clear(size - 1, size - 1));
        CHECK(!clear(size / 2, size / 2) && !clear(size / 2, 0) && !clear(0, size / 2));
        int opaque = 0, mirrored = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                opaque += !clear(x, y);
                mirrored += clear(x, y) == clear(size - 1 - x, y) && clear(x, y) == clear(y, x);
                if (clear(x, y)) CHECK(icon.palette[icon.indices[static_cast<std::size_t>(y) * size + x]] == Rgb{});
            }
        CHECK(mirrored == size * size);
        const double share = static_cast<double>(opaque) / (size * size);
        CHECK(share > 0.72 && share < 0.86);  // a disc fills pi/4 of its square
    }
}

TEST(icons_show_gold_on_blue_in_either_palette) {
    for (const auto& [size, bpp] : {std::pair{16, 8}, std::pair{32, 4}, std::pair{32, 8}}) {
        const IconImage icon = render_icon(size, bpp);
        int gold = 0, blue = 0;
        for (std::size_t i = 0; i < icon.indices.size(); ++i) {
            if (icon.transparent[i]) continue;
            const Rgb c = icon.palette[icon.indices[i]];
            gold += c.r > 120 && c.g > 80 && c.b < c.r / 2;
            blue += c.b > 60 && c.b > c.r + 30;
        }
        CHECK(gold > size * size / 6);
        CHECK(blue > size * size / 12);
    }
    CHECK(render_icon(32, 4).palette == vga_palette());
    // The rune's point sits on the vertical centre line, below the middle.
    const IconImage big = render_icon(32, 8);
    const Rgb point = big.palette[big.indices[22 * 32 + 16]];
    CHECK(point.r > 180 && point.b < 100);
}

TEST(launcher_icon_file_validates_and_is_repeatable) {
    const std::vector<IconImage> images = {render_icon(16, 8), render_icon(32, 4), render_icon(32, 8)};
    const Bytes ico = encode_ico(images);
    CHECK(ico.size() == 4398u);
    CHECK(validate_ico(ico, {{16, 16, 0, 8, 1384, 54}, {32, 32, 16, 4, 744, 1438}, {32, 32, 0, 8, 2216, 2182}})
              .empty());
    CHECK(encode_ico({render_icon(16, 8), render_icon(32, 4), render_icon(32, 8)}) == ico);
}

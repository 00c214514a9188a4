// Paints the application icon: a gold "V" rune on a dark blue round badge with a gold rim, at the
// sizes the .ico carries. Corners outside the badge are left transparent through the mask.
#include "assets.hpp"

#include <array>
#include <cmath>

namespace assetgen {

namespace {

constexpr int kSub = 8;

// Parts of the emblem; the 4-bit image gives each part one VGA colour.
enum Part { Outside, Ring, RimLight, RimShade, Groove, Disc, DiscGlow, Rune, RuneEdge, Gem, kParts };
constexpr std::array<std::uint8_t, kParts> kVgaIndex = {0, 0, 11, 3, 0, 4, 12, 11, 0, 15};

struct Geometry {
    double centre, outer, ring, rim, groove;
    double arm_top_y, arm_dx, point_y, stroke, edge;
    bool gem;
};

Geometry geometry(int size) {
    const double s = size / 32.0;
    if (size <= 16)
        return {size / 2.0, size / 2.0 - 0.1, 1.0, 1.3, 0.0, 4.4, 3.5, 12.3, 2.5, 0.7, false};
    return {size / 2.0, size / 2.0 - 0.1, 1.3 * s, 2.6 * s, 0.9 * s, 9.4 * s, 6.2 * s, 24.4 * s, 3.8 * s, 1.0 * s, true};
}

double sq(double v) { return v * v; }

// Distance from (x, y) to the segment a-b.
double segment_distance(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    double t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return std::sqrt(sq(x - ax - t * dx) + sq(y - ay - t * dy));
}

struct Sample {
    Part part;
    Colour colour;
};

Sample emblem(double x, double y, const Geometry& g) {
    const double dx = x - g.centre, dy = y - g.centre;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d > g.outer) return {Outside, {}};
    if (d > g.outer - g.ring) return {Ring, {14, 16, 34}};
    const double lit = (dx + dy) / (2 * g.outer);  // -0.7 top-left .. 0.7 bottom-right
    if (d > g.outer - g.ring - g.rim) {
        const Colour c = mix(Colour{255, 230, 136}, Colour{168, 100, 24}, clamp01(lit + 0.5));
        return {lit < -0.2 ? RimLight : RimShade, c};
    }
    if (d > g.outer - g.ring - g.rim - g.groove) return {Groove, {44, 26, 10}};

    // The rune: two arms meeting in a point, flat-cut at the top.
    const double lx = g.centre - g.arm_dx, rx = g.centre + g.arm_dx;
    const double dl = segment_distance(x, y, lx, g.arm_top_y, g.centre, g.point_y);
    const double dr = segment_distance(x, y, rx, g.arm_top_y, g.centre, g.point_y);
    const double half = g.stroke / 2;
    const bool cut = y < g.arm_top_y - half * 0.3;
    if (!cut && std::fmin(dl, dr) < half) {
        const double v = clamp01((y - g.arm_top_y) / (g.point_y - g.arm_top_y));
        Colour c = mix(Colour{255, 236, 150}, Colour{216, 140, 34}, v);
        if (dr < dl) c = mix(c, Colour{150, 90, 20}, 0.3);  // right arm in shade
        return {Rune, c};
    }
    if (!(y < g.arm_top_y - half * 0.3 - g.edge) && std::fmin(dl, dr) < half + g.edge) return {RuneEdge, {22, 12, 6}};
    if (g.gem) {
        const double gd = std::fabs(x - g.centre) + std::fabs(y - (g.arm_top_y + 0.4 * g.stroke));
        if (gd < g.stroke * 0.62) return {Gem, mix(Colour{255, 255, 255}, Colour{150, 200, 255}, gd / (g.stroke * 0.62))};
    }
    const double glow = std::sqrt(sq(dx + g.outer * 0.25) + sq(dy + g.outer * 0.3)) / g.outer;
    const Colour c = mix(Colour{52, 90, 186}, Colour{10, 20, 66}, clamp01(glow / 1.1));
    return {glow < 0.3 ? DiscGlow : Disc, c};
}

}  // namespace

IconImage render_icon(int size, int bpp) {
    const Geometry g = geometry(size);
    IconImage icon;
    icon.width = icon.height = size;
    icon.bpp = bpp;
    const std::size_t count = static_cast<std::size_t>(size) * size;
    icon.indices.assign(count, 0);
    icon.transparent.assign(count, 1);
    std::vector<Rgb> colours(count);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            std::array<int, 16> votes{};
            Colour sum;
            int inside = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx) {
                    const Sample s = emblem(px + (sx + 0.5) / kSub, py + (sy + 0.5) / kSub, g);
                    if (s.part == Outside) continue;
                    ++inside;
                    ++votes[kVgaIndex[s.part]];
                    sum = add(sum, s.colour, 1);
                }
            const std::size_t at = static_cast<std::size_t>(py) * size + px;
            if (2 * inside < kSub * kSub) continue;
            icon.transparent[at] = 0;
            colours[at] = quantise({sum.r / inside, sum.g / inside, sum.b / inside}, 1, 1);
            if (bpp == 4) {
                std::size_t best = 0;
                for (std::size_t i = 1; i < votes.size(); ++i)
                    if (votes[i] > votes[best]) best = i;
                icon.indices[at] = static_cast<std::uint8_t>(best);
            }
        }
    if (bpp == 4) {
        icon.palette = vga_palette();
        return icon;
    }
    // Index 0 stays black for the masked pixels; the drawing's own colours fill the rest.
    std::vector<Rgb> opaque;
    for (std::size_t i = 0; i < count; ++i)
        if (!icon.transparent[i]) opaque.push_back(colours[i]);
    icon.palette = {Rgb{0, 0, 0}};
    for (const Rgb& c : build_palette(opaque, 255)) icon.palette.push_back(c);
    icon.palette.resize(256, Rgb{0, 0, 0});
    for (std::size_t i = 0; i < count; ++i)
        if (!icon.transparent[i]) icon.indices[i] = nearest_index(icon.palette, colours[i]);
    return icon;
}

}  // namespace assetgen

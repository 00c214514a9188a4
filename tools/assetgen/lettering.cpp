// Glyph data and point-in-stroke tests for the title lettering.
#include "lettering.hpp"

#include <cmath>
#include <stdexcept>

namespace assetgen {

namespace {

constexpr double kThick = 2.3, kThin = 1.1, kSerif = 0.9;
constexpr bool F = false, R = true;

// Strokes joining consecutive points with round ends, one width per segment.
void polyline(std::vector<Stroke>& out, const std::vector<std::pair<double, double>>& points,
              const std::vector<double>& widths) {
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        out.push_back({points[i].first, points[i].second, points[i + 1].first, points[i + 1].second,
                       widths[i], R});
}

std::vector<Glyph> make_glyphs() {
    std::vector<Glyph> g;
    g.push_back({'V', 11, {{1.3, 0.0, 5.5, 14.0, kThick, F}, {9.7, 0.0, 5.5, 14.0, kThin, F},
                           {0.0, 0.45, 3.2, 0.45, kSerif, F}, {8.2, 0.45, 11.0, 0.45, kSerif, F}}});
    g.push_back({'A', 11.5, {{5.0, 0.0, 1.3, 14.0, kThin, F}, {6.0, 0.0, 10.2, 14.0, kThick, F},
                             {3.0, 9.3, 8.6, 9.3, 1.0, F}, {4.6, 0.45, 6.6, 0.45, kSerif, F},
                             {0.0, 13.55, 3.0, 13.55, kSerif, F}, {8.4, 13.55, 11.5, 13.55, kSerif, F}}});
    g.push_back({'L', 9.5, {{2.0, 0.0, 2.0, 14.0, kThick, F}, {0.2, 0.45, 3.9, 0.45, kSerif, F},
                            {0.2, 13.35, 9.0, 13.35, 1.3, F}, {8.6, 10.8, 8.6, 14.0, kSerif, F}}});
    {
        Glyph d{'D', 11.5, {{2.2, 0.0, 2.2, 14.0, kThick, F}, {0.2, 0.45, 2.5, 0.45, kSerif, F},
                            {0.2, 13.55, 2.5, 13.55, kSerif, F}}};
        polyline(d.strokes,
                 {{1.5, 0.65}, {6.0, 0.65}, {8.4, 1.6}, {9.9, 3.8}, {10.3, 7.0}, {9.9, 10.2},
                  {8.4, 12.4}, {6.0, 13.35}, {1.5, 13.35}},
                 {1.3, 1.6, 2.1, 2.3, 2.3, 2.1, 1.6, 1.3});
        g.push_back(d);
    }
    {
        Glyph r{'R', 11.5, {{2.2, 0.0, 2.2, 14.0, kThick, F}, {0.2, 0.45, 2.5, 0.45, kSerif, F},
                            {0.2, 13.55, 4.2, 13.55, kSerif, F}, {5.6, 7.1, 9.6, 13.8, 2.2, F},
                            {8.0, 13.55, 11.4, 13.55, kSerif, F}}};
        polyline(r.strokes, {{1.5, 0.65}, {6.0, 0.65}, {8.2, 1.4}, {9.2, 3.8}, {8.2, 6.2}, {6.0, 7.1}, {2.2, 7.1}},
                 {1.3, 1.7, 2.3, 2.3, 1.7, 1.1});
        g.push_back(r);
    }
    g.push_back({'E', 10, {{2.2, 0.0, 2.2, 14.0, kThick, F}, {0.2, 0.65, 9.0, 0.65, 1.3, F},
                           {2.2, 6.9, 7.2, 6.9, kThin, F}, {0.2, 13.35, 9.6, 13.35, 1.3, F},
                           {8.6, 0.0, 8.6, 3.0, kSerif, F}, {9.2, 10.6, 9.2, 14.0, kSerif, F},
                           {7.0, 5.6, 7.0, 8.2, 0.8, F}}});
    g.push_back({'N', 12, {{2.0, 0.4, 2.0, 14.0, kThin, F}, {2.4, 0.0, 9.6, 14.0, kThick, F},
                           {10.0, 0.0, 10.0, 13.6, kThin, F}, {0.2, 0.45, 3.2, 0.45, kSerif, F},
                           {0.3, 13.55, 3.7, 13.55, kSerif, F}, {8.5, 0.45, 11.8, 0.45, kSerif, F}}});
    return g;
}

bool in_stroke(const Stroke& s, double u, double v, double grow) {
    const double dx = s.bx - s.ax, dy = s.by - s.ay;
    const double length = std::sqrt(dx * dx + dy * dy);
    const double along = ((u - s.ax) * dx + (v - s.ay) * dy) / length;
    const double across = ((u - s.ax) * dy - (v - s.ay) * dx) / length;
    const double half = s.width / 2 + grow;
    if (s.round) {
        const double t = along < 0 ? 0 : (along > length ? length : along);
        const double ex = along - t;
        return ex * ex + across * across <= half * half;
    }
    return along >= -grow && along <= length + grow && std::fabs(across) <= half;
}

}  // namespace

const Glyph& glyph(char letter) {
    static const std::vector<Glyph> glyphs = make_glyphs();
    for (const Glyph& g : glyphs)
        if (g.letter == letter) return g;
    throw std::invalid_argument(std::string("no glyph for '") + letter + "'");
}

double Lettering::width_units(const std::string& text) {
    double w = 0;
    for (char c : text) w += glyph(c).advance + kGapUnits;
    return text.empty() ? 0 : w - kGapUnits;
}

Lettering::Lettering(std::string text, double left, double top, double scale, double outline_units,
                     double shadow_dx_units, double shadow_dy_units)
    : left_(left), top_(top), scale_(scale), outline_(outline_units), shadow_dx_(shadow_dx_units),
      shadow_dy_(shadow_dy_units), width_units_(width_units(text)) {
    double at = 0;
    for (char c : text) {
        placed_.push_back({&glyph(c), at});
        at += glyph(c).advance + kGapUnits;
    }
}

bool Lettering::inside(double u, double v, double grow) const {
    // Strokes are cut to the cap band so slanted flat ends do not poke above or below it.
    if (v < -grow || v > kCapUnits + grow || u < -grow - 1 || u > width_units_ + grow + 1) return false;
    for (const Placed& p : placed_) {
        const double local = u - p.left_units;
        if (local < -grow - 1 || local > p.glyph->advance + grow + 1) continue;
        for (const Stroke& s : p.glyph->strokes)
            if (in_stroke(s, local, v, grow)) return true;
    }
    return false;
}

LetterSample Lettering::sample(double x, double y) const {
    const double u = (x - left_) / scale_, v = (y - top_) / scale_;
    LetterSample s;
    s.v = v / kCapUnits;
    s.fill = inside(u, v, 0);
    s.outline = s.fill || inside(u, v, outline_);
    s.shadow = inside(u - shadow_dx_, v - shadow_dy_, outline_);
    return s;
}

}  // namespace assetgen

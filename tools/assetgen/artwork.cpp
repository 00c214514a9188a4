// Paints the launcher background: a dusk landscape with a moonlit castle and the game's title,
// composed so the button column on the left stays quiet and the credit corner stays dark.
// Each pixel averages 4x4 samples of the scene for smooth edges.
#include "assets.hpp"
#include "lettering.hpp"

#include <cmath>
#include <vector>

namespace assetgen {

namespace {

constexpr int kSub = 4;
constexpr double kMoonX = 440, kMoonY = 120, kMoonR = 33;

double sq(double v) { return v * v; }

Colour sky(double y) {
    struct Stop {
        double y;
        Colour c;
    };
    static const Stop stops[] = {{0, {10, 9, 34}},       {60, {24, 21, 68}},     {115, {58, 42, 104}},
                                 {150, {120, 70, 120}},  {178, {208, 116, 100}}, {200, {248, 170, 92}},
                                 {230, {252, 206, 130}}};
    constexpr int n = sizeof(stops) / sizeof(stops[0]);
    if (y <= stops[0].y) return stops[0].c;
    for (int i = 0; i + 1 < n; ++i)
        if (y < stops[i + 1].y) {
            const double t = (y - stops[i].y) / (stops[i + 1].y - stops[i].y);
            return mix(stops[i].c, stops[i + 1].c, t * t * (3 - 2 * t));
        }
    return stops[n - 1].c;
}

// Peaky ridge profile in [0, 1].
double ridged(double x, int octaves, std::uint32_t seed) {
    double sum = 0, weight = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        const double n = 1 - std::fabs(2 * value_noise1(x, seed + 7919u * i) - 1);
        sum += weight * n * n;
        total += weight;
        x *= 2.1;
        weight *= 0.45;
    }
    return sum / total;
}

double far_ridge(double x) { return 192 - 56 * ridged(x / 78 + 3.1, 5, 11); }
double mid_ridge(double x) { return 206 - 40 * ridged(x / 52 + 7.7, 5, 23) + 6 * smoothstep(300, 360, x); }
double near_ridge(double x) { return 236 - 14 * fbm1(x / 46, 3, 41) + 4 * smoothstep(420, 520, x); }
double ground_ridge(double x) {
    return 282 - 16 * fbm1(x / 64, 3, 53) - 20 * smoothstep(300, 520, x) - 12 * (1 - smoothstep(70, 150, x));
}
// Rock the castle stands on: a plateau at y 206 whose flanks fall into the near hills.
double crag_top(double x) {
    const double jag = 14 * (fbm1(x / 11, 4, 67) - 0.5);
    if (x < 372) return 206 + (372 - x) * 2.0 + jag * smoothstep(0, 12, 372 - x);
    if (x > 470) return 206 + (x - 470) * 1.6 + jag * smoothstep(0, 12, x - 470);
    return 206;
}

struct Rect {
    double l, t, r, b;
    bool contains(double x, double y) const { return x >= l && x < r && y >= t && y < b; }
};

bool in_triangle_roof(double x, double y, double cx, double half, double apex, double base) {
    if (y < apex || y >= base) return false;
    return std::fabs(x - cx) <= half * (y - apex) / (base - apex);
}

// Wall of [l, r) whose body starts at y `top`, with 4 px merlons every 8 px above it.
bool in_crenellated(double x, double y, double l, double r, double top, double bottom) {
    if (x < l || x >= r || y >= bottom) return false;
    if (y >= top) return true;
    if (y < top - 4) return false;
    return static_cast<int>(std::floor((x - l) / 4)) % 2 == 0;
}

bool in_castle(double x, double y) {
    if (in_crenellated(x, y, 368, 474, 184, 212)) return true;  // curtain wall
    if (in_crenellated(x, y, 398, 442, 144, 212)) return true;  // keep
    if (Rect{374, 160, 391, 212}.contains(x, y) || in_triangle_roof(x, y, 382.5, 11, 132, 161)) return true;
    if (Rect{451, 156, 468, 212}.contains(x, y) || in_triangle_roof(x, y, 459.5, 11, 126, 157)) return true;
    if (Rect{414, 112, 427, 146}.contains(x, y) || in_triangle_roof(x, y, 420.5, 9, 82, 113)) return true;
    return Rect{402, 134, 410, 146}.contains(x, y) || in_triangle_roof(x, y, 406, 6, 118, 135);  // turret
}

const Rect kWindows[] = {{405, 152, 408, 157}, {418, 120, 421, 126}, {412, 164, 415, 169}, {427, 164, 430, 169},
                         {434, 152, 437, 157}, {381, 170, 384, 175}, {458, 176, 461, 181}, {390, 194, 393, 198},
                         {446, 194, 449, 198}};

struct Pine {
    double x, height, width;
};
const Pine kPines[] = {{78, 46, 18}, {90, 34, 14}, {101, 52, 20}, {115, 30, 13}, {126, 22, 10},
                       {497, 40, 16}, {510, 54, 20}};

bool in_pine(double x, double y, const Pine& p) {
    const double base = ground_ridge(p.x) + 6;
    if (y > base) return false;
    if (std::fabs(x - p.x) < p.width * 0.07 && y > base - p.height * 0.25) return true;
    for (int tier = 0; tier < 4; ++tier) {
        const double apex = base - p.height + tier * p.height * 0.19;
        const double tier_height = p.height * (0.32 + 0.04 * tier);
        const double half = p.width / 2 * (0.5 + 0.17 * tier);
        if (in_triangle_roof(x, y, p.x, half, apex, apex + tier_height)) return true;
    }
    return false;
}

struct Star {
    double x, y, radius, brightness;
    Colour tint;
    bool glint;
};

class StarField {
public:
    static constexpr int kCell = 16;
    StarField() : cols_(kArtWidth / kCell + 1), rows_(kArtHeight / kCell + 1), cells_(cols_ * rows_) {
        Rng rng(20250611);
        for (int i = 0; i < 320; ++i) {
            Star s;
            s.x = rng.range(0, kArtWidth);
            const double u = rng.unit();
            s.y = 170 * u * u;
            s.radius = 0.6 + 1.0 * sq(rng.unit());
            s.brightness = (0.25 + 0.75 * sq(rng.unit())) * (1 - smoothstep(70, 170, s.y));
            const double hue = rng.unit();
            s.tint = hue < 0.2 ? Colour{255, 226, 190} : (hue < 0.45 ? Colour{200, 216, 255} : Colour{255, 255, 255});
            s.glint = s.brightness > 0.8 && s.radius > 1.1;
            if (sq(s.x - kMoonX) + sq(s.y - kMoonY) < sq(kMoonR * 2.2)) continue;
            const int cx = static_cast<int>(s.x) / kCell, cy = static_cast<int>(s.y) / kCell;
            cells_[cy * cols_ + cx].push_back(s);
        }
    }

    Colour light(double x, double y) const {
        Colour sum;
        const int cx = static_cast<int>(x) / kCell, cy = static_cast<int>(y) / kCell;
        for (int j = cy - 1; j <= cy + 1; ++j)
            for (int i = cx - 1; i <= cx + 1; ++i) {
                if (i < 0 || j < 0 || i >= cols_ || j >= rows_) continue;
                for (const Star& s : cells_[j * cols_ + i]) {
                    const double dx = x - s.x, dy = y - s.y;
                    const double d2 = dx * dx + dy * dy;
                    double k = 0;
                    if (d2 < sq(s.radius)) k += 1 - d2 / sq(s.radius);
                    if (s.glint) {
                        const double reach = s.radius * 4;
                        if (std::fabs(dy) < 0.35 && std::fabs(dx) < reach) k += 0.5 * (1 - std::fabs(dx) / reach);
                        if (std::fabs(dx) < 0.35 && std::fabs(dy) < reach) k += 0.5 * (1 - std::fabs(dy) / reach);
                    }
                    sum = add(sum, s.tint, k * s.brightness);
                }
            }
        return sum;
    }

private:
    int cols_, rows_;
    std::vector<std::vector<Star>> cells_;
};

class Scene {
public:
    Scene()
        : title_("VALDRENN", kTitleArea.left + (kTitleArea.right - kTitleArea.left - kTitleScale *
                                                 Lettering::width_units("VALDRENN")) / 2,
                 27, kTitleScale, 0.75, 0.55, 0.75) {}

    Colour at(double x, double y) const {
        Colour c = landscape(x, y);
        return title(c, x, y);
    }

private:
    static constexpr double kTitleScale = 2.4;

    Colour sky_with_lights(double x, double y) const {
        Colour c = sky(y);
        const double d = std::sqrt(sq(x - kMoonX) + sq(y - kMoonY));
        const double q = kMoonR / std::fmax(d, kMoonR);
        const double glow = 70 * q * q * q * q + 32 * q * q * (1 - smoothstep(kMoonR, kMoonR * 7, d));
        c = add(c, Colour{1.0, 0.86, 0.78}, glow);
        if (d < kMoonR) {
            const double r = d / kMoonR;
            Colour moon = mix(Colour{250, 243, 222}, Colour{226, 208, 186}, 0.55 * r * r);
            // A few soft grey seas, their edges broken up by noise.
            static constexpr double seas[][3] = {{-0.35, -0.25, 0.34}, {0.2, -0.4, 0.24}, {0.05, 0.2, 0.3},
                                                 {-0.42, 0.38, 0.18}, {0.48, 0.05, 0.16}};
            const double u = (x - kMoonX) / kMoonR, v = (y - kMoonY) / kMoonR;
            const double wobble = 0.12 * (fbm2(x / 5, y / 5, 3, 91) - 0.5);
            double maria = 0;
            for (const auto& sea : seas)
                maria = std::fmax(maria, 1 - smoothstep(0.6, 1.0, std::sqrt(sq(u - sea[0]) + sq(v - sea[1])) / sea[2] + wobble * 4));
            moon = mix(moon, Colour{196, 184, 182}, 0.45 * maria);
            // a thin soft limb so the disc does not end in a hard step
            return mix(moon, c, smoothstep(kMoonR - 1.2, kMoonR, d));
        }
        return add(c, stars_.light(x, y), 1);
    }

    static double mist(double x, double y, double centre, double half, double strength, std::uint32_t seed) {
        const double c = centre + 5 * (fbm1(x / 60, 3, seed) - 0.5);
        const double t = (y - c) / half;
        if (std::fabs(t) >= 1) return 0;
        const double bump = sq(1 - t * t);
        return strength * bump * smoothstep(0.2, 0.75, fbm2(x / 36, y / 5, 4, seed + 5));
    }

    Colour landscape(double x, double y) const {
        // Front to back: the first solid layer found is painted, then the mist in front of it.
        for (const Pine& p : kPines)
            if (std::fabs(x - p.x) < p.width && in_pine(x, y, p)) return Colour{9, 7, 16};
        const double ground = ground_ridge(x);
        if (y >= ground) {
            Colour c = mix(Colour{22, 15, 32}, Colour{8, 6, 14}, smoothstep(ground, kArtHeight, y));
            const double edge = y - ground;
            if (edge < 1.5) c = mix(Colour{92, 60, 84}, c, edge / 1.5);
            return c;
        }
        const double near = near_ridge(x);
        if (y >= near) {
            Colour c = mix(Colour{44, 30, 58}, Colour{26, 19, 40}, smoothstep(near, near + 30, y));
            c = mix(c, Colour{150, 96, 108}, 0.35 * (1 - smoothstep(0, 2, y - near)));
            return mix(c, Colour{230, 168, 150}, 0.4 * mist(x, y, 238, 7, 1, 311));
        }
        Colour c;
        if (in_castle(x, y)) {
            c = Colour{24, 17, 38};
            for (const Rect& w : kWindows) {
                if (w.contains(x, y)) {
                    c = Colour{255, 204, 110};
                    break;
                }
                const double dx = std::fmax(0, std::fmax(w.l - x, x - w.r));
                const double dy = std::fmax(0, std::fmax(w.t - y, y - w.b));
                const double d2 = dx * dx + dy * dy;
                if (d2 < 16) c = add(c, Colour{1.0, 0.62, 0.3}, 70 * sq(1 - d2 / 16));
            }
        } else if (y >= crag_top(x)) {
            // Dark rock; ledges catch a little moonlight from the right.
            const double rock = fbm2(x / 6, y / 3, 4, 73);
            c = mix(Colour{22, 16, 36}, Colour{70, 52, 84}, 0.6 * smoothstep(0.55, 0.8, rock));
        } else {
            const double mid = mid_ridge(x);
            if (y >= mid) {
                const double rock = fbm2(x / 10, y / 5, 4, 29);
                c = mix(Colour{62, 42, 86}, Colour{78, 54, 100}, rock);
                c = mix(c, Colour{176, 110, 124}, 0.55 * smoothstep(mid, 214, y));
            } else {
                const double far = far_ridge(x);
                if (y >= far) {
                    const double rock = fbm2(x / 12, y / 6, 4, 17);
                    c = mix(Colour{110, 78, 128}, Colour{126, 90, 138}, rock);
                    c = mix(c, Colour{214, 140, 128}, 0.6 * smoothstep(far, 210, y));
                } else {
                    c = sky_with_lights(x, y);
                }
                c = mix(c, Colour{236, 170, 150}, mist(x, y, 190, 9, 0.35, 101));
            }
        }
        return mix(c, Colour{232, 172, 152}, mist(x, y, 216, 15, 0.6, 211));
    }

    Colour title(Colour c, double x, double y) const {
        if (x < kTitleArea.left - 4 || x > kTitleArea.right + 4 || y < kTitleArea.top || y > kTitleArea.bottom)
            return c;
        const LetterSample s = title_.sample(x, y);
        if (s.fill) {
            struct Stop {
                double v;
                Colour c;
            };
            static const Stop gold[] = {{0.0, {255, 240, 178}}, {0.46, {236, 178, 70}}, {0.54, {178, 110, 30}},
                                        {1.0, {232, 170, 76}}};
            for (int i = 0; i < 3; ++i)
                if (s.v <= gold[i + 1].v || i == 2)
                    return mix(gold[i].c, gold[i + 1].c, clamp01((s.v - gold[i].v) / (gold[i + 1].v - gold[i].v)));
        }
        if (s.outline) return Colour{34, 18, 10};
        if (s.shadow) return mix(c, Colour{6, 4, 12}, 0.6);
        return c;
    }

    StarField stars_;
    Lettering title_;
};

}  // namespace

Image render_artwork() {
    const Scene scene;
    Image image(kArtWidth, kArtHeight);
    for (int py = 0; py < kArtHeight; ++py)
        for (int px = 0; px < kArtWidth; ++px) {
            Colour sum;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx)
                    sum = add(sum, scene.at(px + (sx + 0.5) / kSub, py + (sy + 0.5) / kSub), 1.0 / (kSub * kSub));
            image.at(px, py) = quantise(sum, px, py);
        }
    return image;
}

}  // namespace assetgen

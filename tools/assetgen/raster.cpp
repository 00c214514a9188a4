// Implementation of the deterministic colour, random and noise helpers declared in raster.hpp.
#include "raster.hpp"

#include <cmath>

namespace assetgen {

double clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

double smoothstep(double edge0, double edge1, double x) {
    const double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour add(Colour a, Colour b, double amount) {
    return {a.r + b.r * amount, a.g + b.g * amount, a.b + b.b * amount};
}

double luminance(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

Rgb quantise(Colour c, int x, int y) {
    static constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const double offset = (bayer[y & 3][x & 3] + 0.5) / 16.0 - 0.5;
    auto channel = [offset](double v) {
        const double q = std::floor(v + offset + 0.5);
        return static_cast<std::uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
    };
    return {channel(c.r), channel(c.g), channel(c.b)};
}

Rng::Rng(std::uint32_t seed) {
    std::uint32_t z = seed + 0x9E3779B9u;
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z = (z ^ (z >> 13)) * 0xC2B2AE35u;
    z ^= z >> 16;
    state_ = z != 0 ? z : 0x6D2B79F5u;
}

std::uint32_t Rng::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

double Rng::unit() { return static_cast<double>(next() >> 8) * (1.0 / 16777216.0); }

std::uint32_t hash2(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x27D4EB2Fu;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
    h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
    h = (h ^ (h >> 12)) * 0x297A2D39u;
    return h ^ (h >> 15);
}

namespace {
double lattice(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    return static_cast<double>(hash2(x, y, seed) >> 8) * (1.0 / 16777215.0);
}
double fade(double t) { return t * t * (3 - 2 * t); }
}  // namespace

double value_noise1(double x, std::uint32_t seed) {
    const double fx = std::floor(x);
    const auto ix = static_cast<std::int32_t>(fx);
    const double t = fade(x - fx);
    const double a = lattice(ix, 0, seed), b = lattice(ix + 1, 0, seed);
    return a + (b - a) * t;
}

double value_noise2(double x, double y, std::uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
    const double tx = fade(x - fx), ty = fade(y - fy);
    const double a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    const double c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    const double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

double fbm1(double x, int octaves, std::uint32_t seed) {
    double sum = 0, weight = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * value_noise1(x, seed + 1013u * i);
        total += weight;
        x *= 2;
        weight *= 0.5;
    }
    return sum / total;
}

double fbm2(double x, double y, int octaves, std::uint32_t seed) {
    double sum = 0, weight = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * value_noise2(x, y, seed + 1013u * i);
        total += weight;
        x *= 2;
        y *= 2;
        weight *= 0.5;
    }
    return sum / total;
}

}  // namespace assetgen

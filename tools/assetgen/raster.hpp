// Pixel types, a seeded random generator and value noise shared by the artwork and icon painters.
// Everything here uses integer hashing and plain double arithmetic (no libm beyond sqrt/floor), so
// the generated files come out byte-identical on every run and every IEEE-754 host.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// A colour being worked on, channels in 0..255 (not clamped until quantised).
struct Colour {
    double r = 0, g = 0, b = 0;
};

Colour mix(Colour a, Colour b, double t);
Colour add(Colour a, Colour b, double amount);
double clamp01(double x);
double smoothstep(double edge0, double edge1, double x);
double luminance(Rgb c);  // Rec. 601 luma, 0..255

// Rounds to 8 bits with a 4x4 ordered dither of +-0.5 step so gradients do not band.
Rgb quantise(Colour c, int x, int y);

// Top-down RGB raster.
struct Image {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}
    Rgb& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    const Rgb& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// xorshift32 with a splitmix-style seed scramble; never yields a zero state.
class Rng {
public:
    explicit Rng(std::uint32_t seed);
    std::uint32_t next();
    double unit();  // [0, 1), 24 bits of resolution
    double range(double lo, double hi) { return lo + (hi - lo) * unit(); }

private:
    std::uint32_t state_;
};

std::uint32_t hash2(std::int32_t x, std::int32_t y, std::uint32_t seed);

// Smoothly interpolated lattice noise in [0, 1].
double value_noise1(double x, std::uint32_t seed);
double value_noise2(double x, double y, std::uint32_t seed);
// Sum of `octaves` noise layers, each twice the frequency and half the weight, normalised to [0, 1].
double fbm1(double x, int octaves, std::uint32_t seed);
double fbm2(double x, double y, int octaves, std::uint32_t seed);

}  // namespace assetgen

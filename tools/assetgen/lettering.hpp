// A tiny serif capital alphabet (only the letters of the game's name) built from straight strokes,
// used to paint the title onto the launcher artwork without any font file.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

struct Stroke {
    double ax, ay, bx, by;  // glyph units: cap height is 14, y grows downwards
    double width;
    bool round;  // round ends join polyline curves; flat ends give crisp stems and serifs
};

struct Glyph {
    char letter;
    double advance;
    std::vector<Stroke> strokes;
};

// Glyph for an upper-case letter of "VALDRENN"; throws for anything else.
const Glyph& glyph(char letter);

// What lies under one point of a laid-out word.
struct LetterSample {
    bool fill = false;     // inside a stroke
    bool outline = false;  // inside a stroke grown by the outline width
    bool shadow = false;   // inside the outline shape shifted by the shadow offset
    double v = 0;          // 0 at the cap line, 1 at the base line
};

class Lettering {
public:
    static constexpr double kCapUnits = 14;
    static constexpr double kGapUnits = 1.2;

    // `scale` is pixels per glyph unit; (left, top) is the cap-line start of the first letter.
    Lettering(std::string text, double left, double top, double scale, double outline_units,
              double shadow_dx_units, double shadow_dy_units);

    static double width_units(const std::string& text);
    LetterSample sample(double x, double y) const;

private:
    struct Placed {
        const Glyph* glyph;
        double left_units;
    };
    bool inside(double u, double v, double grow) const;

    std::vector<Placed> placed_;
    double left_, top_, scale_, outline_, shadow_dx_, shadow_dy_, width_units_;
};

}  // namespace assetgen

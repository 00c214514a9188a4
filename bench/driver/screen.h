// When is a window "fully painted"? When the screen shows, at known places of its client area,
// what its program draws last-but-surely: checked on real screen pixels, as a player sees them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// At least `atLeast` pixels of `color` in `area` (client coordinates). One pixel: a 1x1 area.
struct Expectation {
    RECT area;
    COLORREF color;
    int atLeast = 1;
};

Expectation pixelIs(int x, int y, COLORREF color);

// True when the screen shows every expectation in the window's client area.
bool screenShows(HWND window, const std::vector<Expectation>& expected);

// The client area's size in pixels.
SIZE clientSize(HWND window);

// A 24-bit bottom-up bitmap file, as the launcher carries its artwork.
class Bitmap {
public:
    explicit Bitmap(std::vector<unsigned char> file);
    bool valid() const { return width_ > 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<unsigned char>& file() const { return file_; }
    COLORREF at(int x, int y) const;  // top row first
    int count(const RECT& area, COLORREF color) const;

private:
    std::vector<unsigned char> file_;
    int width_ = 0;
    int height_ = 0;
    std::size_t offset_ = 0;
};

}  // namespace bench

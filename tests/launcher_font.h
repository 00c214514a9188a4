// The launcher's font as this test process gets it in the same Wine prefix: 8-point MS Sans Serif
// at a DPI, or whatever face the system substitutes where the prefix has none. What the tests
// expect of the launcher's text is measured and drawn with it.
#pragma once

#include <windows.h>

#include <vector>

namespace harness {

class LauncherFont {
public:
    explicit LauncherFont(int dpi);
    ~LauncherFont();
    LauncherFont(const LauncherFont&) = delete;
    LauncherFont& operator=(const LauncherFont&) = delete;

    // A bitmap face comes in sizes made for one DPI, and the system picks them by the DPI of the
    // process that draws, this one's or the launcher's: only a scalable face, or the DPI this
    // process has itself, gives what the launcher gets.
    bool sameAsTheLaunchers() const;
    SIZE extent(const wchar_t* text) const;  // as GetTextExtentPoint32W measures it

    // The text drawn in `color` over `behind` into a box of its extent, clipped to it as a label's
    // is: the box's pixels, top row first.
    std::vector<COLORREF> draw(const wchar_t* text, COLORREF color, COLORREF behind) const;

private:
    int dpi_;
    HFONT font_;
};

// The smallest rectangle around the pixels of `pixels` (a `width`-wide picture, top row first)
// that differ from `behind`; empty when none do.
RECT inkBox(const std::vector<COLORREF>& pixels, int width, COLORREF behind);

}  // namespace harness

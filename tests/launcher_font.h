// The launcher's font as the launcher's own process gets it: its face and size at the launcher's
// DPI, and text measured and drawn in it there (see tests/window_probe). A bitmap face comes in
// sizes made for one DPI, picked by the DPI of the process that draws, and a test started at 96
// dots per inch gets another size than a launcher started at 144, or another face where the
// launcher chose a scalable one. What the tests expect of the launcher's text is measured with it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace window_probe {
class Probe;
}

namespace harness {

class LauncherFont {
public:
    explicit LauncherFont(HWND launcher);
    ~LauncherFont();
    LauncherFont(const LauncherFont&) = delete;
    LauncherFont& operator=(const LauncherFont&) = delete;

    const std::wstring& face() const { return face_; }
    int dpi() const { return dpi_; }
    // The em's height in pixels: the cell's height less the room it keeps above for accents.
    int emHeight() const { return emHeight_; }
    bool scalable() const { return scalable_; }

    SIZE extent(const wchar_t* text) const;  // as GetTextExtentPoint32W measures it
    // The text drawn in `color` over `behind` into a box of its extent, clipped to it as a label's
    // is: the box's pixels, top row first.
    std::vector<COLORREF> draw(const wchar_t* text, COLORREF color, COLORREF behind) const;

private:
    std::unique_ptr<window_probe::Probe> probe_;
    std::wstring face_;
    int dpi_ = 0;
    int emHeight_ = 0;
    bool scalable_ = false;
};

// The smallest rectangle around the pixels of `pixels` (a `width`-wide picture, top row first)
// that differ from `behind`; empty when none do.
RECT inkBox(const std::vector<COLORREF>& pixels, int width, COLORREF behind);

}  // namespace harness

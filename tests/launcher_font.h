// The launcher's font as this test process gets it in the same Wine prefix: 8-point MS Sans Serif
// at a DPI, or whatever face the system substitutes where the prefix has none. What the tests
// expect of the launcher's text is measured with it.
#pragma once

#include <windows.h>

namespace harness {

class LauncherFont {
public:
    explicit LauncherFont(int dpi);
    ~LauncherFont();
    LauncherFont(const LauncherFont&) = delete;
    LauncherFont& operator=(const LauncherFont&) = delete;

    SIZE extent(const wchar_t* text) const;  // as GetTextExtentPoint32W measures it

private:
    HFONT font_;
};

}  // namespace harness

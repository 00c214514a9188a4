#include "launcher_font.h"

namespace harness {

// Made as the launcher makes its default font.
LauncherFont::LauncherFont(int dpi)
    : font_(CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        L"MS Sans Serif")) {}

LauncherFont::~LauncherFont() { DeleteObject(font_); }

SIZE LauncherFont::extent(const wchar_t* text) const {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font_);
    SIZE size = {0, 0};
    GetTextExtentPoint32W(screen, text, lstrlenW(text), &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return size;
}

}  // namespace harness

#include "launcher_font.h"

#include <algorithm>

namespace harness {

// Made as the launcher makes its default font.
LauncherFont::LauncherFont(int dpi)
    : dpi_(dpi),
      font_(CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        L"MS Sans Serif")) {}

LauncherFont::~LauncherFont() { DeleteObject(font_); }

bool LauncherFont::sameAsTheLaunchers() const {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font_);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen, &metrics);
    const int ownDpi = GetDeviceCaps(screen, LOGPIXELSY);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return (metrics.tmPitchAndFamily & TMPF_VECTOR) || ownDpi == dpi_;
}

SIZE LauncherFont::extent(const wchar_t* text) const {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font_);
    SIZE size = {0, 0};
    GetTextExtentPoint32W(screen, text, lstrlenW(text), &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return size;
}

std::vector<COLORREF> LauncherFont::draw(const wchar_t* text, COLORREF color, COLORREF behind) const {
    const SIZE size = extent(text);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HGDIOBJ oldFont = SelectObject(memory, font_);
    RECT box = {0, 0, size.cx, size.cy};
    SetDCBrushColor(memory, behind);
    FillRect(memory, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, color);
    DrawTextW(memory, text, -1, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    GdiFlush();
    std::vector<COLORREF> pixels(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    const auto* stored = static_cast<const DWORD*>(bits);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = RGB((stored[i] >> 16) & 0xFF, (stored[i] >> 8) & 0xFF, stored[i] & 0xFF);
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

RECT inkBox(const std::vector<COLORREF>& pixels, int width, COLORREF behind) {
    RECT box = {width, static_cast<LONG>(pixels.size()), 0, 0};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == behind) continue;
        const LONG x = static_cast<LONG>(i % width), y = static_cast<LONG>(i / width);
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    }
    return box.right > box.left ? box : RECT{0, 0, 0, 0};
}

}  // namespace harness

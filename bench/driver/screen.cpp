#include "screen.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace bench {
namespace {

// Pixels of the screen in a client-area rectangle, 0x00RRGGBB, top row first.
std::vector<DWORD> capture(HDC screen, HWND window, const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    POINT origin = {area.left, area.top};
    ClientToScreen(window, &origin);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(DWORD));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

bool shows(HDC screen, HWND window, const Expectation& expected) {
    const RECT& area = expected.area;
    if (area.right - area.left == 1 && area.bottom - area.top == 1) {
        POINT at = {area.left, area.top};
        ClientToScreen(window, &at);
        return GetPixel(screen, at.x, at.y) == expected.color;
    }
    const COLORREF c = expected.color;
    const DWORD wanted = (DWORD{GetRValue(c)} << 16) | (DWORD{GetGValue(c)} << 8) | GetBValue(c);
    const std::vector<DWORD> pixels = capture(screen, window, area);
    const auto found = std::count_if(pixels.begin(), pixels.end(), [&](DWORD p) { return (p & 0xFFFFFF) == wanted; });
    return found >= expected.atLeast;
}

}  // namespace

Expectation pixelIs(int x, int y, COLORREF color) { return {{x, y, x + 1, y + 1}, color, 1}; }

bool screenShows(HWND window, const std::vector<Expectation>& expected) {
    HDC screen = GetDC(nullptr);
    // Stops at the first miss: while the window is still being drawn, a poll costs one look.
    const bool all = std::all_of(expected.begin(), expected.end(),
                                 [&](const Expectation& e) { return shows(screen, window, e); });
    ReleaseDC(nullptr, screen);
    return all;
}

SIZE clientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

Bitmap::Bitmap(std::vector<unsigned char> file) : file_(std::move(file)) {
    if (file_.size() < 54 || file_[0] != 'B' || file_[1] != 'M') return;
    std::int32_t width = 0, height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t offset = 0;
    std::memcpy(&offset, &file_[10], 4);
    std::memcpy(&width, &file_[18], 4);
    std::memcpy(&height, &file_[22], 4);
    std::memcpy(&bitCount, &file_[28], 2);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (bitCount != 24 || width <= 0 || height <= 0 || offset > file_.size() ||
        file_.size() - offset < stride * static_cast<std::size_t>(height))
        return;
    width_ = width;
    height_ = height;
    offset_ = offset;
}

COLORREF Bitmap::at(int x, int y) const {
    const std::size_t stride = (static_cast<std::size_t>(width_) * 3 + 3) / 4 * 4;
    const std::size_t at = offset_ + static_cast<std::size_t>(height_ - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
    return RGB(file_[at + 2], file_[at + 1], file_[at]);
}

int Bitmap::count(const RECT& area, COLORREF color) const {
    int found = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y)
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x)
            if (at(x, y) == color) ++found;
    return found;
}

}  // namespace bench

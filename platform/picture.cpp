#include "picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "runtime_error.h"

namespace platform {
namespace {

// Drawn in bands of rows, so that what the system or this code needs for drawing is the size of
// a band, where the whole picture at once would cost a copy of its own that stays with the process.
constexpr int kBandRows = 32;

std::size_t strideOf(const DibView& dib) {
    return ((static_cast<std::size_t>(dib.width) * dib.info.bmiHeader.biBitCount + 31) / 32) * 4;
}

// The screen takes 32-bit pixels and the picture has 24: the system converts each band while
// drawing it.
void drawUnscaled(HDC dc, const DibView& dib, int x, int y) {
    const std::size_t stride = strideOf(dib);
    const bool bottomUp = dib.info.bmiHeader.biHeight > 0;
    BITMAPINFO band = dib.info;
    band.bmiHeader.biSizeImage = 0;
    for (int top = 0; top < dib.height; top += kBandRows) {
        const int rows = std::min(kBandRows, dib.height - top);
        // A bottom-up picture stores its lowest row first.
        const std::size_t firstStored = static_cast<std::size_t>(bottomUp ? dib.height - top - rows : top);
        band.bmiHeader.biHeight = bottomUp ? rows : -rows;
        SetDIBitsToDevice(dc, x, y + top, static_cast<DWORD>(dib.width), static_cast<DWORD>(rows), 0, 0, 0,
                          static_cast<UINT>(rows), static_cast<const unsigned char*>(dib.bits) + firstStored * stride,
                          &band, DIB_RGB_COLORS);
    }
}

const unsigned char* rowFromTop(const DibView& dib, int y) {
    const int stored = dib.info.bmiHeader.biHeight > 0 ? dib.height - 1 - y : y;
    return static_cast<const unsigned char*>(dib.bits) + static_cast<std::size_t>(stored) * strideOf(dib);
}

// Where the centre of drawn pixel `at` falls among the stored pixels of a line: the one at or
// before it, the one after, and the weight of the one after in 256ths. Edges repeat.
struct Tap {
    int index;
    int next;
    int weight;
};

Tap tapAt(int at, int drawnLength, int storedLength) {
    const long long position = (2LL * at + 1) * storedLength * 128 / drawnLength - 128;
    if (position <= 0) return {0, 0, 0};
    const int index = static_cast<int>(position >> 8);
    if (index >= storedLength - 1) return {storedLength - 1, storedLength - 1, 0};
    return {index, index + 1, static_cast<int>(position & 255)};
}

// Without memory for a band, the system's own filter still fills the box.
void drawStretchedBySystem(HDC dc, const DibView& dib, const RECT& box) {
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin;
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);
    StretchDIBits(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, 0, 0, dib.width, dib.height,
                  dib.bits, &dib.info, DIB_RGB_COLORS, SRCCOPY);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
}

// Two 0x00RRGGBB colours mixed, `weight` 256ths of the second; red and blue share one multiply.
DWORD blend(DWORD first, DWORD second, int weight) {
    const DWORD w = static_cast<DWORD>(weight), v = 256 - w;
    const DWORD redBlue = (((first & 0xFF00FF) * v + (second & 0xFF00FF) * w + 0x800080) >> 8) & 0xFF00FF;
    const DWORD green = (((first & 0xFF00) * v + (second & 0xFF00) * w + 0x8000) >> 8) & 0xFF00;
    return redBlue | green;
}

// Stored row `y` filtered across to the drawn width.
void scaleRow(const DibView& dib, int y, const Tap* columns, int width, DWORD* out) {
    const unsigned char* row = rowFromTop(dib, y);
    const int bytesPerPixel = dib.info.bmiHeader.biBitCount / 8;
    const auto at = [&](int index) {
        const unsigned char* p = row + static_cast<std::size_t>(index) * bytesPerPixel;  // blue, green, red
        return static_cast<DWORD>(p[0] | p[1] << 8 | p[2] << 16);
    };
    for (int x = 0; x < width; ++x) out[x] = blend(at(columns[x].index), at(columns[x].next), columns[x].weight);
}

// Filtered here rather than by StretchDIBits, whose HALFTONE mode Wine carries out by repeating
// pixels: the same smooth picture on every system. Each band is computed from the whole picture,
// so bands meet without a seam; only what the clip shows is computed, into 32-bit pixels that the
// screen takes as they are. A stored row is filtered across once for all drawn rows that use it.
void drawScaled(HDC dc, const DibView& dib, const RECT& box) {
    RECT clip, area;
    if (GetClipBox(dc, &clip) == ERROR || !IntersectRect(&area, &box, &clip)) return;
    const int width = area.right - area.left;
    const std::size_t bandPixels = static_cast<std::size_t>(width) * kBandRows;
    const std::size_t bytes = (bandPixels + 2 * static_cast<std::size_t>(width)) * sizeof(DWORD) +
                              static_cast<std::size_t>(width) * sizeof(Tap);
    void* memory = HeapAlloc(GetProcessHeap(), 0, bytes);
    if (!memory) return drawStretchedBySystem(dc, dib, box);
    DWORD* const band = static_cast<DWORD*>(memory);
    DWORD* upper = band + bandPixels;
    DWORD* lower = upper + width;
    Tap* const columns = reinterpret_cast<Tap*>(lower + width);
    for (int x = 0; x < width; ++x) columns[x] = tapAt(area.left - box.left + x, box.right - box.left, dib.width);

    int upperRow = -1, lowerRow = -1;  // the stored rows that `upper` and `lower` hold
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, 0, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    for (int top = area.top; top < area.bottom; top += kBandRows) {
        const int rows = std::min<int>(kBandRows, area.bottom - top);
        for (int row = 0; row < rows; ++row) {
            const Tap down = tapAt(top + row - box.top, box.bottom - box.top, dib.height);
            if (down.index == lowerRow && down.index != upperRow) {
                std::swap(upper, lower);
                std::swap(upperRow, lowerRow);
            }
            if (down.index != upperRow) scaleRow(dib, upperRow = down.index, columns, width, upper);
            if (down.next != lowerRow) scaleRow(dib, lowerRow = down.next, columns, width, lower);
            DWORD* out = band + static_cast<std::size_t>(row) * width;
            for (int x = 0; x < width; ++x) out[x] = blend(upper[x], lower[x], down.weight);
        }
        info.bmiHeader.biHeight = -rows;  // top row first
        SetDIBitsToDevice(dc, area.left, top, static_cast<DWORD>(width), static_cast<DWORD>(rows), 0, 0, 0,
                          static_cast<UINT>(rows), band, &info, DIB_RGB_COLORS);
    }
    HeapFree(GetProcessHeap(), 0, memory);
}

}  // namespace

DibView openPicture(const Picture& picture) {
    const RuntimeError invalid{481, L"Invalid picture", {}, {}};
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    if (picture.size < sizeof file + sizeof header) raiseError(invalid);
    std::memcpy(&file, picture.bytes, sizeof file);
    std::memcpy(&header, picture.bytes + sizeof file, sizeof header);
    if (file.bfType != 0x4D42 || header.biSize < sizeof header || header.biPlanes != 1 ||
        header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
        header.biWidth <= 0 || header.biHeight == 0)
        raiseError(invalid);
    // In 64 bits: a crafted header must not wrap the 32-bit size_t of the shipped build.
    const std::uint64_t stride = ((static_cast<std::uint64_t>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(static_cast<long long>(header.biHeight)));
    if (file.bfOffBits > picture.size || picture.size - file.bfOffBits < stride * rows) raiseError(invalid);

    DibView view;
    view.info.bmiHeader = header;
    view.info.bmiHeader.biSize = sizeof header;
    view.bits = picture.bytes + file.bfOffBits;
    view.width = header.biWidth;
    view.height = static_cast<int>(rows);
    return view;
}

void drawPicture(HDC dc, const DibView& dib, const RECT& box) {
    if (box.right - box.left == dib.width && box.bottom - box.top == dib.height)
        drawUnscaled(dc, dib, box.left, box.top);
    else
        drawScaled(dc, dib, box);
}

}  // namespace platform

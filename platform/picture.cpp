#include "picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime_error.h"

namespace platform {

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

void drawPicture(HDC dc, const DibView& dib, int x, int y) {
    // In bands of rows: the system converts each band to the screen's format in scratch memory
    // the size of the band, where the whole picture at once would cost a copy of its own.
    constexpr int kBandRows = 32;
    const BITMAPINFOHEADER& header = dib.info.bmiHeader;
    const std::size_t stride = ((static_cast<std::size_t>(dib.width) * header.biBitCount + 31) / 32) * 4;
    const bool bottomUp = header.biHeight > 0;
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

}  // namespace platform

#include "picture.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime_error.h"

namespace platform {

DibView openPicture(const Picture& picture) {
    const RuntimeError invalid{481, L"Invalid picture", {}, {}};
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    if (picture.size < sizeof file + sizeof header) throw invalid;
    std::memcpy(&file, picture.bytes, sizeof file);
    std::memcpy(&header, picture.bytes + sizeof file, sizeof header);
    if (file.bfType != 0x4D42 || header.biSize < sizeof header || header.biPlanes != 1 ||
        header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
        header.biWidth <= 0 || header.biHeight == 0)
        throw invalid;
    // In 64 bits: a crafted header must not wrap the 32-bit size_t of the shipped build.
    const std::uint64_t stride = ((static_cast<std::uint64_t>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(static_cast<long long>(header.biHeight)));
    if (file.bfOffBits > picture.size || picture.size - file.bfOffBits < stride * rows) throw invalid;

    DibView view;
    view.info.bmiHeader = header;
    view.info.bmiHeader.biSize = sizeof header;
    view.bits = picture.bytes + file.bfOffBits;
    view.width = header.biWidth;
    view.height = static_cast<int>(rows);
    return view;
}

void drawPicture(HDC dc, const DibView& dib, int x, int y) {
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(dib.width), static_cast<DWORD>(dib.height), 0, 0, 0,
                      static_cast<UINT>(dib.height), dib.bits, &dib.info, DIB_RGB_COLORS);
}

}  // namespace platform

// What the window probe (window_probe.cpp) reports of a window's icons, in memory that the test
// shares with the process it was loaded into, and how both sides draw an icon to compare it.
#pragma once

#include <windows.h>

#include <string>

namespace window_probe {

// The icon's size, and its pixels drawn at that size over black and over white, which shows its
// transparency mask as well as its colours. Icons larger than kMaxSide are sized, not drawn.
constexpr int kMaxSide = 64;
struct IconPicture {
    LONG width = 0;
    LONG height = 0;
    DWORD overBlack[kMaxSide * kMaxSide] = {};
    DWORD overWhite[kMaxSide * kMaxSide] = {};
};

struct Report {
    IconPicture small;
    IconPicture large;
};

// Names of the shared memory and of the event that says the report is written, for the process
// that the probe runs in, and the message that asks it to.
inline std::wstring mappingName(DWORD pid) { return L"Local\\valdrenn-window-probe-" + std::to_wstring(pid); }
inline std::wstring doneEventName(DWORD pid) { return mappingName(pid) + L"-done"; }
constexpr wchar_t kProbeMessage[] = L"ValdrennWindowProbeIcons";
constexpr char kHookProcedure[] = "probeWindowIcons";

inline void drawOver(HICON icon, int width, int height, COLORREF background, DWORD* pixels) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        DeleteDC(dc);
        return;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const DWORD* drawn = static_cast<const DWORD*>(bits);
    for (int i = 0; i < width * height; ++i) pixels[i] = drawn[i] & 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// The icon as its own bitmaps size it, drawn at that size.
inline IconPicture pictureOf(HICON icon) {
    IconPicture picture;
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return picture;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    picture.width = bitmap.bmWidth;
    picture.height = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;  // a mono icon stacks two masks
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (picture.width > 0 && picture.height > 0 && picture.width <= kMaxSide && picture.height <= kMaxSide) {
        drawOver(icon, picture.width, picture.height, RGB(0, 0, 0), picture.overBlack);
        drawOver(icon, picture.width, picture.height, RGB(255, 255, 255), picture.overWhite);
    }
    return picture;
}

}  // namespace window_probe

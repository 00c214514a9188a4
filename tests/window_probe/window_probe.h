// What the window probe (window_probe.cpp) reports of a window's icons and of the pointer over it,
// in memory that the test shares with the process it was loaded into, and how both sides draw an
// icon to compare it.
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

// A window's client area in the pixels of its own process: its size, its origin on the screen,
// its child windows (topmost first) and where they lie in it, and what the screen shows there.
// Wine 10, like Windows, shows a DPI-unaware test other figures than a DPI-aware window has, and
// keeps one DPI for each process from its start, so a test started at 96 dots per inch cannot
// read a launcher started at 144 itself; the launcher's own process reads it as it is.
constexpr int kMaxChildren = 8;
constexpr int kMaxPixels = 1280 * 1024;
struct Screen {
    POINT origin;
    LONG width;
    LONG height;
    LONG childCount;
    HWND children[kMaxChildren];
    RECT childBoxes[kMaxChildren];
    DWORD pixels[kMaxPixels];  // 0x00RRGGBB, top row first
};

// A text measured and drawn in the window's own font (WM_GETFONT), in its own process: a bitmap
// face's sizes are picked by the DPI of the process that draws, so only there is it the same.
constexpr int kMaxTextPixels = 1024 * 128;
struct Text {
    wchar_t text[128];   // asked: the text
    COLORREF color;      // asked: drawn in this colour
    COLORREF behind;     // asked: over this one
    int dpi;             // the window's process's dots per inch
    wchar_t face[LF_FACESIZE];
    TEXTMETRICW metrics;
    SIZE extent;         // as GetTextExtentPoint32W measures it, and the box it is drawn in
    DWORD pixels[kMaxTextPixels];  // 0x00RRGGBB, top row first
};

struct Report {
    IconPicture small;
    IconPicture large;
    // Where the thread last took a mouse move, and whether it showed the system's arrow then.
    POINT pointer;
    BOOL arrow;
    Screen screen;
    Text text;
};

// What the probe message asks (its wParam): the window's icons, to show another cursor, the
// window's client area as the screen shows it, or a text in the window's font.
enum Question : WPARAM { kIcons = 1, kOtherCursor = 2, kScreen = 3, kText = 4 };

// Names of the shared memory and of the event that says the question is answered, for the process
// that the probe runs in, and the message that asks it.
inline std::wstring mappingName(DWORD pid) { return L"Local\\valdrenn-window-probe-" + std::to_wstring(pid); }
inline std::wstring doneEventName(DWORD pid) { return mappingName(pid) + L"-done"; }
constexpr wchar_t kProbeMessage[] = L"ValdrennWindowProbe";
constexpr char kHookProcedure[] = "probeWindow";

// Draws with `draw(dc)` into a top-down 32-bit picture of `width` x `height` and copies its pixels
// out as 0x00RRGGBB, top row first; copies nothing where the picture cannot be made.
template <class Draw>
void drawInto(int width, int height, DWORD* pixels, Draw draw) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0)) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        draw(dc);
        GdiFlush();
        const DWORD* drawn = static_cast<const DWORD*>(bits);
        for (int i = 0; i < width * height; ++i) pixels[i] = drawn[i] & 0xFFFFFF;
        SelectObject(dc, old);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
}

inline void drawOver(HICON icon, int width, int height, COLORREF background, DWORD* pixels) {
    drawInto(width, height, pixels, [&](HDC dc) {
        const RECT all = {0, 0, width, height};
        SetDCBrushColor(dc, background);
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    });
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

// The test's side: the probe loaded into the thread of a window of another process by a message
// hook, sharing the report with it while this lives.
class Probe {
public:
    Probe(const std::wstring& dll, HWND window) : window_(window), module_(LoadLibraryW(dll.c_str())) {
        DWORD pid = 0;
        const DWORD thread = GetWindowThreadProcessId(window, &pid);
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Report),
                                      mappingName(pid).c_str());
        done_ = CreateEventW(nullptr, FALSE, FALSE, doneEventName(pid).c_str());
        view_ = static_cast<Report*>(MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Report)));
        auto* procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module_, kHookProcedure)));
        if (procedure && view_ && done_) hook_ = SetWindowsHookExW(WH_GETMESSAGE, procedure, module_, thread);
    }
    ~Probe() {
        if (hook_) UnhookWindowsHookEx(hook_);
        if (view_) UnmapViewOfFile(view_);
        CloseHandle(done_);
        CloseHandle(mapping_);
        FreeLibrary(module_);
    }
    Probe(const Probe&) = delete;

    // Asks, and waits for the answer: the report then, or nullptr without one.
    const Report* ask(Question question) const {
        ResetEvent(done_);
        if (!hook_ || !PostMessageW(window_, RegisterWindowMessageW(kProbeMessage), question, 0)) return nullptr;
        return WaitForSingleObject(done_, 10000) == WAIT_OBJECT_0 ? view_ : nullptr;
    }
    // The report as the probe writes it, move by move.
    const volatile Report* live() const { return view_; }
    // Where a question's own input goes before it is asked.
    Report* input() const { return view_; }

private:
    HWND window_;
    HMODULE module_;
    HANDLE mapping_, done_;
    Report* view_;
    HHOOK hook_ = nullptr;
};

}  // namespace window_probe

// The benchmark's yardstick of the launcher's window: the same window at 96 dots per inch, written
// by hand in plain Win32 with none of the run time's code, and built as the product is. The
// launcher's time against this program is what our run time costs; against bare.exe, what the
// window's features cost.
//
// The same frame, client area, caption and icons; the artwork drawn unscaled from the same bytes;
// three owner-drawn buttons with the launcher's faces, edges, captions and focus rectangle; the
// credit in the same font; and on a click the launcher's start of the game. Keys other than the
// space bar, which the system's button takes, are left out: nothing measured uses them.
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "yardstick.h"

extern const unsigned char kArtworkBitmap[];
extern const std::size_t kArtworkBitmapSize;

namespace {

constexpr wchar_t kClassName[] = L"ValdrennPlain";
// The launcher's caption, so that the frame draws the same text; the driver tells the two
// windows apart by their processes.
constexpr wchar_t kTitle[] = L"Valdrenn Launcher";
constexpr int kArtworkLeft = -72;  // the window shows the artwork from its column 72
constexpr int kFontHeight = -11;   // 8 points at 96 dots per inch
constexpr wchar_t kCredit[] = L"Created by Anselm Droweker";

enum ButtonId { kExit = 100, kMultiplayer, kSingleplayer };

struct Button {
    int id;
    const wchar_t* caption;
    int top;
};

// In the launcher's order of creation, which is also the stacking order; each 121 x 33 at x 64.
constexpr Button kButtons[] = {{kExit, L"Exit", 280}, {kMultiplayer, L"Multiplayer", 120},
                               {kSingleplayer, L"Singleplayer", 80}};

// Globals for brevity: there is one window.
HFONT g_font;
HWND g_focus;  // the button that has the focus, or had it when the window was left
BITMAPINFO g_artwork;  // the header, copied: in the file it lies unaligned after 14 bytes
const void* g_artworkBits;

void openArtwork() {
    BITMAPFILEHEADER file;
    std::memcpy(&file, kArtworkBitmap, sizeof file);
    std::memcpy(&g_artwork.bmiHeader, kArtworkBitmap + sizeof file, sizeof g_artwork.bmiHeader);
    g_artworkBits = kArtworkBitmap + file.bfOffBits;
}

void setIcons(HWND window, HINSTANCE instance) {
    const auto load = [&](int size) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(load(GetSystemMetrics(SM_CXICON))));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(load(GetSystemMetrics(SM_CXSMICON))));
}

// The artwork covers the client area, and the credit lies in its bottom-right corner.
void onPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const int width = g_artwork.bmiHeader.biWidth, height = g_artwork.bmiHeader.biHeight;
    SetDIBitsToDevice(dc, kArtworkLeft, 0, width, height, 0, 0, 0, height, g_artworkBits, &g_artwork,
                      DIB_RGB_COLORS);
    HGDIOBJ oldFont = SelectObject(dc, g_font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    RECT client;
    GetClientRect(window, &client);
    DrawTextW(dc, kCredit, -1, &client, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(window, &ps);
}

const wchar_t* captionOf(UINT id) {
    for (const Button& button : kButtons)
        if (static_cast<UINT>(button.id) == id) return button.caption;
    return L"";
}

// A classic push button in the selection colours: raised, sunk while pressed, the caption
// centred (a pixel down and right while pressed), a focus rectangle around it while focused.
void onDrawItem(const DRAWITEMSTRUCT& item) {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT face = item.rcItem;
    SetDCBrushColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    FillRect(dc, &face, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    DrawEdge(dc, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);

    const wchar_t* caption = captionOf(item.CtlID);
    HGDIOBJ oldFont = SelectObject(dc, g_font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    RECT text = item.rcItem;
    if (pressed) OffsetRect(&text, 1, 1);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = {};
        DrawTextW(dc, caption, -1, &focus, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        OffsetRect(&focus, (text.left + text.right - focus.right) / 2, (text.top + text.bottom - focus.bottom) / 2);
        InflateRect(&focus, 2, 1);
        IntersectRect(&focus, &focus, &face);
        DrawFocusRect(dc, &focus);
    }
    DrawTextW(dc, caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

void onCommand(HWND window, WPARAM wParam) {
    if (HIWORD(wParam) != BN_CLICKED) return;
    switch (LOWORD(wParam)) {
        case kSingleplayer:
            yardstick::startGame(L"valdrennsp.exe");
            break;
        case kMultiplayer:
            yardstick::startGame(L"valdrennmp.exe");
            break;
        case kExit:
            break;
        default:
            return;
    }
    DestroyWindow(window);
}

// The focus leaves with the activation and comes back to the same button, as in a dialog.
void onActivate(HWND window, WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) g_focus = focus;
    } else if (g_focus) {
        SetFocus(g_focus);
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            onPaint(window);
            return 0;
        case WM_DRAWITEM:
            onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_COMMAND:
            onCommand(window, wParam);
            return 0;
        case WM_ACTIVATE:
            onActivate(window, wParam);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    openArtwork();
    g_font = CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");

    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;  // no background brush: the artwork covers the client area
    HWND window = yardstick::createWindow(wc, kTitle);
    if (!window) return 1;
    setIcons(window, instance);
    for (const Button& button : kButtons) {
        HWND created = CreateWindowExW(0, L"BUTTON", button.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW,
                                       64, button.top, 121, 33, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), instance, nullptr);
        if (button.id == kSingleplayer) g_focus = created;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    yardstick::runMessageLoop();
    DeleteObject(g_font);
    return 0;
}

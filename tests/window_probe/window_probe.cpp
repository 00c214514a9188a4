// Loaded into a program under test by a message hook that the test sets on its thread: asks the
// window that receives the probe message for its icons, as the shell asks for them, or shows
// another cursor; and at each mouse move the thread takes, notes the cursor it shows. Wine cannot
// send WM_GETICON to another process (it does not pack icon handles, and the call fails), and a
// cursor handle of one process need not be another's, so the questions are asked from inside.
#include "window_probe.h"

using namespace window_probe;

namespace {

// What `source` shows in `area`, as 0x00RRGGBB, top row first.
void readPixels(HDC source, const RECT& area, DWORD* pixels) {
    const LONG width = area.right - area.left, height = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, area.left, area.top, SRCCOPY);
        GdiFlush();
        const DWORD* read = static_cast<const DWORD*>(bits);
        for (LONG i = 0; i < width * height; ++i) pixels[i] = read[i] & 0xFFFFFF;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
}

// The screen's pixels over the client area, where this process sees the window. From the screen,
// not from the window's DC: above 96 dots per inch Wine 10's window DC did not give what X showed.
void readScreen(HWND window, Screen& screen) {
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    screen.origin = origin;
    screen.width = client.right;
    screen.height = client.bottom;
    if (static_cast<long long>(screen.width) * screen.height > kMaxPixels) screen.width = screen.height = 0;
    screen.childCount = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child && screen.childCount < kMaxChildren;
         child = GetWindow(child, GW_HWNDNEXT)) {
        screen.children[screen.childCount] = child;
        RECT& box = screen.childBoxes[screen.childCount++];
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    }
    HDC display = GetDC(nullptr);
    readPixels(display, {origin.x, origin.y, origin.x + screen.width, origin.y + screen.height}, screen.pixels);
    ReleaseDC(nullptr, display);
}

void drawText(HWND window, Text& text) {
    HDC display = GetDC(nullptr);
    text.dpi = GetDeviceCaps(display, LOGPIXELSY);
    HDC memory = CreateCompatibleDC(display);
    HGDIOBJ oldFont = SelectObject(memory, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    GetTextFaceW(memory, LF_FACESIZE, text.face);
    GetTextMetricsW(memory, &text.metrics);
    text.extent = {0, 0};
    GetTextExtentPoint32W(memory, text.text, lstrlenW(text.text), &text.extent);
    if (static_cast<long long>(text.extent.cx) * text.extent.cy > kMaxTextPixels) text.extent = {0, 0};
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, text.extent.cx, -text.extent.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(display, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        RECT box = {0, 0, text.extent.cx, text.extent.cy};
        SetDCBrushColor(memory, text.behind);
        FillRect(memory, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        SetBkMode(memory, TRANSPARENT);
        SetTextColor(memory, text.color);
        DrawTextW(memory, text.text, -1, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        GdiFlush();
        const DWORD* drawn = static_cast<const DWORD*>(bits);
        for (LONG i = 0; i < text.extent.cx * text.extent.cy; ++i) text.pixels[i] = drawn[i] & 0xFFFFFF;
        SelectObject(memory, oldBitmap);
        DeleteObject(bitmap);
    }
    SelectObject(memory, oldFont);
    DeleteDC(memory);
    ReleaseDC(nullptr, display);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK probeWindow(int code, WPARAM removal, LPARAM lParam) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    const bool asked = code == HC_ACTION && message->message == RegisterWindowMessageW(kProbeMessage);
    if (code == HC_ACTION && removal == PM_REMOVE && (asked || message->message == WM_MOUSEMOVE)) {
        const DWORD pid = GetCurrentProcessId();
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, mappingName(pid).c_str());
        HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, doneEventName(pid).c_str());
        void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Report)) : nullptr;
        volatile Report* report = static_cast<Report*>(view);
        if (report && !asked) {
            // Taking the move, the thread has asked the window under the pointer for its cursor
            // (WM_SETCURSOR). The place goes last: a test that finds it finds the cursor too.
            report->arrow = GetCursor() == LoadCursorW(nullptr, IDC_ARROW);
            report->pointer.x = message->pt.x;
            report->pointer.y = message->pt.y;
        } else if (report && message->wParam == kIcons) {
            Report* icons = static_cast<Report*>(view);
            icons->small = pictureOf(reinterpret_cast<HICON>(SendMessageW(message->hwnd, WM_GETICON, ICON_SMALL, 0)));
            icons->large = pictureOf(reinterpret_cast<HICON>(SendMessageW(message->hwnd, WM_GETICON, ICON_BIG, 0)));
        } else if (report && message->wParam == kOtherCursor) {
            SetCursor(LoadCursorW(nullptr, IDC_CROSS));
        } else if (report && message->wParam == kScreen) {
            readScreen(message->hwnd, static_cast<Report*>(view)->screen);
        } else if (report && message->wParam == kText) {
            drawText(message->hwnd, static_cast<Report*>(view)->text);
        }
        if (report && asked && done) SetEvent(done);
        // Answered once: another test's hook on the same thread sees a message that asks nothing.
        if (asked) message->message = WM_NULL;
        if (view) UnmapViewOfFile(view);
        if (done) CloseHandle(done);
        if (mapping) CloseHandle(mapping);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

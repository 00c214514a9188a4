// Loaded into a program under test by a message hook that the test sets on its thread: asks the
// window that receives the probe message for its icons, as the shell asks for them, or shows
// another cursor; and at each mouse move the thread takes, notes the cursor it shows. Wine cannot
// send WM_GETICON to another process (it does not pack icon handles, and the call fails), and a
// cursor handle of one process need not be another's, so the questions are asked from inside.
#include "window_probe.h"

using namespace window_probe;

namespace {

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
    drawInto(screen.width, screen.height, screen.pixels, [&](HDC dc) {
        BitBlt(dc, 0, 0, screen.width, screen.height, display, origin.x, origin.y, SRCCOPY);
    });
    ReleaseDC(nullptr, display);
}

void drawText(HWND window, Text& text) {
    HDC display = GetDC(nullptr);
    text.dpi = GetDeviceCaps(display, LOGPIXELSY);
    ReleaseDC(nullptr, display);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(memory, font);
    GetTextFaceW(memory, LF_FACESIZE, text.face);
    GetTextMetricsW(memory, &text.metrics);
    text.extent = {0, 0};
    GetTextExtentPoint32W(memory, text.text, lstrlenW(text.text), &text.extent);
    if (static_cast<long long>(text.extent.cx) * text.extent.cy > kMaxTextPixels) text.extent = {0, 0};
    SelectObject(memory, oldFont);
    DeleteDC(memory);
    drawInto(text.extent.cx, text.extent.cy, text.pixels, [&](HDC dc) {
        RECT box = {0, 0, text.extent.cx, text.extent.cy};
        SetDCBrushColor(dc, text.behind);
        FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, text.color);
        DrawTextW(dc, text.text, -1, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
    });
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

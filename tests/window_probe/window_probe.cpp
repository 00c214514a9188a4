// Loaded into a program under test by a message hook that the test sets on its thread: asks the
// window that receives the probe message for its icons, as the shell asks for them, or shows
// another cursor; and at each mouse move the thread takes, notes the cursor it shows. Wine cannot
// send WM_GETICON to another process (it does not pack icon handles, and the call fails), and a
// cursor handle of one process need not be another's, so the questions are asked from inside.
#include "window_probe.h"

using namespace window_probe;

extern "C" __declspec(dllexport) LRESULT CALLBACK probeWindow(int code, WPARAM removal, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
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
        }
        if (report && asked && done) SetEvent(done);
        if (view) UnmapViewOfFile(view);
        if (done) CloseHandle(done);
        if (mapping) CloseHandle(mapping);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

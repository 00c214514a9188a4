// Loaded into a program under test by a message hook that the test sets on its thread: asks the
// window that receives the probe message for its icons, as the shell asks for them, and draws them
// into memory that the test shares. Wine cannot send WM_GETICON to another process (it does not
// pack icon handles, and the call fails), so the question is asked from inside.
#include "window_probe.h"

using namespace window_probe;

extern "C" __declspec(dllexport) LRESULT CALLBACK probeWindowIcons(int code, WPARAM removal, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removal == PM_REMOVE && message->message == RegisterWindowMessageW(kProbeMessage)) {
        const DWORD pid = GetCurrentProcessId();
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, mappingName(pid).c_str());
        HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, doneEventName(pid).c_str());
        void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Report)) : nullptr;
        if (view && done) {
            Report* report = static_cast<Report*>(view);
            report->small = pictureOf(reinterpret_cast<HICON>(SendMessageW(message->hwnd, WM_GETICON, ICON_SMALL, 0)));
            report->large = pictureOf(reinterpret_cast<HICON>(SendMessageW(message->hwnd, WM_GETICON, ICON_BIG, 0)));
            SetEvent(done);
        }
        if (view) UnmapViewOfFile(view);
        if (done) CloseHandle(done);
        if (mapping) CloseHandle(mapping);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

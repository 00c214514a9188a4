// The benchmark's yardstick: the least a Win32 program needs to show a window like the launcher's
// (same frame, same 447x315 client area, a title of its own) and, on a click, to start the game
// the way the launcher does and end. Built by the same toolchain with the same options, so what
// it costs is what any program costs on this platform.
#include <windows.h>

#include "yardstick.h"

namespace {

constexpr wchar_t kClassName[] = L"ValdrennBare";
constexpr wchar_t kTitle[] = L"Valdrenn Launcher (bare)";
LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONUP:  // the launcher's buttons act on release too
            yardstick::startGame(L"valdrennsp.exe");
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    HWND window = yardstick::createWindow(wc, kTitle);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    yardstick::runMessageLoop();
    return 0;
}

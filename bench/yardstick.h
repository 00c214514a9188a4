// What the benchmark's two yardsticks, bare.exe and plain.exe, do as the launcher does: its frame
// around its client area, its way of starting a game, and the message loop.
#pragma once

#include <windows.h>

namespace yardstick {

constexpr int kClientWidth = 447;
constexpr int kClientHeight = 315;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;

// The launcher's window, of the class that `wc` registers.
inline HWND createWindow(const WNDCLASSEXW& wc, const wchar_t* title) {
    RegisterClassExW(&wc);
    RECT outer = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    return CreateWindowExW(kExStyle, wc.lpszClassName, title, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, wc.hInstance,
                           nullptr);
}

// The launcher's way of starting a game: the bare name as the whole command line, a normal
// focused window, nothing of the new process kept.
inline void startGame(const wchar_t* name) {
    wchar_t commandLine[MAX_PATH];
    lstrcpynW(commandLine, name, MAX_PATH);
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

inline void runMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace yardstick

// Starting other programs.
#pragma once

namespace platform {

// Window states of a started program, as the caller passes them.
enum WindowStyle : int {
    vbHide = 0,
    vbNormalFocus = 1,
    vbMinimizedFocus = 2,
    vbMaximizedFocus = 3,
    vbNormalNoFocus = 4,
    vbMinimizedNoFocus = 6,
};

// Starts a program as a separate process and returns its task number at once, without waiting.
double rtcShell(const wchar_t* pathName, int windowStyle);

}  // namespace platform

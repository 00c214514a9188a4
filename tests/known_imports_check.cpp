// Names every function of known_imports.inc in a build for Windows XP. The SDK headers declare
// most functions of Vista and later only for builds that target them, so such a function labelled
// older fails to compile here. With VALDRENN_CONTROL_VISTA_AS_XP the file also names one labelled
// XP, which must fail: the control that the headers in use still tell the two apart.
#include <windows.h>

#define KNOWN_IMPORT(dll, function, since)                                                         \
    static_assert(since <= _WIN32_WINNT_WINXP, #function " is labelled newer than Windows XP"); \
    [[maybe_unused]] static auto* const known_##function = &::function;
#include "known_imports.inc"

#ifdef VALDRENN_CONTROL_VISTA_AS_XP
KNOWN_IMPORT(KERNEL32, GetTickCount64, _WIN32_WINNT_WINXP)
#endif

// Stands in for a DLL that someone dropped into the game folder under the name of a system DLL.
// It does nothing but leave a file beside itself ("<its path>.loaded") when a process loads it,
// holding the path of that process's program, so that a test can tell who took it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyW(path + length, L".loaded");
    wchar_t program[MAX_PATH];
    const DWORD programLength = GetModuleFileNameW(nullptr, program, MAX_PATH);
    const HANDLE marker = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, 0, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return TRUE;
    DWORD written = 0;
    WriteFile(marker, program, programLength * sizeof(wchar_t), &written, nullptr);
    WriteFile(marker, L"\n", sizeof(wchar_t), &written, nullptr);
    CloseHandle(marker);
    return TRUE;
}

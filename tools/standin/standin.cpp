// A stand-in for the game programs (copied as valdrennsp.exe and valdrennmp.exe). It records how it
// was started, so tests can see what the launcher asked for, and shows a small window saying which
// mode it is, so the demo shows each button doing its job.
//
//   VALDRENN_STANDIN_RECORD    a file to which one line is appended per start
//   VALDRENN_STANDIN_LIFETIME  milliseconds after which it closes itself (default: until closed)
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring environment(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length && length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::wstring modulePath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::wstring currentFolder() {
    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    return folder;
}

std::wstring startRecord() {
    STARTUPINFOW startup = {sizeof startup};
    GetStartupInfoW(&startup);
    return L"pid=" + std::to_wstring(GetCurrentProcessId()) + L"\tflags=" + std::to_wstring(startup.dwFlags) +
           L"\tshow=" + std::to_wstring(startup.wShowWindow) + L"\tcwd=" + currentFolder() + L"\texe=" +
           modulePath() + L"\tcmdline=" + GetCommandLineW();
}

// One WriteFile of the whole line, appended: starts that race each leave a whole line.
void appendRecord(const std::wstring& file, const std::wstring& record) {
    const std::wstring line = record + L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr,
                        nullptr);
    HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(out);
}

std::wstring g_text;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT box;
            GetClientRect(hwnd, &box);
            InflateRect(&box, -12, -12);
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            DrawTextW(dc, g_text.c_str(), -1, &box, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_TIMER:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const std::wstring record = startRecord();
    if (const std::wstring file = environment(L"VALDRENN_STANDIN_RECORD"); !file.empty()) appendRecord(file, record);

    const std::wstring path = modulePath();
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    const bool multiplayer = name.find(L"mp") != std::wstring::npos || name.find(L"MP") != std::wstring::npos;
    const std::wstring mode = multiplayer ? L"Multiplayer" : L"Singleplayer";
    g_text = L"Valdrenn " + mode + L" started.\n\nThis is a stand-in for the game program " + name +
             L".\n\nCommand line: " + GetCommandLineW() + L"\nShow state: " + std::to_wstring(showCommand) +
             L"\nCurrent folder: " + currentFolder();

    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"ValdrennStandIn";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, (L"Valdrenn - " + mode).c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 420, 220, nullptr, nullptr, instance, nullptr);
    if (const std::wstring lifetime = environment(L"VALDRENN_STANDIN_LIFETIME"); !lifetime.empty())
        SetTimer(window, 1, static_cast<UINT>(std::wcstoul(lifetime.c_str(), nullptr, 10)), nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

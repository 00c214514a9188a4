// rtcShell: starts a program as its own process and keeps nothing of it.
#include <string>

#include "runtime.h"

namespace platform {
namespace {

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring launcherFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return folderOf(path);
}

bool isBare(const std::wstring& name) { return name.find_first_of(L"\\/:\" ") == std::wstring::npos; }

std::wstring currentFolder() {
    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

// Some platforms say only "not found" or "denied" when what lies where the search stopped is a
// folder or a file that cannot be opened; the player is better served by the truth. The first of
// the two folders that the search looks in first and that holds the name is taken to be where it
// stopped.
RuntimeError failedStart(DWORD code, const std::wstring& name) {
    if (!isBare(name) || (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND && code != ERROR_ACCESS_DENIED))
        return errorFromWin32(code, name);
    for (const std::wstring& folder : {launcherFolder(), currentFolder()}) {
        const std::wstring path = folder + name;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return {75, L"Path/File access error", name, name + L" is a folder, not a program."};
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return errorFromWin32(GetLastError(), name);
        CloseHandle(file);
        break;
    }
    return errorFromWin32(code, name);
}

// The system's program search joins its folders into one ';'-separated list and splits it again,
// so a launcher folder whose name holds a ';' is never searched. A file of that name lying there
// is then started by its full path, with the same command line, window state, current folder and
// environment. Returns ERROR_SUCCESS when it started, the start's own error when it would not,
// and `searchError` when no such file lies there.
DWORD startFromLauncherFolder(const std::wstring& name, DWORD searchError, const STARTUPINFOW& startup,
                              PROCESS_INFORMATION& process) {
    const std::wstring path = launcherFolder() + name;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return searchError;
    std::wstring commandLine = name;
    STARTUPINFOW again = startup;
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &again,
                       &process))
        return ERROR_SUCCESS;
    return GetLastError();
}

}  // namespace

double rtcShell(const wchar_t* pathName, int windowStyle) {
    const std::wstring name = pathName ? pathName : L"";
    if (name.empty() || windowStyle < vbHide || windowStyle > vbMinimizedNoFocus || windowStyle == 5)
        throw RuntimeError{5, L"Invalid procedure call or argument", name, {}};

    // The system's own program search finds a bare name: the launcher's folder first, then the
    // current folder, the system folders and the search path. The new process inherits the
    // current folder and the environment.
    std::wstring commandLine = name;  // CreateProcessW may write to it
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        DWORD code = GetLastError();
        if ((code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) && isBare(name))
            code = startFromLauncherFolder(name, code, startup, process);
        if (code != ERROR_SUCCESS) throw failedStart(code, name);
    }

    // Nothing of the started program is kept; let it take the foreground we are about to leave.
    AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<double>(process.dwProcessId);
}

}  // namespace platform

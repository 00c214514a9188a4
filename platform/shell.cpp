// rtcShell: starts a program as its own process and keeps nothing of it.
#include "shell.h"

#include <windows.h>

#include <cwchar>
#include <initializer_list>

#include "runtime_error.h"

namespace platform {
namespace {

// The folder part of a path, with its closing backslash.
Text folderOf(const Text& path) {
    std::size_t length = path.size();
    while (length && path.c_str()[length - 1] != L'\\' && path.c_str()[length - 1] != L'/') --length;
    return Text(path.c_str(), length);
}

// The folder of this program's own file, where a program it ships with lies.
Text ownFolder() {
    Text path;
    path.resize(32768);
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return folderOf(path);
}

bool isBare(const Text& name) { return !std::wcspbrk(name.c_str(), L"\\/:\" "); }

Text currentFolder() {
    Text folder;
    folder.resize(32768);
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

// Some platforms say only "not found" or "denied" when what lies where the search stopped is a
// folder or a file that cannot be opened; the player is better served by the truth. The first of
// the two folders that the search looks in first and that holds the name is taken to be where it
// stopped.
RuntimeError failedStart(DWORD code, const Text& name) {
    if (!isBare(name) || (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND && code != ERROR_ACCESS_DENIED))
        return errorFromWin32(code, name);
    for (const Text& folder : {ownFolder(), currentFolder()}) {
        const Text path = folder + name;
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

// The program a bare name means where it lies beside this one, by its full path, named as the
// system's search names it (".exe" added to a name without extension). Empty where no such file
// lies there; a folder of that name is left to the search and its report.
Text programBesideLauncher(const Text& name) {
    Text path = ownFolder() + name;
    if (!std::wcschr(name.c_str(), L'.')) path += L".exe";
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return path;
}

}  // namespace

double rtcShell(const wchar_t* pathName, int windowStyle) {
    const Text name = pathName;
    if (name.empty() || windowStyle < vbHide || windowStyle > vbMinimizedNoFocus || windowStyle == 5)
        raiseError({5, L"Invalid procedure call or argument", name, {}});

    // A bare name means the program beside this one first. The system's search would look
    // there first too, but it splits its folder list at ';', so from a folder whose name holds
    // one it would look in other folders (the one named by the part before the ';', say) and
    // never in ours. Elsewhere the search finds it: the current folder, the system folders,
    // the search path. Either way the bare name is the whole command line, and the new process
    // inherits the current folder and the environment.
    const Text beside = isBare(name) ? programBesideLauncher(name) : Text();
    Text commandLine = name;  // CreateProcessW may write to it
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(beside.empty() ? nullptr : beside.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process))
        raiseError(failedStart(GetLastError(), name));

    // Nothing of the started program is kept; let it take the foreground we are about to leave.
    AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<double>(process.dwProcessId);
}

}  // namespace platform

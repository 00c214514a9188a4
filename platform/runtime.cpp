// The operations that an application's own code calls.
#include "runtime.h"

#include <string>

#include "engine.h"
#include "form.h"

namespace platform {

void ThunRTMain(const ProjectRecord& project) {
    Engine& engine = Engine::instance();
    guarded([&] {
        engine.start(project, GetModuleHandleW(nullptr));
        return LRESULT{0};
    });
    engine.runMessageLoop();
}

double rtcShell(const wchar_t* pathName, int windowStyle) {
    const std::wstring name = pathName ? pathName : L"";
    if (name.empty() || windowStyle < vbHide || windowStyle > vbMinimizedNoFocus || windowStyle == 5)
        throw RuntimeError{5, L"Invalid procedure call or argument", name, {}};

    // The system's own program search finds a bare name: the launcher's folder first, then the
    // current folder, the system folders and the search path.
    std::wstring commandLine = name;  // CreateProcessW may write to it
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw errorFromWin32(GetLastError(), name);

    // Nothing of the started program is kept; let it take the foreground we are about to leave.
    AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<double>(process.dwProcessId);
}

HRESULT Global::Unload(Form& form) { return form.unload(); }

Global& vbaNew2Global() {
    static Global global;
    return global;
}

void vbaHresultCheckObj(HRESULT result, const void*, const wchar_t* interfaceName) {
    if (SUCCEEDED(result)) return;
    const std::wstring subject = interfaceName ? interfaceName : L"";
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) throw errorFromWin32(HRESULT_CODE(result), subject);
    throw RuntimeError{static_cast<long>(result), L"Automation error", subject,
                       systemMessage(static_cast<DWORD>(result))};
}

void vbaEnd() { ExitProcess(0); }

}  // namespace platform

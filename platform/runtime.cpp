// The operations that an application's own code calls.
#include "runtime.h"

#include "engine.h"
#include "form.h"

namespace platform {

void ThunRTMain(const ProjectRecord& project) {
    Engine& engine = Engine::instance();
    engine.start(project, GetModuleHandleW(nullptr));
    engine.runMessageLoop();
}

HRESULT Global::Unload(Form& form) { return form.unload(); }

Global& vbaNew2Global() {
    static Global global;
    return global;
}

void vbaHresultCheckObj(HRESULT result, const void*, const wchar_t* interfaceName) {
    if (SUCCEEDED(result)) return;
    const Text subject = interfaceName;
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) raiseError(errorFromWin32(HRESULT_CODE(result), subject));
    raiseError({static_cast<long>(result), L"Automation error", subject, systemMessage(static_cast<DWORD>(result))});
}

void vbaEnd() { endProgram(0); }

}  // namespace platform

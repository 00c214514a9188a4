// The run time's operations as an application calls them: start from a project record, start
// programs, unload windows, end. Failures arrive as RuntimeError, never as return codes (except
// Unload, whose result the caller checks through vbaHresultCheckObj).
#pragma once

#include <windows.h>

#include "layout.h"
#include "project.h"
#include "runtime_error.h"
#include "shell.h"

namespace platform {

// Loads and shows the start-up form, runs the message loop and ends the process. Never returns.
[[noreturn]] void ThunRTMain(const ProjectRecord& project);

// The object behind the statements that act on the application as a whole.
class Global {
public:
    HRESULT Unload(Form& form);
};

// The one Global object, created on first use.
Global& vbaNew2Global();

// Turns a failed result of an object call into a run-time error.
void vbaHresultCheckObj(HRESULT result, const void* object, const wchar_t* interfaceName);

// Ends the program at once: no further events; the process and all it holds go.
[[noreturn]] void vbaEnd();

}  // namespace platform

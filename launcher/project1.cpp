// Project1: the project record and the process entry, which hands the record to the run time.
#include <windows.h>

#include "form1.h"
#include "runtime.h"

namespace {

const platform::ProjectRecord Project1 = {
    L"Launcher",
    L"Valdrenn Launcher",
    L"Project1",
    L"",
    &Form1,
    1033,
    platform::Threading::SingleThreaded,
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { platform::ThunRTMain(Project1); }

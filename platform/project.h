// The project record: the facts about a program as a whole that the run time is given at start.
// Plain data, as the stored layout is.
#pragma once

#include <windows.h>

#include "layout.h"

namespace platform {

enum class Threading { SingleThreaded };

struct ProjectRecord {
    const wchar_t* exeName;
    const wchar_t* title;  // also the caption of error reports
    const wchar_t* projectName;
    const wchar_t* helpFile;  // empty: none
    const FormDef* startupForm;
    LCID locale;
    Threading threading;
};

}  // namespace platform

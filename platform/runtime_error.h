// A run-time error: a number and a description, plus what it concerns (for instance the program
// that could not be started) and, where it helps, a plain sentence of what to do about it.
//
// Nothing in a program of this run time traps errors, so raising one is reporting it: the report
// of untrapped errors is shown at once and the program ends. No error ever unwinds the stack, and
// so none can cross the system's frames around a window procedure.
#pragma once

#include <windows.h>

#include "text.h"

namespace platform {

struct RuntimeError {
    long number;
    const wchar_t* description;
    Text subject;  // empty: none
    Text advice;   // empty: none
};

// The run-time error that a failed system call means, concerning `subject`.
RuntimeError errorFromWin32(DWORD code, const Text& subject);

// The system's own sentence for an error code.
Text systemMessage(DWORD code);

// The error report text, as the user reads it.
Text formatReport(const RuntimeError& error);

// Shows the report of the error and ends the process with the error's number.
[[noreturn]] void raiseError(const RuntimeError& error);

// The same for running out of memory, without needing any.
[[noreturn]] void reportOutOfMemory() noexcept;

}  // namespace platform

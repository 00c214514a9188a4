// A run-time error: a number and a description, plus what it concerns (for instance the program
// that could not be started) and, where it helps, a plain sentence of what to do about it.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

struct RuntimeError {
    long number;
    std::wstring description;
    std::wstring subject;  // empty: none
    std::wstring advice;   // empty: none
};

// The run-time error that a failed system call means, concerning `subject`.
RuntimeError errorFromWin32(DWORD code, const std::wstring& subject);

// The system's own sentence for an error code.
std::wstring systemMessage(DWORD code);

// The error report text, as the user reads it.
std::wstring formatReport(const RuntimeError& error);

// Shows the report of an untrapped error and ends the process with the error's number.
[[noreturn]] void reportUntrapped(const RuntimeError& error);

// The same for running out of memory, without needing any.
[[noreturn]] void reportOutOfMemory() noexcept;

}  // namespace platform

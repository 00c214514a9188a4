// Turning system failures into run-time errors, and the report of an error nobody trapped.
#include "runtime_error.h"

#include <cwchar>

#include "engine.h"

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L  // not in every SDK's winerror.h
#endif

namespace platform {
namespace {

struct Mapping {
    DWORD code;
    long number;
    const wchar_t* description;
    const wchar_t* advice;  // %s: the subject
};

// The numbers and words a programmer of this run time knows from its file and shell operations.
constexpr Mapping kMappings[] = {
    {ERROR_FILE_NOT_FOUND, 53, L"File not found", nullptr},
    {ERROR_PATH_NOT_FOUND, 76, L"Path not found", nullptr},
    {ERROR_DIRECTORY, 76, L"Path not found", nullptr},
    {ERROR_ACCESS_DENIED, 70, L"Permission denied", nullptr},
    {ERROR_SHARING_VIOLATION, 70, L"Permission denied", nullptr},
    {ERROR_LOCK_VIOLATION, 70, L"Permission denied", nullptr},
    {ERROR_ELEVATION_REQUIRED, 70, L"Permission denied",
     L"%s needs administrator rights. This launcher starts programs without them."},
    {ERROR_NOT_ENOUGH_MEMORY, 7, L"Out of memory", nullptr},
    {ERROR_OUTOFMEMORY, 7, L"Out of memory", nullptr},
    {ERROR_INVALID_NAME, 52, L"Bad file name or number", nullptr},
    {ERROR_BAD_PATHNAME, 52, L"Bad file name or number", nullptr},
    {ERROR_FILENAME_EXCED_RANGE, 52, L"Bad file name or number", nullptr},
    {ERROR_BAD_EXE_FORMAT, 5, L"Invalid procedure call or argument", L"%s is not a valid Windows program."},
    {ERROR_BAD_FORMAT, 5, L"Invalid procedure call or argument", L"%s is not a valid Windows program."},
    {ERROR_INVALID_EXE_SIGNATURE, 5, L"Invalid procedure call or argument", L"%s is not a valid Windows program."},
    {ERROR_EXE_MARKED_INVALID, 5, L"Invalid procedure call or argument", L"%s is not a valid Windows program."},
    {ERROR_EXE_MACHINE_TYPE_MISMATCH, 5, L"Invalid procedure call or argument",
     L"%s is not a program for this version of Windows."},
};

}  // namespace

Text systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    while (length && (text[length - 1] == L'\n' || text[length - 1] == L'\r' || text[length - 1] == L' ')) --length;
    const Text message = length ? Text(text, length) : L"System error " + Text::number(static_cast<long>(code)) + L".";
    LocalFree(text);
    return message;
}

namespace {

// The pattern with its one "%s" replaced by the subject.
Text substitute(const wchar_t* pattern, const Text& subject) {
    const wchar_t* at = std::wcsstr(pattern, L"%s");
    if (!at) return pattern;
    return Text(pattern, static_cast<std::size_t>(at - pattern)) + subject + (at + 2);
}

}  // namespace

RuntimeError errorFromWin32(DWORD code, const Text& subject) {
    for (const Mapping& m : kMappings) {
        if (m.code == code) return {m.number, m.description, subject, m.advice ? substitute(m.advice, subject) : Text()};
    }
    return {5, L"Invalid procedure call or argument", subject, systemMessage(code)};
}

Text formatReport(const RuntimeError& error) {
    Text text = L"Run-time error '" + Text::number(error.number) + L"':\r\n\r\n" + error.description;
    if (!error.subject.empty()) text += L": " + error.subject;
    if (!error.advice.empty()) text += L"\r\n\r\n" + error.advice;
    return text;
}

namespace {

[[noreturn]] void showReportAndEnd(const wchar_t* text, UINT code) {
    // Only one report is ever shown: an error raised from the report's own message loop ends the
    // program with the first error's number.
    static UINT exitCode = 0;
    if (exitCode) endProgram(exitCode);
    exitCode = code;

    Engine& engine = Engine::instance();
    engine.enterModal();
    // Input queued before the report, a second tap of the space bar say, would otherwise go to
    // the report's button and dismiss it unseen.
    MSG queued;
    while (PeekMessageW(&queued, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&queued, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    // The window stays as it is, owner of the report, so the user still sees what was pressed.
    MessageBoxW(engine.reportOwner(), text, engine.title(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    endProgram(exitCode);
}

}  // namespace

[[noreturn]] void raiseError(const RuntimeError& error) {
    showReportAndEnd(formatReport(error).c_str(), error.number > 0 ? static_cast<UINT>(error.number) : 1u);
}

[[noreturn]] void reportOutOfMemory() noexcept {
    showReportAndEnd(L"Run-time error '7':\r\n\r\nOut of memory", 7);
}

}  // namespace platform

// Turning system failures into run-time errors, and the report of an error nobody trapped.
#include "runtime_error.h"

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

std::wstring systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length ? std::wstring(text, length) : L"System error " + std::to_wstring(code) + L".";
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

namespace {

std::wstring substitute(const wchar_t* pattern, const std::wstring& subject) {
    std::wstring text = pattern;
    if (const auto at = text.find(L"%s"); at != std::wstring::npos) text.replace(at, 2, subject);
    return text;
}

}  // namespace

RuntimeError errorFromWin32(DWORD code, const std::wstring& subject) {
    for (const Mapping& m : kMappings) {
        if (m.code == code)
            return {m.number, m.description, subject, m.advice ? substitute(m.advice, subject) : std::wstring()};
    }
    return {5, L"Invalid procedure call or argument", subject, systemMessage(code)};
}

std::wstring formatReport(const RuntimeError& error) {
    std::wstring text = L"Run-time error '" + std::to_wstring(error.number) + L"':\r\n\r\n" + error.description;
    if (!error.subject.empty()) text += L": " + error.subject;
    if (!error.advice.empty()) text += L"\r\n\r\n" + error.advice;
    return text;
}

namespace {

[[noreturn]] void showReportAndEnd(const wchar_t* text, UINT code) {
    // Only one report is ever shown: an error raised from the report's own message loop ends the
    // program with the first error's number.
    static UINT exitCode = 0;
    if (exitCode) ExitProcess(exitCode);
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
    ExitProcess(exitCode);
}

}  // namespace

[[noreturn]] void reportUntrapped(const RuntimeError& error) {
    std::wstring text;
    try {
        text = formatReport(error);
    } catch (...) {
        reportOutOfMemory();
    }
    showReportAndEnd(text.c_str(), error.number > 0 ? static_cast<UINT>(error.number) : 1u);
}

[[noreturn]] void reportOutOfMemory() noexcept {
    showReportAndEnd(L"Run-time error '7':\r\n\r\nOut of memory", 7);
}

}  // namespace platform

#include "engine.h"

#include <cwchar>

#include "accessible.h"
#include "form.h"

namespace platform {
namespace {

HFONT createFont(int emHeight, const wchar_t* face) {
    return CreateFontW(-emHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// The height of the font's em in pixels: its cell less the room above for accents.
int emHeightOf(HDC dc, HFONT font) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmHeight - metrics.tmInternalLeading;
}

// The run time's default font: 8-point MS Sans Serif at the screen's DPI. That face comes as a
// bitmap in a few sizes, and a system may have none of the size a high DPI asks for (Wine at 192
// dots per inch has those for 144): there the system's scalable dialog face takes its place, so
// that the text grows with the scale the player chose.
HFONT createDefaultFont(HDC screen, int dpiY) {
    const int em = MulDiv(8, dpiY, 72);
    HFONT font = createFont(em, L"MS Sans Serif");
    const int made = emHeightOf(screen, font);
    if (made >= em - 1 && made <= em + 1) return font;
    DeleteObject(font);
    return createFont(em, L"MS Shell Dlg");
}

// DLLs that the window system loads late come from the system folder only, never from the
// folder the launcher was dropped into. This process only: a started program keeps its own
// search order, which SetDllDirectory would have changed.
void restrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto* set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Layout follows the DPI the system really has; left unaware, newer Windows would report 96 and
// stretch the whole window, artwork and text, into a blur.
void useTheRealDpi() {
    using SetProcessDpiAwareFn = BOOL(WINAPI*)();
    HMODULE user = GetModuleHandleW(L"user32.dll");
    auto* set = reinterpret_cast<SetProcessDpiAwareFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDPIAware")));
    if (set) set();
}

}  // namespace

namespace {

// At namespace scope rather than inside instance(): a function's static would need a guard from
// the C++ run time, and with it that run time's exception support.
Engine theEngine;

}  // namespace

Engine& Engine::instance() { return theEngine; }

void Engine::start(const ProjectRecord& project, HINSTANCE module) {
    restrictDllSearch();
    useTheRealDpi();
    project_ = &project;
    module_ = module;

    screen_ = GetDC(nullptr);
    dpiX_ = GetDeviceCaps(screen_, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen_, LOGPIXELSY);
    font_ = createDefaultFont(screen_, dpiY_);

    Form::registerClasses(module);

    form_ = new Form(*project.startupForm);
    form_->load();
    // Kept until the labels were measured: a device context of the hidden form, got only to
    // measure them, took longer than the measuring.
    ReleaseDC(nullptr, screen_);
    screen_ = nullptr;
    form_->show();
}

SIZE Engine::textExtent(const wchar_t* text) const {
    SIZE extent = {0, 0};
    HGDIOBJ old = SelectObject(screen_, font_);
    GetTextExtentPoint32W(screen_, text, lstrlenW(text), &extent);
    SelectObject(screen_, old);
    return extent;
}

void Engine::runMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    endProgram(0);
}

HWND Engine::reportOwner() const { return form_ ? form_->hwnd() : nullptr; }

void Engine::raiseEvent(Form& form, const wchar_t* control, const wchar_t* event) {
    for (const EventBinding& binding : form.def().events) {
        if (std::wcscmp(binding.control, control) != 0 || std::wcscmp(binding.event, event) != 0) continue;
        // A handler runs to its end before any other input counts.
        enterModal();
        binding.handler(form);
        leaveModal();
        return;
    }
}

void Engine::formDestroyed() { PostQuitMessage(0); }

void endProgram(UINT exitCode) {
    finishAccessibleCalls();
    ExitProcess(exitCode);
}

}  // namespace platform

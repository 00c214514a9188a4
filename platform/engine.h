// The window engine's shared state: the project, the one form, the screen's DPI and the default
// font, and the rule that nothing takes input while a handler or an error report holds the one
// thread.
#pragma once

#include <windows.h>

#include "project.h"

namespace platform {

class Engine {
public:
    static Engine& instance();

    void start(const ProjectRecord& project, HINSTANCE module);
    [[noreturn]] void runMessageLoop();

    HINSTANCE module() const { return module_; }
    const wchar_t* title() const { return project_ ? project_->title : L""; }
    HFONT font() const { return font_; }
    // A line of text as the default font draws it. Only while the form loads, when its labels
    // size themselves.
    SIZE textExtent(const wchar_t* text) const;
    int toPixelsX(int twips) const { return MulDiv(twips, dpiX_, kTwipsPerInch); }
    int toPixelsY(int twips) const { return MulDiv(twips, dpiY_, kTwipsPerInch); }
    // A picture's pixels are 96-dpi pixels. Up to 120 dpi it keeps them, beside strips of the
    // window that stay small; above, it grows with the layout and covers what it covers at 96.
    int toPicturePixelsX(int pixels) const { return scaledPicture(pixels, dpiX_); }
    int toPicturePixelsY(int pixels) const { return scaledPicture(pixels, dpiY_); }

    // While a handler runs or a report is up, controls ignore input, so that nothing a handler
    // does (a report's own message loop, say) can run a second handler or change the buttons.
    bool busy() const { return busy_; }
    void enterModal() { busy_ = true; }
    void leaveModal() { busy_ = false; }

    // The window that owns an error report: the loaded form, while it exists.
    HWND reportOwner() const;

    void raiseEvent(Form& form, const wchar_t* control, const wchar_t* event);
    // With its one window gone the program ends.
    void formDestroyed();

private:
    static constexpr int kTwipsPerInch = 1440;
    static constexpr int kPictureDpi = 96;
    static constexpr int kLargestUnscaledDpi = 120;

    static int scaledPicture(int pixels, int dpi) {
        return dpi > kLargestUnscaledDpi ? MulDiv(pixels, dpi, kPictureDpi) : pixels;
    }

    const ProjectRecord* project_ = nullptr;
    HINSTANCE module_ = nullptr;
    HFONT font_ = nullptr;
    HDC screen_ = nullptr;  // held from the start until the form has loaded
    int dpiX_ = 96;
    int dpiY_ = 96;
    bool busy_ = false;
    // The one form, created at start and never freed: a handler may still be on the stack of a
    // window that it has just unloaded, and the process ends soon after.
    Form* form_ = nullptr;
};

// Every end of the program comes here: a button's End, the message loop's end with no window
// left, and the report of an untrapped error. Screen readers' calls still being answered get
// their answers first; then the process ends with this exit code.
[[noreturn]] void endProgram(UINT exitCode);

// The one window procedure of a class of ours: recovers the object from WM_NCCREATE's create
// parameters, hands every message but the last to its handle(), and detaches the object at
// WM_NCDESTROY. Nothing unwinds through it: a run-time error is reported where it is raised.
template <class Window>
LRESULT CALLBACK windowProcOf(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The object outlives its window: it forgets the handle, the system still gets it.
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

}  // namespace platform

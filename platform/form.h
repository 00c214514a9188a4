// A form: the top-level window built from its stored layout. Check boxes become child windows;
// labels and images are drawn by the form itself, under the children.
#pragma once

#include <windows.h>

#include <memory>

#include "accessible.h"
#include "checkbox.h"
#include "drawn.h"
#include "fixed_list.h"
#include "layout.h"

namespace platform {

class Form final : public AccessibleElement {
public:
    explicit Form(const FormDef& def) : def_(def) {}
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The window classes of a form and of the controls it makes.
    static void registerClasses(HINSTANCE module);

    // Creates the window and then its controls in stored order; no application code runs.
    void load();
    void show();
    HRESULT unload();

    HWND hwnd() const { return hwnd_; }
    const FormDef& def() const { return def_; }

    // Tab and Shift+Tab: the next control in tab-index order, in a ring.
    void moveFocus(const CheckBox& from, bool backward);
    // Remembered so that the focus comes back to it when the window is activated again.
    void controlFocused(HWND control) { focus_ = control; }

    // To a screen reader the form is its client area, with its controls as children.
    LONG role() const override;
    const wchar_t* name() const override { return def_.caption; }
    LONG state() const override { return windowState(hwnd_); }
    RECT location() const override;
    HWND window() const override { return hwnd_; }
    AccessibleSlot* slot() override { return &accessible_; }
    LONG childCount() const override { return static_cast<LONG>(parts_.size()); }
    AccessibleElement* child(LONG id) const override;
    AccessibleElement* childAt(POINT screen) const override;

private:
    static constexpr std::size_t kMaxControls = 64;

    // A control of the layout as the form made it.
    struct Part {
        const ControlDef* def;
        AccessibleElement* element;
    };
    using Parts = FixedList<Part, kMaxControls>;
    using TabOrder = FixedList<CheckBox*, kMaxControls>;

    template <class Window>
    friend LRESULT CALLBACK windowProcOf(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    void onPaint();
    TabOrder tabOrder() const;
    Parts readingOrder() const;

    const FormDef& def_;
    HWND hwnd_ = nullptr;
    HWND focus_ = nullptr;  // the control that has the focus, or had it when the window was left
    FixedList<std::unique_ptr<CheckBox>, kMaxControls> checkBoxes_;
    FixedList<DrawnControl, kMaxControls> drawn_;
    Parts parts_;                // every control, in stored order: stacking order, topmost first
    AccessibleSlot accessible_;  // filled when a screen reader first asks
};

}  // namespace platform

// A form: the top-level window built from its stored layout. Check boxes become child windows;
// labels and images are drawn by the form itself, under the children.
#pragma once

#include <windows.h>

#include <memory>

#include "accessible.h"
#include "checkbox.h"
#include "fixed_list.h"
#include "layout.h"
#include "picture.h"

namespace platform {

class Form {
public:
    explicit Form(const FormDef& def) : def_(def) {}
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    static void registerClass(HINSTANCE module);

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

    // The check box made from a row of the layout; nullptr for other rows.
    CheckBox* checkBoxOf(const ControlDef& control) const;
    // Where a label or a picture is drawn, in client pixels (it may reach beyond the client
    // area); empty for other rows and for an image without a picture.
    RECT controlBox(const ControlDef& control) const;
    AccessibleSlot& accessible() { return accessible_; }

private:
    struct DrawnLabel {
        const ControlDef* def;
        RECT box;  // pixels
    };
    struct DrawnImage {
        const ControlDef* def;
        DibView dib;
        RECT box;  // pixels: where the picture lies and the size it is drawn at
    };

    template <class Window>
    friend LRESULT CALLBACK windowProcOf(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    RECT measureLabel(const ControlDef& def) const;
    void onPaint();
    static constexpr std::size_t kMaxControls = 64;
    using TabOrder = FixedList<CheckBox*, kMaxControls>;
    TabOrder tabOrder() const;

    const FormDef& def_;
    HWND hwnd_ = nullptr;
    HWND focus_ = nullptr;  // the control that has the focus, or had it when the window was left
    FixedList<std::unique_ptr<CheckBox>, kMaxControls> checkBoxes_;
    FixedList<DrawnLabel, kMaxControls> labels_;
    FixedList<DrawnImage, kMaxControls> images_;
    AccessibleSlot accessible_;  // filled when a screen reader first asks
};

}  // namespace platform

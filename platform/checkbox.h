// A check box in graphical style: a two-state push button that the run time draws itself,
// because the system's push button takes no face colour.
#pragma once

#include <windows.h>

#include "accessible.h"
#include "layout.h"

namespace platform {

class CheckBox final : public AccessibleElement {
public:
    CheckBox(Form& form, const ControlDef& def) : form_(form), def_(def) {}
    CheckBox(const CheckBox&) = delete;
    CheckBox& operator=(const CheckBox&) = delete;

    static void registerClass(HINSTANCE module, HCURSOR cursor);
    void create(HWND parent, int id);

    HWND hwnd() const { return hwnd_; }
    const ControlDef& def() const { return def_; }

    // To a screen reader a push button, pressed in while checked, pressed as a click would.
    LONG role() const override;
    const wchar_t* name() const override { return def_.caption; }
    bool nameIsCaption() const override { return true; }
    LONG state() const override;
    RECT location() const override {
        RECT box = {};
        GetWindowRect(hwnd_, &box);
        return box;
    }
    const wchar_t* defaultAction() const override { return L"Press"; }
    HRESULT press() override;
    HWND window() const override { return hwnd_; }
    AccessibleSlot* slot() override { return &accessible_; }
    AccessibleElement* parent() const override;

private:
    template <class Window>
    friend LRESULT CALLBACK windowProcOf(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void onMouseDown();
    void onMouseMove(POINT at);
    void onMouseUp();
    void onKeyDown(WPARAM key, LPARAM flags);
    void onKeyUp(WPARAM key);
    void cancelPress();
    void setPushing(bool pushing);
    void toggle();

    Form& form_;
    const ControlDef& def_;
    HWND hwnd_ = nullptr;
    bool checked_ = false;
    bool pushing_ = false;   // held down by the mouse or the space bar, not yet released
    bool spaceDown_ = false;
    bool focused_ = false;
    AccessibleSlot accessible_;  // filled when a screen reader first asks
};

}  // namespace platform

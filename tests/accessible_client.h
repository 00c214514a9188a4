// A screen reader's view of another process's windows, as small as the tests need: an element is
// an accessible object and a child id within it, read through the calls a screen reader makes.
// The calling thread must have entered a COM apartment.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <array>
#include <string>

namespace harness {

using Box = std::array<LONG, 4>;  // left, top, width, height
Box boxOf(const RECT& rect);

class AccessibleElement {
public:
    // The object a window answers for its client area; empty when it gives none.
    static AccessibleElement ofWindow(HWND window);

    AccessibleElement() = default;
    AccessibleElement(const AccessibleElement& other);
    AccessibleElement& operator=(AccessibleElement other);
    ~AccessibleElement();

    explicit operator bool() const { return object_ != nullptr; }
    // A child id within an object, rather than an object of its own.
    bool isSimple() const { return child_ != CHILDID_SELF; }

    LONG role() const;   // -1: no answer
    LONG state() const;  // -1: no answer
    std::wstring name() const;
    std::wstring value() const;
    std::wstring defaultAction() const;
    Box location() const;  // all -1: no answer
    // The window the system says the object belongs to; nullptr when it says none.
    HWND window() const;

    LONG childCount() const;
    // Child `id`: its own object where it has one, else the child id within this object.
    AccessibleElement child(LONG id) const;
    // Child `id` as a child id within this object, whether or not it has an object of its own.
    AccessibleElement childId(LONG id) const;
    // Empty where there is nothing in that direction or at that point.
    AccessibleElement parent() const;
    AccessibleElement navigate(LONG direction) const;
    AccessibleElement hitTest(POINT screen) const;
    AccessibleElement focus() const;

    HRESULT doDefaultAction() const;

private:
    AccessibleElement(IAccessible* object, LONG child);  // takes over a reference
    AccessibleElement fromAnswer(HRESULT result, VARIANT& answer) const;

    IAccessible* object_ = nullptr;
    LONG child_ = CHILDID_SELF;
};

}  // namespace harness

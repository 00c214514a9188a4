// What a screen reader learns of a window and what it draws. The run time draws its buttons
// itself, so the system cannot tell what they are: each window answers WM_GETOBJECT with an
// object of ours, made when a client first asks, which asks an AccessibleElement everything.
#pragma once

#include <windows.h>

namespace platform {

class AccessibleObject;

// A window's object, once a client has asked for it. Clients may hold the object longer than the
// window lives: when the window goes, the slot cuts the object off from it, and the object
// answers every later call with an error.
class AccessibleSlot {
public:
    AccessibleSlot() = default;
    ~AccessibleSlot() { disconnect(); }
    AccessibleSlot(const AccessibleSlot&) = delete;
    AccessibleSlot& operator=(const AccessibleSlot&) = delete;

    void disconnect();

private:
    friend class AccessibleObject;
    AccessibleObject* object_ = nullptr;
};

// One thing on the screen as a screen reader sees it: a window, or a part that a window draws
// and that has no window of its own (a simple element of its parent, named by a child id).
// Roles and states are the system's (ROLE_SYSTEM_..., STATE_SYSTEM_... of <oleacc.h>).
//
// No function here is pure virtual: an abstract one would bring the C++ run time's handler for
// calling it, and with it std::terminate and its symbol demangler, into the program. Each
// answers as an element that has nothing to say on the matter.
class AccessibleElement {
public:
    virtual LONG role() const { return 0; }
    virtual const wchar_t* name() const { return nullptr; }  // nullptr or empty: none
    // A caption, whose '&' marks an access key, rather than plain text.
    virtual bool nameIsCaption() const { return false; }
    virtual LONG state() const { return 0; }
    virtual RECT location() const { return {0, 0, 0, 0}; }  // screen pixels
    virtual const wchar_t* defaultAction() const { return nullptr; }  // nullptr: none
    // Carries out the default action; called only where there is one.
    virtual HRESULT press() { return DISP_E_MEMBERNOTFOUND; }

    // Only an element with a window of its own has an object of its own, kept in its slot.
    virtual HWND window() const { return nullptr; }
    virtual AccessibleSlot* slot() { return nullptr; }
    // nullptr: the element is a window's client area, whose parent the system describes.
    virtual AccessibleElement* parent() const { return nullptr; }

    // Children in reading order, numbered from 1 as their child ids.
    virtual LONG childCount() const { return 0; }
    virtual AccessibleElement* child(LONG) const { return nullptr; }
    // The topmost visible child at a point on the screen; nullptr: none there.
    virtual AccessibleElement* childAt(POINT) const { return nullptr; }

protected:
    AccessibleElement() = default;
    AccessibleElement(const AccessibleElement&) = default;
    AccessibleElement& operator=(const AccessibleElement&) = default;
    ~AccessibleElement() = default;
};

// What every window tells of itself: it can take the focus, has it or not, is enabled, shows.
LONG windowState(HWND window);

// WM_GETOBJECT: the element's object for OBJID_CLIENT, the system's answer for anything else.
LRESULT answerGetObject(AccessibleElement& element, WPARAM wParam, LPARAM lParam);

// Before the process ends: returns once no screen reader's call to these objects is still being
// answered, serving this thread's messages meanwhile, since calls still on their way in reach the
// objects through them. An answer leaves from the system's RPC thread after our method has
// returned; ending the process before that would tell the reader that a press which did happen
// failed. Returns at once when no reader ever asked.
void finishAccessibleCalls();

// Tells screen readers that a window's state (a button's value) changed. Of a window taking the
// focus the system tells them itself, on Windows and under Wine alike; a second event would only
// have it announced twice.
void announceStateChange(HWND window);

}  // namespace platform

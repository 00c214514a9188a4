// What a screen reader learns of a form and its check boxes. The run time draws its buttons
// itself, so the system cannot tell what they are: each window answers WM_GETOBJECT with an
// object of ours, made when a client first asks and built from the layout and the controls' state.
#pragma once

#include <windows.h>

namespace platform {

class AccessibleObject;
class CheckBox;
class Form;

// A screen reader's press of a button, carried to the button's window through the message loop.
// (WM_USER and WM_USER + 1 have meanings in dialog keyboard handling.)
constexpr UINT kAccessiblePress = WM_APP;

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

// WM_GETOBJECT: the object of a form or a check box for OBJID_CLIENT, the system's answer for
// anything else.
LRESULT answerGetObject(Form& form, WPARAM wParam, LPARAM lParam);
LRESULT answerGetObject(CheckBox& box, WPARAM wParam, LPARAM lParam);

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

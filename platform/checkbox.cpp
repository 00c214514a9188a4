#include "checkbox.h"

#include <ole2.h>
#include <oleacc.h>
#include <windowsx.h>

#include "colors.h"
#include "engine.h"
#include "form.h"
#include "runtime_error.h"

namespace platform {
namespace {

constexpr wchar_t kClassName[] = L"PlatformCheckBox";

// A press from code, a screen reader's or a script's, carried to the button's window through the
// message loop. (WM_USER and WM_USER + 1 have meanings in dialog keyboard handling.)
constexpr UINT kPressFromCode = WM_APP;

// The classic push button: a face in the back colour with raised edges, sunk while pressed in,
// the caption centred in the text colour, and a focus rectangle around it while focused.
void paintButton(HWND button, const ControlDef& def, bool pressedIn, bool focused) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(button, &ps);
    RECT box;
    GetClientRect(button, &box);
    SetDCBrushColor(dc, resolveColor(def.backColor));
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    RECT edge = box;
    DrawEdge(dc, &edge, pressedIn ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);  // edge: the face inside

    const wchar_t* caption = def.caption ? def.caption : L"";
    HGDIOBJ oldFont = SelectObject(dc, Engine::instance().font());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, resolveColor(def.foreColor));
    // Measure, then centre; pressed in, the caption moves a pixel down and right like the face.
    RECT text = {0, 0, 0, 0};
    DrawTextW(dc, caption, -1, &text, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
    const int width = text.right;
    const int height = text.bottom;
    const int shift = pressedIn ? 1 : 0;
    text.left = box.left + (box.right - box.left - width) / 2 + shift;
    text.top = box.top + (box.bottom - box.top - height) / 2 + shift;
    text.right = text.left + width;
    text.bottom = text.top + height;
    DrawTextW(dc, caption, -1, &text, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    if (focused) {
        RECT focus = text;
        InflateRect(&focus, 2, 1);
        IntersectRect(&focus, &focus, &edge);
        DrawFocusRect(dc, &focus);
    }
    SelectObject(dc, oldFont);
    EndPaint(button, &ps);
}

}  // namespace

void CheckBox::registerClass(HINSTANCE module, HCURSOR cursor) {
    WNDCLASSEXW wc = {sizeof wc};
    // No CS_DBLCLKS: a double click is two clicks, as the user made them.
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProcOf<CheckBox>;
    wc.hInstance = module;
    wc.hCursor = cursor;
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
}

void CheckBox::create(HWND parent, int id) {
    const Engine& engine = Engine::instance();
    const HWND created = CreateWindowExW(0, kClassName, def_.caption ? def_.caption : L"",
                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, engine.toPixelsX(def_.left),
                    engine.toPixelsY(def_.top), engine.toPixelsX(def_.width), engine.toPixelsY(def_.height), parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), engine.module(), this);
    if (!created) raiseError(errorFromWin32(GetLastError(), def_.name));
}

LRESULT CheckBox::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paintButton(hwnd_, def_, checked_ || pushing_, focused_);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_NCPAINT:
            // A button has no frame: nothing lies outside its client area, and the system would
            // take a device context of the whole window to draw nothing there.
            return 0;
        case WM_LBUTTONDOWN:
            onMouseDown();
            return 0;
        case WM_MOUSEMOVE:
            onMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_LBUTTONUP:
            onMouseUp();
            return 0;
        case WM_CAPTURECHANGED:
            if (!spaceDown_) setPushing(false);
            return 0;
        case WM_CANCELMODE:
            // Whatever press is under way ends, the space bar's too: a system button holds the
            // capture for either, and DefWindowProc ends it by releasing the capture.
            cancelPress();
            break;
        case WM_KEYDOWN:
            onKeyDown(wParam, lParam);
            return 0;
        case WM_KEYUP:
            onKeyUp(wParam);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            focused_ = message == WM_SETFOCUS;
            if (focused_) form_.controlFocused(hwnd_);
            if (!focused_) cancelPress();
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_BUTTON;
        // What tools read of any button (its font, value and state); nothing in the launcher reads
        // them. BM_SETCHECK is left to DefWindowProc, which ignores it: the value changes only by
        // a press, which raises Click.
        case BM_GETCHECK:
            return checked_ ? BST_CHECKED : BST_UNCHECKED;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(Engine::instance().font());
        case BM_GETSTATE:
            return (checked_ ? BST_CHECKED : BST_UNCHECKED) | (pushing_ ? BST_PUSHED : 0) | (focused_ ? BST_FOCUS : 0);
        case BM_CLICK:
            press();
            return 0;
        case kPressFromCode:
            toggle();  // as a click would
            return 0;
        case WM_GETOBJECT:
            return answerGetObject(*this, wParam, lParam);
        case WM_DESTROY:
            accessible_.disconnect();
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CheckBox::onMouseDown() {
    if (Engine::instance().busy()) return;
    SetFocus(hwnd_);
    SetCapture(hwnd_);
    setPushing(true);
}

void CheckBox::onMouseMove(POINT at) {
    if (GetCapture() != hwnd_ || spaceDown_) return;
    RECT box;
    GetClientRect(hwnd_, &box);
    setPushing(PtInRect(&box, at) != FALSE);
}

void CheckBox::onMouseUp() {
    if (GetCapture() != hwnd_) return;
    const bool releasedInside = pushing_ && !spaceDown_;
    ReleaseCapture();  // WM_CAPTURECHANGED clears pushing_
    if (releasedInside) toggle();
}

void CheckBox::onKeyDown(WPARAM key, LPARAM flags) {
    const bool repeat = (flags & (1 << 30)) != 0;
    if (key == VK_TAB) {
        form_.moveFocus(*this, GetKeyState(VK_SHIFT) < 0);
    } else if (key == VK_SPACE && !repeat && GetCapture() != hwnd_ && !Engine::instance().busy()) {
        spaceDown_ = true;
        setPushing(true);
    }
}

void CheckBox::onKeyUp(WPARAM key) {
    if (key != VK_SPACE || !spaceDown_) return;
    spaceDown_ = false;
    setPushing(false);
    toggle();
}

// A press that the focus or the system takes away is over: the button rises and the release
// that follows, even back over it, does nothing.
void CheckBox::cancelPress() {
    spaceDown_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    setPushing(false);
}

void CheckBox::setPushing(bool pushing) {
    if (pushing_ == pushing) return;
    pushing_ = pushing;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

LONG CheckBox::role() const { return ROLE_SYSTEM_PUSHBUTTON; }

// Checked is the pressed-in look.
LONG CheckBox::state() const { return windowState(hwnd_) | (checked_ ? STATE_SYSTEM_PRESSED : 0); }

AccessibleElement* CheckBox::parent() const { return &form_; }

// A screen reader's or a script's press (BM_CLICK). While a handler runs or a report is up the
// buttons take no input, and neither does this. Otherwise it goes through the message loop, where
// a system button would click inside the call: a handler that shows a report would keep the
// caller waiting until the report was dismissed.
HRESULT CheckBox::press() {
    if (Engine::instance().busy()) return E_FAIL;
    return PostMessageW(hwnd_, kPressFromCode, 0, 0) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void CheckBox::toggle() {
    if (Engine::instance().busy()) return;
    checked_ = !checked_;
    // Shown before the handler runs: a handler that reports an error leaves it pressed in.
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
    announceStateChange(hwnd_);
    Engine::instance().raiseEvent(form_, def_.name, L"Click");
}

}  // namespace platform

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

// A screen reader's press, carried to the button's window through the message loop.
// (WM_USER and WM_USER + 1 have meanings in dialog keyboard handling.)
constexpr UINT kAccessiblePress = WM_APP;

// The classic push button: a face in the back colour with raised edges, sunk while pressed in,
// the caption centred in the text colour, and a focus rectangle around it while focused.
void drawButton(HDC dc, RECT box, const ControlDef& def, bool pressedIn, bool focused) {
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
}

}  // namespace

void CheckBox::registerClass(HINSTANCE module) {
    WNDCLASSEXW wc = {sizeof wc};
    // No CS_DBLCLKS: a double click is two clicks, as the user made them.
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProcOf<CheckBox>;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
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
            onPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
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
        case BM_GETCHECK:
            // The value, read the way any button's is; nothing in the launcher reads it.
            return checked_ ? BST_CHECKED : BST_UNCHECKED;
        case WM_GETOBJECT:
            return answerGetObject(*this, wParam, lParam);
        case kAccessiblePress:
            // A screen reader's press, as a click would make it.
            toggle();
            return 0;
        case WM_DESTROY:
            accessible_.disconnect();
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CheckBox::onPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT box;
    GetClientRect(hwnd_, &box);
    drawButton(dc, box, def_, checked_ || pushing_, focused_);
    EndPaint(hwnd_, &ps);
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

RECT CheckBox::location() const {
    RECT box = {};
    GetWindowRect(hwnd_, &box);
    return box;
}

AccessibleElement* CheckBox::parent() const { return &form_; }

// While a handler runs or a report is up the buttons take no input, and neither does a screen
// reader's press. Otherwise it goes through the message loop: a handler that shows a report
// would keep the reader waiting in its call until the report was dismissed.
HRESULT CheckBox::press() {
    if (Engine::instance().busy()) return E_FAIL;
    return PostMessageW(hwnd_, kAccessiblePress, 0, 0) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
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

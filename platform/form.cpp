#include "form.h"

#include <ole2.h>
#include <oleacc.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "colors.h"
#include "engine.h"
#include "runtime_error.h"

namespace platform {
namespace {

constexpr wchar_t kClassName[] = L"PlatformForm";

// Child ids start above the ids that dialog keyboard handling gives meaning to (IDOK, IDCANCEL).
constexpr int kFirstControlId = 100;

struct FrameStyle {
    DWORD style;
    DWORD exStyle;
};

FrameStyle frameStyle(BorderStyle border, bool showInTaskbar) {
    switch (border) {
        case BorderStyle::FixedToolWindow:
            // A fixed frame with a small caption and a close box only.
            return {WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                    static_cast<DWORD>(WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | (showInTaskbar ? WS_EX_APPWINDOW : 0))};
    }
    return {WS_OVERLAPPEDWINDOW, 0};
}

void setIcons(HWND window, HINSTANCE module, int resource) {
    const auto load = [&](int size) {
        return static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(resource), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    if (HICON big = load(GetSystemMetrics(SM_CXICON)))
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (HICON small = load(GetSystemMetrics(SM_CXSMICON)))
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

// Sorts by key, keeping items of equal key in their order: an insertion sort, which needs no
// scratch memory.
template <class List, class Key>
void sortStably(List& list, Key key) {
    for (std::size_t i = 1; i < list.size(); ++i)
        for (std::size_t j = i; j > 0 && key(list[j - 1]) > key(list[j]); --j) std::swap(list[j - 1], list[j]);
}

// The images, then the labels over them.
template <class List>
void paintDrawn(HDC dc, const List& drawn) {
    for (const DrawnControl& image : drawn)
        if (image.isImage()) image.paint(dc);
    HGDIOBJ oldFont = SelectObject(dc, Engine::instance().font());
    for (const DrawnControl& label : drawn)
        if (!label.isImage()) label.paint(dc);
    SelectObject(dc, oldFont);
}

}  // namespace

void Form::registerClasses(HINSTANCE module) {
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = windowProcOf<Form>;
    wc.hInstance = module;
    // Loaded once for both classes: each load looks the cursor up again.
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    CheckBox::registerClass(module, wc.hCursor);
}

void Form::load() {
    const Engine& engine = Engine::instance();
    const FrameStyle frame = frameStyle(def_.borderStyle, def_.showInTaskbar);
    RECT outer = {0, 0, engine.toPixelsX(def_.clientWidth), engine.toPixelsY(def_.clientHeight)};
    AdjustWindowRectEx(&outer, frame.style, FALSE, frame.exStyle);
    CreateWindowExW(frame.exStyle, kClassName, def_.caption, frame.style, CW_USEDEFAULT, CW_USEDEFAULT,
                    outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, engine.module(), this);
    if (!hwnd_) raiseError(errorFromWin32(GetLastError(), def_.name));
    if (def_.iconResource) setIcons(hwnd_, engine.module(), def_.iconResource);
    createControls();
}

void Form::createControls() {
    int id = kFirstControlId;
    for (const ControlDef& control : def_.controls) {
        AccessibleElement* element;
        if (control.kind == ControlKind::GraphicalCheckBox) {
            // Children are created in stored order; each new one goes below the earlier ones, so
            // the stored order is also the stacking order, topmost first.
            auto box = std::make_unique<CheckBox>(*this, control);
            box->create(hwnd_, id);
            element = box.get();
            checkBoxes_.push_back(std::move(box));
        } else {
            drawn_.push_back(DrawnControl(*this, control));
            element = &drawn_[drawn_.size() - 1];
        }
        parts_.push_back({&control, element});
        ++id;
    }
    const TabOrder order = tabOrder();
    if (!order.empty()) focus_ = order[0]->hwnd();
}

void Form::show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    if (focus_) SetFocus(focus_);
}

HRESULT Form::unload() {
    if (!hwnd_) return S_OK;
    if (!DestroyWindow(hwnd_)) return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

Form::TabOrder Form::tabOrder() const {
    TabOrder order;
    for (const auto& box : checkBoxes_)
        if (box->def().tabIndex >= 0 && box->hwnd() && IsWindowEnabled(box->hwnd())) order.push_back(box.get());
    sortStably(order, [](const CheckBox* box) { return box->def().tabIndex; });
    return order;
}

// What a screen reader reads out in turn: the controls by tab index, then those that take no
// focus, each in stored order.
Form::Parts Form::readingOrder() const {
    Parts order = parts_;
    sortStably(order, [](const Part& part) { return part.def->tabIndex < 0 ? INT_MAX : part.def->tabIndex; });
    return order;
}

void Form::moveFocus(const CheckBox& from, bool backward) {
    const TabOrder order = tabOrder();
    const auto at = std::find(order.begin(), order.end(), &from);
    if (at == order.end()) return;
    const std::size_t count = order.size();
    const std::size_t index = static_cast<std::size_t>(at - order.begin());
    SetFocus(order[(index + (backward ? count - 1 : 1)) % count]->hwnd());
}

LONG Form::role() const { return ROLE_SYSTEM_CLIENT; }

RECT Form::location() const {
    RECT client = {};
    GetClientRect(hwnd_, &client);
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

AccessibleElement* Form::child(LONG id) const {
    if (id < 1 || id > childCount()) return nullptr;
    return readingOrder()[static_cast<std::size_t>(id - 1)].element;
}

AccessibleElement* Form::childAt(POINT screen) const {
    for (const Part& part : parts_) {
        const RECT where = part.element->location();
        if (!(part.element->state() & STATE_SYSTEM_INVISIBLE) && PtInRect(&where, screen)) return part.element;
    }
    return nullptr;
}

LRESULT Form::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            onPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_ACTIVATE:
            // The focus leaves with the activation and comes back to the same control.
            if (LOWORD(wParam) != WA_INACTIVE && focus_) SetFocus(focus_);
            return 0;
        case WM_SETFOCUS:
            if (focus_) SetFocus(focus_);
            return 0;
        case WM_GETFONT:
            // As a system window answers: what its text is drawn in, for tools that read it.
            return reinterpret_cast<LRESULT>(Engine::instance().font());
        case WM_SYSCOLORCHANGE:
            // Colours are looked up at paint time; repainting everything is all it takes.
            RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            return 0;
        case WM_GETOBJECT:
            return answerGetObject(*this, wParam, lParam);
        case WM_DESTROY:
            accessible_.disconnect();
            Engine::instance().formDestroyed();
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Form::onPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);

    // The background only where no picture lies, so nothing flickers under the artwork.
    SaveDC(dc);
    for (const DrawnControl& image : drawn_)
        if (image.isImage()) ExcludeClipRect(dc, image.box().left, image.box().top, image.box().right, image.box().bottom);
    SetDCBrushColor(dc, resolveColor(def_.backColor));
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    RestoreDC(dc, -1);

    paintDrawn(dc, drawn_);
    EndPaint(hwnd_, &ps);
}

}  // namespace platform

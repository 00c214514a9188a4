#include "form.h"

#include <algorithm>

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

// How far back a span that ends past `limit` moves to end there, stopping at 0.
LONG overflowBack(LONG start, LONG end, LONG limit) {
    if (end <= limit || start <= 0) return 0;
    return std::min(end - limit, start);
}

}  // namespace

void Form::registerClass(HINSTANCE module) {
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = windowProcOf<Form>;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
}

void Form::load() {
    const Engine& engine = Engine::instance();
    const FrameStyle frame = frameStyle(def_.borderStyle, def_.showInTaskbar);
    RECT outer = {0, 0, engine.toPixelsX(def_.clientWidth), engine.toPixelsY(def_.clientHeight)};
    AdjustWindowRectEx(&outer, frame.style, FALSE, frame.exStyle);
    CreateWindowExW(frame.exStyle, kClassName, def_.caption, frame.style, CW_USEDEFAULT, CW_USEDEFAULT,
                    outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, engine.module(), this);
    if (!hwnd_) raiseError(errorFromWin32(GetLastError(), def_.name));

    if (def_.iconResource) {
        const auto load = [&](int size) {
            return static_cast<HICON>(LoadImageW(engine.module(), MAKEINTRESOURCEW(def_.iconResource), IMAGE_ICON,
                                                 size, size, LR_DEFAULTCOLOR));
        };
        if (HICON big = load(GetSystemMetrics(SM_CXICON)))
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (HICON small = load(GetSystemMetrics(SM_CXSMICON)))
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
    createControls();
}

void Form::createControls() {
    const Engine& engine = Engine::instance();
    int id = kFirstControlId;
    for (const ControlDef& control : def_.controls) {
        switch (control.kind) {
            case ControlKind::GraphicalCheckBox: {
                // Children are created in stored order; each new one goes below the earlier
                // ones, so the stored order is also the stacking order, topmost first.
                auto box = std::make_unique<CheckBox>(*this, control);
                box->create(hwnd_, id);
                checkBoxes_.push_back(std::move(box));
                break;
            }
            case ControlKind::Label:
                labels_.push_back({&control, measureLabel(control)});
                break;
            case ControlKind::Image:
                if (control.picture.bytes) {
                    const DibView dib = openPicture(control.picture);
                    const POINT at = {engine.toPixelsX(control.left), engine.toPixelsY(control.top)};
                    images_.push_back({&control, dib,
                                       {at.x, at.y, at.x + engine.toPicturePixelsX(dib.width),
                                        at.y + engine.toPicturePixelsY(dib.height)}});
                }
                break;
        }
        ++id;
    }
    const TabOrder order = tabOrder();
    if (!order.empty()) focus_ = order[0]->hwnd();
}

RECT Form::measureLabel(const ControlDef& def) const {
    const Engine& engine = Engine::instance();
    RECT box = {engine.toPixelsX(def.left), engine.toPixelsY(def.top), 0, 0};
    box.right = box.left + engine.toPixelsX(def.width);
    box.bottom = box.top + engine.toPixelsY(def.height);
    if (def.autoSize) {
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, engine.font());
        SIZE extent = {0, 0};
        const wchar_t* caption = def.caption ? def.caption : L"";
        GetTextExtentPoint32W(dc, caption, lstrlenW(caption), &extent);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        // A face wider or taller than the layout was made for (the one a system substitutes
        // for the default font, say) would run past the client area and lose its last letters:
        // the box moves in by just as much, so a caption laid out flush with an edge stays whole.
        RECT client;
        GetClientRect(hwnd_, &client);
        box.left -= overflowBack(box.left, box.left + extent.cx, client.right);
        box.top -= overflowBack(box.top, box.top + extent.cy, client.bottom);
        box.right = box.left + extent.cx;
        box.bottom = box.top + extent.cy;
    }
    return box;
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
    // Sorted by insertion, which keeps controls of equal tab index in their stored order and needs
    // no scratch memory.
    for (std::size_t i = 1; i < order.size(); ++i)
        for (std::size_t j = i; j > 0 && order[j - 1]->def().tabIndex > order[j]->def().tabIndex; --j)
            std::swap(order[j - 1], order[j]);
    return order;
}

CheckBox* Form::checkBoxOf(const ControlDef& control) const {
    for (const auto& box : checkBoxes_)
        if (&box->def() == &control) return box.get();
    return nullptr;
}

RECT Form::controlBox(const ControlDef& control) const {
    for (const DrawnLabel& label : labels_)
        if (label.def == &control) return label.box;
    for (const DrawnImage& image : images_)
        if (image.def == &control) return image.box;
    return {0, 0, 0, 0};
}

void Form::moveFocus(const CheckBox& from, bool backward) {
    const TabOrder order = tabOrder();
    const auto at = std::find(order.begin(), order.end(), &from);
    if (at == order.end()) return;
    const std::size_t count = order.size();
    const std::size_t index = static_cast<std::size_t>(at - order.begin());
    SetFocus(order[(index + (backward ? count - 1 : 1)) % count]->hwnd());
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
        case WM_SYSCOLORCHANGE:
            // Colours are looked up at paint time; repainting everything is all it takes.
            RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            return 0;
        case WM_GETOBJECT:
            return answerGetObject(*this, wParam, lParam);
        case WM_DESTROY:
            accessible_.disconnect();
            Engine::instance().formDestroyed(*this);
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
    for (const DrawnImage& image : images_)
        ExcludeClipRect(dc, image.box.left, image.box.top, image.box.right, image.box.bottom);
    SetDCBrushColor(dc, resolveColor(def_.backColor));
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    RestoreDC(dc, -1);

    for (const DrawnImage& image : images_) drawPicture(dc, image.dib, image.box);

    HGDIOBJ oldFont = SelectObject(dc, Engine::instance().font());
    for (const DrawnLabel& label : labels_) {
        if (!label.def->transparent) {
            SetDCBrushColor(dc, resolveColor(label.def->backColor));
            FillRect(dc, &label.box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        }
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, resolveColor(label.def->foreColor));
        RECT box = label.box;
        const wchar_t* caption = label.def->caption ? label.def->caption : L"";
        DrawTextW(dc, caption, -1, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd_, &ps);
}

}  // namespace platform

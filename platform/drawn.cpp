#include "drawn.h"

#include <ole2.h>
#include <oleacc.h>

#include <algorithm>

#include "colors.h"
#include "engine.h"

namespace platform {
namespace {

// How far back a span that ends past `limit` moves to end there, stopping at 0.
LONG overflowBack(LONG start, LONG end, LONG limit) {
    if (end <= limit || start <= 0) return 0;
    return std::min(end - limit, start);
}

const wchar_t* captionOf(const ControlDef& def) { return def.caption ? def.caption : L""; }

}  // namespace

DrawnControl::DrawnControl(AccessibleElement& form, const ControlDef& def) : form_(&form), def_(&def) {
    const Engine& engine = Engine::instance();
    if (def.kind == ControlKind::Label) {
        box_ = measureLabel(form.window());
    } else if (def.picture.bytes) {
        dib_ = openPicture(def.picture);
        const POINT at = {engine.toPixelsX(def.left), engine.toPixelsY(def.top)};
        box_ = {at.x, at.y, at.x + engine.toPicturePixelsX(dib_.width), at.y + engine.toPicturePixelsY(dib_.height)};
    }
}

RECT DrawnControl::measureLabel(HWND form) const {
    const Engine& engine = Engine::instance();
    RECT box = {engine.toPixelsX(def_->left), engine.toPixelsY(def_->top), 0, 0};
    box.right = box.left + engine.toPixelsX(def_->width);
    box.bottom = box.top + engine.toPixelsY(def_->height);
    if (def_->autoSize) {
        const SIZE extent = engine.textExtent(captionOf(*def_));
        // A face wider or taller than the layout was made for (the one a system substitutes
        // for the default font, say) would run past the client area and lose its last letters:
        // the box moves in by just as much, so a caption laid out flush with an edge stays whole.
        RECT client;
        GetClientRect(form, &client);
        box.left -= overflowBack(box.left, box.left + extent.cx, client.right);
        box.top -= overflowBack(box.top, box.top + extent.cy, client.bottom);
        box.right = box.left + extent.cx;
        box.bottom = box.top + extent.cy;
    }
    return box;
}

void DrawnControl::paint(HDC dc) const {
    if (isImage()) {
        if (dib_.bits) drawPicture(dc, dib_, box_);
        return;
    }
    if (!def_->transparent) {
        SetDCBrushColor(dc, resolveColor(def_->backColor));
        FillRect(dc, &box_, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, resolveColor(def_->foreColor));
    RECT box = box_;
    DrawTextW(dc, captionOf(*def_), -1, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

LONG DrawnControl::role() const { return isImage() ? ROLE_SYSTEM_GRAPHIC : ROLE_SYSTEM_STATICTEXT; }

// A picture carries no text, and none is made up for it.
const wchar_t* DrawnControl::name() const { return isImage() ? nullptr : def_->caption; }

LONG DrawnControl::state() const {
    return STATE_SYSTEM_READONLY | (IsWindowVisible(form_->window()) ? 0 : STATE_SYSTEM_INVISIBLE);
}

// Only the part inside the form's client area shows.
RECT DrawnControl::location() const {
    const HWND form = form_->window();
    RECT box = box_;
    RECT client = {};
    GetClientRect(form, &client);
    if (IntersectRect(&box, &box, &client)) MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

}  // namespace platform

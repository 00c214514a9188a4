// Labels and images: no windows of their own, drawn by their form under its child windows, and
// told to screen readers as simple elements of the form.
#pragma once

#include <windows.h>

#include "accessible.h"
#include "layout.h"
#include "picture.h"

namespace platform {

class DrawnControl final : public AccessibleElement {
public:
    DrawnControl() = default;
    // Placed in `form`'s client area, which must exist: an auto-size label keeps inside it. Made
    // while the form loads, when the engine measures text.
    DrawnControl(AccessibleElement& form, const ControlDef& def);

    bool isImage() const { return def_->kind == ControlKind::Image; }
    // In client pixels; it may reach beyond the client area. Empty for an image without a picture.
    const RECT& box() const { return box_; }
    // An image draws its picture; a label its caption, in the font selected into `dc`.
    void paint(HDC dc) const;

    LONG role() const override;
    const wchar_t* name() const override;
    LONG state() const override;
    RECT location() const override;
    AccessibleElement* parent() const override { return form_; }

private:
    RECT measureLabel(HWND form) const;

    AccessibleElement* form_ = nullptr;
    const ControlDef* def_ = nullptr;
    DibView dib_;  // an image's picture
    RECT box_ = {0, 0, 0, 0};
};

}  // namespace platform

// The stored layout of a window: plain data that the window engine interprets. An application
// describes its window as a table of controls in twips and colour values; nothing here is code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

class Form;

// A colour as stored: RGB with the high bit clear, a system colour index with it set.
using ColorValue = std::uint32_t;
constexpr ColorValue kNoColor = 0xFFFFFFFFu;

enum class ControlKind { GraphicalCheckBox, Label, Image };

// A picture carried as data: a complete bitmap file, as it would lie on disk.
struct Picture {
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
};

struct ControlDef {
    const wchar_t* name;
    ControlKind kind;
    const wchar_t* caption;  // nullptr: none
    int left, top, width, height;  // twips
    ColorValue backColor;
    ColorValue foreColor;
    int tabIndex;  // -1: takes no focus
    Picture picture = {};
    bool autoSize = false;     // labels: the box follows the caption
    bool transparent = false;  // labels: the back colour is not painted
};

enum class BorderStyle { FixedToolWindow };

using EventHandler = void (*)(Form& form);

// Binds a handler to a control's event by the two names, as the application spells them.
struct EventBinding {
    const wchar_t* control;
    const wchar_t* event;
    EventHandler handler;
};

struct FormDef {
    const wchar_t* name;
    const wchar_t* caption;
    BorderStyle borderStyle;
    int clientWidth, clientHeight;  // twips
    ColorValue backColor;
    bool showInTaskbar;
    int iconResource;  // 0: none
    std::span<const ControlDef> controls;  // stored order: creation and stacking order, topmost first
    std::span<const EventBinding> events;
};

}  // namespace platform

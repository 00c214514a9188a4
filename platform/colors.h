// Colour values as stored: resolved at paint time, so a changed desktop scheme shows at once.
#pragma once

#include <windows.h>

#include "layout.h"

namespace platform {

constexpr ColorValue kSystemColorFlag = 0x80000000u;

inline COLORREF resolveColor(ColorValue value) {
    if (value & kSystemColorFlag) return GetSysColor(static_cast<int>(value & 0xFFu));
    return static_cast<COLORREF>(value & 0x00FFFFFFu);
}

}  // namespace platform

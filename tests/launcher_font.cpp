#include "launcher_font.h"

#include <algorithm>
#include <iterator>

#include "harness.h"
#include "window_probe/window_probe.h"

namespace harness {
namespace {

// The text measured and drawn inside the launcher; nullptr when the launcher did not answer.
const window_probe::Text* ask(const window_probe::Probe& probe, const wchar_t* text, COLORREF color, COLORREF behind) {
    window_probe::Text& question = probe.input()->text;
    lstrcpynW(question.text, text, static_cast<int>(std::size(question.text)));
    question.color = color;
    question.behind = behind;
    const window_probe::Report* report = probe.ask(window_probe::kText);
    return report ? &report->text : nullptr;
}

}  // namespace

LauncherFont::LauncherFont(HWND launcher)
    : probe_(std::make_unique<window_probe::Probe>(joinPath(testFolder(), L"window_probe.dll"), launcher)) {
    if (const window_probe::Text* font = ask(*probe_, L"", 0, 0)) {
        face_ = font->face;
        dpi_ = font->dpi;
        emHeight_ = font->metrics.tmHeight - font->metrics.tmInternalLeading;
        scalable_ = (font->metrics.tmPitchAndFamily & TMPF_VECTOR) != 0;
    }
}

LauncherFont::~LauncherFont() = default;

SIZE LauncherFont::extent(const wchar_t* text) const {
    const window_probe::Text* drawn = ask(*probe_, text, 0, 0);
    return drawn ? drawn->extent : SIZE{0, 0};
}

std::vector<COLORREF> LauncherFont::draw(const wchar_t* text, COLORREF color, COLORREF behind) const {
    const window_probe::Text* drawn = ask(*probe_, text, color, behind);
    if (!drawn) return {};
    std::vector<COLORREF> pixels(static_cast<std::size_t>(drawn->extent.cx) * static_cast<std::size_t>(drawn->extent.cy));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = RGB((drawn->pixels[i] >> 16) & 0xFF, (drawn->pixels[i] >> 8) & 0xFF, drawn->pixels[i] & 0xFF);
    return pixels;
}

RECT inkBox(const std::vector<COLORREF>& pixels, int width, COLORREF behind) {
    RECT box = {width, static_cast<LONG>(pixels.size()), 0, 0};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == behind) continue;
        const LONG x = static_cast<LONG>(i % width), y = static_cast<LONG>(i / width);
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    }
    return box.right > box.left ? box : RECT{0, 0, 0, 0};
}

}  // namespace harness

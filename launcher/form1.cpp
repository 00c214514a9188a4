// Form1: the artwork, the credit line and three buttons. The layout is data in twips and colour
// values; the handlers are the launcher's only code.
#include "form1.h"

#include "artwork.h"
#include "runtime.h"

using namespace platform;

namespace {

constexpr ColorValue vbButtonFace = 0x8000000F;     // COLOR_BTNFACE
constexpr ColorValue vbHighlight = 0x8000000D;      // COLOR_HIGHLIGHT
constexpr ColorValue vbHighlightText = 0x8000000E;  // COLOR_HIGHLIGHTTEXT

// Starts the game before the window goes away, and ends right after it has gone. A start that
// fails raises a run-time error here and never reaches the unload.
void Check1_Click(Form& form) {
    rtcShell(L"valdrennsp.exe", vbNormalFocus);
    vbaHresultCheckObj(vbaNew2Global().Unload(form), &vbaNew2Global(), L"_Global");
    vbaEnd();
}

void Check2_Click(Form& form) {
    rtcShell(L"valdrennmp.exe", vbNormalFocus);
    vbaHresultCheckObj(vbaNew2Global().Unload(form), &vbaNew2Global(), L"_Global");
    vbaEnd();
}

void Check3_Click(Form& form) {
    vbaHresultCheckObj(vbaNew2Global().Unload(form), &vbaNew2Global(), L"_Global");
    vbaEnd();
}

// Stored order: creation and stacking order, topmost first.
const ControlDef kControls[] = {
    {L"Check3", ControlKind::GraphicalCheckBox, L"Exit", 960, 4200, 1815, 495, vbHighlight, vbHighlightText, 2},
    {L"Check2", ControlKind::GraphicalCheckBox, L"Multiplayer", 960, 1800, 1815, 495, vbHighlight, vbHighlightText,
     1},
    {L"Check1", ControlKind::GraphicalCheckBox, L"Singleplayer", 960, 1200, 1815, 495, vbHighlight, vbHighlightText,
     0},
    {L"Label1", ControlKind::Label, L"Created by Anselm Droweker", 4680, 4560, 2025, 195, vbHighlight,
     vbHighlightText, 3, {}, /*autoSize=*/true, /*transparent=*/true},
    {L"Image1", ControlKind::Image, nullptr, -1080, 0, 7800, 4740, kNoColor, kNoColor, -1,
     {kArtworkBitmap, kArtworkBitmapSize}},
};

const EventBinding kEvents[] = {
    {L"Check1", L"Click", Check1_Click},
    {L"Check2", L"Click", Check2_Click},
    {L"Check3", L"Click", Check3_Click},
};

}  // namespace

const FormDef Form1 = {
    L"Form1",
    L"Valdrenn Launcher",
    BorderStyle::FixedToolWindow,
    6705,
    4725,
    vbButtonFace,
    /*showInTaskbar=*/false,
    /*iconResource=*/1,
    kControls,
    kEvents,
};

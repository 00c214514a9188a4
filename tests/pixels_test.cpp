// What the player sees: screen pixels of the client area against the artwork and the desktop
// scheme's colours, at 96 and 120 dots per inch.
#include <algorithm>

#include "fixture.h"

using namespace harness;

namespace {

constexpr RECT kButtons[] = {{64, 80, 185, 113}, {64, 120, 185, 153}, {64, 280, 185, 313}};
constexpr RECT kCredit = {312, 304, 447, 315};

bool inside(const RECT& box, int x, int y) { return x >= box.left && x < box.right && y >= box.top && y < box.bottom; }

bool underAControl(int x, int y) {
    for (const RECT& button : kButtons)
        if (inside(button, x, y)) return true;
    return inside(kCredit, x, y);
}

// The colour most pixels of the area have.
COLORREF dominant(const Capture& capture, const RECT& area) {
    COLORREF best = 0;
    int bestCount = -1;
    for (int y = area.top; y < area.bottom; y += 3)
        for (int x = area.left; x < area.right; x += 3) {
            const COLORREF candidate = capture.at(x, y);
            const int count = capture.count(area, candidate);
            if (count > bestCount) best = candidate, bestCount = count;
        }
    return best;
}

// Whether `seen` can be an edge of `text` smoothed onto `behind`: each channel between the two, as
// both grey and sub-pixel smoothing leave it.
bool smoothedEdgeOf(COLORREF seen, COLORREF text, COLORREF behind) {
    constexpr int kTolerance = 6;
    for (const int shift : {0, 8, 16}) {
        const int s = (seen >> shift) & 0xFF, t = (text >> shift) & 0xFF, b = (behind >> shift) & 0xFF;
        if (s < std::min(t, b) - kTolerance || s > std::max(t, b) + kTolerance) return false;
    }
    return true;
}

RECT inset(RECT box, int by) {
    InflateRect(&box, -by, -by);
    return box;
}

class PixelsTest : public LauncherTest {};

TEST_F(PixelsTest, ArtworkFillsTheClientAreaFromItsColumn72) {
    start();
    const Capture screen(launcher->window());
    const Artwork artwork;
    ASSERT_EQ(artwork.width(), 520);
    ASSERT_EQ(artwork.height(), 316);
    int compared = 0, wrong = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            if (underAControl(x, y)) continue;
            ++compared;
            if (screen.at(x, y) != artwork.at(x + 72, y)) ++wrong;
        }
    EXPECT_GT(compared, 447 * 315 / 2);
    EXPECT_EQ(wrong, 0) << "pixels that differ from the artwork shifted 72 columns left";
}

TEST_F(PixelsTest, ButtonsShowRaisedFacesAndCaptionsInTheSelectionColours) {
    start();
    const Capture screen(launcher->window());
    const COLORREF face = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    for (const RECT& button : kButtons) {
        EXPECT_EQ(dominant(screen, inset(button, 3)), face);
        EXPECT_GT(screen.count(inset(button, 3), text), 15) << "no caption in the selection-text colour";
        EXPECT_EQ(screen.at(button.left, button.top), GetSysColor(COLOR_3DLIGHT)) << "raised edge";
        EXPECT_EQ(screen.at(button.right - 1, button.bottom - 1), GetSysColor(COLOR_3DDKSHADOW)) << "raised edge";
    }
}

TEST_F(PixelsTest, CreditIsSelectionTextDrawnStraightOntoTheArtwork) {
    start();
    const Capture screen(launcher->window());
    const Artwork artwork;
    const COLORREF text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    int lettering = 0, untouched = 0, wrong = 0;
    for (int y = kCredit.top; y < kCredit.bottom; ++y)
        for (int x = kCredit.left; x < kCredit.right; ++x) {
            const COLORREF seen = screen.at(x, y), behind = artwork.at(x + 72, y);
            if (seen == text)
                ++lettering;
            else if (seen == behind)
                ++untouched;
            else if (!smoothedEdgeOf(seen, text, behind))
                ++wrong;
        }
    EXPECT_GT(lettering, 40);
    EXPECT_EQ(wrong, 0) << "pixels that are neither the text colour, the artwork nor a blend of the two";
    // Painted, the back colour would leave none of the artwork between the letters.
    const int area = (kCredit.right - kCredit.left) * (kCredit.bottom - kCredit.top);
    EXPECT_GT(untouched, area / 3) << "the label's back colour was painted";
}

TEST_F(PixelsTest, ButtonsAndCreditFollowAChangedDesktopScheme) {
    const RegistryValue highlight(L"Control Panel\\Colors", L"Hilight", L"0 128 0");
    const RegistryValue highlightText(L"Control Panel\\Colors", L"HilightText", L"255 255 0");
    start();
    const Capture screen(launcher->window());
    for (const RECT& button : kButtons) {
        EXPECT_EQ(dominant(screen, inset(button, 3)), RGB(0, 128, 0));
        EXPECT_GT(screen.count(inset(button, 3), RGB(255, 255, 0)), 15);
    }
    EXPECT_GT(screen.count(kCredit, RGB(255, 255, 0)), 40);
}

TEST_F(PixelsTest, At120DpiLayoutGrowsAndTheArtworkKeepsItsPixelSize) {
    const RegistryValue dpi(L"Control Panel\\Desktop", L"LogPixels", DWORD{120});
    start();
    RECT client;
    GetClientRect(launcher->window(), &client);
    EXPECT_EQ(client.right, 559);  // 6705 twips
    EXPECT_EQ(client.bottom, 394);  // 4725 twips

    RECT box;
    GetWindowRect(launcher->button(L"Singleplayer"), &box);
    MapWindowPoints(nullptr, launcher->window(), reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(box.left, 80);
    EXPECT_EQ(box.top, 100);
    EXPECT_EQ(box.right - box.left, 151);
    EXPECT_EQ(box.bottom - box.top, 41);

    const Capture screen(launcher->window());
    const Artwork artwork;
    const COLORREF buttonFace = GetSysColor(COLOR_BTNFACE);
    // The artwork's left edge lies 1080 twips (90 pixels) left of the client area.
    EXPECT_EQ(screen.at(0, 0), artwork.at(90, 0));
    EXPECT_EQ(screen.at(429, 315), artwork.at(519, 315));
    EXPECT_EQ(screen.at(250, 50), artwork.at(340, 50));
    // Past the artwork, strips of the window's button-face background.
    EXPECT_EQ(screen.count({430, 0, 559, 300}, buttonFace), 129 * 300);
    EXPECT_EQ(screen.count({0, 316, 60, 394}, buttonFace), 60 * 78);
}

}  // namespace

// What the player sees: screen pixels of the client area against the artwork and the desktop
// scheme's colours, at 96 and 120 dots per inch, and at 144 and 192, where the artwork grows.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fixture.h"
#include "launcher_font.h"

using namespace harness;

namespace {

constexpr RECT kButtons[] = {{64, 80, 185, 113}, {64, 120, 185, 153}, {64, 280, 185, 313}};
constexpr wchar_t kCreditText[] = L"Created by Anselm Droweker";

// The credit's box: its caption's extent in the launcher's font from its stored corner, moved in
// by what of it would run past the client area's right and bottom edges.
RECT creditBox(int dpi, const LauncherFont& font, SIZE client) {
    const SIZE size = font.extent(kCreditText);
    const LONG left = std::min<LONG>(MulDiv(4680, dpi, 1440), client.cx - size.cx);
    const LONG top = std::min<LONG>(MulDiv(4560, dpi, 1440), client.cy - size.cy);
    return {left, top, left + size.cx, top + size.cy};
}

bool inside(const RECT& box, int x, int y) { return x >= box.left && x < box.right && y >= box.top && y < box.bottom; }

bool underAControl(const RECT& credit, int x, int y) {
    for (const RECT& button : kButtons)
        if (inside(button, x, y)) return true;
    return inside(credit, x, y);
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

int channel(COLORREF color, int index) { return (color >> (8 * index)) & 0xFF; }

// The artwork as drawn `dpi / 96` times its size with its left edge at `left`. A filter may blend
// neighbours but brings in no colour of its own: a screen pixel matches when each channel lies
// within those of the artwork's pixels within one pixel of where it falls in the artwork.
class ScaledArtwork {
public:
    ScaledArtwork(int dpi, int left) : dpi_(dpi), left_(left) {}

    std::vector<COLORREF> around(int x, int y) const {
        const auto span = [&](int at, int origin, int size) {
            const double falls = (at - origin + 0.5) * 96 / dpi_ - 0.5;
            return std::pair{std::max(0, static_cast<int>(std::ceil(falls - 1))),
                             std::min(size - 1, static_cast<int>(std::floor(falls + 1)))};
        };
        const auto [left, right] = span(x, left_, artwork_.width());
        const auto [top, bottom] = span(y, 0, artwork_.height());
        std::vector<COLORREF> neighbours;
        for (int v = top; v <= bottom; ++v)
            for (int u = left; u <= right; ++u) neighbours.push_back(artwork_.at(u, v));
        return neighbours;
    }

    bool matches(COLORREF screen, int x, int y) const {
        const std::vector<COLORREF> neighbours = around(x, y);
        for (int i = 0; i < 3; ++i) {
            const auto byChannel = [i](COLORREF a, COLORREF b) { return channel(a, i) < channel(b, i); };
            const auto [low, high] = std::minmax_element(neighbours.begin(), neighbours.end(), byChannel);
            const int value = channel(screen, i);
            if (value < channel(*low, i) - 2 || value > channel(*high, i) + 2) return false;
        }
        return true;
    }

    // Where neighbours differ strongly, a smoothing filter shows colours that none of them has.
    std::optional<bool> blended(COLORREF screen, int x, int y) const {
        const std::vector<COLORREF> neighbours = around(x, y);
        int spread = 0;
        for (COLORREF a : neighbours)
            for (COLORREF b : neighbours)
                for (int i = 0; i < 3; ++i) spread = std::max(spread, channel(a, i) - channel(b, i));
        if (spread < 64) return std::nullopt;
        return std::find(neighbours.begin(), neighbours.end(), screen) == neighbours.end();
    }

    // Text over the artwork, antialiased or not, lies on the line from an artwork colour behind
    // it to the text colour; a painted background lies on no such line.
    bool textOver(COLORREF screen, int x, int y, COLORREF text) const {
        for (COLORREF behind : around(x, y)) {
            double along = 0, length = 0;
            for (int i = 0; i < 3; ++i) {
                const double span = channel(text, i) - channel(behind, i);
                along += (channel(screen, i) - channel(behind, i)) * span;
                length += span * span;
            }
            const double t = length > 0 ? std::clamp(along / length, 0.0, 1.0) : 0.0;
            bool onLine = true;
            for (int i = 0; i < 3; ++i)
                onLine = onLine && std::abs(channel(behind, i) + t * (channel(text, i) - channel(behind, i)) -
                                            channel(screen, i)) <= 12;
            if (onLine) return true;
        }
        return false;
    }

private:
    Artwork artwork_;
    int dpi_;
    int left_;
};

// What the window shows where nothing is drawn over it: the artwork at its own size up to 120
// dots per inch, with the window's background past it, and the artwork scaled above.
class Backdrop {
public:
    explicit Backdrop(int dpi) : dpi_(dpi), left_(MulDiv(-1080, dpi, 1440)), scaled_(dpi, left_) {}

    bool shows(COLORREF seen, int x, int y) const {
        if (dpi_ > 120) return scaled_.matches(seen, x, y);
        if (x - left_ < artwork_.width() && y < artwork_.height()) return seen == artwork_.at(x - left_, y);
        return seen == GetSysColor(COLOR_BTNFACE);
    }

private:
    int dpi_;
    int left_;
    Artwork artwork_;
    ScaledArtwork scaled_;
};

// Whether `seen` lies inside `expected` and leaves at most `slack` pixels of it free on each side.
bool fills(const RECT& seen, const RECT& expected, int slack) {
    return seen.left >= expected.left && seen.left <= expected.left + slack && seen.top >= expected.top &&
           seen.top <= expected.top + slack && seen.right <= expected.right && seen.right >= expected.right - slack &&
           seen.bottom <= expected.bottom && seen.bottom >= expected.bottom - slack;
}

std::string describe(const RECT& box) {
    return "(" + std::to_string(box.left) + ", " + std::to_string(box.top) + ")-(" + std::to_string(box.right) +
           ", " + std::to_string(box.bottom) + ")";
}

class PixelsTest : public LauncherTest {
protected:
    // The client area as the screen shows it, held against the X server's own screenshot where
    // there is one: the pixels judged here are the ones a player sees.
    Capture capture() const {
        Capture screen(launcher->window());
        if (const std::optional<long> unlike = screen.unlikeTheXScreen()) {
            EXPECT_EQ(*unlike, 0) << "pixels unlike the X server's own screenshot of the screen (-1: none taken)";
        }
        return screen;
    }

    // The credit in this prefix's face: where the launcher's font draws its caption wider or taller
    // than the stored layout allows, it moves in from the client area's edges and reads whole,
    // still over the artwork.
    void expectTheCreditWhole(int dpi, const LauncherFont& font, const Capture& screen) {
        const RECT credit = creditBox(dpi, font, {screen.width(), screen.height()});
        std::cout << dpi << " dpi: the credit's box is " << describe(credit) << '\n';
        // The caption as the font draws it whole, clipped to its box as the label is.
        const SIZE size = font.extent(kCreditText);
        RECT expected = inkBox(font.draw(kCreditText, RGB(255, 255, 255), RGB(0, 0, 0)), size.cx, RGB(0, 0, 0));
        OffsetRect(&expected, credit.left, credit.top);

        // Nothing else is drawn over the bottom-right quarter, where the credit lies.
        const Backdrop backdrop(dpi);
        RECT ink = {screen.width(), screen.height(), 0, 0};
        int shown = 0;
        for (int y = screen.height() / 2; y < screen.height(); ++y)
            for (int x = screen.width() / 2; x < screen.width(); ++x) {
                if (backdrop.shows(screen.at(x, y), x, y)) {
                    shown += inside(credit, x, y);
                    continue;
                }
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                       std::max<LONG>(ink.bottom, y + 1)};
            }
        // Over the artwork, a letter's faintest edge may vanish into it.
        EXPECT_TRUE(fills(ink, expected, 1))
            << "the credit's ink lies at " << describe(ink) << ", whole it lies at " << describe(expected);
        EXPECT_GT(shown, size.cx * size.cy / 3) << "the label's back colour was painted";
    }

    // Each caption, drawn whole in the launcher's font, lies inside its button's face and touches
    // none of its edges.
    void expectTheCaptionsWhole(const LauncherFont& font, const Capture& screen) {
        const COLORREF face = GetSysColor(COLOR_HIGHLIGHT);
        ASSERT_EQ(screen.children().size(), 3u);
        for (const auto& [button, box] : screen.children()) {
            const std::wstring caption = windowText(button);
            SCOPED_TRACE(testing::PrintToString(caption));
            const RECT inner = inset(box, 2);  // inside the raised edge
            const SIZE size = font.extent(caption.c_str());
            const std::vector<COLORREF> whole = font.draw(caption.c_str(), GetSysColor(COLOR_HIGHLIGHTTEXT), face);
            const RECT ink = inkBox(whole, size.cx, face);
            ASSERT_FALSE(IsRectEmpty(&ink));
            // Where on the face the caption's every pixel is seen, its ink clear of the edges.
            const auto seenAt = [&](int left, int top) {
                for (int y = ink.top; y < ink.bottom; ++y)
                    for (int x = ink.left; x < ink.right; ++x) {
                        const COLORREF pixel = whole[static_cast<std::size_t>(y) * size.cx + x];
                        if (pixel != face && screen.at(left + x, top + y) != pixel) return false;
                    }
                return true;
            };
            bool found = false;
            for (LONG top = inner.top + 1 - ink.top; !found && top + ink.bottom < inner.bottom; ++top)
                for (LONG left = inner.left + 1 - ink.left; !found && left + ink.right < inner.right; ++left)
                    found = seenAt(left, top);
            EXPECT_TRUE(found) << "the caption is not drawn whole inside the face " << describe(inner);
        }
    }

    // Above 120 dots per inch the artwork grows with the layout and still covers the client area,
    // every pixel of it but the buttons and the credit, across every band it is drawn in; the
    // buttons and the credit keep the real DPI, and the credit is text over the artwork.
    void expectArtworkScaledWithTheLayout(DWORD dpi, SIZE client) {
        const RegistryValue logPixels(L"Control Panel\\Desktop", L"LogPixels", dpi);
        start();
        const Capture screen = capture();
        ASSERT_EQ(screen.width(), client.cx);
        ASSERT_EQ(screen.height(), client.cy);

        std::vector<RECT> buttons;
        for (const auto& child : screen.children()) buttons.push_back(child.second);
        ASSERT_EQ(buttons.size(), 3u);
        const RECT singleplayer = screen.childBox(launcher->button(L"Singleplayer"));
        EXPECT_EQ(singleplayer.left, MulDiv(960, dpi, 1440));  // at the real DPI
        EXPECT_EQ(singleplayer.top, MulDiv(1200, dpi, 1440));
        const RECT credit = creditBox(static_cast<int>(dpi), LauncherFont(launcher->window()), client);

        const ScaledArtwork artwork(dpi, MulDiv(-1080, dpi, 1440));
        int compared = 0, wrong = 0, contrasty = 0, blends = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                if (inside(credit, x, y) ||
                    std::any_of(buttons.begin(), buttons.end(), [&](const RECT& b) { return inside(b, x, y); }))
                    continue;
                ++compared;
                if (!artwork.matches(screen.at(x, y), x, y)) {
                    if (++wrong <= 5) ADD_FAILURE() << "pixel (" << x << ", " << y << ") is not the scaled artwork";
                }
                if (const auto blend = artwork.blended(screen.at(x, y), x, y)) contrasty++, blends += *blend;
            }
        EXPECT_GT(compared, client.cx * client.cy * 3 / 4);
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(blends, contrasty / 2) << "no smoothing where the artwork has edges (of " << contrasty << ")";

        const COLORREF buttonFace = GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ(screen.count({client.cx - 8, 0, client.cx, client.cy}, buttonFace), 0) << "a strip on the right";
        EXPECT_EQ(screen.count({0, client.cy - 8, client.cx, client.cy}, buttonFace), 0) << "a strip at the bottom";

        const COLORREF text = GetSysColor(COLOR_HIGHLIGHTTEXT);
        int lettering = 0, behind = 0, neither = 0;
        for (int y = credit.top; y < credit.bottom; ++y)
            for (int x = credit.left; x < credit.right; ++x) {
                const COLORREF pixel = screen.at(x, y);
                if (artwork.matches(pixel, x, y)) ++behind;
                else if (artwork.textOver(pixel, x, y, text)) lettering += pixel == text;
                else ++neither;
            }
        EXPECT_GT(lettering, 40) << "the credit's text colour over the artwork";
        EXPECT_GT(behind, (credit.right - credit.left) * (credit.bottom - credit.top) / 2);
        EXPECT_EQ(neither, 0) << "pixels that are neither artwork nor text over it: a painted background";
    }
};

TEST_F(PixelsTest, ArtworkFillsTheClientAreaFromItsColumn72) {
    start();
    const Capture screen = capture();
    const Artwork artwork;
    const RECT credit = creditBox(96, LauncherFont(launcher->window()), {447, 315});
    ASSERT_EQ(artwork.width(), 520);
    ASSERT_EQ(artwork.height(), 316);
    int compared = 0, wrong = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            if (underAControl(credit, x, y)) continue;
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
    const RECT credit = creditBox(96, LauncherFont(launcher->window()), {447, 315});
    for (int y = credit.top; y < credit.bottom; ++y)
        for (int x = credit.left; x < credit.right; ++x) {
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
    const int area = (credit.right - credit.left) * (credit.bottom - credit.top);
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
    EXPECT_GT(screen.count(creditBox(96, LauncherFont(launcher->window()), {447, 315}), RGB(255, 255, 0)), 40);
}

TEST_F(PixelsTest, At120DpiLayoutGrowsAndTheArtworkKeepsItsPixelSize) {
    const RegistryValue dpi(L"Control Panel\\Desktop", L"LogPixels", DWORD{120});
    start();
    const Capture screen = capture();
    EXPECT_EQ(screen.width(), 559);  // 6705 twips
    EXPECT_EQ(screen.height(), 394);  // 4725 twips

    const RECT box = screen.childBox(launcher->button(L"Singleplayer"));
    EXPECT_EQ(box.left, 80);
    EXPECT_EQ(box.top, 100);
    EXPECT_EQ(box.right - box.left, 151);
    EXPECT_EQ(box.bottom - box.top, 41);

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

TEST_F(PixelsTest, At144DpiTheArtworkGrowsHalfAgainAndCoversTheClientArea) {
    expectArtworkScaledWithTheLayout(144, {671, 473});  // 780 x 474 from x -108
}

TEST_F(PixelsTest, At192DpiTheArtworkDoublesAndCoversTheClientArea) {
    expectArtworkScaledWithTheLayout(192, {894, 630});  // 1040 x 632 from x -144
}

// A player's Wine may lack MS Sans Serif and draw a wider face instead; CTest runs these tests in
// such a prefix too. At every scale the launcher's text is as tall as 8 points there, whatever
// face the system has for it. One scale a test: Wine 10 takes the screen's DPI from its desktop,
// which starts with a test's first launcher (see Launcher).
class TextTest : public PixelsTest, public testing::WithParamInterface<int> {};

TEST_P(TextTest, TheCreditAndTheCaptionsReadWholeInThisSystemsFont) {
    const int dpi = GetParam();
    const RegistryValue logPixels(L"Control Panel\\Desktop", L"LogPixels", static_cast<DWORD>(dpi));
    start();
    const LauncherFont font(launcher->window());
    std::cout << dpi << " dpi: the launcher's font is " << testing::PrintToString(font.face()) << ", "
              << (font.scalable() ? "scalable" : "bitmap") << ", its em " << font.emHeight() << " pixels\n";
    EXPECT_EQ(font.dpi(), dpi);
    EXPECT_NEAR(font.emHeight(), MulDiv(8, dpi, 72), 1) << "not 8 points at the screen's DPI";
    const Capture screen = capture();
    expectTheCreditWhole(dpi, font, screen);
    expectTheCaptionsWhole(font, screen);
}

INSTANTIATE_TEST_SUITE_P(Scales, TextTest, testing::Values(96, 120, 144, 192),
                         [](const testing::TestParamInfo<int>& scale) { return "At" + std::to_string(scale.param) + "Dpi"; });

}  // namespace

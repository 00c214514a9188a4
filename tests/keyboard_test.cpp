// The keyboard: focus on start, the space bar, the Tab ring, and keys that must do nothing.
#include <algorithm>

#include "fixture.h"

using namespace harness;

namespace {

// Where the focus rectangle lies on a button, as the screen shows it: the box around the pixels
// of its face that are neither the face, the caption nor a blend of the two (smoothed lettering).
// Empty when there are none.
RECT focusMarksOn(HWND button) {
    RECT face;
    GetClientRect(button, &face);
    InflateRect(&face, -2, -2);  // inside the raised edge
    const Capture screen(button);
    const COLORREF back = GetSysColor(COLOR_HIGHLIGHT), text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const auto blend = [&](COLORREF seen) {
        for (const int shift : {0, 8, 16}) {
            const int s = (seen >> shift) & 0xFF, b = (back >> shift) & 0xFF, t = (text >> shift) & 0xFF;
            if (s < std::min(b, t) - 6 || s > std::max(b, t) + 6) return false;
        }
        return true;
    };
    RECT marks = {face.right, face.bottom, face.left, face.top};
    for (int y = face.top; y < face.bottom; ++y)
        for (int x = face.left; x < face.right; ++x)
            if (!blend(screen.at(x, y))) {
                marks = {std::min<LONG>(marks.left, x), std::min<LONG>(marks.top, y),
                         std::max<LONG>(marks.right, x + 1), std::max<LONG>(marks.bottom, y + 1)};
            }
    return IsRectEmpty(&marks) ? RECT{} : marks;
}

// The box of the caption's lettering on a button.
RECT captionOn(HWND button) {
    const Capture screen(button);
    RECT caption = {screen.width(), screen.height(), 0, 0};
    for (int y = 2; y < screen.height() - 2; ++y)
        for (int x = 2; x < screen.width() - 2; ++x)
            if (screen.at(x, y) == GetSysColor(COLOR_HIGHLIGHTTEXT))
                caption = {std::min<LONG>(caption.left, x), std::min<LONG>(caption.top, y),
                           std::max<LONG>(caption.right, x + 1), std::max<LONG>(caption.bottom, y + 1)};
    return caption;
}

// The focused button, and only it, shows a focus rectangle around its caption.
bool showsFocusOn(const harness::Launcher& launcher, HWND focused) {
    for (HWND button : launcher.children()) {
        const RECT marks = focusMarksOn(button), caption = captionOn(button);
        const bool around = marks.left < caption.left && marks.top < caption.top && marks.right > caption.right &&
                            marks.bottom > caption.bottom;
        if (button == focused ? !around : !IsRectEmpty(&marks)) return false;
    }
    return true;
}

class KeyboardTest : public LauncherTest {};

TEST_F(KeyboardTest, OpensWithTheFocusOnSingleplayerAndSpaceStartsIt) {
    start();
    EXPECT_EQ(launcher->focusedWindow(), launcher->button(L"Singleplayer"));
    launcher->makeForeground();
    pressKey(VK_SPACE);
    const std::vector<StartRecord> records = starts.waitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.front().cmdline, L"valdrennsp.exe");
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
}

TEST_F(KeyboardTest, TabAndShiftTabRingThroughTheButtonsInTabOrder) {
    start();
    launcher->makeForeground();
    const HWND single = launcher->button(L"Singleplayer");
    const HWND multi = launcher->button(L"Multiplayer");
    const HWND exit = launcher->button(L"Exit");
    EXPECT_TRUE(waitUntil([&] { return showsFocusOn(*launcher, single); }, 3s))
        << "the focus rectangle is not on Singleplayer alone";
    const struct {
        bool shift;
        HWND expected;
    } steps[] = {{false, multi}, {false, exit}, {false, single}, {true, exit}, {true, multi}, {true, single}};
    for (const auto& step : steps) {
        pressKey(VK_TAB, step.shift);
        EXPECT_TRUE(waitUntil([&] { return launcher->focusedWindow() == step.expected; }, 3s))
            << (step.shift ? "Shift+Tab" : "Tab") << " went to " << testing::PrintToString(windowText(launcher->focusedWindow()));
        EXPECT_TRUE(waitUntil([&] { return showsFocusOn(*launcher, step.expected); }, 3s))
            << "the focus rectangle did not move to " << testing::PrintToString(windowText(step.expected))
            << " alone";
    }
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted);
}

// Another program's window stays active until the launcher has seen it lose the activation, its
// focus gone from the button. That window's thread runs its messages, as a program's does, which
// under Wine hands the change to the X server: a launcher that heard of it from X only after it
// was brought back would give the foreground to the desktop.
TEST_F(KeyboardTest, TheFocusComesBackToTheSameButtonAfterAnotherWindowWasActive) {
    start();
    launcher->makeForeground();
    ASSERT_TRUE(tabToMultiplayer());
    const HWND multi = launcher->button(L"Multiplayer");

    {
        const WindowInFront other;
        ASSERT_NE(other.window(), nullptr);
        EXPECT_TRUE(waitUntil([&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            return launcher->focusedWindow() != multi;
        }, 3s)) << "the launcher did not see another window become active";
        // By its answer the launcher has taken what was sent to it before, the X server's news too.
        SendMessageTimeoutW(launcher->window(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    }

    launcher->makeForeground();
    EXPECT_TRUE(waitUntil([&] { return launcher->focusedWindow() == multi; }, 3s))
        << "focus on " << testing::PrintToString(windowText(launcher->focusedWindow()));
}

TEST_F(KeyboardTest, EnterAndEscapeDoNothing) {
    start();
    launcher->makeForeground();
    pressKey(VK_RETURN);
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(tabToMultiplayer()) << "the focus left Singleplayer, or the launcher no longer takes keys";
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted);
    for (HWND button : launcher->children()) EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(KeyboardTest, SpaceOnExitEndsWithoutStarting) {
    start();
    launcher->makeForeground();
    pressKey(VK_TAB);
    pressKey(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return launcher->focusedWindow() == launcher->button(L"Exit"); }, 3s));
    pressKey(VK_SPACE);
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted);
}

}  // namespace

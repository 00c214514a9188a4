// The keyboard: focus on start, the space bar, the Tab ring, and keys that must do nothing.
#include "fixture.h"

using namespace harness;

namespace {

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
    const struct {
        bool shift;
        HWND expected;
    } steps[] = {{false, multi}, {false, exit}, {false, single}, {true, exit}, {true, multi}, {true, single}};
    for (const auto& step : steps) {
        pressKey(VK_TAB, step.shift);
        EXPECT_TRUE(waitUntil([&] { return launcher->focusedWindow() == step.expected; }, 3s))
            << (step.shift ? "Shift+Tab" : "Tab") << " went to " << testing::PrintToString(windowText(launcher->focusedWindow()));
    }
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted);
}

TEST_F(KeyboardTest, TheFocusComesBackToTheSameButtonAfterAnotherWindowWasActive) {
    start();
    launcher->makeForeground();
    pressKey(VK_TAB);
    const HWND multi = launcher->button(L"Multiplayer");
    ASSERT_TRUE(waitUntil([&] { return launcher->focusedWindow() == multi; }, 3s));

    // Another program's window takes the foreground for a while.
    HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 500, 200,
                                 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == other; }, 3s));
    DestroyWindow(other);

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
    EXPECT_TRUE(starts.read().empty());
}

}  // namespace

// The window as the system sees it: frame, caption, size and the controls it is built from.
#include "fixture.h"

using namespace harness;

namespace {

class WindowTest : public LauncherTest {};

TEST_F(WindowTest, IsAFixedToolWindowWithACloseBoxOnly) {
    start();
    const HWND window = launcher->window();
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the frame must not size";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & (WS_HSCROLL | WS_VSCROLL));
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "small caption and no taskbar button";
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW) << "a taskbar button";
    EXPECT_EQ(GetMenu(window), nullptr);
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(windowText(window), L"Valdrenn Launcher");
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WindowTest, ClientAreaIs447By315PixelsAt96Dpi) {
    start();
    RECT client;
    GetClientRect(launcher->window(), &client);
    EXPECT_EQ(client.right, 447);
    EXPECT_EQ(client.bottom, 315);
}

TEST_F(WindowTest, ButtonsAreTheOnlyChildWindowsInStoredStackingOrder) {
    start();
    const std::vector<HWND> children = launcher->children();
    ASSERT_EQ(children.size(), 3u) << "the label and the image are drawn by the window, not child windows";
    EXPECT_EQ(windowText(children[0]), L"Exit");
    EXPECT_EQ(windowText(children[1]), L"Multiplayer");
    EXPECT_EQ(windowText(children[2]), L"Singleplayer");
}

TEST_F(WindowTest, ButtonsSitInAColumnAt96Dpi) {
    start();
    struct Expected {
        const wchar_t* caption;
        RECT box;
    };
    const Expected expected[] = {
        {L"Singleplayer", {64, 80, 185, 113}},
        {L"Multiplayer", {64, 120, 185, 153}},
        {L"Exit", {64, 280, 185, 313}},
    };
    for (const Expected& e : expected) {
        const HWND button = launcher->button(e.caption);
        ASSERT_NE(button, nullptr) << "no button captioned " << testing::PrintToString(std::wstring(e.caption));
        RECT box;
        GetWindowRect(button, &box);
        MapWindowPoints(nullptr, launcher->window(), reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(box.left, e.box.left);
        EXPECT_EQ(box.top, e.box.top);
        EXPECT_EQ(box.right, e.box.right);
        EXPECT_EQ(box.bottom, e.box.bottom);
        EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "buttons start unchecked";
        EXPECT_TRUE(GetWindowLongPtrW(button, GWL_STYLE) & WS_TABSTOP);
    }
}

}  // namespace

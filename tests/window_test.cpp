// The window as the system sees it: frame, caption, icons, size and the controls it is built from.
#include <memory>

#include "fixture.h"
#include "window_probe/window_probe.h"

using namespace harness;

namespace {

class WindowTest : public LauncherTest {};

// Compares an icon of the window with the icon file's image of the size the system asks for.
void expectTheFilesIcon(const window_probe::IconPicture& seen, int side, const char* which) {
    SCOPED_TRACE(which);
    EXPECT_EQ(seen.width, side);
    EXPECT_EQ(seen.height, side);
    if (seen.width != side || seen.height != side) return;
    HICON file = static_cast<HICON>(LoadImageW(nullptr, joinPath(testFolder(), L"launcher.ico").c_str(),
                                               IMAGE_ICON, side, side, LR_LOADFROMFILE));
    ASSERT_NE(file, nullptr) << "launcher.ico beside the tests";
    const auto expected = std::make_unique<window_probe::IconPicture>(window_probe::pictureOf(file));
    DestroyIcon(file);
    int differing = 0;
    for (int i = 0; i < side * side; ++i)
        if (seen.overBlack[i] != expected->overBlack[i] || seen.overWhite[i] != expected->overWhite[i]) ++differing;
    EXPECT_EQ(differing, 0) << "pixels that differ from launcher.ico's " << side << "x" << side << " image";
}

TEST_F(WindowTest, IsAFixedToolWindowWithACloseBoxOnlyAndTheLauncherIcon) {
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

    // Its small and large icons, as any program that asks the window for them gets them, asked by
    // the window probe in the launcher's own process.
    const window_probe::Probe probe(joinPath(testFolder(), L"window_probe.dll"), window);
    const window_probe::Report* icons = probe.ask(window_probe::kIcons);
    ASSERT_NE(icons, nullptr) << "no answer from inside the launcher";
    expectTheFilesIcon(icons->small, GetSystemMetrics(SM_CXSMICON), "small icon");
    expectTheFilesIcon(icons->large, GetSystemMetrics(SM_CXICON), "large icon");
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
    }
}

}  // namespace

// What each button does: the game program it starts and how, and how the launcher ends.
#include "fixture.h"
#include "window_probe/window_probe.h"

using namespace harness;

namespace {

POINT closeBox(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    const int y = frame.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYSMCAPTION) / 2;
    for (int x = frame.right - 1; x > frame.left; --x)
        if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) return {x - 3, y};
    return {-1, -1};
}

// The colour the screen shows at a button's top-left corner: the light edge of a raised button,
// the shadow of one pressed in.
COLORREF cornerOf(HWND button) {
    RECT box = {};
    GetWindowRect(button, &box);
    HDC screen = GetDC(nullptr);
    const COLORREF seen = GetPixel(screen, box.left, box.top);
    ReleaseDC(nullptr, screen);
    return seen;
}

POINT centreOf(HWND window) {
    RECT box;
    GetWindowRect(window, &box);
    return {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
}

// How a button is pressed: by a player's click, or from another process as scripts and tools
// press any Windows button, the mouse and key messages with the real pointer elsewhere.
enum class Way { Click, SentBmClick, PostedBmClick, PostedMouse, PostedSpace };

void pressBy(Way way, HWND button) {
    const LPARAM inside = MAKELPARAM(10, 10);
    switch (way) {
        case Way::Click:
            clickCentre(button);
            break;
        case Way::SentBmClick:
            SendMessageW(button, BM_CLICK, 0, 0);
            break;
        case Way::PostedBmClick:
            PostMessageW(button, BM_CLICK, 0, 0);
            break;
        case Way::PostedMouse:
            PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
            PostMessageW(button, WM_LBUTTONUP, 0, inside);
            break;
        case Way::PostedSpace:
            PostMessageW(button, WM_KEYDOWN, VK_SPACE, 0x00390001);
            PostMessageW(button, WM_KEYUP, VK_SPACE, 0xC0390001);
            break;
    }
}

struct ModeCase {
    const wchar_t* button;
    const wchar_t* program;
    Way way = Way::Click;
};

void PrintTo(const ModeCase& mode, std::ostream* out) { *out << testing::PrintToString(std::wstring(mode.button)); }

std::string modeName(const testing::TestParamInfo<ModeCase>& info) {
    const char* const ways[] = {"", "BmClickSent", "BmClickPosted", "MouseMessagesPosted", "SpaceKeyPosted"};
    const bool single = std::wstring(info.param.button) == L"Singleplayer";
    return std::string(single ? "Singleplayer" : "Multiplayer") + ways[static_cast<int>(info.param.way)];
}

class ModeButtonTest : public LauncherTest, public testing::WithParamInterface<ModeCase> {};

TEST_P(ModeButtonTest, StartsItsGameFromTheLauncherFolderThenEnds) {
    start();
    if (GetParam().way == Way::Click) {
        clickCentre(launcher->button(GetParam().button));
    } else {
        // A script presses before the launcher comes to the front, or with another window there.
        const WindowInFront other;
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == other.window(); }, 3s));
        pressBy(GetParam().way, launcher->button(GetParam().button));
    }

    const std::vector<StartRecord> records = starts.waitFor(1);
    ASSERT_EQ(records.size(), 1u);
    const StartRecord& game = records.front();
    EXPECT_EQ(game.cmdline, GetParam().program) << "the bare name is the whole command line";
    EXPECT_TRUE(samePath(game.exe, this->game / GetParam().program)) << testing::PrintToString(game.exe);
    EXPECT_TRUE(game.flags & STARTF_USESHOWWINDOW);
    EXPECT_EQ(game.show, SW_SHOWNORMAL) << "window state 1: normal, with focus";
    EXPECT_TRUE(samePath(game.cwd, elsewhere.path())) << "the game runs in the launcher's current folder";

    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(processRunning(game.pid)) << "the game runs on after the launcher has ended";
    EXPECT_EQ(launcher->startedPrograms(), std::vector<std::wstring>{GetParam().program}) << "started once";
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeButtonTest,
                         testing::Values(ModeCase{L"Singleplayer", L"valdrennsp.exe"},
                                         ModeCase{L"Multiplayer", L"valdrennmp.exe"},
                                         ModeCase{L"Singleplayer", L"valdrennsp.exe", Way::SentBmClick},
                                         ModeCase{L"Multiplayer", L"valdrennmp.exe", Way::PostedBmClick},
                                         ModeCase{L"Singleplayer", L"valdrennsp.exe", Way::PostedMouse},
                                         ModeCase{L"Multiplayer", L"valdrennmp.exe", Way::PostedSpace}),
                         modeName);

class EndingTest : public LauncherTest {
protected:
    void expectEndedCleanlyWithoutStarting() {
        EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
        EXPECT_EQ(launcher->startedPrograms(), kNothingStarted) << "a game was started";
    }
};

TEST_F(EndingTest, ExitStartsNothingAndEnds) {
    for (const Way way : {Way::Click, Way::SentBmClick}) {
        start();
        pressBy(way, launcher->button(L"Exit"));
        expectEndedCleanlyWithoutStarting();
    }
}

TEST_F(EndingTest, CloseBoxStartsNothingAndEnds) {
    start();
    const POINT box = closeBox(launcher->window());
    ASSERT_GE(box.x, 0) << "no close box in the caption";
    clickAt(box);
    expectEndedCleanlyWithoutStarting();
}

TEST_F(EndingTest, SystemCloseKeystrokeStartsNothingAndEnds) {
    start();
    launcher->makeForeground();
    pressAltF4();
    expectEndedCleanlyWithoutStarting();
}

TEST_F(EndingTest, DoubleClickStartsTheGameOnce) {
    start();
    doubleClickAt(centreOf(launcher->button(L"Singleplayer")));
    // The first click's handler ends the launcher, so the second click is never handled. Every start
    // it made is in its job by the time it has ended.
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(launcher->startedPrograms(), std::vector<std::wstring>{L"valdrennsp.exe"});
}

// Wherever it rests on the window, the pointer is the system's arrow, whatever shape it had on the
// way: the window probe shows another cursor inside the launcher before each move of the mouse.
TEST_F(EndingTest, ClicksOnTheArtworkAndTheCreditDoNothingAndThePointerIsTheArrowThere) {
    start();
    std::vector<std::pair<std::wstring, POINT>> places = {
        {L"artwork", clientPoint(300, 150)}, {L"artwork left of the buttons", clientPoint(20, 20)},
        {L"credit", clientPoint(340, 309)}};
    for (HWND button : launcher->children()) places.push_back({windowText(button), centreOf(button)});
    const window_probe::Probe probe(joinPath(testFolder(), L"window_probe.dll"), launcher->window());
    for (const auto& [place, at] : places) {
        SCOPED_TRACE(testing::PrintToString(place));
        ASSERT_NE(probe.ask(window_probe::kOtherCursor), nullptr) << "no answer from inside the launcher";
        moveMouseTo(at);
        ASSERT_TRUE(waitUntil([&] { return probe.live()->pointer.x == at.x && probe.live()->pointer.y == at.y; }, 5s))
            << "the launcher took no move of the mouse there";
        EXPECT_TRUE(probe.live()->arrow);
    }

    for (int i = 0; i < 3; ++i) clickAt(places[i].second);  // the artwork and the credit
    ASSERT_TRUE(tabToMultiplayer()) << "the launcher no longer takes keys";
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted);
    EXPECT_TRUE(launcher->reports().empty());
    for (HWND button : launcher->children()) EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(EndingTest, ReleasingTheMouseOffAButtonDoesNothing) {
    start();
    const POINT on = centreOf(launcher->button(L"Singleplayer"));
    const POINT off = clientPoint(300, 100);
    dragThrough(on, {off});
    ASSERT_TRUE(tabToMultiplayer()) << "the launcher no longer takes keys";
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted);
    EXPECT_EQ(SendMessageW(launcher->button(L"Singleplayer"), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // Back onto the button before releasing, it is a press after all.
    dragThrough(on, {off, on});
    ASSERT_EQ(starts.waitFor(1).size(), 1u);
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
}

// A press is over when its button loses the focus, as a system button's is: the button rises,
// and the release that follows, even back over it, starts nothing. The focus goes to the next
// button on Tab, or to another program's window when that takes the foreground. A press the
// system cancels outright ends the same way, the space bar's too.
TEST_F(EndingTest, APressThatLosesTheFocusStartsNothing) {
    start();
    launcher->makeForeground();
    const HWND single = launcher->button(L"Singleplayer");
    const POINT on = centreOf(single);
    const POINT off = clientPoint(300, 100);
    const auto pressedIn = [&] {
        return waitUntil([&] { return cornerOf(single) == GetSysColor(COLOR_3DSHADOW); }, 3s);
    };
    // A start that comes late is caught by the click at the end, which must start its game alone.
    const auto expectNothingStartedAndRaised = [&](const char* how) {
        Sleep(500);
        ASSERT_TRUE(launcher->running()) << how;
        EXPECT_EQ(launcher->startedPrograms(), kNothingStarted) << how;
        EXPECT_EQ(SendMessageW(single, BM_GETCHECK, 0, 0), BST_UNCHECKED) << how;
        EXPECT_EQ(cornerOf(single), GetSysColor(COLOR_3DLIGHT)) << how << ": not raised";
    };

    {
        Held press = Held::mouseButtonAt(on);
        ASSERT_TRUE(pressedIn());
        pressKey(VK_TAB);
        ASSERT_TRUE(waitUntil([&] { return launcher->focusedWindow() == launcher->button(L"Multiplayer"); }, 3s));
        moveMouseTo(off);
        moveMouseTo(on);
        press.release();
    }
    expectNothingStartedAndRaised("Tab");
    ASSERT_FALSE(HasFatalFailure());

    {
        Held press = Held::mouseButtonAt(on);
        ASSERT_TRUE(pressedIn());
        const WindowInFront other;
        ASSERT_NE(other.window(), nullptr);
        EXPECT_TRUE(waitUntil([&] { return launcher->focusedWindow() != single; }, 3s));
        moveMouseTo(off);
        moveMouseTo(on);
        press.release();
    }
    expectNothingStartedAndRaised("another program's window");
    ASSERT_FALSE(HasFatalFailure());

    launcher->makeForeground();
    ASSERT_TRUE(waitUntil([&] { return launcher->focusedWindow() == single; }, 3s));
    {
        Held space = Held::key(VK_SPACE);
        ASSERT_TRUE(pressedIn());
        EXPECT_EQ(SendMessageW(single, BM_GETSTATE, 0, 0), BST_PUSHED | BST_FOCUS) << "as a tool reads a press";
        SendMessageW(single, WM_CANCELMODE, 0, 0);
        space.release();
    }
    expectNothingStartedAndRaised("cancelled by the system");
    ASSERT_FALSE(HasFatalFailure());

    // Nothing is left half pressed: a click starts its game, and only that one.
    clickCentre(launcher->button(L"Multiplayer"));
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(launcher->startedPrograms(), std::vector<std::wstring>{L"valdrennmp.exe"});
}

class MissingGameTest : public LauncherTest, public testing::WithParamInterface<ModeCase> {
protected:
    bool single() const { return std::wstring(GetParam().program) == L"valdrennsp.exe"; }

    // Starts the launcher with only the other mode's game program and presses this mode's button.
    HWND startWithoutTheGame() {
        start({single() ? L"valdrennmp.exe" : L"valdrennsp.exe"});
        return launcher->button(GetParam().button);
    }
};

HWND okButtonOf(HWND report) { return FindWindowExW(report, nullptr, L"Button", nullptr); }

// The message box's picture: its static that shows an icon.
HWND iconOf(HWND report) {
    for (HWND child = GetWindow(report, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (className(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    return nullptr;
}

// How many pixels of what `shown` shows on the screen differ from `icon` drawn at the same size
// over the colour of its top-left pixel, where the system's round icons are transparent.
int pixelsUnlike(HWND shown, HICON icon) {
    const Capture screen(shown);
    if (screen.width() == 0 || screen.height() == 0) return -1;
    std::vector<DWORD> drawn(static_cast<std::size_t>(screen.width()) * static_cast<std::size_t>(screen.height()));
    window_probe::drawOver(icon, screen.width(), screen.height(), screen.at(0, 0), drawn.data());
    int unlike = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            const DWORD rgb = drawn[static_cast<std::size_t>(y) * static_cast<std::size_t>(screen.width()) + x];
            if (RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF) != screen.at(x, y)) ++unlike;
        }
    return unlike;
}

// Whether the report's OK button, under a press the test holds, shows pushed in for a while.
// Input is handled in order, so by then the report has taken whatever was queued before; a press
// queued before is let go right after, so it cannot hold the button in. False if the report went
// away instead.
bool staysPushedIn(HWND report) {
    const HWND ok = okButtonOf(report);
    int held = 0;
    return waitUntil(
        [&] {
            held = IsWindow(report) && (SendMessageW(ok, BM_GETSTATE, 0, 0) & BST_PUSHED) ? held + 1 : 0;
            return held > 3;
        },
        5s);
}

TEST_P(MissingGameTest, IsReportedOnceWithTheButtonPressedInThenTheLauncherEnds) {
    const HWND pressed = startWithoutTheGame();
    if (single()) {
        clickCentre(pressed);
    } else {
        // A script's press comes back while the report is still up, not once a player dismissed it.
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutW(pressed, BM_CLICK, 0, 0, SMTO_NORMAL, 20000, &answer), 0)
            << "BM_CLICK kept its sender waiting";
    }

    const HWND report = launcher->waitForReport();
    ASSERT_NE(report, nullptr) << "no report captioned Valdrenn Launcher";
    EXPECT_EQ(launcher->reports().size(), 1u);
    const std::wstring text = reportText(report);
    EXPECT_NE(text.find(L"'53'"), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_NE(text.find(L"File not found"), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_NE(text.find(GetParam().program), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_EQ(GetWindow(report, GW_OWNER), launcher->window()) << "the report belongs to no window of the launcher";
    const HWND icon = iconOf(report);
    ASSERT_NE(icon, nullptr) << "the report shows no icon";
    EXPECT_TRUE(waitUntil([&] { return pixelsUnlike(icon, LoadIconW(nullptr, IDI_ERROR)) == 0; }, 5s))
        << "the report's icon is not the system's error icon";
    EXPECT_GT(pixelsUnlike(icon, LoadIconW(nullptr, IDI_INFORMATION)), 100)
        << "the report shows the information icon";

    // While the report is up the window stays, the pressed button shown pressed in.
    EXPECT_TRUE(IsWindowVisible(launcher->window()));
    EXPECT_EQ(SendMessageW(pressed, BM_GETCHECK, 0, 0), BST_CHECKED);
    RECT box;
    GetWindowRect(pressed, &box);
    MapWindowPoints(nullptr, launcher->window(), reinterpret_cast<POINT*>(&box), 2);
    const auto sunken = [&] { return Capture(launcher->window()).at(box.left, box.top) == GetSysColor(COLOR_3DSHADOW); };
    EXPECT_TRUE(waitUntil(sunken, 3s)) << "no sunken edge";
    EXPECT_EQ(Capture(launcher->window()).at(64, 280), GetSysColor(COLOR_3DLIGHT)) << "Exit stays raised";
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted) << "another program was tried";

    // Enter for one mode and Esc for the other: each dismisses the report as its OK button does.
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == report; }, 5s)) << "the report is not in front";
    pressKey(single() ? VK_RETURN : VK_ESCAPE);
    const std::optional<DWORD> code = launcher->waitForExit();
    ASSERT_TRUE(code.has_value()) << "the launcher did not end after the report";
    EXPECT_EQ(*code, 53u) << "the exit code is the run-time error's number";
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted);
    EXPECT_TRUE(processesNamed(GetParam().program).empty()) << "a process was left behind";
}

// A second press queued before the report comes up would reach the report's OK button and dismiss
// it unseen: a second tap of the space bar, and a double click where the OK button will appear.
TEST_P(MissingGameTest, ASecondTapOrClickDoesNotDismissTheReportUnseen) {
    const HWND pressed = startWithoutTheGame();
    launcher->makeForeground();
    if (!single()) pressKey(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return launcher->focusedWindow() == pressed; }, 3s));
    doubleTapKey(VK_SPACE);
    HWND report = launcher->waitForReport();
    ASSERT_NE(report, nullptr);
    // The same report comes up at the same place again, in the middle of the screen.
    const POINT onOk = centreOf(okButtonOf(report));
    {
        Held press = Held::mouseButtonAt(onOk);
        EXPECT_TRUE(staysPushedIn(report)) << "the report went away by itself";
        EXPECT_EQ(launcher->reports().size(), 1u);
        EXPECT_EQ(SendMessageW(pressed, BM_GETCHECK, 0, 0), BST_CHECKED);
    }  // let go: a click on OK, which the report takes
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(53));

    // Moved so that the button lies where the report's OK button will be, and double-clicked.
    launcher.reset();
    launcher = std::make_unique<Launcher>(LaunchOptions{launcherPath, elsewhere.path(), {}});
    const HWND button = launcher->button(GetParam().button);
    const POINT onButton = centreOf(button);
    RECT frame;
    GetWindowRect(launcher->window(), &frame);
    SetWindowPos(launcher->window(), nullptr, frame.left + onOk.x - onButton.x, frame.top + onOk.y - onButton.y, 0,
                 0, SWP_NOSIZE | SWP_NOZORDER);
    doubleClickAt(onOk);
    report = launcher->waitForReport();
    ASSERT_NE(report, nullptr) << "no report, or one dismissed before it could be seen";
    RECT ok;
    GetWindowRect(okButtonOf(report), &ok);
    ASSERT_TRUE(PtInRect(&ok, onOk)) << "the OK button is not under the pointer, so no second click could reach it";
    {
        Held press = Held::mouseButtonAt(onOk);
        EXPECT_TRUE(staysPushedIn(report)) << "the report went away by itself";
        EXPECT_EQ(launcher->reports().size(), 1u);
        EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    }  // let go: a click there is one the report does take
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(53));
}

INSTANTIATE_TEST_SUITE_P(Modes, MissingGameTest,
                         testing::Values(ModeCase{L"Singleplayer", L"valdrennsp.exe"},
                                         ModeCase{L"Multiplayer", L"valdrennmp.exe"}),
                         modeName);

}  // namespace

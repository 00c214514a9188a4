// What each button does: the game program it starts and how, and how the launcher ends.
#include "fixture.h"

using namespace harness;

namespace {

bool samePath(const std::wstring& a, const std::wstring& b) {
    wchar_t fullA[MAX_PATH * 4], fullB[MAX_PATH * 4];
    GetFullPathNameW(a.c_str(), MAX_PATH * 4, fullA, nullptr);
    GetFullPathNameW(b.c_str(), MAX_PATH * 4, fullB, nullptr);
    std::wstring x = fullA, y = fullB;
    while (x.size() > 3 && x.back() == L'\\') x.pop_back();
    while (y.size() > 3 && y.back() == L'\\') y.pop_back();
    return CompareStringOrdinal(x.c_str(), -1, y.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool stillRunning(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Everything the run time's report says, caption and text.
std::wstring reportText(HWND report) {
    std::wstring text = windowText(report);
    for (HWND child = GetWindow(report, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        text += L"\n" + windowText(child);
    return text;
}

POINT closeBox(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    const int y = frame.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYSMCAPTION) / 2;
    for (int x = frame.right - 1; x > frame.left; --x)
        if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) return {x - 3, y};
    return {-1, -1};
}

struct ModeCase {
    const wchar_t* button;
    const wchar_t* program;
};

void PrintTo(const ModeCase& mode, std::ostream* out) { *out << testing::PrintToString(std::wstring(mode.button)); }

class ModeButtonTest : public LauncherTest, public testing::WithParamInterface<ModeCase> {};

TEST_P(ModeButtonTest, StartsItsGameFromTheLauncherFolderThenEnds) {
    start();
    clickCentre(launcher->button(GetParam().button));

    const std::vector<StartRecord> records = starts.waitFor(1);
    ASSERT_EQ(records.size(), 1u);
    const StartRecord& game = records.front();
    EXPECT_EQ(game.cmdline, GetParam().program) << "the bare name is the whole command line";
    EXPECT_TRUE(samePath(game.exe, this->game / GetParam().program)) << testing::PrintToString(game.exe);
    EXPECT_TRUE(game.flags & STARTF_USESHOWWINDOW);
    EXPECT_EQ(game.show, SW_SHOWNORMAL) << "window state 1: normal, with focus";
    EXPECT_TRUE(samePath(game.cwd, elsewhere.path())) << "the game runs in the launcher's current folder";

    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(stillRunning(game.pid)) << "the game runs on after the launcher has ended";
    Sleep(500);
    EXPECT_EQ(starts.read().size(), 1u) << "started once";
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeButtonTest,
                         testing::Values(ModeCase{L"Singleplayer", L"valdrennsp.exe"},
                                         ModeCase{L"Multiplayer", L"valdrennmp.exe"}),
                         [](const testing::TestParamInfo<ModeCase>& info) {
                             return info.index == 0 ? "Singleplayer" : "Multiplayer";
                         });

class EndingTest : public LauncherTest {
protected:
    void expectEndedCleanlyWithoutStarting() {
        EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
        Sleep(300);
        EXPECT_TRUE(starts.read().empty()) << "a game was started";
        EXPECT_TRUE(launcher->reports().empty());
    }
};

TEST_F(EndingTest, ExitStartsNothingAndEnds) {
    start();
    clickCentre(launcher->button(L"Exit"));
    expectEndedCleanlyWithoutStarting();
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
    RECT box;
    GetWindowRect(launcher->button(L"Singleplayer"), &box);
    doubleClickAt({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
    ASSERT_EQ(starts.waitFor(1).size(), 1u);
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
    Sleep(1000);
    EXPECT_EQ(starts.read().size(), 1u);
}

TEST_F(EndingTest, ClicksOnTheArtworkAndTheCreditDoNothing) {
    start();
    clickAt(clientPoint(300, 150));  // artwork
    clickAt(clientPoint(20, 20));    // artwork, left of the buttons
    clickAt(clientPoint(340, 309));  // credit
    Sleep(700);
    EXPECT_TRUE(launcher->running());
    EXPECT_TRUE(starts.read().empty());
    EXPECT_TRUE(launcher->reports().empty());
    for (HWND button : launcher->children()) EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

class MissingGameTest : public LauncherTest {};

TEST_F(MissingGameTest, IsReportedOnceWithTheButtonPressedInThenTheLauncherEnds) {
    start({L"valdrennsp.exe"});
    const HWND multiplayer = launcher->button(L"Multiplayer");
    clickCentre(multiplayer);

    const HWND report = launcher->waitForReport();
    ASSERT_NE(report, nullptr) << "no report captioned Valdrenn Launcher";
    EXPECT_EQ(launcher->reports().size(), 1u);
    const std::wstring text = reportText(report);
    EXPECT_NE(text.find(L"53"), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_NE(text.find(L"File not found"), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_NE(text.find(L"valdrennmp.exe"), std::wstring::npos) << testing::PrintToString(text);

    // While the report is up the window stays, the pressed button shown pressed in.
    EXPECT_TRUE(IsWindowVisible(launcher->window()));
    EXPECT_EQ(SendMessageW(multiplayer, BM_GETCHECK, 0, 0), BST_CHECKED);
    {
        const Capture screen(launcher->window());
        EXPECT_EQ(screen.at(64, 120), GetSysColor(COLOR_3DSHADOW)) << "sunken edge on Multiplayer";
        EXPECT_EQ(screen.at(64, 80), GetSysColor(COLOR_3DLIGHT)) << "Singleplayer stays raised";
    }
    EXPECT_TRUE(starts.read().empty()) << "no other program was tried";

    clickCentre(FindWindowExW(report, nullptr, L"Button", nullptr));
    const std::optional<DWORD> code = launcher->waitForExit();
    ASSERT_TRUE(code.has_value()) << "the launcher did not end after the report";
    EXPECT_EQ(*code, 53u) << "the exit code is the run-time error's number";
    EXPECT_TRUE(starts.read().empty());
}

}  // namespace

// A player's real machine: broken game folders, odd folder names, long command lines, many
// runs and two at once. Every failed start is one clear report and an orderly end.
#include "fixture.h"

#include "runtime_error.h"

using namespace harness;

namespace {

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

void writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string firstBytesOfAProgram(std::size_t count) {
    HANDLE file = CreateFileW(joinPath(testFolder(), L"standin.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(count, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(count), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

struct BrokenGame {
    const char* name;
    void (*prepare)(const std::wstring& path);  // makes `path` (the game program's place) broken
    DWORD number;
    const wchar_t* description;
    const wchar_t* explanation;  // nullptr: none expected
};

void PrintTo(const BrokenGame& broken, std::ostream* out) { *out << broken.name; }

const BrokenGame kBrokenGames[] = {
    {"AFolderCarriesItsName", [](const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }, 75,
     L"Path/File access error", L"is a folder, not a program"},
    {"EmptyFile", [](const std::wstring& path) { writeFile(path, ""); }, 5, L"Invalid procedure call or argument",
     L"is not a valid Windows program"},
    {"TruncatedProgram", [](const std::wstring& path) { writeFile(path, firstBytesOfAProgram(1024)); }, 5,
     L"Invalid procedure call or argument", L"is not a valid Windows program"},
};

class BrokenGameTest : public LauncherTest, public testing::WithParamInterface<BrokenGame> {
protected:
    // Clicks Multiplayer, expects one report of the given error, dismisses it with a click and
    // expects the launcher to end with the error's number, having started nothing.
    void expectOneReportThenAnOrderlyEnd(DWORD number, const wchar_t* description, const wchar_t* explanation) {
        clickCentre(launcher->button(L"Multiplayer"));
        const HWND report = launcher->waitForReport();
        ASSERT_NE(report, nullptr) << "no report captioned Valdrenn Launcher";
        EXPECT_EQ(launcher->reports().size(), 1u);
        const std::wstring text = reportText(report);
        EXPECT_TRUE(contains(text, L"'" + std::to_wstring(number) + L"'")) << testing::PrintToString(text);
        EXPECT_TRUE(contains(text, description)) << testing::PrintToString(text);
        EXPECT_TRUE(contains(text, L"valdrennmp.exe")) << testing::PrintToString(text);
        if (explanation) {
            EXPECT_TRUE(contains(text, explanation)) << testing::PrintToString(text);
        }

        clickCentre(FindWindowExW(report, nullptr, L"Button", nullptr));
        EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(number));
        EXPECT_EQ(launcher->startedPrograms(), kNothingStarted) << "something was started";
        EXPECT_TRUE(processesNamed(L"valdrennmp.exe").empty()) << "a process was left behind";
    }
};

TEST_P(BrokenGameTest, GivesOneClearReportThenEnds) {
    harness::installLauncher(game.path());
    GetParam().prepare(game / L"valdrennmp.exe");
    start({});
    expectOneReportThenAnOrderlyEnd(GetParam().number, GetParam().description, GetParam().explanation);
}

INSTANTIATE_TEST_SUITE_P(FailedStarts, BrokenGameTest, testing::ValuesIn(kBrokenGames),
                         [](const testing::TestParamInfo<BrokenGame>& info) { return info.param.name; });

TEST_F(BrokenGameTest, AGameFileLockedByAnotherProgramIsPermissionDenied) {
    start();
    HANDLE lock = CreateFileW((game / L"valdrennmp.exe").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    expectOneReportThenAnOrderlyEnd(70, L"Permission denied", nullptr);
    CloseHandle(lock);
}

// Wine runs every program with administrator rights, so it never refuses a start this way; the
// report that Windows' refusal leads to is checked where it is made.
TEST(ElevationReport, SaysTheGameNeedsAdministratorRights) {
    const platform::RuntimeError error = platform::errorFromWin32(740, L"valdrennmp.exe");
    EXPECT_EQ(error.number, 70);
    const std::wstring text = platform::formatReport(error).c_str();
    EXPECT_TRUE(contains(text, L"Run-time error '70'")) << testing::PrintToString(text);
    EXPECT_TRUE(contains(text, L"Permission denied: valdrennmp.exe")) << testing::PrintToString(text);
    EXPECT_TRUE(contains(text, L"valdrennmp.exe needs administrator rights")) << testing::PrintToString(text);
}

class AnyFolderTest : public LauncherTest {
protected:
    // Starts the launcher from `folder` with `cwd` as its current folder and presses Singleplayer.
    StartRecord startSingleplayer(const std::wstring& folder, const std::wstring& cwd,
                                  const std::wstring& arguments = {}) {
        launcher = std::make_unique<Launcher>(LaunchOptions{installLauncher(folder), cwd, arguments});
        clickCentre(launcher->button(L"Singleplayer"));
        const std::vector<StartRecord> records = starts.waitFor(1);
        EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
        return records.empty() ? StartRecord{} : records.front();
    }
};

TEST_F(AnyFolderTest, FolderWithSpacesAndNonAsciiLetters) {
    const TempFolder odd(L"Spiele und Sagen \u00dcberwald \u0412\u0430\u043b\u044c\u0434\u0440\u0435\u043d\u043d \u30f4\u30a1\u30eb");
    installGame(odd.path(), L"valdrennsp.exe");
    const StartRecord game = startSingleplayer(odd.path(), elsewhere.path());
    EXPECT_TRUE(samePath(folderOf(game.exe), odd.path())) << testing::PrintToString(game.exe);
    EXPECT_EQ(game.cmdline, L"valdrennsp.exe");
}

// The system's program search splits its folder list at ';', so it never looks in such a folder;
// the launcher then starts the game from its own folder itself, exactly as the search would have.
TEST_F(AnyFolderTest, FolderWhoseNameBreaksSearchListsAndCommandLines) {
    const TempFolder odd(L"Valdrenn; Collector's Edition & 100% ^fun");
    installGame(odd.path(), L"valdrennsp.exe");
    const StartRecord game = startSingleplayer(odd.path(), elsewhere.path());
    EXPECT_TRUE(samePath(game.exe, odd / L"valdrennsp.exe")) << testing::PrintToString(game.exe);
    EXPECT_EQ(game.cmdline, L"valdrennsp.exe");
    EXPECT_EQ(game.show, SW_SHOWNORMAL);
    EXPECT_TRUE(samePath(game.cwd, elsewhere.path())) << testing::PrintToString(game.cwd);

    // Without the game there, it is still the one report of a game not found.
    const TempFolder withoutGame(L"Valdrenn; Collector's Edition & 100% ^fun");
    launcher = std::make_unique<Launcher>(LaunchOptions{installLauncher(withoutGame.path()), elsewhere.path(), {}});
    clickCentre(launcher->button(L"Singleplayer"));
    const HWND report = launcher->waitForReport();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(contains(reportText(report), L"'53'")) << testing::PrintToString(reportText(report));
    clickCentre(FindWindowExW(report, nullptr, L"Button", nullptr));
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(53));
    EXPECT_EQ(launcher->startedPrograms(), kNothingStarted) << "the run without the game started something";
}

TEST_F(AnyFolderTest, FolderLongerThan260Characters) {
    std::wstring deep = game.path();
    while (deep.size() <= 300) {
        deep += L"\\a-rather-long-folder-name-for-a-game-library";
        CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
    }
    if (!CopyFileW(joinPath(testFolder(), L"Launcher.exe").c_str(), (L"\\\\?\\" + deep + L"\\Launcher.exe").c_str(),
                   FALSE) ||
        !CopyFileW(joinPath(testFolder(), L"standin.exe").c_str(), (L"\\\\?\\" + deep + L"\\valdrennsp.exe").c_str(),
                   FALSE))
        GTEST_SKIP() << "this platform cannot write files that deep";
    std::wstring commandLine = L"\"" + deep + L"\\Launcher.exe\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION probe = {};
    // Windows starts programs from such folders only where long paths are enabled; Wine 8 never.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &probe))
        GTEST_SKIP() << "this platform cannot start programs from folders longer than 260 characters (error "
                     << GetLastError() << ")";
    TerminateProcess(probe.hProcess, 0);
    CloseHandle(probe.hThread);
    CloseHandle(probe.hProcess);

    launcher = std::make_unique<Launcher>(LaunchOptions{deep + L"\\Launcher.exe", elsewhere.path(), {}});
    clickCentre(launcher->button(L"Singleplayer"));
    const std::vector<StartRecord> records = starts.waitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(samePath(folderOf(records.front().exe), deep));
    EXPECT_EQ(launcher->waitForExit(), std::optional<DWORD>(0));
}

TEST_F(AnyFolderTest, GameOnlyInTheCurrentFolderIsFound) {
    installGame(elsewhere.path(), L"valdrennsp.exe");
    const StartRecord game = startSingleplayer(this->game.path(), elsewhere.path());
    EXPECT_TRUE(samePath(folderOf(game.exe), elsewhere.path())) << testing::PrintToString(game.exe);
}

TEST_F(AnyFolderTest, GameInTheLauncherFolderWinsOverOneInTheCurrentFolder) {
    installGame(game.path(), L"valdrennsp.exe");
    installGame(elsewhere.path(), L"valdrennsp.exe");
    const StartRecord started = startSingleplayer(game.path(), elsewhere.path());
    EXPECT_TRUE(samePath(folderOf(started.exe), game.path())) << testing::PrintToString(started.exe);
}

TEST_F(AnyFolderTest, CommandLineArgumentsAreIgnoredHoweverLong) {
    installGame(game.path(), L"valdrennsp.exe");
    std::wstring arguments = L"/unexpected \"quoted argument\" -x=1 ";
    while (arguments.size() < 30000) arguments += L"valdrennmp.exe --and-more ";
    const StartRecord started = startSingleplayer(game.path(), elsewhere.path(), arguments);
    EXPECT_EQ(started.cmdline, L"valdrennsp.exe");
    EXPECT_TRUE(samePath(folderOf(started.exe), game.path()));
}

class RepetitionTest : public LauncherTest {};

TEST_F(RepetitionTest, FiftyRunsEachClosedByExitAllEndCleanly) {
    const std::wstring path = installLauncher(game.path());
    for (int run = 0; run < 50; ++run) {
        Launcher one(LaunchOptions{path, elsewhere.path(), {}});
        clickCentre(one.button(L"Exit"));
        ASSERT_EQ(one.waitForExit(), std::optional<DWORD>(0)) << "run " << run;
    }
    EXPECT_TRUE(starts.read().empty());
}

TEST_F(RepetitionTest, TwoCopiesAtOnceEachStartTheirOwnGame) {
    const std::wstring path = installLauncher(game.path());
    installGame(game.path(), L"valdrennsp.exe");
    installGame(game.path(), L"valdrennmp.exe");
    Launcher first(LaunchOptions{path, elsewhere.path(), {}});
    Launcher second(LaunchOptions{path, elsewhere.path(), {}});
    EXPECT_NE(first.window(), second.window());
    // Side by side, as a player would drag them, so neither covers the other's buttons.
    SetWindowPos(second.window(), nullptr, 600, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    clickCentre(first.button(L"Singleplayer"));
    ASSERT_EQ(starts.waitFor(1).size(), 1u);
    EXPECT_EQ(first.waitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(second.running());

    // The first copy's game takes the foreground when its window shows; a click on the second
    // copy in that moment would lose its mouse capture. Wait for it, then come back.
    EXPECT_TRUE(waitUntil([] {
        const HWND front = GetForegroundWindow();
        return front && className(front) == L"ValdrennStandIn";
    })) << "the game's window did not take the foreground";
    second.makeForeground();
    clickCentre(second.button(L"Multiplayer"));
    const std::vector<StartRecord> records = starts.waitFor(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].cmdline, L"valdrennsp.exe");
    EXPECT_EQ(records[1].cmdline, L"valdrennmp.exe");
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(0));
}

TEST_F(RepetitionTest, WaitingUsesNoProcessorTime) {
    start();  // painted and waiting for input
    const ULONGLONG before = launcher->cpuTime();
    Sleep(4000);
    const ULONGLONG used = launcher->cpuTime() - before;
    // One scheduler tick (15.6 ms) is the finest any Windows reports process times in.
    EXPECT_LT(used, 156250u) << "used " << used / 10000 << " ms while idle";
}

}  // namespace

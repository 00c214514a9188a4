// A player's real machine: broken game folders, odd folder names, long command lines, many
// runs and two at once. Every failed start is one clear report and an orderly end, and no run
// leaves a file or a setting behind.
#include "fixture.h"

#include <map>

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
    // No rights to the file: a start that Wine, running everything with them, never refuses.
    EXPECT_EQ(std::wstring(platform::formatReport(platform::errorFromWin32(ERROR_ACCESS_DENIED, L"a.exe")).c_str()),
              L"Run-time error '70':\r\n\r\nPermission denied: a.exe");
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

// The system's program search splits its folder list at ';': from this folder it would look in
// the older edition's folder, named by the part before the ';', and in the current folder, and
// never in the launcher's own. The launcher starts the game beside it all the same.
TEST_F(AnyFolderTest, FolderWhoseNameBreaksSearchListsAndCommandLines) {
    const TempFolder library(L"library");
    const std::wstring odd = library / L"Valdrenn; Collector's Edition & 100% ^fun";
    const std::wstring older = library / L"Valdrenn";
    ASSERT_TRUE(CreateDirectoryW(odd.c_str(), nullptr) && CreateDirectoryW(older.c_str(), nullptr));
    installGame(odd, L"valdrennsp.exe");
    installGame(older, L"valdrennsp.exe");
    const std::wstring inCurrentFolder = installGame(elsewhere.path(), L"valdrennsp.exe");
    const StartRecord game = startSingleplayer(odd, elsewhere.path());
    EXPECT_TRUE(samePath(game.exe, joinPath(odd, L"valdrennsp.exe"))) << testing::PrintToString(game.exe);
    EXPECT_EQ(game.cmdline, L"valdrennsp.exe");
    EXPECT_EQ(game.show, SW_SHOWNORMAL);
    EXPECT_TRUE(samePath(game.cwd, elsewhere.path())) << testing::PrintToString(game.cwd);

    // Without the game there or anywhere else, it is still the one report of a game not found.
    ASSERT_TRUE(DeleteFileW(inCurrentFolder.c_str()));
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
    installGame(game.path(), L"valdrennsp.exe");
    installGame(game.path(), L"valdrennmp.exe");
    for (int run = 0; run < 50; ++run) {
        Launcher one(LaunchOptions{path, elsewhere.path(), {}});
        clickCentre(one.button(L"Exit"));
        ASSERT_EQ(one.waitForExit(), std::optional<DWORD>(0)) << "run " << run;
        ASSERT_EQ(one.startedPrograms(), kNothingStarted) << "run " << run;
    }
}

TEST_F(RepetitionTest, TwoCopiesAtOnceEachStartTheirOwnGame) {
    const std::wstring path = installLauncher(game.path());
    installGame(game.path(), L"valdrennsp.exe");
    installGame(game.path(), L"valdrennmp.exe");
    Launcher first(LaunchOptions{path, elsewhere.path(), {}});
    Launcher second(LaunchOptions{path, elsewhere.path(), {}});
    ASSERT_TRUE(first.running() && IsWindowVisible(first.window())) << "the second copy ended or hid the first";
    // Side by side, as a player would drag them, so neither covers the other's buttons.
    SetWindowPos(second.window(), nullptr, 600, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    clickCentre(first.button(L"Singleplayer"));
    EXPECT_EQ(first.waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(first.startedPrograms(), std::vector<std::wstring>{L"valdrennsp.exe"});
    EXPECT_TRUE(second.running());

    // The first copy's game takes the foreground when its window shows; a click on the second
    // copy in that moment would lose its mouse capture. Wait for it, then come back.
    EXPECT_TRUE(waitUntil([] {
        const HWND front = GetForegroundWindow();
        return front && className(front) == L"ValdrennStandIn";
    })) << "the game's window did not take the foreground";
    second.makeForeground();
    clickCentre(second.button(L"Multiplayer"));
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(second.startedPrograms(), std::vector<std::wstring>{L"valdrennmp.exe"});
}

TEST_F(RepetitionTest, WaitingUsesNoProcessorTime) {
    start();  // painted and waiting for input
    const ULONGLONG before = launcher->cpuTime();
    Sleep(4000);
    const ULONGLONG used = launcher->cpuTime() - before;
    // One scheduler tick (15.6 ms) is the finest any Windows reports process times in.
    EXPECT_LT(used, 156250u) << "used " << used / 10000 << " ms while idle";
}

// What a place holds, entry by entry: each path with what can show a write to it.
using Snapshot = std::map<std::wstring, std::wstring>;

std::wstring environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? value : L"";
}

std::wstring ticks(FILETIME time) {
    return std::to_wstring((ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

// Every file and folder under `folder` with its size and last write; a folder's last write also
// changes when something is made in it and removed again. A link to another place is only
// listed: Wine links Documents and its like to the Unix home, which other programs use.
void snapshotFiles(const std::wstring& folder, const std::wstring& skipped, Snapshot& into) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(joinPath(folder, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = joinPath(folder, name);
        if (samePath(path, skipped)) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            into[path] = L"link";
            continue;
        }
        into[path] = L"size " + std::to_wstring((ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow) +
                     L", written " + ticks(found.ftLastWriteTime);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) snapshotFiles(path, skipped, into);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Every key under a key of the current user's registry with its last write (which a value set
// and removed again also moves), and every value, read through the API: Wine writes its user.reg
// file whenever it likes, but what a program reads back is this. Wine keeps the desktop
// parameters that a program reads in a volatile key of its own, made on first use and never
// saved; that is no setting of the program's.
void snapshotRegistry(HKEY key, const std::wstring& path, Snapshot& into) {
    if (path == L"HKCU\\Software\\Wine\\Temporary System Parameters") return;
    FILETIME written = {};
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &written);
    into[path] = L"key written " + ticks(written);
    std::vector<BYTE> data(1 << 16);
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
        const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        if (result == ERROR_NO_MORE_ITEMS) break;
        std::wstring value = L"type " + std::to_wstring(type) + L":";
        for (DWORD i = 0; result == ERROR_SUCCESS && i < size; ++i) value += L" " + std::to_wstring(data[i]);
        into[path + L" : " + name] = value;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        snapshotRegistry(child, path + L"\\" + name, into);
        RegCloseKey(child);
    }
}

// What differs between two snapshots, one line each.
std::wstring changes(const Snapshot& before, const Snapshot& after) {
    std::wstring found;
    for (const auto& [path, was] : before) {
        const auto now = after.find(path);
        if (now == after.end()) found += L"removed " + path + L"\n";
        else if (now->second != was) found += L"changed " + path + L": " + was + L" -> " + now->second + L"\n";
    }
    for (const auto& [path, now] : after)
        if (!before.count(path)) found += L"added " + path + L": " + now + L"\n";
    return found;
}

class FootprintTest : public LauncherTest {
protected:
    // The launcher's folder, the current folder, the user's profile with its application data and
    // temporary folder, and the user's registry; the stand-in game's own record is left out.
    Snapshot snapshot() const {
        const std::wstring record = folderOf(environment(L"VALDRENN_STANDIN_RECORD"));
        Snapshot files;
        for (const std::wstring& folder : {game.path(), elsewhere.path(), environment(L"USERPROFILE"),
                                           environment(L"APPDATA"), environment(L"LOCALAPPDATA"), environment(L"TEMP")})
            snapshotFiles(folder, record, files);
        snapshotRegistry(HKEY_CURRENT_USER, L"HKCU", files);
        return files;
    }
};

TEST_F(FootprintTest, AStartAFailedStartAndExitWriteNoFileAndNoSetting) {
    const std::wstring path = installLauncher(game.path());
    installGame(game.path(), L"valdrennsp.exe");
    const Snapshot before = snapshot();

    {
        Launcher started(LaunchOptions{path, elsewhere.path(), {}});
        clickCentre(started.button(L"Singleplayer"));
        ASSERT_EQ(starts.waitFor(1).size(), 1u);
        EXPECT_EQ(started.waitForExit(), std::optional<DWORD>(0));
    }
    {
        Launcher failed(LaunchOptions{path, elsewhere.path(), {}});
        clickCentre(failed.button(L"Multiplayer"));
        const HWND report = failed.waitForReport();
        ASSERT_NE(report, nullptr);
        clickCentre(FindWindowExW(report, nullptr, L"Button", nullptr));
        EXPECT_EQ(failed.waitForExit(), std::optional<DWORD>(53));
    }
    {
        Launcher exited(LaunchOptions{path, elsewhere.path(), {}});
        clickCentre(exited.button(L"Exit"));
        EXPECT_EQ(exited.waitForExit(), std::optional<DWORD>(0));
    }

    const std::wstring written = changes(before, snapshot());
    EXPECT_TRUE(written.empty()) << testing::PrintToString(written);
}

}  // namespace

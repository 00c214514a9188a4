// Drives the real Launcher.exe as a player would: a game folder on disk, the process started by
// the system, its window found on the screen, real mouse and key input, real screen pixels, and
// the stand-in game's own record of how it was started.
#pragma once

#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

using namespace std::chrono_literals;
using Duration = std::chrono::milliseconds;

constexpr wchar_t kTitle[] = L"Valdrenn Launcher";

// The folder of the running test program, where the build puts Launcher.exe and its helpers.
std::wstring testFolder();
std::wstring joinPath(const std::wstring& folder, const std::wstring& name);
bool fileExists(const std::wstring& path);
// The whole file; empty when it cannot be read.
std::vector<unsigned char> readFile(const std::wstring& path);

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& name = L"game");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return joinPath(path_, name); }

private:
    std::wstring path_;
};

// Copies the launcher, or the stand-in game under a game program's name, into a folder.
std::wstring installLauncher(const std::wstring& folder);
std::wstring installGame(const std::wstring& folder, const std::wstring& name);

// One start of the stand-in game, as it recorded it.
struct StartRecord {
    DWORD pid = 0;
    DWORD flags = 0;
    int show = -1;
    std::wstring cwd;
    std::wstring exe;
    std::wstring cmdline;
};

// Where stand-in games started from this test process record themselves.
class StartLog {
public:
    StartLog();
    ~StartLog();
    std::vector<StartRecord> read() const;
    // Waits until at least `count` starts are recorded; returns what was recorded by then.
    std::vector<StartRecord> waitFor(std::size_t count, Duration timeout = 20s) const;

private:
    TempFolder folder_;
    std::wstring file_;
};

struct LaunchOptions {
    std::wstring launcher;        // full path of Launcher.exe
    std::wstring currentFolder;   // empty: the test's own
    std::wstring arguments;       // appended to the quoted program path
};

// What startedPrograms() lists when nothing was started.
const std::vector<std::wstring> kNothingStarted;

// A running launcher and its window. Ends the process at destruction if it still runs.
class Launcher {
public:
    explicit Launcher(const LaunchOptions& options);
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    DWORD pid() const { return pid_; }
    HWND window() const { return window_; }
    HWND button(const wchar_t* caption) const;
    std::vector<HWND> children() const;  // in stacking order, topmost first

    RECT clientOnScreen() const;
    POINT clientToScreen(POINT client) const;

    bool running() const;
    std::optional<DWORD> waitForExit(Duration timeout = 20s) const;
    // The file names of the programs this launcher has started that still run: the launcher runs
    // in a job, which takes in every process it starts. A started stand-in game runs for a minute,
    // so once the launcher has ended this is every start it made, with none still on its way.
    std::vector<std::wstring> startedPrograms() const;

    // The run time's error report: a message box of this process captioned with the title.
    std::vector<HWND> reports() const;
    // Waits until a report is shown; nullptr if the launcher ended or the time passed first.
    HWND waitForReport(Duration timeout = 20s) const;

    HWND focusedWindow() const;
    void makeForeground() const;

    // Kernel and user time the process's threads have used, in 100-nanosecond units. (Wine's
    // GetProcessTimes answers for the calling process whatever handle it is given.)
    ULONGLONG cpuTime() const;

private:
    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
};

// Real input through the system's input queue.
void clickAt(POINT screen);
// Presses the left button at `from`, moves through `path` and releases at its last point.
void dragThrough(POINT from, std::initializer_list<POINT> path);
void doubleClickAt(POINT screen);
void clickCentre(HWND window);
void pressKey(WORD key, bool shift = false);
// Two quick taps of a key, queued at once.
void doubleTapKey(WORD key);
void pressAltF4();
void moveMouseTo(POINT screen);

// A mouse button or key held down while the test does other things; let go at the end at the
// latest, so that no later test starts with it down.
// A window of this process put in front, as another program's would be, so that the launcher is
// not the active window; gone at destruction. Its messages run when this thread runs them.
class WindowInFront {
public:
    WindowInFront();
    ~WindowInFront();
    WindowInFront(const WindowInFront&) = delete;
    WindowInFront& operator=(const WindowInFront&) = delete;
    HWND window() const { return window_; }

private:
    HWND window_;
};

class Held {
public:
    Held(Held&& other) noexcept : letGo_(other.letGo_), held_(std::exchange(other.held_, false)) {}
    ~Held() { release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    void release();

    static Held mouseButtonAt(POINT screen);
    static Held key(WORD key);

private:
    Held(INPUT press, INPUT letGo);
    INPUT letGo_;
    bool held_ = true;
};

// Screen pixels of a window's client area, as the screen shows them, and the places of its child
// windows, all in the pixels of the window's own process, which reads them for the test (see
// tests/window_probe): at another scale a test's own view of another program's window may differ.
class Capture {
public:
    explicit Capture(HWND window);
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const;  // CLR_INVALID outside the area
    // How many pixels of `color` lie in the rectangle (client coordinates).
    int count(const RECT& area, COLORREF color) const;
    // Each child window, topmost first, and where it lies in the client area.
    const std::vector<std::pair<HWND, RECT>>& children() const { return children_; }
    RECT childBox(HWND child) const;  // empty if it is none of them
    // Under Wine, how many of the pixels differ from what the X server's own screenshot shows at
    // the same place now, or -1 if it could not take one; nothing where there is no X server.
    std::optional<long> unlikeTheXScreen() const;

private:
    int width_ = 0;
    int height_ = 0;
    POINT origin_ = {0, 0};  // of the client area on the screen, in the window's own pixels
    std::vector<DWORD> pixels_;  // 0x00RRGGBB, top row first
    std::vector<std::pair<HWND, RECT>> children_;
};

// The artwork as the build carries it, to compare with the screen.
class Artwork {
public:
    Artwork();
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const;  // top row first

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<unsigned char> file_;
};

// Waits until `done` is true or the timeout passes; returns the last answer.
template <class Predicate>
bool waitUntil(Predicate done, Duration timeout = 20s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        Sleep(50);
    }
    return true;
}

// Sets a per-user desktop setting for the processes started while it lives. Each change is also
// noted in the registry until it is undone, so that a test killed at its time limit leaves it
// for the next test to undo.
class RegistryValue {
public:
    RegistryValue(const wchar_t* key, const wchar_t* name, const std::wstring& text);
    RegistryValue(const wchar_t* key, const wchar_t* name, DWORD number);
    ~RegistryValue();
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

private:
    void save(const wchar_t* key, const wchar_t* name);

    HKEY key_ = nullptr;
    std::wstring name_;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> old_;
    bool existed_ = false;
    std::wstring note_;  // the note this one made of the setting's first value, if it made it
};

// Puts back every desktop setting that a test changed and did not live to restore. Called at the
// start of each test, before anything is started.
void undoSettingsLeftChanged();

// Two paths name the same file or folder (case and a trailing backslash aside).
bool samePath(const std::wstring& a, const std::wstring& b);
// The folder part of a path.
std::wstring folderOf(const std::wstring& path);
bool processRunning(DWORD pid);
// Everything a message box says: its static texts and its buttons' captions.
std::wstring reportText(HWND report);

// Processes whose executable has this file name, any folder.
std::vector<DWORD> processesNamed(const std::wstring& exeName);

std::wstring windowText(HWND window);
std::wstring className(HWND window);

}  // namespace harness

// Waiting for a program under test without polling it. The driver shares two cores with the
// program it times, wineserver and the X server: a loop that looks every millisecond takes CPU
// from what it measures and moves the figures from run to run. So every moment timed here is
// one the system reports to a blocked driver: a window event, the answer to a sent message, a
// job's report, a change in a folder.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

// Milliseconds on the system's high-resolution clock.
double now();

// Waits for the program `pid` to create its top-level window titled `title`. The system reports
// the creation to a hook of the driver's, which it runs while the driver waits for messages.
// Returns the window and the moment of the report, or nullptr when the process ends or
// `patienceMs` runs out first. Create the process suspended, watch, then resume it: the hook
// must be in place before the program can create anything.
class WindowWatch {
public:
    WindowWatch(DWORD pid, const std::wstring& title);
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    HWND await(HANDLE process, DWORD patienceMs, double& createdAt);

private:
    HWINEVENTHOOK hook_ = nullptr;
};

// Waits until the window's thread is between two of its own messages with the window shown and
// nothing of it left to paint: shown, painted and ready for input. A sent message is answered
// only when its thread next takes a message, so each question costs the program one message
// and the driver nothing while it waits. Returns false when the window goes away or
// `patienceMs` runs out; else sets `readyAt` to when the ready answer came and `questions` to
// how many it took.
bool awaitReady(HWND window, DWORD patienceMs, double& readyAt, int& questions);

// The moments of a launch: a job holding the program reports the game's process being created
// and the program's end, and a watch on the game folder reports the game's own start record.
struct LaunchMoments {
    double gameStarted = 0;
    double ended = 0;
    double record = 0;  // the record file first seen with content
};

// Set up before the click; `await` then blocks on one completion port that all three reports
// reach.
class LaunchWatch {
public:
    LaunchWatch(HANDLE program, DWORD pid, const std::wstring& folder, const std::wstring& record);
    ~LaunchWatch();
    LaunchWatch(const LaunchWatch&) = delete;
    LaunchWatch& operator=(const LaunchWatch&) = delete;

    // False when `patienceMs` runs out before all three moments were seen.
    bool await(DWORD patienceMs, LaunchMoments& moments);

    // Ends whatever still runs in the job: the game the program started.
    void endAll() const;

private:
    bool watchFolder();
    void onJobReport(DWORD message, DWORD pid, LaunchMoments& moments, double at) const;

    DWORD pid_;
    std::wstring record_;
    HANDLE port_ = nullptr;
    HANDLE job_ = nullptr;
    HANDLE folder_ = INVALID_HANDLE_VALUE;
    OVERLAPPED pending_ = {};
    alignas(DWORD) unsigned char changes_[4096];
};

}  // namespace bench

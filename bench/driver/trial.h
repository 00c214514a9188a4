// One run of a program under test, as a player meets it: started by the system in a game folder,
// its window awaited until it is ready, left idle, then clicked to start the game.
#pragma once

#include <windows.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "screen.h"

namespace bench {

// A fresh game folder under the temporary folder, holding the programs under test and the
// stand-in game under the single-player game's name. Removed at the end.
class GameFolder {
public:
    // Each file is copied in under the name given with it.
    explicit GameFolder(const std::vector<std::pair<std::wstring, std::wstring>>& copies);
    ~GameFolder();
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const;
    // Where the stand-in game records its start.
    const std::wstring& record() const { return record_; }

private:
    std::wstring path_;
    std::wstring record_;
    std::vector<std::wstring> names_;
};

// A program under test: how to recognise its window, what it shows when finished, and where to
// click to start the game.
struct Subject {
    std::string label;
    std::wstring exe;  // full path
    std::wstring title;
    SIZE client;  // the layout the expectations assume
    std::vector<Expectation> painted;
    POINT click;  // client coordinates
};

struct Trial {
    double createdMs = 0;      // process creation to its window's creation
    double readyMs = 0;        // process creation to the window shown, painted and ready for input
    double windowMs = 0;       // the window's creation to ready: the program's own work on it
    double questions = 0;      // messages it took to learn that the window was ready
    double screenLooks = 0;    // looks at the screen, after ready, until it showed the window finished
    double screenLagMs = 0;    // from ready until the look that saw it began
    double startupCpuMs = 0;   // CPU time the process had used when ready
    double idleCpuMs = NAN;    // CPU time used while idle; NaN in a trial without idle time
    double peakWorkingSetKiB = NAN;  // after the idle time, so NaN without it too
    double peakPagefileKiB = NAN;
    double gameStartedMs = 0;  // click to the stand-in game's process existing
    double gameRecordMs = 0;   // click to the game's record of its start: its own code runs
    double endedMs = 0;        // click to the process's end
    double launchMs = 0;       // click to the game started and the process ended
    double quietWaitMs = 0;    // waited for a quiet machine before the start
    int unquiet = 0;           // waits (before the start, before the click) that ran out of patience
    double machineBusy = 0;    // fraction of all processors' time in use from the start to ready
};

// A moment with nothing else running: the processors, all of them together, used for at most
// `mostBusy` of their time over the last `windowMs`. A burst of other work on the machine then
// delays the start or the click instead of landing in the figure.
struct Quiet {
    DWORD windowMs = 100;
    double mostBusy = 0.1;
    DWORD patienceMs = 500;  // then it goes ahead, and the report says how often
};

struct TrialOptions {
    DWORD idleMs = 0;      // 0: straight on to the launch, with no idle or memory figures
    DWORD settleMs = 300;  // after the screen check, before the idle time starts
    Quiet quiet;
};

// Waits for a quiet moment; returns false when `quiet.patienceMs` ran out first. `waitedMs` is
// how long it took.
bool awaitQuiet(const Quiet& quiet, double& waitedMs);

// Runs one trial; throws std::runtime_error when the program does not behave.
Trial runTrial(const Subject& subject, const GameFolder& game, const TrialOptions& options);

// Starts `exe` with `arguments` and waits for its end; returns the milliseconds it took.
double startToExit(const std::wstring& exe, const std::wstring& arguments);

}  // namespace bench

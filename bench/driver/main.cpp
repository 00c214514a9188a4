// The benchmark's driver: runs the launcher and its two yardsticks, the launcher's window written
// in plain Win32 and the bare program, in rounds, each once a round, in a game folder of its own,
// and prints their figures side by side with the launcher's ratio to each.
//
//   bench.exe [--trials N] [--warmup N] [--idle-ms N] [--idle-every N] [--product FOLDER]
//             [--csv FILE] [--against EXE [--against-name TEXT] [--against-artwork BMP]]
//
// In every round each program starts and is launched; in one round of every --idle-every it also
// idles --idle-ms before the launch, for the idle CPU and memory figures, which need no more
// rounds than that, while the timed figures need as many as the run can hold.
// The programs under test are the ones beside the driver; --product names the folder of the
// shipped build whose files are sized, where that is another build (default: the same); --csv
// keeps every trial's figures; --against measures another build's Launcher.exe in the same
// rounds and compares the two, its window checked against --against-artwork, the artwork that
// build carries (default: the one beside the driver).
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "exefile.h"
#include "report.h"
#include "screen.h"
#include "stats.h"
#include "trial.h"

using namespace bench;

namespace {

constexpr SIZE kClient = {447, 315};
constexpr int kArtworkLeft = 72;  // the artwork lies 1080 twips left of the client area
constexpr RECT kCredit = {312, 304, 447, 315};
constexpr POINT kSingleplayer = {124, 96};  // the button's centre

struct Options {
    int trials = 150;
    int warmup = 3;
    DWORD idleMs = 5000;
    int idleEvery = -1;  // -1: one round in 10, or more where that would leave fewer than 8
    std::wstring product;  // empty: the driver's own folder
    std::wstring csv;      // empty: none
    std::wstring against;  // empty: none
    std::string againstName = "the other build";
    std::wstring againstArtwork;  // empty: the driver's own
};

std::wstring ownFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring ownPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::string narrow(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

bool parse(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--trials" && hasValue) options.trials = std::max(1, _wtoi(argv[++i]));
        else if (arg == L"--warmup" && hasValue) options.warmup = std::max(0, _wtoi(argv[++i]));
        else if (arg == L"--idle-ms" && hasValue) options.idleMs = static_cast<DWORD>(std::max(0, _wtoi(argv[++i])));
        else if (arg == L"--idle-every" && hasValue) options.idleEvery = std::max(0, _wtoi(argv[++i]));
        else if (arg == L"--product" && hasValue) options.product = argv[++i];
        else if (arg == L"--csv" && hasValue) options.csv = argv[++i];
        else if (arg == L"--against" && hasValue) options.against = argv[++i];
        else if (arg == L"--against-name" && hasValue) options.againstName = narrow(argv[++i]);
        else if (arg == L"--against-artwork" && hasValue) options.againstArtwork = argv[++i];
        else return false;
    }
    return true;
}

// Where the window of the launcher, or of its plain copy, is finished: the three button faces,
// pixels of the artwork (chosen where it differs from the window's own background) and the
// credit's lettering.
Subject launcherSubject(const std::string& label, const std::wstring& exe, const Bitmap& artwork) {
    const COLORREF face = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    std::vector<Expectation> painted = {pixelIs(124, 85, face), pixelIs(124, 125, face), pixelIs(124, 285, face)};
    const POINT artworkSpots[] = {{300, 40}, {440, 200}, {20, 300}, {5, 5}, {400, 100}, {250, 250}, {220, 20}};
    int spots = 0;
    for (const POINT& p : artworkSpots) {
        const COLORREF expected = artwork.at(p.x + kArtworkLeft, p.y);
        if (expected != background && spots++ < 3) painted.push_back(pixelIs(p.x, p.y, expected));
    }
    if (spots < 2) throw std::runtime_error("the artwork is too much like the background to tell them apart");
    // More pixels of the lettering's colour than the artwork has there by itself.
    const RECT creditInArtwork = {kCredit.left + kArtworkLeft, kCredit.top, kCredit.right + kArtworkLeft, kCredit.bottom};
    painted.push_back({kCredit, text, artwork.count(creditInArtwork, text) + 20});
    return {label, exe, L"Valdrenn Launcher", kClient, painted, kSingleplayer};
}

Subject bareSubject(const std::wstring& exe) {
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    return {"bare.exe", exe, L"Valdrenn Launcher (bare)", kClient,
            {pixelIs(124, 85, background), pixelIs(2, 2, background), pixelIs(444, 312, background)},
            kSingleplayer};
}

// The programs, and their trials in the order of the rounds.
struct Lineup {
    std::vector<Subject> subjects;  // Launcher.exe, plain.exe, bare.exe, then the other build's if any
    Results results;

    std::vector<Trial>& of(std::size_t which) {
        return *results.programs()[which];
    }
    std::size_t at(int round, std::size_t place) const {
        return runsAt(static_cast<std::size_t>(round), place, subjects.size());
    }
};

// A figure not taken in this trial is an empty field.
std::string field(double value, int decimals) {
    if (std::isnan(value)) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void writeCsv(const std::wstring& path, Lineup& lineup) {
    FILE* out = _wfopen(path.c_str(), L"w");
    if (!out) throw std::runtime_error("cannot write the trials file");
    std::fprintf(out, "round,place,program,created_ms,ready_ms,window_ms,questions,screen_looks,screen_lag_ms,"
                      "startup_cpu_ms,idle_cpu_ms,peak_working_set_kib,peak_pagefile_kib,game_started_ms,ended_ms,"
                      "game_record_ms,launch_ms,start_to_exit_ms,quiet_wait_ms,unquiet,machine_busy\n");
    for (std::size_t round = 0; round < lineup.results.emptyStarts.size(); ++round) {
        for (std::size_t place = 0; place < lineup.subjects.size(); ++place) {
            const std::size_t which = lineup.at(static_cast<int>(round), place);
            const Trial& t = lineup.of(which)[round];
            std::fprintf(out, "%zu,%zu,%s,%.2f,%.2f,%.2f,%.0f,%.0f,%.2f,%.1f,%s,%s,%s,%.2f,%.2f,%.2f,%.2f,,%.0f,%d,%.3f\n",
                         round + 1, place + 1, lineup.subjects[which].label.c_str(), t.createdMs, t.readyMs,
                         t.windowMs, t.questions, t.screenLooks, t.screenLagMs, t.startupCpuMs,
                         field(t.idleCpuMs, 1).c_str(), field(t.peakWorkingSetKiB, 0).c_str(),
                         field(t.peakPagefileKiB, 0).c_str(), t.gameStartedMs, t.endedMs, t.gameRecordMs, t.launchMs,
                         t.quietWaitMs, t.unquiet, t.machineBusy);
        }
        if (!std::isnan(lineup.results.emptyStarts[round]))
            std::fprintf(out, "%zu,%zu,empty,,,,,,,,,,,,,,,%.2f,,,\n", round + 1, lineup.subjects.size() + 1,
                         lineup.results.emptyStarts[round]);
    }
    std::fclose(out);
}

// Under Wine a process now and then fails while the system starts it (CreateProcessW: error
// 1359), here about once in a few thousand starts, and a run makes over 600: that should not
// end it. A failed trial is run again once, whole, and the report lists the failure; a
// second failure in a row ends the run, as a fault of the program would.
template <typename Attempt>
auto onceMore(Attempt attempt, std::vector<std::string>& failures) {
    try {
        return attempt();
    } catch (const std::runtime_error& error) {
        failures.push_back(error.what());
        return attempt();
    }
}

void progress(const char* text) {
    std::printf("%s", text);
    std::fflush(stdout);
}

int run(const Options& options) {
    const std::wstring programs = ownFolder();
    const Bitmap artwork(readFile(programs + L"\\artwork.bmp"));
    if (!artwork.valid()) throw std::runtime_error("artwork.bmp is missing or unreadable beside the driver");
    // Another commit's launcher shows that commit's own artwork.
    const Bitmap againstArtwork = options.againstArtwork.empty() ? artwork : Bitmap(readFile(options.againstArtwork));
    if (!againstArtwork.valid()) throw std::runtime_error("the other build's artwork is missing or unreadable");

    // The other build lies beside this one, in the same folder, so that it finds the game just as
    // this one does. The two copies' names are as long as each other, so that their processes,
    // which hold their paths in memory, differ in nothing but the builds.
    const bool ab = !options.against.empty();
    const std::wstring launcherCopy = ab ? L"LauncherA.exe" : L"Launcher.exe";
    const std::wstring againstCopy = L"LauncherB.exe";
    std::vector<std::pair<std::wstring, std::wstring>> copies = {{programs + L"\\Launcher.exe", launcherCopy},
                                                                 {programs + L"\\plain.exe", L"plain.exe"},
                                                                 {programs + L"\\bare.exe", L"bare.exe"},
                                                                 {programs + L"\\standin.exe", L"valdrennsp.exe"}};
    if (ab) copies.push_back({options.against, againstCopy});
    GameFolder game(copies);

    Lineup lineup;
    lineup.subjects = {launcherSubject("Launcher.exe", game / launcherCopy, artwork),
                       launcherSubject("plain.exe", game / L"plain.exe", artwork), bareSubject(game / L"bare.exe")};
    if (ab) lineup.subjects.push_back(
        launcherSubject("Launcher.exe (" + options.againstName + ")", game / againstCopy, againstArtwork));
    TrialOptions timed;
    TrialOptions idling = timed;
    idling.idleMs = options.idleMs;

    progress("warming up");
    for (int i = 0; i < options.warmup; ++i) {
        for (const Subject& subject : lineup.subjects)
            onceMore([&] { return runTrial(subject, game, timed); }, lineup.results.failures);
        onceMore([&] { return startToExit(ownPath(), L"--noop"); }, lineup.results.failures);
        progress(".");
    }
    progress("\nmeasuring");
    const int every = options.idleEvery >= 0 ? options.idleEvery : std::clamp(options.trials / 8, 1, 10);
    const std::size_t idleEvery = options.idleMs ? static_cast<std::size_t>(every) : 0;
    for (int round = 0; round < options.trials; ++round) {
        const bool idles = idlesIn(static_cast<std::size_t>(round), idleEvery, lineup.subjects.size());
        for (std::size_t place = 0; place < lineup.subjects.size(); ++place) {
            const std::size_t which = lineup.at(round, place);
            lineup.of(which).push_back(onceMore(
                [&] { return runTrial(lineup.subjects[which], game, idles ? idling : timed); }, lineup.results.failures));
        }
        // What any process costs to start is a figure beside the others, not one to compare: the
        // rounds that idle take enough of it, and spare the others the time.
        double emptyStart = NAN;
        if (idles || idleEvery == 0) {
            double waited = 0;
            awaitQuiet(timed.quiet, waited);
            emptyStart = onceMore([&] { return startToExit(ownPath(), L"--noop"); }, lineup.results.failures);
        }
        lineup.results.emptyStarts.push_back(emptyStart);
        progress(idles ? ":" : ".");
    }
    progress("\n");
    if (!options.csv.empty()) writeCsv(options.csv, lineup);

    ReportSetting setting;
    setting.trials = options.trials;
    setting.warmup = options.warmup;
    setting.idleMs = options.idleMs;
    setting.idleEvery = static_cast<int>(idleEvery);
    setting.quiet = timed.quiet;
    setting.programs = programs;
    setting.product = options.product.empty() ? programs : options.product;
    setting.againstExe = options.against;
    setting.againstName = options.againstName;
    report(setting, lineup.results, artwork, againstArtwork);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"--noop") == 0) return 0;
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench.exe [--trials N] [--warmup N] [--idle-ms N] [--idle-every N] [--product FOLDER]\n"
                             "                 [--csv FILE] [--against EXE [--against-name TEXT] [--against-artwork BMP]]\n");
        return 2;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "\nbench: %s\n", error.what());
        return 1;
    }
}

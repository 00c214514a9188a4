// The benchmark's driver: runs the launcher and the bare program in turn, many times each, in a
// game folder of its own, and prints the medians side by side with their ratio.
//
//   bench.exe [--trials N] [--warmup N] [--idle-ms N] [--product FOLDER] [--csv FILE]
//
// The programs under test are the ones beside the driver; --product names the folder of the
// shipped build whose files are sized, where that is another build (default: the same); --csv
// keeps every trial's figures.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "exefile.h"
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
    int trials = 31;
    int warmup = 3;
    DWORD idleMs = 5000;
    std::wstring product;  // empty: the driver's own folder
    std::wstring csv;      // empty: none
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

bool parse(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--trials" && hasValue) options.trials = std::max(1, _wtoi(argv[++i]));
        else if (arg == L"--warmup" && hasValue) options.warmup = std::max(0, _wtoi(argv[++i]));
        else if (arg == L"--idle-ms" && hasValue) options.idleMs = static_cast<DWORD>(std::max(0, _wtoi(argv[++i])));
        else if (arg == L"--product" && hasValue) options.product = argv[++i];
        else if (arg == L"--csv" && hasValue) options.csv = argv[++i];
        else return false;
    }
    return true;
}

// Where the window of the launcher is finished: the three button faces, pixels of the artwork
// (chosen where it differs from the window's own background) and the credit's lettering.
Subject launcherSubject(const std::wstring& exe, const Bitmap& artwork) {
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
    return {"Launcher.exe", exe, L"Valdrenn Launcher", kClient, painted, kSingleplayer};
}

Subject bareSubject(const std::wstring& exe) {
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    return {"bare.exe", exe, L"Valdrenn Launcher (bare)", kClient,
            {pixelIs(124, 85, background), pixelIs(2, 2, background), pixelIs(444, 312, background)},
            kSingleplayer};
}

std::string platformName() {
    using WineVersion = const char*(CDECL*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto version = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (version) return std::string("Wine ") + version();
    OSVERSIONINFOW os = {sizeof os};
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (auto get = reinterpret_cast<RtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
        get(&os);
    return "Windows " + std::to_string(os.dwMajorVersion) + "." + std::to_string(os.dwMinorVersion) + " build " +
           std::to_string(os.dwBuildNumber);
}

bool underWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::string number(double value, int decimals) {
    if (std::isnan(value)) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string grouped(unsigned long long value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string summary(const std::vector<double>& values, int decimals) {
    const Summary s = summarize(values);
    return number(s.median, decimals) + " [" + number(s.lower, decimals) + ".." + number(s.upper, decimals) + "]";
}

// The smallest step between distinct CPU times seen: how finely this platform counts them.
double cpuStep(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    double step = NAN;
    for (std::size_t i = 1; i < values.size(); ++i) {
        const double gap = values[i] - values[i - 1];
        if (gap > 0.05 && !(gap >= step)) step = gap;
    }
    return step;
}

void row(const std::string& measure, const std::string& launcher, const std::string& bare, const std::string& ratio,
         const std::string& target) {
    std::printf("| %s | %s | %s | %s | %s |\n", measure.c_str(), launcher.c_str(), bare.c_str(), ratio.c_str(),
                target.c_str());
}

using Pick = double Trial::*;

std::vector<double> column(const std::vector<Trial>& trials, Pick pick) {
    std::vector<double> values;
    for (const Trial& trial : trials) values.push_back(trial.*pick);
    return values;
}

// A row of medians with their ratio; `limit` > 0 adds the target ratio and whether it is met.
void compare(const std::string& measure, const std::vector<Trial>& launcher, const std::vector<Trial>& bare,
             Pick pick, int decimals, double limit) {
    const double r = ratio(median(column(launcher, pick)), median(column(bare, pick)));
    std::string target;
    if (limit > 0) target = "<= " + number(limit, 2) + (r <= limit ? " met" : " NOT met");
    row(measure, summary(column(launcher, pick), decimals), summary(column(bare, pick), decimals), number(r, 3),
        target);
}

void report(const Options& options, const std::vector<Trial>& launcher, const std::vector<Trial>& bare,
            const std::vector<double>& emptyStarts, const std::wstring& programs, const std::wstring& product,
            const Bitmap& artwork) {
    const ExeFile runLauncher = describeExe(programs + L"\\Launcher.exe", artwork.file());
    const ExeFile runBare = describeExe(programs + L"\\bare.exe", artwork.file());
    const ExeFile shipLauncher = describeExe(product + L"\\Launcher.exe", artwork.file());
    const ExeFile shipBare = describeExe(product + L"\\bare.exe", artwork.file());
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);

    std::printf("\nplatform: %s, %lu processors\n", platformName().c_str(), system.dwNumberOfProcessors);
    std::printf("measured: the %s build of Launcher.exe and bare.exe", machineName(runLauncher.machine));
    if (runLauncher.machine != shipLauncher.machine)
        std::printf(" - the shipped Launcher.exe is %s, which this machine cannot run; the same sources built for "
                    "%s stand in for it",
                    machineName(shipLauncher.machine), machineName(runLauncher.machine));
    std::printf("\ntrials:   %d of each program, alternating, after %d warm-up runs of each; idle time %lu ms\n",
                options.trials, options.warmup, options.idleMs);
    std::printf("figures:  median [quartiles]; ratio = Launcher.exe / bare.exe of the medians\n\n");

    row("measure", "Launcher.exe", "bare.exe", "ratio", "target");
    row("---", "---", "---", "---", "---");
    compare("start-up to window shown, ms", launcher, bare, &Trial::shownMs, 1, 0);
    compare("start-up to fully painted, ms", launcher, bare, &Trial::paintedMs, 1, 1.10);
    compare("launch: click to game started and program ended, ms", launcher, bare, &Trial::launchMs, 1, 1.10);
    compare("- click to the game's process, ms", launcher, bare, &Trial::gameStartedMs, 1, 0);
    compare("- click to the program's end, ms", launcher, bare, &Trial::endedMs, 1, 0);
    compare("- click to the game's own start record, ms", launcher, bare, &Trial::gameRecordMs, 1, 0);
    compare("peak working set, KiB", launcher, bare, &Trial::peakWorkingSetKiB, 0, 1.10);
    compare("peak pagefile usage, KiB", launcher, bare, &Trial::peakPagefileKiB, 0, 1.10);
    compare("CPU time to fully painted, ms", launcher, bare, &Trial::startupCpuMs, 1, 0);

    const auto busy = [](const std::vector<Trial>& trials) {
        int count = 0;
        for (const Trial& trial : trials) count += trial.idleCpuMs > 0;
        return count;
    };
    row("CPU time idle for " + number(options.idleMs / 1000.0, 1) + " s, ms", summary(column(launcher, &Trial::idleCpuMs), 1),
        summary(column(bare, &Trial::idleCpuMs), 1), "-",
        "0: " + std::string(busy(launcher) == 0 ? "met" : "NOT met") + ", " + std::to_string(busy(launcher)) + " of " +
            std::to_string(launcher.size()) + " trials above 0");

    const auto bytes = [](const ExeFile& exe) { return exe.exists ? grouped(exe.size) : std::string("-"); };
    const auto beyond = [&](const ExeFile& exe) {
        return exe.holdsArtwork ? grouped(exe.size - artwork.file().size()) : bytes(exe);
    };
    const auto sizeRatio = [](const ExeFile& a, const ExeFile& b) {
        return number(ratio(static_cast<double>(a.size), static_cast<double>(b.size)), 1);
    };
    row(std::string("file size, ") + machineName(shipLauncher.machine) + " (shipped), bytes", bytes(shipLauncher),
        bytes(shipBare), sizeRatio(shipLauncher, shipBare), "");
    row("- beyond the artwork (" + grouped(artwork.file().size()) + " bytes, " +
            (shipLauncher.holdsArtwork ? "found in the file" : "NOT found in the file") + "), bytes",
        beyond(shipLauncher), bytes(shipBare),
        number(ratio(static_cast<double>(shipLauncher.size - (shipLauncher.holdsArtwork ? artwork.file().size() : 0)),
                     static_cast<double>(shipBare.size)),
               1),
        "");
    if (runLauncher.machine != shipLauncher.machine)
        row(std::string("file size, ") + machineName(runLauncher.machine) + " (measured), bytes", bytes(runLauncher),
            bytes(runBare), sizeRatio(runLauncher, runBare), "");

    std::vector<double> allCpu = column(launcher, &Trial::startupCpuMs);
    for (const Trial& trial : bare) allCpu.push_back(trial.startupCpuMs);
    std::printf("\nCPU times here come in steps of %s ms (the smallest step seen between them).\n",
                number(cpuStep(allCpu), 1).c_str());
    std::printf("An empty console program (bench.exe --noop) takes %s ms from process creation to its end:\n",
                summary(emptyStarts, 1).c_str());
    if (underWine())
        std::printf("under Wine, starting any process costs about that much, and it dominates every start-up and\n"
                    "launch figure above; the programs' own work is the difference between the two columns.\n");
}

void writeCsv(const std::wstring& path, const std::vector<Trial> (&results)[2], const std::vector<double>& emptyStarts) {
    FILE* out = _wfopen(path.c_str(), L"w");
    if (!out) throw std::runtime_error("cannot write the trials file");
    std::fprintf(out, "program,trial,shown_ms,painted_ms,startup_cpu_ms,idle_cpu_ms,peak_working_set_kib,"
                      "peak_pagefile_kib,game_started_ms,ended_ms,game_record_ms,launch_ms,start_to_exit_ms\n");
    const char* names[] = {"Launcher.exe", "bare.exe"};
    for (int which = 0; which < 2; ++which)
        for (std::size_t i = 0; i < results[which].size(); ++i) {
            const Trial& t = results[which][i];
            std::fprintf(out, "%s,%zu,%.2f,%.2f,%.1f,%.1f,%.0f,%.0f,%.2f,%.2f,%.2f,%.2f,\n", names[which], i + 1,
                         t.shownMs, t.paintedMs, t.startupCpuMs, t.idleCpuMs, t.peakWorkingSetKiB, t.peakPagefileKiB,
                         t.gameStartedMs, t.endedMs, t.gameRecordMs, t.launchMs);
        }
    for (std::size_t i = 0; i < emptyStarts.size(); ++i)
        std::fprintf(out, "empty,%zu,,,,,,,,,,,%.2f\n", i + 1, emptyStarts[i]);
    std::fclose(out);
}

int run(const Options& options) {
    const std::wstring programs = ownFolder();
    const std::wstring product = options.product.empty() ? programs : options.product;
    const Bitmap artwork(readFile(programs + L"\\artwork.bmp"));
    if (!artwork.valid()) throw std::runtime_error("artwork.bmp is missing or unreadable beside the driver");

    GameFolder game(programs);
    const Subject subjects[] = {launcherSubject(game / L"Launcher.exe", artwork), bareSubject(game / L"bare.exe")};
    TrialOptions trialOptions;
    trialOptions.idleMs = options.idleMs;
    TrialOptions warmupOptions = trialOptions;
    warmupOptions.idleMs = 0;

    std::printf("warming up");
    std::fflush(stdout);
    for (int i = 0; i < options.warmup; ++i) {
        for (const Subject& subject : subjects) runTrial(subject, game, warmupOptions);
        startToExit(ownPath(), L"--noop");
        std::printf(".");
        std::fflush(stdout);
    }

    std::vector<Trial> results[2];
    std::vector<double> emptyStarts;
    std::printf("\nmeasuring");
    for (int i = 0; i < options.trials; ++i) {
        // Alternating which goes first cancels out whatever the previous run leaves behind.
        for (int k = 0; k < 2; ++k) {
            const int which = (i % 2 == 0) ? k : 1 - k;
            results[which].push_back(runTrial(subjects[which], game, trialOptions));
            Sleep(200);
        }
        emptyStarts.push_back(startToExit(ownPath(), L"--noop"));
        std::printf(".");
        std::fflush(stdout);
    }
    std::printf("\n");
    if (!options.csv.empty()) writeCsv(options.csv, results, emptyStarts);
    report(options, results[0], results[1], emptyStarts, programs, product, artwork);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"--noop") == 0) return 0;
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench.exe [--trials N] [--warmup N] [--idle-ms N] [--product FOLDER] [--csv FILE]\n");
        return 2;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "\nbench: %s\n", error.what());
        return 1;
    }
}

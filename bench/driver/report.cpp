#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "exefile.h"
#include "stats.h"

namespace bench {
namespace {

using Pick = double Trial::*;

// What our run time may cost a player waiting for the window: start-up to ready at most 2 % over
// the same window in plain Win32 by the estimate, and at most 5 % by the interval's upper end.
constexpr Target kStartUpTarget = {1.02, 1.05};

// A figure compared between the programs, with its target for the ratio to plain.exe, if any.
struct Measure {
    const char* name;
    Pick pick;
    int decimals;
    const Target* target;
};

const Measure kMeasures[] = {
    {"start-up to the window created, ms", &Trial::createdMs, 1, nullptr},
    {"start-up to ready: shown, painted, waiting for input, ms", &Trial::readyMs, 1, &kStartUpTarget},
    {"- window created to ready, ms", &Trial::windowMs, 1, nullptr},
    {"launch: click to game started and program ended, ms", &Trial::launchMs, 1, nullptr},
    {"- click to the game's process, ms", &Trial::gameStartedMs, 1, nullptr},
    {"- click to the program's end, ms", &Trial::endedMs, 1, nullptr},
    {"- click to the game's own start record, ms", &Trial::gameRecordMs, 1, nullptr},
    {"peak working set, KiB", &Trial::peakWorkingSetKiB, 0, nullptr},
    {"peak pagefile usage, KiB", &Trial::peakPagefileKiB, 0, nullptr},
    {"CPU time to ready, ms", &Trial::startupCpuMs, 1, nullptr},
};

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

std::string signedNumber(double value, int decimals) {
    return (value > 0 ? "+" : "") + number(value, decimals);
}

std::string grouped(unsigned long long value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::vector<double> column(const std::vector<Trial>& trials, Pick pick) {
    std::vector<double> values;
    for (const Trial& trial : trials) values.push_back(trial.*pick);
    return values;
}

// Of the figures taken: some are taken only in the rounds that idle.
std::string summary(std::vector<double> values, int decimals) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    const Summary s = summarize(values);
    return number(s.median, decimals) + " [" + number(s.lower, decimals) + ".." + number(s.upper, decimals) + "]";
}

std::string withInterval(const Estimate& e, int decimals, std::string (*format)(double, int) = number) {
    return format(e.value, decimals) + " [" + format(e.lower, decimals) + ".." + format(e.upper, decimals) + "]";
}

void row(std::initializer_list<std::string> cells) {
    std::string line = "|";
    for (const std::string& cell : cells) line += " " + cell + " |";
    std::printf("%s\n", line.c_str());
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

std::string targetText(const Target& target, const Estimate& ratio) {
    return "<= " + number(target.estimate, 2) + ", interval <= " + number(target.upper, 2) + ": " +
           verdictName(judge(ratio, target));
}

void compare(const Measure& m, const Results& results) {
    const std::vector<double> launcher = column(results.launcher, m.pick), plain = column(results.plain, m.pick),
                              bare = column(results.bare, m.pick);
    const Estimate toPlain = pairedRatio(launcher, plain);
    row({m.name, summary(launcher, m.decimals), summary(plain, m.decimals), summary(bare, m.decimals),
         withInterval(toPlain, 3), withInterval(pairedRatio(launcher, bare), 3),
         m.target ? targetText(*m.target, toPlain) : ""});
}

void idleRow(const ReportSetting& setting, const Results& results) {
    const auto count = [](const std::vector<Trial>& trials, bool (*which)(double)) {
        return std::count_if(trials.begin(), trials.end(), [which](const Trial& t) { return which(t.idleCpuMs); });
    };
    const auto idled = count(results.launcher, [](double cpu) { return !std::isnan(cpu); });
    const auto above = count(results.launcher, [](double cpu) { return cpu > 0; });
    const std::string name = "CPU time idle for " + number(setting.idleMs / 1000.0, 1) + " s, ms";
    if (idled == 0) {
        row({name, "-", "-", "-", "-", "-", "no idle time in this run"});
        return;
    }
    row({name, summary(column(results.launcher, &Trial::idleCpuMs), 1),
         summary(column(results.plain, &Trial::idleCpuMs), 1), summary(column(results.bare, &Trial::idleCpuMs), 1), "-",
         "-",
         "0: " + std::string(above == 0 ? "met" : "NOT met") + ", " + std::to_string(above) + " of " +
             std::to_string(idled) + " trials above 0"});
}

void sizeRows(const ReportSetting& setting, const Bitmap& artwork) {
    const std::uint64_t art = artwork.file().size();
    struct Files {
        ExeFile launcher, plain, bare;
    };
    const auto files = [&](const std::wstring& folder) {
        return Files{describeExe(folder + L"\\Launcher.exe", artwork.file()),
                     describeExe(folder + L"\\plain.exe", artwork.file()),
                     describeExe(folder + L"\\bare.exe", artwork.file())};
    };
    const auto bytes = [](const ExeFile& exe) { return exe.exists ? grouped(exe.size) : std::string("-"); };
    const auto sizeRatio = [](double a, const ExeFile& b) { return number(ratio(a, static_cast<double>(b.size)), 1); };
    const auto sizes = [&](const std::string& name, const Files& f) {
        const double launcher = static_cast<double>(f.launcher.size);
        row({name, bytes(f.launcher), bytes(f.plain), bytes(f.bare), sizeRatio(launcher, f.plain),
             sizeRatio(launcher, f.bare), ""});
    };
    // The artwork lies in both programs that show it, and bare.exe has none.
    const auto beyond = [&](const ExeFile& exe) {
        return exe.holdsArtwork ? grouped(exe.size - art) : bytes(exe) + " (artwork NOT found)";
    };
    const auto beyondSize = [&](const ExeFile& exe) {
        return static_cast<double>(exe.size - (exe.holdsArtwork ? art : 0));
    };
    const Files ship = files(setting.product), run = files(setting.programs);
    sizes(std::string("file size, ") + machineName(ship.launcher.machine) + " (shipped), bytes", ship);
    row({"- beyond the artwork (" + grouped(art) + " bytes), bytes", beyond(ship.launcher), beyond(ship.plain),
         bytes(ship.bare), number(ratio(beyondSize(ship.launcher), beyondSize(ship.plain)), 1),
         sizeRatio(beyondSize(ship.launcher), ship.bare), ""});
    if (run.launcher.machine != ship.launcher.machine)
        sizes(std::string("file size, ") + machineName(run.launcher.machine) + " (measured), bytes", run);
}

void header(const ReportSetting& setting, const Results& results) {
    const ExeFile run = describeExe(setting.programs + L"\\Launcher.exe", {});
    const ExeFile ship = describeExe(setting.product + L"\\Launcher.exe", {});
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    std::printf("\nplatform: %s, %lu processors\n", platformName().c_str(), system.dwNumberOfProcessors);
    std::printf("measured: the %s build of Launcher.exe, plain.exe (its window in plain Win32) and bare.exe",
                machineName(run.machine));
    if (run.machine != ship.machine)
        std::printf(" - the shipped Launcher.exe is %s, which this machine cannot run; the same sources built for "
                    "%s stand in for it",
                    machineName(ship.machine), machineName(run.machine));
    std::printf("\nrounds:   %d, each running every program once, in turn, the first of them changing from round to "
                "round;\n          after %d warm-up rounds; ",
                setting.trials, setting.warmup);
    const long idleRounds = static_cast<long>(std::count_if(results.launcher.begin(), results.launcher.end(),
                                                            [](const Trial& t) { return !std::isnan(t.idleCpuMs); }));
    if (idleRounds > 0 && setting.idleEvery == 1)
        std::printf("in every round each program idles %lu ms before its launch, for the\n          figures of memory "
                    "and idle CPU time\n",
                    setting.idleMs);
    else if (idleRounds > 0)
        std::printf("in one round of every %d (%ld in all) each program idles %lu ms before\n          its launch, for "
                    "the figures of memory and idle CPU time\n",
                    setting.idleEvery, idleRounds, setting.idleMs);
    else
        std::printf("no idle time, so no figures of memory or idle CPU time\n");
    std::printf("quiet:    each start and each click waits until the processors were at most %.0f %% busy over %lu ms\n",
                setting.quiet.mostBusy * 100, setting.quiet.windowMs);
    std::printf("figures:  each program's median [quartiles]; each ratio, Launcher.exe / plain.exe (what our run time\n"
                "          costs) and Launcher.exe / bare.exe (what the window's features cost), is the Hodges-Lehmann\n"
                "          estimate of the rounds' ratios [95 %% interval, exact Wilcoxon signed-rank]; a target for the\n"
                "          ratio to plain.exe is met when the estimate and the interval's upper end are both at or\n"
                "          under their limits, not met when the whole interval lies above the estimate's limit,\n"
                "          and otherwise the run cannot tell\n\n");
}

// How the ready moments were confirmed: by the screen, after the timed interval.
void screenNote(const Results& results) {
    std::vector<Trial> all;
    for (const std::vector<Trial>* trials : results.programs())
        all.insert(all.end(), trials->begin(), trials->end());
    const auto atOnce = std::count_if(all.begin(), all.end(), [](const Trial& t) { return t.screenLooks == 1; });
    double mostQuestions = 0;
    std::vector<double> lags;
    for (const Trial& t : all) {
        mostQuestions = std::max(mostQuestions, t.questions);
        lags.push_back(t.screenLagMs);
    }
    std::printf("\nReady: the program, asked by a sent message, answered with its window shown and nothing of it left\n"
                "to paint (it took at most %.0f sent messages to learn it). The screen then showed the finished window at\n"
                "the first look in %ld of %zu trials; the look that saw it began %s ms after the ready moment.\n",
                mostQuestions, static_cast<long>(atOnce), all.size(), summary(lags, 1).c_str());
}

// How long the starts and clicks waited for the machine to be quiet, and how often in vain.
void quietNote(const ReportSetting& setting, const Results& results) {
    std::vector<double> waits;
    long unquiet = 0, moments = 0;
    for (const std::vector<Trial>* trials : results.programs())
        for (const Trial& t : *trials) {
            waits.push_back(t.quietWaitMs);
            unquiet += t.unquiet;
            moments += 2;
        }
    std::printf("Before a start the driver waited %s ms for a quiet machine; %ld of %ld starts and clicks found none\n"
                "within %.1f s and went ahead%s.\n",
                summary(waits, 0).c_str(), unquiet, moments, setting.quiet.patienceMs / 1000.0,
                unquiet ? ": other work on the machine is in those figures" : "");
    if (!results.failures.empty()) {
        std::printf("Trials that failed and were run again, %zu:\n", results.failures.size());
        for (const std::string& failure : results.failures) std::printf("  %s\n", failure.c_str());
    }
}

void footer(const Results& results) {
    std::vector<double> allCpu;
    for (const std::vector<Trial>* trials : {&results.launcher, &results.plain, &results.bare})
        for (const Trial& trial : *trials) allCpu.push_back(trial.startupCpuMs);
    std::printf("CPU times here come in steps of %s ms (the smallest step seen between them).\n",
                number(cpuStep(allCpu), 1).c_str());
    std::printf("An empty console program (bench.exe --noop) takes %s ms from process creation to its end:\n",
                summary(results.emptyStarts, 1).c_str());
    if (underWine())
        std::printf("under Wine, starting any process costs about that much, and it dominates every start-up and\n"
                    "launch figure above; the programs' own work is the difference between the columns.\n");
}

// This build against the other one: both compared with bare.exe in the same rounds, and the
// difference of those ratios round by round.
void againstTable(const ReportSetting& setting, const Results& results, const Bitmap& artwork,
                  const Bitmap& againstArtwork) {
    const std::string other = setting.againstName;
    std::printf("\nThis Launcher.exe against %s, measured in the same rounds; difference = this - %s of the\n"
                "ratios to bare.exe, the Hodges-Lehmann estimate of the rounds' differences [95 %% interval]\n\n",
                other.c_str(), other.c_str());
    row({"measure", "this / bare.exe", other + " / bare.exe", "difference", "seen"});
    row({"---", "---", "---", "---", "---"});
    for (const Measure& m : kMeasures) {
        const std::vector<double> launcher = column(results.launcher, m.pick), bare = column(results.bare, m.pick),
                                  against = column(results.against, m.pick);
        const Estimate d = pairedRatioDifference(launcher, against, bare);
        const char* seen = std::isnan(d.lower) ? "-" : d.lower > 0 ? "this higher" : d.upper < 0 ? "this lower"
                                                                                                 : "no difference";
        row({m.name, withInterval(pairedRatio(launcher, bare), 3), withInterval(pairedRatio(against, bare), 3),
             withInterval(d, 3, signedNumber), seen});
    }
    // Each build beside the artwork it carries, which differs between commits that changed it.
    const ExeFile mine = describeExe(setting.programs + L"\\Launcher.exe", artwork.file());
    const ExeFile theirs = describeExe(setting.againstExe, againstArtwork.file());
    const auto beyond = [](const ExeFile& exe, const Bitmap& art) {
        return exe.holdsArtwork ? grouped(exe.size - art.file().size()) + " beyond its artwork"
                                : std::string("its artwork NOT found in it");
    };
    std::printf("\nfile size, %s: this %s bytes (%s), %s %s bytes (%s)\n", machineName(mine.machine),
                grouped(mine.size).c_str(), beyond(mine, artwork).c_str(), other.c_str(), grouped(theirs.size).c_str(),
                beyond(theirs, againstArtwork).c_str());
}

}  // namespace

void report(const ReportSetting& setting, const Results& results, const Bitmap& artwork, const Bitmap& againstArtwork) {
    header(setting, results);
    row({"measure", "Launcher.exe", "plain.exe", "bare.exe", "to plain.exe [95 % interval]",
         "to bare.exe [95 % interval]", "target for the ratio to plain.exe"});
    row({"---", "---", "---", "---", "---", "---", "---"});
    for (const Measure& m : kMeasures) compare(m, results);
    idleRow(setting, results);
    sizeRows(setting, artwork);
    screenNote(results);
    quietNote(setting, results);
    footer(results);
    if (!results.against.empty()) againstTable(setting, results, artwork, againstArtwork);
}

}  // namespace bench

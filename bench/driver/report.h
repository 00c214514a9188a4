// The benchmark's printed answer: a Markdown table of every figure with its interval and target,
// and, when another build was measured alongside, how far the two lie apart.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "screen.h"
#include "trial.h"

namespace bench {

// One trial of each program per round, in the same order in every vector.
struct Results {
    std::vector<Trial> launcher;
    std::vector<Trial> plain;  // the launcher's window in plain Win32
    std::vector<Trial> bare;
    std::vector<Trial> against;  // empty unless another build of the launcher was measured
    std::vector<double> emptyStarts;  // NaN in the rounds that took none
    std::vector<std::string> failures;  // of the trials that were run again

    // Each program's trials, in the order above.
    std::array<std::vector<Trial>*, 4> programs() { return {&launcher, &plain, &bare, &against}; }
    std::array<const std::vector<Trial>*, 4> programs() const { return {&launcher, &plain, &bare, &against}; }
};

struct ReportSetting {
    int trials = 0;
    int warmup = 0;
    DWORD idleMs = 0;
    int idleEvery = 0;          // one round in this many idles; 0: none
    Quiet quiet;
    std::wstring programs;      // the folder of the programs measured
    std::wstring product;       // the folder of the shipped build, whose files are sized
    std::wstring againstExe;    // the other build's Launcher.exe, if any
    std::string againstName;    // how to call it
};

// `againstArtwork` is the artwork of the other build, if any.
void report(const ReportSetting& setting, const Results& results, const Bitmap& artwork, const Bitmap& againstArtwork);

}  // namespace bench

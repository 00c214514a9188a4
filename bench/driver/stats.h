// Summaries of repeated measurements. Each program's own figures are medians and quartiles,
// which a few slow runs caused by other work on the machine do not move. A comparison of two
// programs is made per round (both ran within seconds of each other, so a busy spell of the
// machine hits both) and given with a 95 % confidence interval, so that a run says whether a
// target is met or whether it cannot tell.
#pragma once

#include <cstddef>
#include <vector>

namespace bench {

// The value below which the fraction `p` (0 to 1) of the values lie, interpolated linearly
// between neighbouring ranks; NaN for no values.
double quantile(std::vector<double> values, double p);

double median(std::vector<double> values);

struct Summary {
    std::size_t count = 0;
    double median;
    double lower;  // first quartile
    double upper;  // third quartile
};

Summary summarize(const std::vector<double>& values);

// a / b; NaN where it says nothing: b is zero or either is missing.
double ratio(double a, double b);

// A central value with its 95 % confidence interval; the interval is NaN where too few values
// give none, the value too where there are none at all.
struct Estimate {
    std::size_t count = 0;
    double value;
    double lower;
    double upper;
};

// The largest signed-rank sum t of n values with P(T <= t) <= alpha / 2 when the values lie
// symmetrically around zero (the exact Wilcoxon distribution); -1 when no t is that rare.
int signedRankCritical(std::size_t n, double alpha = 0.05);

// The Hodges-Lehmann estimate of where the values centre (the median of all pairwise means,
// each value with itself included) and its exact Wilcoxon signed-rank interval. Chosen over the
// plain median for its precision (about that of the mean on well-behaved data) and over the mean
// because one trial slowed by other work moves it little; the interval needs no normal
// distribution and, unlike a bootstrap, gives the same answer for the same data.
Estimate centre(std::vector<double> values);

// Per round, a[i] / b[i], estimated on the logarithmic scale (where a/b and b/a lie equally far
// from 1) and given back as a ratio. Rounds where either figure is missing or not above zero
// are left out.
Estimate pairedRatio(const std::vector<double>& a, const std::vector<double>& b);

// Per round, a[i] / reference[i] - b[i] / reference[i]: how far apart two programs' ratios to the
// same reference lie.
Estimate pairedRatioDifference(const std::vector<double>& a, const std::vector<double>& b,
                               const std::vector<double>& reference);

// Which of `count` programs runs at `place` of `round`. The first round's order is 0, 1, n-1, 2,
// n-2, ...; each later round adds one to every program, and after a full turn the orders run
// backwards (a Williams design): over 2 * count rounds each program runs at each place, and right
// after each other program, equally often, so what the one before leaves behind evens out.
std::size_t runsAt(std::size_t round, std::size_t place, std::size_t count);

// Whether `round` is one of those in which the programs also idle: one in every `every` (none
// for 0, all for 1). In such a round the later programs start after a long quiet spell, so over
// 2 * count blocks of `every` rounds the idle rounds take each of runsAt's orders once, and
// favour no program.
bool idlesIn(std::size_t round, std::size_t every, std::size_t count);

// A target for a ratio: its estimate at most `estimate`, its interval's upper end at most `upper`.
struct Target {
    double estimate;
    double upper;
};

// Met when the run puts both at or under their limits; not met when the whole interval lies above
// the estimate's limit; otherwise (or without an interval) the run cannot tell.
enum class Verdict { Met, NotMet, CannotTell };
Verdict judge(const Estimate& estimate, const Target& target);
const char* verdictName(Verdict verdict);

}  // namespace bench

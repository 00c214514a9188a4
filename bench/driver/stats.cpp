#include "stats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace bench {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool usable(double a, double b) { return std::isfinite(a) && std::isfinite(b) && a > 0 && b > 0; }

}  // namespace

double quantile(std::vector<double> values, double p) {
    if (values.empty()) return kNaN;
    std::sort(values.begin(), values.end());
    const double rank = std::clamp(p, 0.0, 1.0) * static_cast<double>(values.size() - 1);
    const std::size_t below = static_cast<std::size_t>(std::floor(rank));
    const std::size_t above = std::min(below + 1, values.size() - 1);
    const double weight = rank - static_cast<double>(below);
    return values[below] + (values[above] - values[below]) * weight;
}

double median(std::vector<double> values) { return quantile(std::move(values), 0.5); }

Summary summarize(const std::vector<double>& values) {
    return {values.size(), quantile(values, 0.5), quantile(values, 0.25), quantile(values, 0.75)};
}

double ratio(double a, double b) {
    if (std::isnan(a) || std::isnan(b) || b == 0) return kNaN;
    return a / b;
}

int signedRankCritical(std::size_t n, double alpha) {
    // probability[s]: the chance that the ranks 1..k given a plus sign sum to s, each sign
    // equally likely; built up one rank at a time.
    const std::size_t total = n * (n + 1) / 2;
    std::vector<double> probability(total + 1, 0.0);
    probability[0] = 1;
    for (std::size_t rank = 1; rank <= n; ++rank)
        for (std::size_t sum = total + 1; sum-- > 0;)
            probability[sum] = (probability[sum] + (sum >= rank ? probability[sum - rank] : 0)) / 2;
    double below = 0;
    int critical = -1;
    for (std::size_t sum = 0; sum <= total; ++sum) {
        below += probability[sum];
        if (below > alpha / 2) break;
        critical = static_cast<int>(sum);
    }
    return critical;
}

Estimate centre(std::vector<double> values) {
    Estimate estimate{values.size(), kNaN, kNaN, kNaN};
    if (values.empty()) return estimate;
    std::vector<double> means;
    means.reserve(values.size() * (values.size() + 1) / 2);
    for (std::size_t i = 0; i < values.size(); ++i)
        for (std::size_t j = i; j < values.size(); ++j) means.push_back((values[i] + values[j]) / 2);
    std::sort(means.begin(), means.end());
    estimate.value = median(means);
    // The interval runs from the (t+1)-th smallest pairwise mean to the (t+1)-th largest.
    const int critical = signedRankCritical(values.size());
    if (critical >= 0) {
        estimate.lower = means[static_cast<std::size_t>(critical)];
        estimate.upper = means[means.size() - 1 - static_cast<std::size_t>(critical)];
    }
    return estimate;
}

Estimate pairedRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> logs;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (usable(a[i], b[i])) logs.push_back(std::log(a[i] / b[i]));
    Estimate estimate = centre(logs);
    estimate.value = std::exp(estimate.value);
    estimate.lower = std::exp(estimate.lower);
    estimate.upper = std::exp(estimate.upper);
    return estimate;
}

Estimate pairedRatioDifference(const std::vector<double>& a, const std::vector<double>& b,
                               const std::vector<double>& reference) {
    std::vector<double> differences;
    for (std::size_t i = 0; i < std::min({a.size(), b.size(), reference.size()}); ++i)
        if (usable(a[i], reference[i]) && usable(b[i], reference[i]))
            differences.push_back((a[i] - b[i]) / reference[i]);
    return centre(differences);
}

std::size_t runsAt(std::size_t round, std::size_t place, std::size_t count) {
    const std::size_t turn = round % (2 * count);
    const std::size_t at = turn < count ? place : count - 1 - place;
    // 0, 1, n-1, 2, n-2, ...: the odd places count up from 1, the even ones down from n.
    const std::size_t first = at % 2 ? (at + 1) / 2 : (count - at / 2) % count;
    return (first + turn) % count;
}

bool idlesIn(std::size_t round, std::size_t every, std::size_t count) {
    if (every <= 1) return every == 1;
    const std::size_t orders = 2 * count;  // runsAt's cycle
    const std::size_t block = round / every;
    // Block b starts at turn every * b of the cycle, a multiple of g: its idle round lies one
    // turn further on for each orders / g blocks before it, so that over `orders` blocks the idle
    // rounds fall on every turn once, whether or not a block is as long as the cycle.
    const std::size_t g = std::gcd(every, orders);
    return round % every == block % orders / (orders / g);
}

Verdict judge(const Estimate& estimate, const Target& target) {
    if (estimate.value <= target.estimate && estimate.upper <= target.upper) return Verdict::Met;
    if (estimate.lower > target.estimate) return Verdict::NotMet;
    return Verdict::CannotTell;  // not shown within the target, nor shown beyond it (or no interval: NaN)
}

const char* verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Met:
            return "met";
        case Verdict::NotMet:
            return "NOT met";
        case Verdict::CannotTell:
            return "cannot tell";
    }
    return "";
}

}  // namespace bench

#include "stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bench {

double quantile(std::vector<double> values, double p) {
    if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
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
    if (std::isnan(a) || std::isnan(b) || b == 0) return std::numeric_limits<double>::quiet_NaN();
    return a / b;
}

}  // namespace bench

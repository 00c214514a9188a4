// Summaries of repeated measurements: medians and quartiles, which a few slow runs caused by
// other work on the machine do not move, and the ratio of two medians.
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

}  // namespace bench

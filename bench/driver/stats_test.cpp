// The figures the benchmark prints are medians, quartiles and ratios of them: a wrong rank or
// a ratio over zero would print a plausible but false number.
#include "stats.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace bench;

TEST(Quantile, MedianOfAnOddCountIsTheMiddleValueWhateverTheOrder) {
    EXPECT_DOUBLE_EQ(median({9, 1, 5}), 5);
    EXPECT_DOUBLE_EQ(median({5, 9, 1, 7, 3}), 5);
}

TEST(Quantile, MedianOfAnEvenCountIsTheMeanOfTheMiddleTwo) {
    EXPECT_DOUBLE_EQ(median({4, 1, 3, 2}), 2.5);
    EXPECT_DOUBLE_EQ(median({10, 20}), 15);
}

TEST(Quantile, QuartilesInterpolateBetweenNeighbouringRanks) {
    EXPECT_DOUBLE_EQ(quantile({1, 2, 3, 4, 5}, 0.25), 2);
    EXPECT_DOUBLE_EQ(quantile({1, 2, 3, 4, 5}, 0.75), 4);
    EXPECT_DOUBLE_EQ(quantile({4, 3, 2, 1}, 0.25), 1.75);
    EXPECT_DOUBLE_EQ(quantile({4, 3, 2, 1}, 0.75), 3.25);
}

TEST(Quantile, EdgesAreTheExtremesAndOutOfRangeFractionsAreClamped) {
    EXPECT_DOUBLE_EQ(quantile({3, 1, 2}, 0), 1);
    EXPECT_DOUBLE_EQ(quantile({3, 1, 2}, 1), 3);
    EXPECT_DOUBLE_EQ(quantile({3, 1, 2}, -1), 1);
    EXPECT_DOUBLE_EQ(quantile({3, 1, 2}, 2), 3);
}

TEST(Quantile, OneValueIsEveryQuantileAndNoValuesGiveNone) {
    EXPECT_DOUBLE_EQ(quantile({7}, 0.25), 7);
    EXPECT_DOUBLE_EQ(median({7}), 7);
    EXPECT_TRUE(std::isnan(median({})));
    const Summary none = summarize({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_TRUE(std::isnan(none.median));
}

TEST(Summary, HoldsCountMedianAndQuartiles) {
    const Summary s = summarize({5, 1, 4, 2, 3});
    EXPECT_EQ(s.count, 5u);
    EXPECT_DOUBLE_EQ(s.median, 3);
    EXPECT_DOUBLE_EQ(s.lower, 2);
    EXPECT_DOUBLE_EQ(s.upper, 4);
}

TEST(Ratio, DividesAndSaysNothingOverZeroOrMissingFigures) {
    EXPECT_DOUBLE_EQ(ratio(110, 100), 1.1);
    EXPECT_DOUBLE_EQ(ratio(0, 100), 0);
    EXPECT_TRUE(std::isnan(ratio(5, 0)));
    EXPECT_TRUE(std::isnan(ratio(0, 0)));
    EXPECT_TRUE(std::isnan(ratio(std::nan(""), 1)));
    EXPECT_TRUE(std::isnan(ratio(1, std::nan(""))));
}

// The figures the benchmark prints are medians, quartiles, ratios and their intervals: a wrong
// rank, a ratio over zero or an interval one place off would print a plausible but false number.
#include "stats.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(SignedRank, CriticalSumsAreThoseOfThePublishedTable) {
    // Two-sided 5 % critical values of Wilcoxon's signed-rank statistic, as tables print them.
    EXPECT_EQ(signedRankCritical(5), -1) << "five values can never be rare enough";
    EXPECT_EQ(signedRankCritical(6), 0);
    EXPECT_EQ(signedRankCritical(10), 8);
    EXPECT_EQ(signedRankCritical(20), 52);
    EXPECT_EQ(signedRankCritical(31), 147);
}

TEST(Centre, IsTheMedianOfPairwiseMeansWithinTheSignedRankInterval) {
    // Skewed on purpose: median 8, mean 18.1, and the pairwise means without each value's
    // own would centre on 16.5.
    const Estimate e = centre({16, 1, 64, 4, 32, 2, 8});
    EXPECT_EQ(e.count, 7u);
    EXPECT_DOUBLE_EQ(e.value, 14);
    EXPECT_DOUBLE_EQ(e.lower, 2) << "the third smallest of the 28 pairwise means";
    EXPECT_DOUBLE_EQ(e.upper, 40) << "the third largest";

    const Estimate few = centre({3, 1, 2, 5, 4});
    EXPECT_DOUBLE_EQ(few.value, 3);
    EXPECT_TRUE(std::isnan(few.lower) && std::isnan(few.upper)) << "no interval from five values";
    EXPECT_TRUE(std::isnan(centre({}).value));
}

TEST(PairedRatio, ComparesEachRoundAndLeavesOutRoundsWithoutBothFigures) {
    const Estimate steady = pairedRatio({110, 220, 55, 330, 121, 99}, {100, 200, 50, 300, 110, 90});
    EXPECT_EQ(steady.count, 6u);
    EXPECT_DOUBLE_EQ(steady.value, 1.1);
    EXPECT_DOUBLE_EQ(steady.lower, 1.1);
    EXPECT_DOUBLE_EQ(steady.upper, 1.1);

    const double nan = std::nan("");
    const Estimate gaps = pairedRatio({110, 0, 220, nan, 55, 330, 121, 99}, {100, 50, 200, 40, 50, 300, 110, 90, 70});
    EXPECT_EQ(gaps.count, 6u) << "a zero, a missing figure and a round without a partner are left out";
    EXPECT_DOUBLE_EQ(gaps.value, 1.1);

    // Estimated on the logarithmic scale: swapping the programs gives exactly the inverse.
    const std::vector<double> a = {130, 90, 105, 170, 101, 99, 160}, b = {100, 100, 100, 100, 100, 100, 100};
    const Estimate ab = pairedRatio(a, b), ba = pairedRatio(b, a);
    EXPECT_NEAR(ab.value * ba.value, 1, 1e-12);
    EXPECT_NEAR(ab.lower * ba.upper, 1, 1e-12);
}

TEST(PairedRatioDifference, IsTheDifferenceOfEachRoundsRatiosToTheReference) {
    const Estimate d = pairedRatioDifference({120, 240, 60, 360, 132, 108}, {110, 220, 55, 330, 121, 99},
                                             {100, 200, 50, 300, 110, 90});
    EXPECT_EQ(d.count, 6u);
    EXPECT_NEAR(d.value, 0.1, 1e-12);
    EXPECT_NEAR(d.lower, 0.1, 1e-12);
    EXPECT_NEAR(d.upper, 0.1, 1e-12);
}

TEST(Judge, MetOnlyWhenTheEstimateAndTheIntervalsUpperEndAreBothAtOrUnderTheirLimits) {
    const Target target = {1.02, 1.05};
    const auto verdict = [&](double value, double lower, double upper) {
        return judge({31, value, lower, upper}, target);
    };
    EXPECT_EQ(verdict(1.02, 0.99, 1.05), Verdict::Met) << "both at their limits meet them";
    EXPECT_EQ(verdict(1.021, 0.99, 1.04), Verdict::CannotTell) << "the estimate just above";
    EXPECT_EQ(verdict(1.00, 0.97, 1.051), Verdict::CannotTell) << "the interval reaching just above";
    EXPECT_EQ(verdict(1.04, 1.021, 1.06), Verdict::NotMet) << "the whole interval above the estimate's limit";
    EXPECT_EQ(verdict(1.04, 1.02, 1.06), Verdict::CannotTell) << "its lower end at the limit";
    EXPECT_EQ(judge(centre({1, 1.01, 1.0}), target), Verdict::CannotTell) << "no interval, no verdict";
    EXPECT_STREQ(verdictName(Verdict::NotMet), "NOT met");
}

TEST(RunsAt, EveryProgramRunsAtEveryPlaceAndAfterEveryOtherEquallyOften) {
    for (std::size_t count : {2u, 3u, 4u, 5u}) {
        std::vector<std::vector<int>> atPlace(count, std::vector<int>(count)), after(count, std::vector<int>(count));
        for (std::size_t round = 0; round < 2 * count; ++round) {
            std::vector<bool> ran(count);
            for (std::size_t place = 0; place < count; ++place) {
                const std::size_t which = runsAt(round, place, count);
                ran[which] = true;
                ++atPlace[which][place];
                if (place > 0) ++after[which][runsAt(round, place - 1, count)];
            }
            EXPECT_EQ(std::count(ran.begin(), ran.end(), true), static_cast<long>(count)) << "each runs once a round";
        }
        for (std::size_t a = 0; a < count; ++a)
            for (std::size_t b = 0; b < count; ++b) {
                EXPECT_EQ(atPlace[a][b], 2) << count << " programs: program " << a << " at place " << b;
                if (a != b) {
                    EXPECT_EQ(after[a][b], 2) << count << " programs: " << a << " after " << b;
                }
            }
    }
}

TEST(IdlesIn, OneRoundInEveryBlockAndEveryOrderOnceOverTheCycle) {
    for (std::size_t count : {2u, 3u, 4u})
        for (std::size_t every : {2u, 6u, 7u, 10u}) {
            const std::size_t orders = 2 * count;  // runsAt's cycle
            std::vector<int> turns(orders);
            for (std::size_t block = 0; block < orders; ++block) {
                int idle = 0;
                for (std::size_t round = block * every; round < (block + 1) * every; ++round)
                    if (idlesIn(round, every, count)) {
                        ++idle;
                        ++turns[round % orders];
                    }
                EXPECT_EQ(idle, 1) << count << " programs, every " << every << ": block " << block;
            }
            for (std::size_t turn = 0; turn < orders; ++turn)
                EXPECT_EQ(turns[turn], 1) << count << " programs, every " << every << ": the order of turn " << turn;
        }
    EXPECT_FALSE(idlesIn(0, 0, 2) || idlesIn(5, 0, 2)) << "none for 0";
    EXPECT_TRUE(idlesIn(0, 1, 2) && idlesIn(5, 1, 2)) << "all for 1";
}

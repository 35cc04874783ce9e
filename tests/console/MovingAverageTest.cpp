#include <deque>
#include <stdexcept>

#include <gtest/gtest.h>

#include "console/MovingAverage.h"

namespace orvane {
namespace {

double mean(const MovingAverage& average) { return average.sum() / static_cast<double>(average.items().size()); }

TEST(MovingAverageTest, FirstSampleIsItsOwnMean) {
    MovingAverage average(20);
    EXPECT_TRUE(average.items().empty());
    EXPECT_EQ(average.sum(), 0.0);

    average.add(0.75);
    EXPECT_EQ(average.items(), std::deque<double>{0.75});
    EXPECT_EQ(mean(average), 0.75);
}

TEST(MovingAverageTest, AFullWindowDropsTheOldestSample) {
    MovingAverage average(20);
    for (int i = 0; i < 20; ++i) average.add(1.0);
    average.add(21.0);

    std::deque<double> expected(19, 1.0);
    expected.push_back(21.0);
    EXPECT_EQ(average.items(), expected);
    EXPECT_EQ(average.sum(), 40.0);
    EXPECT_EQ(mean(average), 2.0);
}

TEST(MovingAverageTest, KeepsExactlyTheLastCapacitySamplesInOrder) {
    MovingAverage average(20);
    for (int i = 1; i <= 25; ++i) average.add(i);

    std::deque<double> expected;
    for (int i = 6; i <= 25; ++i) expected.push_back(i);
    EXPECT_EQ(average.items(), expected);
    EXPECT_EQ(average.sum(), 310.0);  // 6 + ... + 25

    MovingAverage single(1);
    single.add(-1.0);
    single.add(0.5);
    EXPECT_EQ(single.items(), std::deque<double>{0.5});
    EXPECT_EQ(single.sum(), 0.5);
}

TEST(MovingAverageTest, SumIsKeptIncrementallyNotRecomputed) {
    MovingAverage average(2);
    average.add(1e16);
    average.add(1.0);
    average.add(1.0);  // drops 1e16; the first 1.0, absorbed by rounding, stays lost
    EXPECT_EQ(average.sum(), 1.0);
    EXPECT_EQ(average.items(), (std::deque<double>{1.0, 1.0}));
}

TEST(MovingAverageTest, AWindowThatCannotHoldASampleIsRefused) {
    EXPECT_THROW(MovingAverage(0), std::invalid_argument);
    EXPECT_THROW(MovingAverage(-3), std::invalid_argument);
}

}  // namespace
}  // namespace orvane

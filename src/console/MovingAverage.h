#pragma once

#include <cstdint>
#include <deque>

namespace orvane {

// A fixed window of the most recent samples with a running sum. The sum is kept incrementally
// (the oldest sample subtracted, the newest added), so rounding differences may build up over a
// long run. The mean is sum() / items().size(), which add() keeps at least 1.
class MovingAverage {
public:
    // `capacity` must be at least 1 (std::invalid_argument otherwise): a window that can hold
    // nothing would have no mean.
    explicit MovingAverage(std::int64_t capacity);

    void add(double sample);

    std::int64_t capacity() const { return capacity_; }
    double sum() const { return sum_; }
    // Oldest first; never more than capacity() entries.
    const std::deque<double>& items() const { return items_; }

private:
    std::int64_t capacity_;
    double sum_ = 0;
    std::deque<double> items_;
};

}  // namespace orvane

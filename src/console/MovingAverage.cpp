#include "console/MovingAverage.h"

#include <stdexcept>
#include <string>

namespace orvane {

MovingAverage::MovingAverage(std::int64_t capacity) : capacity_(capacity) {
    if (capacity < 1) {
        throw std::invalid_argument("MovingAverage needs a capacity of at least 1, not " + std::to_string(capacity));
    }
}

void MovingAverage::add(double sample) {
    if (static_cast<std::int64_t>(items_.size()) >= capacity_) {
        sum_ -= items_.front();
        items_.pop_front();
    }
    sum_ += sample;
    items_.push_back(sample);
}

}  // namespace orvane

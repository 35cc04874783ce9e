#pragma once

#include <cstdint>
#include <memory>

#include "inspector/ValueInspectorItem.h"

namespace orvane {

// The message-count rows of CAN channels 0 and 1.
class StatisticsGroup {
public:
    StatisticsGroup();

    const std::shared_ptr<ValueInspectorItem<std::int64_t>> canChannel0RxCount;
    const std::shared_ptr<ValueInspectorItem<std::int64_t>> canChannel1RxCount;
};

}  // namespace orvane

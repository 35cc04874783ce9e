#include "inspector/StatisticsGroup.h"

#include "inspector/SharedFormatters.h"
#include "platform/Translation.h"

namespace orvane {

StatisticsGroup::StatisticsGroup()
    : canChannel0RxCount(std::make_shared<ValueInspectorItem<std::int64_t>>(
          translate("StatisticsGroup", "CAN 0 Message Count"), std::int64_t{0}, messageCountFormatter())),
      canChannel1RxCount(std::make_shared<ValueInspectorItem<std::int64_t>>(
          translate("StatisticsGroup", "CAN 1 Message Count"), std::int64_t{0}, messageCountFormatter())) {}

}  // namespace orvane

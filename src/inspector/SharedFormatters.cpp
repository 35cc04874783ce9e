#include "inspector/SharedFormatters.h"

namespace orvane {

const std::shared_ptr<const NumberFormatter>& messageCountFormatter() {
    static const std::shared_ptr<const NumberFormatter> formatter = std::make_shared<NumberFormatter>();
    return formatter;
}

const std::shared_ptr<const DateFormatter>& buildDateFormatter() {
    static const std::shared_ptr<const DateFormatter> formatter =
        std::make_shared<DateFormatter>(DateFormatter::Style::shortStyle, DateFormatter::Style::shortStyle);
    return formatter;
}

const std::shared_ptr<const SpeedFormatter>& speedFormatter() {
    static const std::shared_ptr<const SpeedFormatter> formatter = std::make_shared<SpeedFormatter>();
    return formatter;
}

}  // namespace orvane

#include "inspector/Formatter.h"

#include <ctime>

#include "device/NumberText.h"

namespace orvane {

namespace {

std::string utcDateText(std::chrono::system_clock::time_point date) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(date);
    const std::time_t time = std::chrono::system_clock::to_time_t(seconds);
    std::tm parts{};
    if (!gmtime_r(&time, &parts)) return {};
    char buffer[64];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &parts);
    return std::string(buffer, length);
}

}  // namespace

std::optional<std::string> plainValueText(const FormatterValue& value) {
    struct Visitor {
        std::optional<std::string> operator()(std::monostate) const { return std::nullopt; }
        std::optional<std::string> operator()(double number) const { return numberText(number); }
        std::optional<std::string> operator()(std::int64_t number) const { return std::to_string(number); }
        std::optional<std::string> operator()(std::chrono::system_clock::time_point date) const {
            return utcDateText(date);
        }
        std::optional<std::string> operator()(const std::string& text) const { return text; }
        std::optional<std::string> operator()(const Version& version) const { return version.description(); }
    };
    return std::visit(Visitor{}, value);
}

}  // namespace orvane

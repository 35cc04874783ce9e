#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace orvane {

// The console's log: every status change, connection attempt, link end, update step and
// maneuver run is written to a named category ("orvane.link", "orvane.console", "orvane.update",
// "orvane.maneuver"). The core writes through this small interface and stays free of the
// toolkit; the application installs a sink that hands each entry to Qt's logging categories (so
// QT_LOGGING_RULES filters them).
enum class LogLevel { debug, info, warning, critical };

class LogSink {
public:
    virtual ~LogSink() = default;
    // Called on whichever thread logged.
    virtual void write(std::string_view category, LogLevel level, std::string_view message) = 0;
};

// The sink every entry goes to; none (the default) drops them. Returns the sink it replaces.
std::shared_ptr<LogSink> setLogSink(std::shared_ptr<LogSink> sink);

void log(std::string_view category, LogLevel level, std::string_view message);
inline void logInfo(std::string_view category, std::string_view message) { log(category, LogLevel::info, message); }
inline void logWarning(std::string_view category, std::string_view message) {
    log(category, LogLevel::warning, message);
}

// The categories in use.
inline constexpr std::string_view kLinkLog = "orvane.link";
inline constexpr std::string_view kConsoleLog = "orvane.console";
inline constexpr std::string_view kUpdateLog = "orvane.update";
inline constexpr std::string_view kManeuverLog = "orvane.maneuver";

}  // namespace orvane

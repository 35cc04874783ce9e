#pragma once

#include <QLoggingCategory>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Log.h"

namespace orvane {

// Hands the core's log entries to Qt's logging categories of the same names ("orvane.link",
// ...), enabled from info level up: they reach standard error through Qt's message handler and
// are filtered with QT_LOGGING_RULES as usual.
class QtLogSink : public LogSink {
public:
    void write(std::string_view category, LogLevel level, std::string_view message) override;

    // The category object of `name`, made on first use.
    const QLoggingCategory& category(std::string_view name);

private:
    std::mutex mutex_;
    // Qt keeps the category's name pointer: the strings live as long as the categories.
    std::map<std::string, std::unique_ptr<QLoggingCategory>, std::less<>> categories_;
};

}  // namespace orvane

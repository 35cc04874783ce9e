#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Log.h"

namespace orvane::testing {

// Collects what is logged, as "category: message", while it is the log's sink.
struct LogLines : LogSink {
    void write(std::string_view category, LogLevel, std::string_view message) override {
        std::lock_guard lock(mutex);
        lines.push_back(std::string(category) + ": " + std::string(message));
    }
    bool contains(const std::string& text) {
        std::lock_guard lock(mutex);
        for (const auto& line : lines) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

// Makes a LogLines the log's sink for its lifetime, then puts the previous sink back.
class CapturedLog {
public:
    CapturedLog() : lines_(std::make_shared<LogLines>()), previous_(setLogSink(lines_)) {}
    ~CapturedLog() { setLogSink(previous_); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;
    bool contains(const std::string& text) { return lines_->contains(text); }
    const std::shared_ptr<LogLines>& lines() const { return lines_; }

private:
    std::shared_ptr<LogLines> lines_;
    std::shared_ptr<LogSink> previous_;
};

}  // namespace orvane::testing

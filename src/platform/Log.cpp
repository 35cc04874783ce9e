#include "platform/Log.h"

#include <mutex>
#include <utility>

namespace orvane {

namespace {

struct SinkSlot {
    std::mutex mutex;
    std::shared_ptr<LogSink> sink;
};

SinkSlot& slot() {
    static SinkSlot instance;
    return instance;
}

}  // namespace

std::shared_ptr<LogSink> setLogSink(std::shared_ptr<LogSink> sink) {
    std::lock_guard lock(slot().mutex);
    return std::exchange(slot().sink, std::move(sink));
}

void log(std::string_view category, LogLevel level, std::string_view message) {
    // The entry goes to the sink that was installed when it was written, outside the lock.
    std::shared_ptr<LogSink> sink;
    {
        std::lock_guard lock(slot().mutex);
        sink = slot().sink;
    }
    if (sink) sink->write(category, level, message);
}

}  // namespace orvane

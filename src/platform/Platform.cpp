#include <cstring>
#include <mutex>

#include "platform/Error.h"
#include "platform/Widgets.h"

namespace orvane {

ErrorRef makeSystemError(const std::string& what, int errnoValue) {
    return std::make_shared<PlatformError>("POSIX", errnoValue, what + ": " + std::strerror(errnoValue));
}

namespace {
std::mutex& eventProviderMutex() {
    static std::mutex mutex;
    return mutex;
}
std::function<std::optional<EventType>()>& eventProvider() {
    static std::function<std::optional<EventType>()> provider;
    return provider;
}
}  // namespace

std::optional<EventType> currentEventType() {
    std::lock_guard lock(eventProviderMutex());
    return eventProvider() ? eventProvider()() : std::nullopt;
}

void setCurrentEventTypeProvider(std::function<std::optional<EventType>()> provider) {
    std::lock_guard lock(eventProviderMutex());
    eventProvider() = std::move(provider);
}

}  // namespace orvane

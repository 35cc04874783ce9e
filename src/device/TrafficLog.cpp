#include "device/TrafficLog.h"

#include <algorithm>
#include <utility>

#include "device/ValueSyntax.h"

namespace orvane {

namespace {

bool needsQuotes(std::string_view text) {
    if (text.empty()) return true;
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f || c == '=' || c == '"' || c == '\\';
    });
}

}  // namespace

std::string trafficToken(std::string_view text) {
    if (!needsQuotes(text)) return escapedDeviceText(text);
    return '"' + escapedDeviceText(text) + '"';
}

std::string trafficFieldsText(const DeviceReport& message) {
    std::string text;
    for (const auto& [key, value] : message.fields) {
        if (!text.empty()) text.push_back(' ');
        text += trafficToken(key);
        text.push_back('=');
        text += trafficToken(value);
    }
    return text;
}

std::string_view directionText(TrafficDirection direction) {
    return direction == TrafficDirection::sent ? "sent" : "received";
}

std::string trafficEntryText(const TrafficEntry& entry) {
    std::string text = internetDateTimeText(std::chrono::floor<std::chrono::milliseconds>(entry.systemTime));
    text.push_back(' ');
    text.append(directionText(entry.direction));
    text.push_back(' ');
    text += trafficToken(entry.message.name);
    if (!entry.message.fields.empty()) {
        text.push_back(' ');
        text += trafficFieldsText(entry.message);
    }
    return text;
}

TrafficLog::TrafficLog(std::size_t queueCapacity, std::size_t historyCapacity)
    : queueCapacity_(std::max<std::size_t>(queueCapacity, 1)),
      historyCapacity_(std::max<std::size_t>(historyCapacity, 1)) {
    // Both vectors keep this capacity as they are swapped, so a push never allocates a slot.
    queue_.reserve(queueCapacity_);
    draining_.reserve(queueCapacity_);
    spare_.reserve(kMaximumSpareEntries);
    recycling_.reserve(kMaximumSpareEntries);
}

bool TrafficLog::push(TrafficDirection direction, const DeviceReport& message) {
    TrafficEntry entry;
    {
        // A full queue (the window's thread stalls) drops the entry: count it without copying
        // the message first.
        std::lock_guard lock(mutex_);
        if (queue_.size() >= queueCapacity_) {
            ++dropped_;
            return false;
        }
        if (!spare_.empty()) {
            entry = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    // Copied over an entry that left the history: its name's and fields' storage is reused,
    // so a push allocates only where the message is longer than the one before.
    entry.steadyTime = std::chrono::steady_clock::now();
    entry.systemTime = std::chrono::system_clock::now();
    entry.direction = direction;
    entry.message.name = message.name;
    entry.message.fields = message.fields;
    return push(std::move(entry));
}

bool TrafficLog::push(TrafficEntry entry) {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= queueCapacity_) {
        ++dropped_;
        return false;
    }
    queue_.push_back(std::move(entry));
    return true;
}

TrafficLog::DrainResult TrafficLog::drain() {
    {
        std::lock_guard lock(mutex_);
        queue_.swap(draining_);
    }
    DrainResult result;
    // Entries beyond what the history can hold would be dropped at once: skip them.
    const std::size_t skipped = draining_.size() > historyCapacity_ ? draining_.size() - historyCapacity_ : 0;
    result.appended = draining_.size() - skipped;
    const std::size_t overflow =
        history_.size() + result.appended > historyCapacity_ ? history_.size() + result.appended - historyCapacity_ : 0;
    result.removedFromFront = overflow;
    removed_ += overflow;
    for (auto entry = draining_.begin() + static_cast<std::ptrdiff_t>(skipped); entry != draining_.end(); ++entry) {
        history_.push_back(std::move(*entry));
    }
    draining_.clear();
    // The entries that leave the history go back to the producer (up to kMaximumSpareEntries)
    // for the next pushes to copy over, instead of being freed here and allocated again there.
    for (std::size_t i = 0; i < overflow && recycling_.size() < kMaximumSpareEntries; ++i) {
        recycling_.push_back(std::move(history_[i]));
    }
    history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(overflow));
    if (!recycling_.empty()) {
        std::lock_guard lock(mutex_);
        while (!recycling_.empty() && spare_.size() < kMaximumSpareEntries) {
            spare_.push_back(std::move(recycling_.back()));
            recycling_.pop_back();
        }
    }
    recycling_.clear();
    return result;
}

bool TrafficLog::drainIfDue(std::chrono::steady_clock::time_point now) {
    if (lastDrain_ && now - *lastDrain_ < kDrainInterval) return false;
    lastDrain_ = now;
    drain();
    return true;
}

std::vector<std::size_t> TrafficLog::matching(std::string_view name, std::size_t from) const {
    std::vector<std::size_t> indices;
    for (std::size_t i = from; i < history_.size(); ++i) {
        if (name.empty() || history_[i].message.name == name) indices.push_back(i);
    }
    return indices;
}

std::vector<const TrafficEntry*> TrafficLog::filtered(std::string_view name) const {
    std::vector<const TrafficEntry*> entries;
    for (std::size_t i : matching(name)) entries.push_back(&history_[i]);
    return entries;
}

std::uint64_t TrafficLog::droppedCount() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void TrafficLog::clear() {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        dropped_ = 0;
    }
    history_.clear();
    removed_ = 0;
    ++clears_;
}

}  // namespace orvane

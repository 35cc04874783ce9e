#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace orvane {

// Stands for one observer added to a session; handing it back removes that observer. The value 0
// stands for none.
struct ObserverId {
    std::uint64_t value = 0;

    explicit operator bool() const { return value != 0; }
    friend bool operator==(ObserverId, ObserverId) = default;
};

// The observers of one kind, in the order they were added.
//
// Observers are added and removed rarely (on the main thread) and called often (on the exchange
// thread, a hundred times a second and more). So a change copies the list and swaps in the copy,
// and a call takes the current list as an immutable snapshot: the lock is held only to copy one
// shared pointer, nothing is allocated, and the observers run outside the lock, free to add or
// remove observers themselves. An observer removed while a call is under way may still be called
// once by that call.
template <typename Observer>
class ObserverList {
public:
    struct Entry {
        ObserverId id;
        Observer observer;
    };
    using Snapshot = std::shared_ptr<const std::vector<Entry>>;

    void add(ObserverId id, Observer observer) {
        std::lock_guard lock(mutex_);
        auto changed = std::make_shared<std::vector<Entry>>(*entries_);
        changed->push_back(Entry{id, std::move(observer)});
        entries_ = std::move(changed);
    }

    // False when no observer has the id.
    bool remove(ObserverId id) {
        std::lock_guard lock(mutex_);
        const auto found =
            std::find_if(entries_->begin(), entries_->end(), [id](const Entry& entry) { return entry.id == id; });
        if (found == entries_->end()) return false;
        auto changed = std::make_shared<std::vector<Entry>>(*entries_);
        changed->erase(changed->begin() + (found - entries_->begin()));
        entries_ = std::move(changed);
        return true;
    }

    Snapshot snapshot() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    Snapshot entries_ = std::make_shared<const std::vector<Entry>>();
};

}  // namespace orvane

#include "platform/NotificationCenter.h"

#include <algorithm>

#include "platform/MainQueue.h"

namespace orvane {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(const std::string& name, const Object* object,
                                                                  Delivery delivery,
                                                                  std::function<void(const Notification&)> block) {
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->object = object;
    entry->delivery = delivery;
    entry->block = std::move(block);
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(entry);
    }
    return std::make_unique<Token>(entry);
}

NotificationCenter::Token::~Token() { NotificationCenter::defaultCenter().remove(entry_); }

void NotificationCenter::remove(const std::shared_ptr<Entry>& entry) {
    {
        // Waits for a block of this entry that runs on another thread; a block may remove its
        // own observation (the lock is recursive).
        std::lock_guard lifetime(entry->lifetime);
        entry->removed = true;
    }
    std::lock_guard lock(mutex_);
    entries_.erase(std::remove(entries_.begin(), entries_.end(), entry), entries_.end());
}

void NotificationCenter::post(const std::string& name, Object* object) {
    std::vector<std::shared_ptr<Entry>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : entries_) {
            if (entry->name == name && (entry->object == nullptr || entry->object == object)) {
                matching.push_back(entry);
            }
        }
    }
    const Notification notification{name, object};
    for (const auto& entry : matching) {
        auto deliver = [entry, &notification] {
            std::lock_guard lifetime(entry->lifetime);
            if (!entry->removed) entry->block(notification);
        };
        if (entry->delivery == Delivery::mainQueue && !MainQueue::shared().isMainThread()) {
            MainQueue::shared().sync(deliver);
        } else {
            deliver();
        }
    }
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace orvane

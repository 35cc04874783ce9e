#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Object.h"

namespace orvane {

struct Notification {
    std::string name;
    Object* object = nullptr;  // the sender the notification is about, or none
};

// The process-wide notification centre: post by name with an object, observe by name.
class NotificationCenter {
public:
    // Where an observer's block runs.
    enum class Delivery {
        postingThread,  // synchronously, on the thread that posts
        mainQueue,      // on the main queue: at once when posted there, else synchronously
    };

    class Token;
    using ObserverToken = std::unique_ptr<Token>;

    static NotificationCenter& defaultCenter();

    // Observes `name` (from `object` only, when one is given). The observation lasts as long as
    // the returned token.
    [[nodiscard]] ObserverToken addObserver(const std::string& name, const Object* object, Delivery delivery,
                                            std::function<void(const Notification&)> block);

    void post(const std::string& name, Object* object);

    std::size_t observerCount() const;

    struct Entry {
        std::string name;
        const Object* object;
        Delivery delivery;
        std::function<void(const Notification&)> block;
        std::recursive_mutex lifetime;  // held while the block runs, and by removal
        bool removed = false;
    };

    class Token {
    public:
        explicit Token(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
        ~Token();
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;

    private:
        std::shared_ptr<Entry> entry_;
    };

private:
    NotificationCenter() = default;
    void remove(const std::shared_ptr<Entry>& entry);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
};

using ObserverToken = NotificationCenter::ObserverToken;

}  // namespace orvane

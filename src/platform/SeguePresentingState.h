#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/SegueCallbackPresenter.h"
#include "platform/ViewControllerBase.h"

namespace orvane {

// Carries a preparation closure for a destination controller of type D through a segue's sender.
template <typename D>
class SeguePresentingState : public SegueCallbackPresenter {
public:
    using Handler = std::function<void(D&)>;

    explicit SeguePresentingState(Handler handler) : handler_(std::move(handler)) {}

    // Calls the handler once with the segue's destination. A destination of another type is a
    // fault of the caller's segue: std::logic_error, and the handler is not called.
    void handleSegue(const StoryboardSegue& segue) override {
        auto destination = std::dynamic_pointer_cast<D>(segue.destinationController);
        if (!destination) {
            throw std::logic_error("The destination of the segue \"" + segue.identifier +
                                   "\" is not of the type its handler expects");
        }
        if (handler_) handler_(*destination);
    }

private:
    const Handler handler_;
};

}  // namespace orvane

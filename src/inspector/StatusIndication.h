#pragma once

#include <string>

namespace orvane {

class ImageView;
class TextField;

// The state of a status lamp together with the text written beside it. Used for the vehicle
// status and the torque-overlay rows of the inspector.
class StatusIndication {
public:
    enum class Case {
        none,       // nothing to report, or not active: empty lamp
        negative,   // fault or failure: red lamp
        warning,    // attention, transitional or degraded: yellow lamp
        positive,   // working, active, connected: green lamp
        unknown,    // no information: empty lamp, but a state of its own
        replaying,  // a recording is shown, not the device: blue lamp
    };

    StatusIndication(Case state, std::string text) : state_(state), text_(std::move(text)) {}

    static StatusIndication none(std::string text) { return {Case::none, std::move(text)}; }
    static StatusIndication negative(std::string text) { return {Case::negative, std::move(text)}; }
    static StatusIndication warning(std::string text) { return {Case::warning, std::move(text)}; }
    static StatusIndication positive(std::string text) { return {Case::positive, std::move(text)}; }
    static StatusIndication unknown(std::string text) { return {Case::unknown, std::move(text)}; }
    static StatusIndication replaying(std::string text) { return {Case::replaying, std::move(text)}; }

    Case state() const { return state_; }
    const std::string& text() const { return text_; }

    // The name of the standard status image that shows this state.
    const char* imageName() const;

    // Shows the lamp in the image view and the text in the text field; either may be absent,
    // and a missing one does not keep the other from being set.
    void apply(ImageView* imageView, TextField* textField) const;

    bool operator==(const StatusIndication&) const = default;

private:
    Case state_;
    std::string text_;
};

}  // namespace orvane

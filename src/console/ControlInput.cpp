#include "console/ControlInput.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "device/NumberText.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

// ⌊value⌋ as the labels print it: a whole number followed by ".0".
std::string flooredText(double value) {
    const double floored = std::floor(value);
    if (!std::isfinite(floored)) return numberText(floored);
    return std::to_string(static_cast<long long>(floored)) + ".0";
}

}  // namespace

double deadZonedStickX(double x, double y, double deadZone) {
    const double length = std::hypot(x, y);
    if (!(length > deadZone)) return 0;  // inside the zone, or not a number
    const double scaled = x / length * ((length - deadZone) / (1 - deadZone));
    return std::clamp(scaled, -1.0, 1.0);
}

void GamepadControl::setSettings(const GamepadSettings& settings) {
    if (!(settings.deadZone >= 0 && settings.deadZone <= GamepadSettings::maximumDeadZone)) {
        throw std::invalid_argument("the gamepad dead zone must be from 0 to " +
                                    numberText(GamepadSettings::maximumDeadZone));
    }
    settings_ = settings;
}

GamepadControl::Requests GamepadControl::poll(const ExtendedGamepad* pad) {
    Requests requests;

    if (settings_.holdToEnable && !(pad && pad->enableButtonPressed())) {
        // Not enabled: nothing is requested, and no earlier sample may come back on enabling.
        forgetSamples();
        requests.released = pad == nullptr;
        return requests;
    }

    const float lt = pad ? pad->leftTrigger() : 0.0f;
    const float rt = pad ? pad->rightTrigger() : 0.0f;
    const double lx = pad ? deadZonedStickX(pad->leftThumbstickX(), pad->leftThumbstickY(), settings_.deadZone) : 0;
    const double rx = pad ? deadZonedStickX(pad->rightThumbstickX(), pad->rightThumbstickY(), settings_.deadZone) : 0;

    const double longitudinal = static_cast<double>(lt > 0 ? -lt : rt);
    // 0 - v rather than -v: an inverted 0 stays +0 and is not sent as "-0.0".
    requests.longitudinal = settings_.invertLongitudinal ? 0.0 - longitudinal : longitudinal;

    // Inverting the sample rather than the mean turns a change of the setting while a stick is
    // held into a ramp through the average instead of a jump to the opposite side.
    const double sample = (rx + lx) * -0.5;
    lateralAverage_.add(settings_.invertLateral ? 0.0 - sample : sample);
    requests.lateral = lateralAverage_.sum() / static_cast<double>(lateralAverage_.items().size());

    if (!pad) {
        const auto& items = lateralAverage_.items();
        requests.released = std::all_of(items.begin(), items.end(), [](double v) { return v == 0; });
    }
    return requests;
}

void GamepadControl::forgetSamples() {
    lateralAverage_ = MovingAverage(lateralAverageCapacity);
    for (std::int64_t i = 0; i < lateralAverageCapacity; ++i) lateralAverage_.add(0);
}

ControlLabel longitudinalControlLabel(double v) {
    if (v < 0) return {withArgs(translate("ControlInput", "%1% Brake"), flooredText(v * -100)), Color::systemRed};
    if (v > 0) return {withArgs(translate("ControlInput", "%1% Engine"), flooredText(v * 100)), Color::systemGreen};
    return {translate("ControlInput", "No longitudinal control requested."), Color::label};
}

ControlLabel lateralControlLabel(double v) {
    if (v != 0 || std::isnan(v)) {
        const std::string percent = flooredText(v * 100);
        return {v > 0 ? withArgs(translate("ControlInput", "%1% Clockwise"), percent)
                      : withArgs(translate("ControlInput", "%1% Counterclockwise"), percent),
                Color::label};
    }
    return {translate("ControlInput", "No lateral control requested."), Color::label};
}

}  // namespace orvane

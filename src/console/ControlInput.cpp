#include "console/ControlInput.h"

#include <algorithm>
#include <cmath>

#include "device/NumberText.h"

namespace orvane {

namespace {

// ⌊value⌋ as the labels print it: a whole number followed by ".0".
std::string flooredText(double value) {
    const double floored = std::floor(value);
    if (!std::isfinite(floored)) return numberText(floored);
    return std::to_string(static_cast<long long>(floored)) + ".0";
}

}  // namespace

GamepadControl::Requests GamepadControl::poll(const ExtendedGamepad* pad) {
    const float lt = pad ? pad->leftTrigger() : 0.0f;
    const float rt = pad ? pad->rightTrigger() : 0.0f;
    const float lx = pad ? pad->leftThumbstickX() : 0.0f;
    const float rx = pad ? pad->rightThumbstickX() : 0.0f;

    Requests requests;
    requests.longitudinal = static_cast<double>(lt > 0 ? -lt : rt);

    const float sample = (rx + lx) * -0.5f;
    lateralAverage_.add(static_cast<double>(sample));
    requests.lateral = lateralAverage_.sum() / static_cast<double>(lateralAverage_.items().size());

    if (!pad) {
        const auto& items = lateralAverage_.items();
        requests.released = std::all_of(items.begin(), items.end(), [](double v) { return v == 0; });
    }
    return requests;
}

ControlLabel longitudinalControlLabel(double v) {
    if (v < 0) return {flooredText(v * -100) + "% Brake", Color::systemRed};
    if (v > 0) return {flooredText(v * 100) + "% Engine", Color::systemGreen};
    return {"No longitudinal control requested.", Color::label};
}

ControlLabel lateralControlLabel(double v) {
    if (v != 0 || std::isnan(v)) {
        return {flooredText(v * 100) + "% " + (v > 0 ? "Clockwise" : "Counterclockwise"), Color::label};
    }
    return {"No lateral control requested.", Color::label};
}

}  // namespace orvane

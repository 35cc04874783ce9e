#include "console/RequestArbiter.h"

#include <cmath>
#include <exception>

#include "platform/Log.h"

namespace orvane {

namespace {

bool isMagnitude(double value) { return std::isfinite(value) && std::fabs(value) <= 1; }

}  // namespace

const char* requestSourceName(RequestSource source) {
    switch (source) {
        case RequestSource::replayHold: return "the replay's hold";
        case RequestSource::maneuverSuite: return "the maneuver suite";
        case RequestSource::gamepad: return "the gamepad";
        case RequestSource::sliders: return "the sliders";
    }
    return "a source";
}

std::optional<ControlRequest> RequestArbiter::ask(RequestSource source) {
    Slot& slot = sources_[index(source)];
    if (!slot.offer) return std::nullopt;
    std::string fault;
    try {
        const std::optional<ControlRequest> offered = slot.offer();
        if (!offered) return std::nullopt;
        if (isMagnitude(offered->lateral) && isMagnitude(offered->longitudinal)) {
            slot.faulted = false;
            return offered;
        }
        fault = "offered a request that is not a magnitude (lateral " + std::to_string(offered->lateral) +
                ", longitudinal " + std::to_string(offered->longitudinal) + ")";
    } catch (const std::exception& error) {
        fault = std::string("failed: ") + error.what();
    } catch (...) {
        fault = "failed";
    }
    if (!slot.faulted) logWarning(kConsoleLog, std::string(requestSourceName(source)) + " " + fault + "; not sent");
    slot.faulted = true;
    return std::nullopt;
}

RequestArbiter::Decision RequestArbiter::decide() {
    Decision decision;
    for (std::size_t i = 0; i < kRequestSourceCount; ++i) {
        const auto source = static_cast<RequestSource>(i);
        if (auto request = ask(source)) {
            decision = {source, *request};
            break;
        }
    }
    last_ = decision;
    const bool selfWritten = decision.source && sources_[index(*decision.source)].writer == Writer::source;
    if (target_ && !selfWritten) target_(decision.request);
    return decision;
}

ControlStates controlStatesFor(std::optional<RequestSource> active, LinkState link, bool deviceChosen) {
    ControlStates states;
    if (active == RequestSource::replayHold) return states;
    const bool connected =
        link == LinkState::responding || link == LinkState::notResponding || link == LinkState::bootloader;
    if (active == RequestSource::maneuverSuite) {
        // The suite alone drives the device; Disconnect stays as the way out it always is.
        states.connectButton = connected;
        return states;
    }
    states.sliders = true;
    states.gamepadList = true;
    states.deviceList = true;
    states.connectButton = connected || (deviceChosen && link != LinkState::connecting);
    states.firmwareAction = connected;
    states.runManeuvers = link == LinkState::responding;
    return states;
}

}  // namespace orvane

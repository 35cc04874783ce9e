#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace orvane {

// Where a control request comes from, highest precedence first: a shown replay holds the
// device at 0, a running maneuver suite drives it, then the chosen gamepad, then the sliders.
enum class RequestSource { replayHold, maneuverSuite, gamepad, sliders };
inline constexpr std::size_t kRequestSourceCount = 4;
const char* requestSourceName(RequestSource source);

// The two request magnitudes, each from -1 to 1.
struct ControlRequest {
    double lateral = 0;
    double longitudinal = 0;
    friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

// One place that decides each request. Every source offers its request or nothing; the
// arbiter takes the offer of the highest precedence and writes it once. A source that throws,
// or offers a value that is not a magnitude (not a number, beyond ±1), offers nothing: it is
// logged once (until it offers a sound value again) and never written. Without any offer the
// request is 0 on both channels.
//
// Main thread only; no clock and no Qt, so the choice is tested as a table.
class RequestArbiter {
public:
    using Offer = std::function<std::optional<ControlRequest>()>;
    using Target = std::function<void(const ControlRequest&)>;

    explicit RequestArbiter(Target target) : target_(std::move(target)) {}

    // A source the arbiter writes for, or one that puts its requests on the wire itself (a
    // maneuver suite, from its own thread): its offer is chosen and shown like any other, but the
    // arbiter writes nothing while it is chosen, so that it never writes over the source's own
    // later request (an abort's 0, say) with the value it read a moment before.
    enum class Writer { arbiter, source };
    void setSource(RequestSource source, Offer offer, Writer writer = Writer::arbiter) {
        sources_[index(source)] = {std::move(offer), writer};
    }

    struct Decision {
        std::optional<RequestSource> source;  // none: no source offered, the request is 0
        ControlRequest request;
        friend bool operator==(const Decision&, const Decision&) = default;
    };
    // Asks the sources in order of precedence, writes the request chosen into the target (unless
    // its source writes itself) and returns what was chosen.
    Decision decide();
    const Decision& lastDecision() const { return last_; }

private:
    static std::size_t index(RequestSource source) { return static_cast<std::size_t>(source); }
    std::optional<ControlRequest> ask(RequestSource source);

    struct Slot {
        Offer offer;
        Writer writer = Writer::arbiter;
        bool faulted = false;  // logged; quiet until it offers a sound value again
    };
    std::array<Slot, kRequestSourceCount> sources_{};
    Target target_;
    Decision last_;
};

// The console's controls as the active source and the link allow them.
enum class LinkState {
    none,           // no session
    connecting,     // a connect is under way
    responding,     // connected, and the firmware answers
    notResponding,  // connected, but silent
    bootloader,     // connected to the device's bootloader
};

struct ControlStates {
    bool sliders = false;         // the two request sliders take input
    bool gamepadList = false;     // a gamepad can be chosen
    bool deviceList = false;      // a device can be chosen
    bool connectButton = false;   // Connect / Disconnect
    bool firmwareAction = false;  // Check for Update / Install Firmware
    bool runManeuvers = false;    // Test ▸ Run Maneuvers…
    friend bool operator==(const ControlStates&, const ControlStates&) = default;
};

// What each control may do: nothing acts on the device while a replay is shown; while a suite
// runs only the suite drives it (the sliders and the gamepad list wait, nothing else starts);
// otherwise the link decides. `deviceChosen`: a device is selected (Connect needs one).
ControlStates controlStatesFor(std::optional<RequestSource> active, LinkState link, bool deviceChosen);

}  // namespace orvane

#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "console/RequestArbiter.h"

namespace orvane {
namespace {

using Source = RequestSource;

// Which sources offer decides what is written: the highest that offers a sound request wins; a
// source that offers nonsense or throws is passed over (and logged once), never written; a suite,
// which writes on its own thread, is chosen but not written over.
TEST(RequestArbiter, TheHighestSoundOfferIsWrittenOnce) {
    const ControlRequest held{0.98, -0.5}, pad{-0.3, 0.2}, suite{0.2, 0};
    struct Case {
        const char* what;
        std::optional<ControlRequest> replay, maneuver, gamepad, sliders;
        bool gamepadThrows;
        std::optional<Source> source;
        std::optional<ControlRequest> written;
    };
    const Case cases[] = {
        {"nothing offers", {}, {}, {}, {}, false, {}, ControlRequest{}},
        {"the sliders alone", {}, {}, {}, held, false, Source::sliders, held},
        {"the gamepad over the sliders", {}, {}, pad, held, false, Source::gamepad, pad},
        {"a suite over both", {}, suite, pad, held, false, Source::maneuverSuite, std::nullopt},
        {"a replay holds 0 over everything", ControlRequest{}, suite, pad, held, false, Source::replayHold,
         ControlRequest{}},
        {"a gamepad beyond 1", {}, {}, ControlRequest{1.5, 0}, held, false, Source::sliders, held},
        {"a gamepad of NaN", {}, {}, ControlRequest{0, NAN}, {}, false, {}, ControlRequest{}},
        {"a gamepad that throws", {}, {}, pad, held, true, Source::sliders, held},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ControlRequest> writes;
        RequestArbiter arbiter([&](const ControlRequest& request) { writes.push_back(request); });
        arbiter.setSource(Source::replayHold, [&] { return c.replay; });
        arbiter.setSource(
            Source::maneuverSuite, [&] { return c.maneuver; }, RequestArbiter::Writer::source);
        arbiter.setSource(Source::gamepad, [&]() -> std::optional<ControlRequest> {
            if (c.gamepadThrows) throw std::runtime_error("the pad went away");
            return c.gamepad;
        });
        arbiter.setSource(Source::sliders, [&] { return c.sliders; });
        const auto decision = arbiter.decide();
        EXPECT_EQ(decision.source, c.source);
        ASSERT_EQ(writes.size(), c.written ? 1u : 0u);
        if (c.written) {
            EXPECT_EQ(writes[0], *c.written);
        }
    }
}

// The controls follow the active source and the link from one table.
TEST(RequestArbiter, ControlsFollowTheActiveSourceAndTheLink) {
    struct Case {
        std::optional<Source> active;
        LinkState link;
        bool deviceChosen;
        ControlStates states;  // sliders, gamepad list, device list, connect, firmware, run maneuvers
    };
    const Case cases[] = {
        {{}, LinkState::none, false, {true, true, true, false, false, false}},
        {{}, LinkState::none, true, {true, true, true, true, false, false}},
        {Source::sliders, LinkState::connecting, true, {true, true, true, false, false, false}},
        {Source::gamepad, LinkState::responding, true, {true, true, true, true, true, true}},
        {{}, LinkState::notResponding, true, {true, true, true, true, true, false}},
        {{}, LinkState::bootloader, true, {true, true, true, true, true, false}},
        {Source::maneuverSuite, LinkState::responding, true, {false, false, false, true, false, false}},
        {Source::maneuverSuite, LinkState::none, true, {false, false, false, false, false, false}},
        {Source::replayHold, LinkState::responding, true, {false, false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.active ? requestSourceName(*c.active) : "no source") << ", link "
                                        << int(c.link) << ", device chosen " << c.deviceChosen);
        EXPECT_EQ(controlStatesFor(c.active, c.link, c.deviceChosen), c.states);
    }
}

}  // namespace
}  // namespace orvane

#include "maneuver/ManeuverSuite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <numbers>
#include <optional>

#include <nlohmann/json.hpp>

#include "device/NumberText.h"
#include "maneuver/ManeuverMetrics.h"
#include "maneuver/ManeuverRunner.h"
#include "platform/OneLineText.h"
#include "platform/SmallFile.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

using nlohmann::json;

// Bounds that keep a suite to what a test drive can mean, and its tick counts far from overflow.
constexpr double kLongestSeconds = 3600;
constexpr int kMostRepeats = 1000;
// 50 requests a second carry a sine only below half that rate; above it the samples alias.
constexpr double kFastestFrequency = 25;

// Texts from the file go into one-line messages: control characters become spaces.
std::string oneLine(std::string_view text) { return withoutControlCharacters(text); }

std::string inQuotes(std::string_view text) { return "\"" + oneLine(text) + "\""; }

[[noreturn]] void refuse(const std::string& where, const std::string& what) {
    throw ManeuverFileError(where.empty() ? what : where + ": " + what);
}

void refuseUnknownKeys(const json& object, std::initializer_list<std::string_view> known, const std::string& where) {
    for (const auto& [key, value] : object.items()) {
        if (std::find(known.begin(), known.end(), key) == known.end())
            refuse(where, withArgs(translate("ManeuverSuite", "unknown key %1"), inQuotes(key)));
    }
}

// The finite number under `key`, or nothing when the key is absent.
std::optional<double> optionalNumber(const json& object, const char* key, const std::string& where) {
    auto found = object.find(key);
    if (found == object.end()) return std::nullopt;
    if (!found->is_number()) refuse(where, withArgs(translate("ManeuverSuite", "%1 is not a number"), inQuotes(key)));
    const double value = found->get<double>();
    if (!std::isfinite(value))
        refuse(where, withArgs(translate("ManeuverSuite", "%1 is not a finite number"), inQuotes(key)));
    return value;
}

double number(const json& object, const char* key, const std::string& where) {
    auto value = optionalNumber(object, key, where);
    if (!value) refuse(where, withArgs(translate("ManeuverSuite", "%1 is missing"), inQuotes(key)));
    return *value;
}

double seconds(const json& object, const char* key, const std::string& where, bool zeroAllowed) {
    const double value = number(object, key, where);
    if (value < 0 || (value == 0 && !zeroAllowed)) {
        refuse(where, withArgs(zeroAllowed ? translate("ManeuverSuite", "%1 %2 is negative")
                                           : translate("ManeuverSuite", "%1 %2 is not above 0"),
                               inQuotes(key), numberText(value)));
    }
    if (value > kLongestSeconds)
        refuse(where, withArgs(translate("ManeuverSuite", "%1 %2 s is longer than an hour"), inQuotes(key),
                               numberText(value)));
    return value;
}

ManeuverLimits readLimits(const json& document) {
    auto found = document.find("limits");
    if (found == document.end()) refuse("", translate("ManeuverSuite", "\"limits\" is missing"));
    const std::string where = "limits";
    if (!found->is_object()) refuse(where, translate("ManeuverSuite", "is not a JSON object"));
    refuseUnknownKeys(*found, {"lateral", "longitudinal", "driverTorqueAbort"}, where);
    ManeuverLimits limits;
    for (auto [key, field] :
         {std::pair{"lateral", &ManeuverLimits::lateral}, std::pair{"longitudinal", &ManeuverLimits::longitudinal}}) {
        const double value = number(*found, key, where);
        if (value <= 0)
            refuse(where,
                   withArgs(translate("ManeuverSuite", "%1 %2 is not above 0"), inQuotes(key), numberText(value)));
        if (value > 1) {
            refuse(where, withArgs(translate("ManeuverSuite", "%1 %2 is above 1, the largest request"), inQuotes(key),
                                   numberText(value)));
        }
        limits.*field = value;
    }
    limits.driverTorqueAbort = number(*found, "driverTorqueAbort", where);
    if (limits.driverTorqueAbort <= 0) {
        refuse(where, withArgs(translate("ManeuverSuite", "\"driverTorqueAbort\" %1 Nm is not above 0"),
                               numberText(limits.driverTorqueAbort)));
    }
    // A limit no real torque reaches would never abort.
    if (limits.driverTorqueAbort > kMostPlausibleTorque) {
        refuse(where, withArgs(translate("ManeuverSuite",
                                         "\"driverTorqueAbort\" %1 Nm is beyond %2 Nm, more than a steering column "
                                         "carries"),
                               numberText(limits.driverTorqueAbort), numberText(kMostPlausibleTorque)));
    }
    return limits;
}

ManeuverProfile::Kind profileKind(const std::string& name, const std::string& where) {
    using Kind = ManeuverProfile::Kind;
    for (Kind kind : {Kind::step, Kind::ramp, Kind::sine, Kind::points}) {
        if (name == profileName(kind)) return kind;
    }
    refuse(where,
           withArgs(translate("ManeuverSuite", "unknown profile %1 (step, ramp, sine or points)"), inQuotes(name)));
}

std::vector<std::pair<double, double>> readPoints(const json& maneuver, const std::string& where) {
    auto found = maneuver.find("points");
    if (found == maneuver.end()) refuse(where, translate("ManeuverSuite", "\"points\" is missing"));
    if (!found->is_array() || found->empty())
        refuse(where, translate("ManeuverSuite", "\"points\" is not a list of [time, value] pairs"));
    std::vector<std::pair<double, double>> points;
    for (const json& point : *found) {
        const std::string which = std::to_string(points.size() + 1);
        if (!point.is_array() || point.size() != 2 || !point[0].is_number() || !point[1].is_number()) {
            refuse(where,
                   withArgs(translate("ManeuverSuite", "point %1 is not a [time, value] pair of numbers"), which));
        }
        const double time = point[0].get<double>();
        const double value = point[1].get<double>();
        if (!std::isfinite(time) || !std::isfinite(value))
            refuse(where, withArgs(translate("ManeuverSuite", "point %1 is not finite"), which));
        if (time < 0)
            refuse(where,
                   withArgs(translate("ManeuverSuite", "point %1 has a negative time %2"), which, numberText(time)));
        if (time > kLongestSeconds)
            refuse(where, withArgs(translate("ManeuverSuite", "point %1 lies more than an hour into the run"), which));
        if (!points.empty() && time <= points.back().first) {
            refuse(where, withArgs(translate("ManeuverSuite", "point %1 at %2 s does not come after the one before"),
                                   which, numberText(time)));
        }
        points.emplace_back(time, value);
    }
    if (points.back().first <= 0)
        refuse(where, translate("ManeuverSuite", "the last point's time, the duration, is not above 0"));
    return points;
}

// The bounds of a maneuver's "expect" object, each on a metric its repeats have.
std::vector<ManeuverExpectation> readExpectations(const json& expect, const Maneuver& maneuver, std::string where) {
    using Kind = ManeuverExpectation::Kind;
    where += ": \"expect\"";
    if (!expect.is_object()) refuse(where, translate("ManeuverSuite", "is not a JSON object"));
    refuseUnknownKeys(expect, {"delayMax", "riseMax", "overshootMaxPercent", "heldWithin", "tolerance"}, where);
    std::vector<ManeuverExpectation> expectations;
    for (Kind kind : {Kind::delayMax, Kind::riseMax, Kind::overshootMaxPercent, Kind::heldWithin}) {
        const char* key = expectationKey(kind);
        auto found = expect.find(key);
        if (found == expect.end()) continue;
        ManeuverExpectation expectation{.kind = kind};
        if (kind == Kind::heldWithin) {
            if (!found->is_array() || found->size() != 2 || !(*found)[0].is_number() || !(*found)[1].is_number()) {
                refuse(where, translate("ManeuverSuite", "\"heldWithin\" is not a [LO, HI] pair of numbers (degrees)"));
            }
            expectation.low = (*found)[0].get<double>();
            expectation.high = (*found)[1].get<double>();
            if (!std::isfinite(expectation.low) || !std::isfinite(expectation.high)) {
                refuse(where, translate("ManeuverSuite", "\"heldWithin\" is not finite"));
            }
            if (expectation.low > expectation.high) {
                refuse(where, withArgs(translate("ManeuverSuite",
                                                 "\"heldWithin\" [%1, %2] is empty: its low end is above its high end"),
                                       numberText(expectation.low), numberText(expectation.high)));
            }
        } else {
            expectation.high = number(expect, key, where);
            if (expectation.high < 0) {
                refuse(where, withArgs(translate("ManeuverSuite", "%1 %2 is negative: nothing can meet it"),
                                       inQuotes(key), numberText(expectation.high)));
            }
        }
        const ResponseMetric metric = expectedMetric(kind);
        if (!maneuverHasMetric(maneuver, metric)) {
            refuse(
                where,
                channelHasMeasuredResponse(maneuver.channel)
                    ? withArgs(translate("ManeuverSuite",
                                         "%1 cannot be met: a %2 has no %3 (only a step or points hold their end)"),
                               inQuotes(key), profileName(maneuver.profile.kind),
                               metric == ResponseMetric::riseTime ? "rise time" : metricWord(metric))
                    : withArgs(translate("ManeuverSuite",
                                         "%1 cannot be met: the device reports no measured response to a %2 request"),
                               inQuotes(key), channelName(maneuver.channel)));
        }
        expectations.push_back(expectation);
    }
    if (auto tolerance = expect.find("tolerance"); tolerance != expect.end()) {
        const std::string at = where + " \"tolerance\"";
        if (!tolerance->is_object()) refuse(at, translate("ManeuverSuite", "is not a JSON object"));
        refuseUnknownKeys(*tolerance, {"delayMax", "riseMax", "overshootMaxPercent", "heldWithin"}, at);
        for (ManeuverExpectation& expectation : expectations) {
            const char* key = expectationKey(expectation.kind);
            expectation.tolerance = optionalNumber(*tolerance, key, at);
            if (expectation.tolerance && *expectation.tolerance < 0) {
                refuse(at, withArgs(translate("ManeuverSuite", "%1 %2 is negative"), inQuotes(key),
                                    numberText(*expectation.tolerance)));
            }
        }
        for (const auto& [key, value] : tolerance->items()) {
            if (std::none_of(expectations.begin(), expectations.end(),
                             [&](const auto& e) { return key == expectationKey(e.kind); })) {
                refuse(at, withArgs(translate("ManeuverSuite", "%1 has no expectation %1 beside it"), inQuotes(key)));
            }
        }
    }
    return expectations;
}

Maneuver readManeuver(const json& object, std::size_t index, const ManeuverLimits& limits) {
    std::string where = withArgs(translate("ManeuverSuite", "maneuver %1"), std::to_string(index + 1));
    if (!object.is_object()) refuse(where, translate("ManeuverSuite", "is not a JSON object"));
    Maneuver maneuver;
    auto name = object.find("name");
    if (name == object.end()) refuse(where, translate("ManeuverSuite", "\"name\" is missing"));
    if (!name->is_string() || name->get<std::string>().empty())
        refuse(where, translate("ManeuverSuite", "\"name\" is not a non-empty text"));
    maneuver.name = name->get<std::string>();
    where += " " + inQuotes(maneuver.name);

    auto channel = object.find("channel");
    if (channel == object.end()) refuse(where, translate("ManeuverSuite", "\"channel\" is missing"));
    if (*channel == "lateral") {
        maneuver.channel = ManeuverChannel::lateral;
    } else if (*channel == "longitudinal") {
        maneuver.channel = ManeuverChannel::longitudinal;
    } else {
        const std::string given =
            channel->is_string() ? inQuotes(channel->get<std::string>()) : oneLine(channel->dump());
        refuse(where, withArgs(translate("ManeuverSuite", "\"channel\" %1 is neither \"lateral\" nor \"longitudinal\""),
                               given));
    }

    auto profile = object.find("profile");
    if (profile == object.end()) refuse(where, translate("ManeuverSuite", "\"profile\" is missing"));
    if (!profile->is_string()) refuse(where, translate("ManeuverSuite", "\"profile\" is not a text"));
    using Kind = ManeuverProfile::Kind;
    ManeuverProfile& shape = maneuver.profile;
    shape.kind = profileKind(profile->get<std::string>(), where);
    switch (shape.kind) {
        case Kind::step:
            refuseUnknownKeys(
                object, {"name", "channel", "profile", "repeats", "settle", "amplitude", "duration", "expect"}, where);
            shape.amplitude = number(object, "amplitude", where);
            shape.duration = seconds(object, "duration", where, false);
            break;
        case Kind::ramp:
            refuseUnknownKeys(
                object, {"name", "channel", "profile", "repeats", "settle", "from", "to", "duration", "expect"}, where);
            shape.from = number(object, "from", where);
            shape.to = number(object, "to", where);
            shape.duration = seconds(object, "duration", where, false);
            break;
        case Kind::sine:
            refuseUnknownKeys(
                object,
                {"name", "channel", "profile", "repeats", "settle", "amplitude", "frequency", "duration", "expect"},
                where);
            shape.amplitude = number(object, "amplitude", where);
            shape.frequency = number(object, "frequency", where);
            if (shape.frequency <= 0 || shape.frequency >= kFastestFrequency) {
                refuse(where, withArgs(translate("ManeuverSuite",
                                                 "\"frequency\" %1 Hz is outside the range above 0 and below 25 Hz "
                                                 "(50 requests a second)"),
                                       numberText(shape.frequency)));
            }
            shape.duration = seconds(object, "duration", where, false);
            break;
        case Kind::points:
            refuseUnknownKeys(object, {"name", "channel", "profile", "repeats", "settle", "points", "expect"}, where);
            shape.points = readPoints(object, where);
            shape.duration = shape.points.back().first;
            break;
    }

    const double limit = limits.forChannel(maneuver.channel);
    const double peak = shape.peakMagnitude();
    if (peak > limit) {
        refuse(where, withArgs(translate("ManeuverSuite", "the profile reaches %1, beyond the %2 limit %3"),
                               numberText(peak), channelName(maneuver.channel), numberText(limit)));
    }

    if (object.contains("repeats")) {
        const json& repeats = object["repeats"];
        if (!repeats.is_number_integer() || repeats.get<long long>() < 1 || repeats.get<long long>() > kMostRepeats) {
            refuse(where, withArgs(translate("ManeuverSuite", "\"repeats\" %1 is not a whole number from 1 to 1000"),
                                   oneLine(repeats.dump())));
        }
        maneuver.repeats = repeats.get<int>();
    }
    if (object.contains("settle")) maneuver.settle = seconds(object, "settle", where, true);
    if (object.contains("expect")) maneuver.expectations = readExpectations(object["expect"], maneuver, where);
    return maneuver;
}

// nlohmann's messages begin with "[json.exception.parse_error.101] "; the reader needs the rest.
std::string parseErrorText(const std::string& what) {
    auto close = what.find("] ");
    return oneLine(what.rfind("[json.exception.", 0) == 0 && close != std::string::npos ? what.substr(close + 2)
                                                                                        : what);
}

}  // namespace

const char* channelName(ManeuverChannel channel) {
    return channel == ManeuverChannel::lateral ? "lateral" : "longitudinal";
}

const char* expectationKey(ManeuverExpectation::Kind kind) {
    switch (kind) {
        case ManeuverExpectation::Kind::delayMax: return "delayMax";
        case ManeuverExpectation::Kind::riseMax: return "riseMax";
        case ManeuverExpectation::Kind::overshootMaxPercent: return "overshootMaxPercent";
        case ManeuverExpectation::Kind::heldWithin: return "heldWithin";
    }
    return "";
}

const char* profileName(ManeuverProfile::Kind kind) {
    switch (kind) {
        case ManeuverProfile::Kind::step: return "step";
        case ManeuverProfile::Kind::ramp: return "ramp";
        case ManeuverProfile::Kind::sine: return "sine";
        case ManeuverProfile::Kind::points: return "points";
    }
    return "";
}

double ManeuverProfile::valueAt(double t) const {
    if (!(t >= 0 && t <= duration)) return 0;
    switch (kind) {
        case Kind::step: return amplitude;
        case Kind::ramp: return from + (to - from) * (t / duration);
        case Kind::sine: return amplitude * std::sin(2 * std::numbers::pi * frequency * t);
        case Kind::points: {
            if (points.empty()) return 0;
            auto after = std::upper_bound(points.begin(), points.end(), t,
                                          [](double time, const auto& point) { return time < point.first; });
            if (after == points.begin()) return points.front().second;
            if (after == points.end()) return points.back().second;
            const auto& [t0, v0] = *std::prev(after);
            const auto& [t1, v1] = *after;
            return v0 + (v1 - v0) * ((t - t0) / (t1 - t0));
        }
    }
    return 0;
}

double ManeuverProfile::peakMagnitude() const {
    switch (kind) {
        case Kind::step: return std::fabs(amplitude);
        case Kind::ramp: return std::max(std::fabs(from), std::fabs(to));
        case Kind::sine:
            // The first peak comes a quarter period in; a shorter run stops on the way up.
            return frequency * duration >= 0.25 ? std::fabs(amplitude) : std::fabs(valueAt(duration));
        case Kind::points: {
            double peak = 0;
            for (const auto& point : points) peak = std::max(peak, std::fabs(point.second));
            return peak;
        }
    }
    return 0;
}

ManeuverSuite ManeuverSuite::fromJsonText(std::string_view text) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& error) {  // a syntax error, or a number beyond a double
        refuse("", withArgs(translate("ManeuverSuite", "the file is not JSON: %1"), parseErrorText(error.what())));
    }
    if (!document.is_object()) refuse("", translate("ManeuverSuite", "the file is not a JSON object"));
    refuseUnknownKeys(document, {"limits", "maneuvers"}, translate("ManeuverSuite", "the file"));

    ManeuverSuite suite;
    suite.limits = readLimits(document);
    auto maneuvers = document.find("maneuvers");
    if (maneuvers == document.end()) refuse("", translate("ManeuverSuite", "\"maneuvers\" is missing"));
    if (!maneuvers->is_array()) refuse("", translate("ManeuverSuite", "\"maneuvers\" is not a list"));
    if (maneuvers->empty()) refuse("", translate("ManeuverSuite", "\"maneuvers\" is empty: there is nothing to run"));
    for (const json& maneuver : *maneuvers) {
        suite.maneuvers.push_back(readManeuver(maneuver, suite.maneuvers.size(), suite.limits));
    }
    return suite;
}

ManeuverSuite ManeuverSuite::fromFile(const std::filesystem::path& path) { return fromJsonText(readFileText(path)); }

std::string ManeuverSuite::readFileText(const std::filesystem::path& path) {
    const std::string name = inQuotes(path.string());
    auto read = readSmallFile(path, kMostFileBytes);
    if (auto* text = std::get_if<std::string>(&read)) return std::move(*text);
    const auto problem = std::get<SmallFileProblem>(read);
    switch (problem.kind) {
        case SmallFileProblem::Kind::unreadable:
            refuse("", withArgs(translate("ManeuverSuite", "cannot read %1: %2"), name, std::strerror(problem.error)));
        case SmallFileProblem::Kind::directory:
            refuse("", withArgs(translate("ManeuverSuite", "%1 is a directory, not a maneuver file"), name));
        case SmallFileProblem::Kind::notRegular:
            refuse("", withArgs(translate("ManeuverSuite", "%1 is not a regular file"), name));
        case SmallFileProblem::Kind::tooLarge:
            refuse("",
                   withArgs(translate("ManeuverSuite", "%1 is larger than 1 MiB, more than any maneuver file"), name));
    }
    return {};
}

}  // namespace orvane

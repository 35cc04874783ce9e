#include "FaultPlan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <span>

#include <nlohmann/json.hpp>

#include "device/NumberText.h"
#include "platform/OneLineText.h"
#include "platform/SmallFile.h"

namespace orvane::sim {

namespace {

using nlohmann::json;

std::string inQuotes(std::string_view text) { return "\"" + withoutControlCharacters(text) + "\""; }

[[noreturn]] void refuse(const std::string& where, const std::string& what) {
    throw FaultPlanError(where.empty() ? what : where + ": " + what);
}

// A JSON value as the message quotes it, kept short.
std::string shown(const json& value) {
    std::string text = withoutControlCharacters(value.dump());
    return text.size() > 40 ? text.substr(0, 37) + "..." : text;
}

// The fields each kind takes, all of them required.
std::span<const char* const> fieldsOf(FaultKind kind) {
    static const char* const timed[] = {"after", "kind", "for"};
    static const char* const garbage[] = {"after", "kind", "bytes"};
    static const char* const slow[] = {"after", "kind", "for", "delay"};
    switch (kind) {
        case FaultKind::garbage: return garbage;
        case FaultKind::slow: return slow;
        default: return timed;
    }
}

// A bound as the messages write it: 3600, not 3600.0.
std::string boundText(double value) {
    return value == std::floor(value) ? std::to_string(static_cast<long long>(value)) : numberText(value);
}

// The number in `field`, from `least` to `most`.
double number(const json& fault, const char* field, double least, double most, const char* unit,
              const std::string& where) {
    const std::string name = inQuotes(field);
    const json& value = fault.at(field);
    if (!value.is_number()) refuse(where, name + ": " + shown(value) + " is not a number");
    const double number = value.get<double>();
    if (!(number >= least && number <= most)) {
        refuse(where, name + ": " + shown(value) + " is not a number of " + unit + " from " + boundText(least) +
                          " to " + boundText(most));
    }
    return number;
}

Fault readFault(const json& object, std::size_t index) {
    const std::string where = "faults[" + std::to_string(index) + "]";
    if (!object.is_object()) refuse(where, "is not a JSON object");
    auto kindValue = object.find("kind");
    if (kindValue == object.end()) refuse(where, "\"kind\" is missing");
    if (!kindValue->is_string()) refuse(where, "\"kind\": " + shown(*kindValue) + " is not a text");
    Fault fault;
    const auto& kinds = kFaultKinds;
    auto kind = std::find_if(std::begin(kinds), std::end(kinds),
                             [&](FaultKind k) { return kindValue->get<std::string>() == faultKindName(k); });
    if (kind == std::end(kinds)) {
        refuse(where, "\"kind\": " + shown(*kindValue) + " is not unplug, freeze, garbage, bootloader or slow");
    }
    fault.kind = *kind;
    const auto fields = fieldsOf(fault.kind);
    const std::string kindName = faultKindName(fault.kind);
    for (const auto& [key, value] : object.items()) {
        if (std::none_of(fields.begin(), fields.end(), [&](const char* field) { return key == field; })) {
            refuse(where, inQuotes(key) + " is not a field of a " + kindName + " fault");
        }
    }
    for (const char* field : fields) {
        if (!object.contains(field)) refuse(where, inQuotes(field) + " is missing (a " + kindName + " fault needs it)");
    }
    fault.after = number(object, "after", 0, FaultPlan::kLongestSeconds, "seconds", where);
    if (fault.kind == FaultKind::garbage) {
        fault.bytes = static_cast<long>(number(object, "bytes", 1, FaultPlan::kMostBytes, "bytes", where));
        if (!object.at("bytes").is_number_integer()) {
            refuse(where, "\"bytes\": " + shown(object.at("bytes")) + " is not a whole number");
        }
    } else {
        fault.duration = number(object, "for", 0, FaultPlan::kLongestSeconds, "seconds", where);
    }
    if (fault.kind == FaultKind::slow) {
        fault.delay = number(object, "delay", 1, FaultPlan::kLongestDelay, "milliseconds", where);
    }
    return fault;
}

// nlohmann's messages begin with "[json.exception.parse_error.101] " or the like; the reader needs the rest.
std::string parseErrorText(const std::string& what) {
    auto close = what.find("] ");
    return withoutControlCharacters(
        what.rfind("[json.exception.", 0) == 0 && close != std::string::npos ? what.substr(close + 2) : what);
}

}  // namespace

const char* faultKindName(FaultKind kind) {
    switch (kind) {
        case FaultKind::unplug: return "unplug";
        case FaultKind::freeze: return "freeze";
        case FaultKind::garbage: return "garbage";
        case FaultKind::bootloader: return "bootloader";
        case FaultKind::slow: return "slow";
    }
    return "";
}

FaultPlan FaultPlan::fromJsonText(std::string_view text) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& error) {  // a syntax error, or a number beyond a double
        refuse("", "not JSON: " + parseErrorText(error.what()));
    }
    if (!document.is_object()) refuse("", "not a JSON object");
    for (const auto& [key, value] : document.items()) {
        if (key != "repeat" && key != "faults") refuse("", inQuotes(key) + " is not a field of a plan");
    }
    FaultPlan plan;
    if (auto repeat = document.find("repeat"); repeat != document.end()) {
        if (!repeat->is_boolean()) refuse("", "\"repeat\": " + shown(*repeat) + " is not true or false");
        plan.repeat = repeat->get<bool>();
    }
    auto faults = document.find("faults");
    if (faults == document.end()) refuse("", "\"faults\" is missing");
    if (!faults->is_array()) refuse("", "\"faults\" is not a list");
    for (const json& fault : *faults) plan.faults.push_back(readFault(fault, plan.faults.size()));
    if (plan.repeat && !plan.faults.empty()) {
        double round = 0;
        for (const Fault& fault : plan.faults) round += fault.after + fault.duration;
        if (round < kShortestRound) {
            refuse("", "\"repeat\": a round of the plan takes " + numberText(std::round(round * 1000) / 1000) +
                           " s (its \"after\" and \"for\" added up); a plan that repeats needs at least " +
                           boundText(kShortestRound) + " s");
        }
    }
    return plan;
}

FaultPlan FaultPlan::fromFile(const std::filesystem::path& path) {
    const std::string name = inQuotes(path.string());
    auto read = readSmallFile(path, kMostFileBytes);
    if (auto* text = std::get_if<std::string>(&read)) return fromJsonText(*text);
    const auto problem = std::get<SmallFileProblem>(read);
    switch (problem.kind) {
        case SmallFileProblem::Kind::unreadable: refuse("", "cannot read " + name + ": " + std::strerror(problem.error));
        case SmallFileProblem::Kind::directory:
        case SmallFileProblem::Kind::notRegular: refuse("", name + " is not a regular file");
        case SmallFileProblem::Kind::tooLarge: refuse("", name + " is larger than 64 KiB, more than any fault plan");
    }
    return {};
}

FaultPlan FaultPlan::random(std::uint64_t seed) {
    // The engine's output is fixed by the standard, the distributions' are not: values are
    // taken from it directly, so a seed draws the same plan with any library.
    std::mt19937_64 engine(seed);
    // A number of tenths of a second from `least` to `most` seconds.
    auto seconds = [&](int least, int most) {
        return static_cast<double>(10 * least + static_cast<long>(engine() % (10 * (most - least) + 1))) / 10;
    };
    std::vector<FaultKind> kinds(std::begin(kFaultKinds), std::end(kFaultKinds));
    for (std::size_t i = kinds.size() - 1; i > 0; --i) std::swap(kinds[i], kinds[engine() % (i + 1)]);
    // Each "after" and each "for" is at most 5 s, a slowdown's up to 10 s: 50 s a round at most.
    FaultPlan plan;
    plan.repeat = true;
    for (FaultKind kind : kinds) {
        Fault fault{.kind = kind, .after = seconds(1, 5)};
        switch (kind) {
            case FaultKind::garbage: fault.bytes = 16 + static_cast<long>(engine() % 497); break;
            case FaultKind::slow:
                fault.duration = seconds(2, 10);
                fault.delay = 50 + static_cast<double>(engine() % 451);
                break;
            default: fault.duration = seconds(1, 5); break;
        }
        plan.faults.push_back(fault);
    }
    return plan;
}

std::string FaultPlan::jsonText() const {
    json faultList = json::array();
    for (const Fault& fault : faults) {
        json entry = {{"after", fault.after}, {"kind", faultKindName(fault.kind)}};
        if (fault.kind == FaultKind::garbage) {
            entry["bytes"] = fault.bytes;
        } else {
            entry["for"] = fault.duration;
        }
        if (fault.kind == FaultKind::slow) entry["delay"] = fault.delay;
        faultList.push_back(std::move(entry));
    }
    return json{{"repeat", repeat}, {"faults", std::move(faultList)}}.dump();
}

std::string lineNoise(long bytes) {
    // High-bit bytes (0xFF is never UTF-8), a truncated and an overlong sequence, a UTF-16
    // surrogate, stray braces, and a name cut short.
    static const std::string pieces[] = {"\xFF\xFE", "\xC3", "}", "\xC0\xAF", "{", "\xED\xA0\x80", "}}{", "\x80"};
    static const std::string name = "STEERIN";
    std::string noise;
    const auto size = static_cast<std::size_t>(std::max(bytes, 0L));
    const std::size_t nameLength = std::min(name.size(), size / 2);
    for (std::size_t i = 0; noise.size() < size - nameLength; ++i) noise += pieces[i % std::size(pieces)];
    noise.resize(size - nameLength);
    return noise + name.substr(0, nameLength);
}

}  // namespace orvane::sim

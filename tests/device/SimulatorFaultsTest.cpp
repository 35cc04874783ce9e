// The simulator's fault plan and its counts, checked against what a host on the device saw.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "device/DeviceReport.h"
#include "device/ReportFramer.h"
#include "orvane-sim/FaultPlan.h"
#include "support/ChildProcess.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using nlohmann::json;
using testing::Child;
using testing::readFile;
using testing::TemporaryDirectory;
using testing::waitFor;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

const fs::path kSimulator = testing::kToolsDirectory / "orvane-sim";

double secondsSinceEpoch() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(FaultPlan, RandomPlansRepeatEachKindWithinAMinuteAndTheSameSeedDrawsTheSamePlan) {
    for (std::uint64_t seed : {0ULL, 1ULL, 7ULL, 18446744073709551615ULL}) {
        SCOPED_TRACE(seed);
        const sim::FaultPlan plan = sim::FaultPlan::random(seed);
        EXPECT_EQ(sim::FaultPlan::random(seed), plan);
        EXPECT_NE(sim::FaultPlan::random(seed + 1), plan);
        EXPECT_TRUE(plan.repeat);
        std::set<sim::FaultKind> kinds;
        double round = 0;
        for (const auto& fault : plan.faults) {
            kinds.insert(fault.kind);
            round += fault.after + fault.duration;
        }
        EXPECT_EQ(kinds.size(), std::size(sim::kFaultKinds));
        EXPECT_LE(round, sim::FaultPlan::kRandomRound);
        // What the simulator prints of a drawn plan reads back as that plan.
        EXPECT_EQ(sim::FaultPlan::fromJsonText(plan.jsonText()), plan);
    }
}

// A bad plan ends the simulator before it makes a device: status 2 and one line on standard
// error naming the fault and the field, or the part of the file at fault.
TEST(FaultPlan, BadPlansAreRefusedNamingTheFaultAndField) {
    TemporaryDirectory directory;
    auto plan = [](const std::string& faults) {
        return R"({"faults": [{"after": 1, "kind": "freeze", "for": 1})" + faults + "]}";
    };
    const std::pair<std::string, std::string> cases[] = {
        {plan(R"(, {"after": 1, "kind": "melt", "for": 1})"), R"(faults[1]: "kind": "melt" is not)"},
        {plan(R"(, {"after": 1, "for": 1})"), R"(faults[1]: "kind" is missing)"},
        {plan(R"(, {"after": 1, "kind": "freeze", "for": 1, "bytes": 9})"), R"(faults[1]: "bytes" is not a field)"},
        {plan(R"(, {"after": 1, "kind": "slow", "for": 1})"), R"(faults[1]: "delay" is missing)"},
        {plan(R"(, {"after": -0.5, "kind": "unplug", "for": 1})"), R"(faults[1]: "after": -0.5 is not a number of)"},
        {plan(R"(, {"after": 1, "kind": "bootloader", "for": 3601})"), R"(faults[1]: "for": 3601)"},
        {plan(R"(, {"after": 1, "kind": "slow", "for": 1, "delay": 60001})"), R"(faults[1]: "delay": 60001)"},
        {plan(R"(, {"after": "1", "kind": "freeze", "for": 1})"), R"(faults[1]: "after": "1" is not a number)"},
        {plan(R"(, {"after": 1, "kind": "freeze", "for": true})"), R"(faults[1]: "for": true is not a number)"},
        {plan(R"(, {"after": 1, "kind": "garbage", "bytes": 2.5})"), R"(faults[1]: "bytes": 2.5 is not a whole)"},
        {plan(R"(, {"after": 1, "kind": "garbage", "bytes": 70000})"), R"(faults[1]: "bytes": 70000)"},
        {plan(", 3"), "faults[1]: is not a JSON object"},
        {plan(R"(, {"after": 1e400, "kind": "freeze", "for": 1})"), "not JSON"},
        {R"({"faults": [], "loop": true})", R"("loop" is not a field of a plan)"},
        {R"({"repeat": "yes", "faults": []})", R"("repeat": "yes")"},
        {R"({"repeat": true, "faults": [{"after": 0.2, "kind": "freeze", "for": 0.5}]})", R"("repeat": a round)"},
        {R"({"repeat": false})", R"("faults" is missing)"},
        {R"({"faults": [)", "not JSON"},
        {"[]", "not a JSON object"},
        {plan("") + std::string(64 * 1024, ' '), "larger than 64 KiB"},
        {"", "cannot read"},  // no file
    };
    const auto file = directory.path() / "plan.json";
    const auto errors = directory.path() / "errors";
    for (const auto& [text, says] : cases) {
        SCOPED_TRACE(text.substr(0, 120));
        fs::remove(file);
        if (!text.empty()) std::ofstream(file) << text;
        Child simulator(
            {kSimulator.string(), "--faults", file.string(), "--link", (directory.path() / "ttyACM0").string()},
            errors.string());
        EXPECT_TRUE(simulator.readLines().empty());
        EXPECT_EQ(simulator.wait(15s), 2);
        const std::string printed = readFile(errors);
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        EXPECT_EQ(printed.rfind("orvane-sim: --faults: ", 0), 0u) << printed;
        EXPECT_NE(printed.find(says), std::string::npos) << printed;
    }
}

// A host that sends one CONTROL request and waits for the answer before the next, as long as
// the device answers at all. Every third request asks for 50 % lateral, the others for 0.
class LockstepClient {
public:
    enum class Event { message, noise, hangUp, timeout };

    LockstepClient(const std::string& path, long noiseBytes)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK)), noiseBytes_(noiseBytes) {
        termios attributes{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &attributes) == 0) {
            ::cfmakeraw(&attributes);
            ::tcsetattr(fd_, TCSANOW, &attributes);
        }
    }
    ~LockstepClient() { close(); }

    bool opened() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    // False once the line is gone.
    bool request() {
        const bool moving = sent % 3 == 0;
        const std::string text = messageText(controlRequest(moving ? 0.5 : 0, 0));
        if (::write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return false;
        ++sent;
        if (moving) ++nonZero;
        return true;
    }

    // The next message, the start of a burst of line noise (the rest of it is skipped, so the
    // message after it frames whole), a hang-up, or nothing within `timeout`.
    Event next(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            while (!pending_.empty()) {
                const auto skipped = std::min(skip_, pending_.size());
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(skipped));
                skip_ -= skipped;
                const std::size_t used = framer_.feed(pending_);
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(used));
                if (framer_.hasMessage()) {
                    names.insert(framer_.takeMessage().name);
                    messageTimes.push_back(secondsSinceEpoch());
                    return Event::message;
                }
                if (framer_.failed()) {
                    // The byte that failed was the burst's first.
                    framer_.reset();
                    noiseTimes.push_back(secondsSinceEpoch());
                    skip_ = static_cast<std::size_t>(noiseBytes_ - 1);
                    return Event::noise;
                }
            }
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            pollfd readable{fd_, POLLIN, 0};
            if (::poll(&readable, 1, static_cast<int>(std::max<long long>(left, 0))) == 0) return Event::timeout;
            std::uint8_t buffer[4096];
            const ssize_t count = ::read(fd_, buffer, sizeof buffer);
            if (count > 0) {
                pending_.insert(pending_.end(), buffer, buffer + count);
            } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
                return Event::hangUp;
            }
        }
    }

    long sent = 0;
    long nonZero = 0;
    std::vector<double> messageTimes;  // seconds since the epoch
    std::vector<double> noiseTimes;
    std::set<std::string> names;

private:
    int fd_;
    long noiseBytes_;
    ReportFramer framer_;
    std::vector<std::uint8_t> pending_;
    std::size_t skip_ = 0;
};

// The simulator follows a plan of a freeze, a burst of line noise and an unplugging while a host
// talks to it, and its counts and fault times agree with what that host saw.
TEST(SimulatorFaults, CountsAndFaultTimesAgreeWithWhatTheHostSaw) {
    TemporaryDirectory directory;
    const std::string link = (directory.path() / "ttyACM0").string();
    const auto planPath = directory.path() / "plan.json";
    const auto statsPath = directory.path() / "stats.json";
    const auto errors = directory.path() / "errors";
    constexpr long kNoise = 64;
    std::ofstream(planPath) << R"({"faults": [{"after": 0.5, "kind": "freeze", "for": 1.5},
                                              {"after": 0.5, "kind": "garbage", "bytes": 64},
                                              {"after": 4, "kind": "unplug", "for": 3}]})";
    Child simulator({kSimulator.string(), "--link", link, "--faults", planPath.string(), "--stats", statsPath.string()},
                    errors.string());
    const auto firstPty = simulator.readLine();
    ASSERT_TRUE(firstPty && fs::read_symlink(link) == *firstPty) << firstPty.value_or("(nothing)");
    auto stats = [&] { return json::parse(readFile(statsPath), nullptr, false); };
    auto connection = [&](std::size_t index) {
        const json file = stats();
        return file.is_object() && file.contains("connections") && file["connections"].size() > index
                   ? file["connections"][index]
                   : json::object();
    };
    // The client has read every message the simulator counted, and the simulator every request.
    auto settled = [&](LockstepClient& client) {
        return waitFor([&] {
            while (client.next(0ms) == LockstepClient::Event::message) {}
            const json counted = connection(0);
            return counted["closed"].is_null() && counted["requestsReceived"] == client.sent &&
                   counted["messagesSent"] == client.messageTimes.size();
        });
    };

    // Through the freeze and the noise; a request unanswered for 300 ms counts as unanswered.
    LockstepClient first(link, kNoise);
    ASSERT_TRUE(first.opened());
    long unanswered = 0;
    for (const auto end = std::chrono::steady_clock::now() + 60s;
         first.noiseTimes.empty() && std::chrono::steady_clock::now() < end;) {
        ASSERT_TRUE(first.request());
        const auto event = first.next(300ms);
        ASSERT_NE(event, LockstepClient::Event::hangUp);
        if (event == LockstepClient::Event::timeout) ++unanswered;
    }
    ASSERT_EQ(first.noiseTimes.size(), 1u);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(first.request());
        ASSERT_EQ(first.next(10s), LockstepClient::Event::message);
    }
    ASSERT_TRUE(settled(first)) << readFile(statsPath);
    first.close();
    // A host that opened the device again at once would look like the same one.
    ASSERT_TRUE(waitFor([&] { return connection(0)["closed"].is_number(); }));

    // Until the link goes.
    LockstepClient second(link, kNoise);
    ASSERT_TRUE(second.opened());
    for (const auto end = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < end;) {
        if (!second.request() || second.next(10s) == LockstepClient::Event::hangUp) break;
    }
    ASSERT_TRUE(waitFor([&] {
        const json file = stats();
        return file.is_object() && file["faults"].size() == 3;
    }));
    EXPECT_TRUE(stats()["faults"][2]["end"].is_null()) << "the unplugging has ended already";
    second.close();

    // The device comes back on a new pty (which may take the old one's number) behind the same link.
    const auto thirdPty = simulator.readLine();
    ASSERT_TRUE(thirdPty.has_value());
    ASSERT_TRUE(waitFor([&] { return fs::exists(link) && fs::read_symlink(link) == *thirdPty; }));
    LockstepClient third(link, kNoise);
    ASSERT_TRUE(third.opened());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(third.request());
        ASSERT_EQ(third.next(10s), LockstepClient::Event::message);
    }
    simulator.signal(SIGTERM);
    EXPECT_EQ(simulator.wait(15s), 0);

    const json file = stats();
    ASSERT_TRUE(file.is_object()) << readFile(statsPath);
    const json& faults = file["faults"];
    ASSERT_EQ(faults.size(), 3u) << file;
    const char* kinds[] = {"freeze", "garbage", "unplug"};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(faults[i]["kind"], kinds[i]) << file;
    const double freezeStart = faults[0]["start"], freezeEnd = faults[0]["end"];
    const double noiseStart = faults[1]["start"], noiseEnd = faults[1]["end"];
    const double unplugStart = faults[2]["start"], unplugEnd = faults[2]["end"];
    EXPECT_GE(freezeEnd - freezeStart, 1.5);
    EXPECT_GE(noiseStart - freezeEnd, 0.5);
    EXPECT_GE(unplugStart - noiseEnd, 4);
    EXPECT_GE(unplugEnd - unplugStart, 3);

    const json& connections = file["connections"];
    ASSERT_EQ(connections.size(), 3u) << file;
    for (const json& c : connections) EXPECT_TRUE(c["closed"].is_number()) << file;
    // The first: every request read, every message framed whole (the noise was exactly its
    // bytes, between two messages), nothing that arrived was written during the freeze (at most
    // the answers under way as it began), and the noise came once the burst had started.
    EXPECT_EQ(connections[0]["requestsReceived"], first.sent);
    EXPECT_EQ(connections[0]["nonZeroRequests"], first.nonZero);
    EXPECT_EQ(connections[0]["messagesSent"], first.messageTimes.size());
    EXPECT_EQ(first.names, (std::set<std::string>{"DEVICE-INFO", "STATE", "STATISTICS", "STEERING"}));
    EXPECT_GE(unanswered, 1);
    EXPECT_LE(std::count_if(first.messageTimes.begin(), first.messageTimes.end(),
                            [&](double t) { return t > freezeStart && t < freezeEnd; }),
              2);
    EXPECT_GE(first.noiseTimes.front(), noiseStart);
    // The second ended with the link; a request or its answer may have been under way then.
    EXPECT_GE(connections[1]["opened"].get<double>(), connections[0]["closed"].get<double>());
    EXPECT_NEAR(connections[1]["closed"].get<double>(), unplugStart, 0.1);
    EXPECT_LE(second.sent - connections[1]["requestsReceived"].get<long>(), 1);
    EXPECT_GE(second.sent, connections[1]["requestsReceived"].get<long>());
    const long secondReceived = static_cast<long>(second.messageTimes.size());
    EXPECT_LE(connections[1]["messagesSent"].get<long>() - secondReceived, 1);
    EXPECT_GE(connections[1]["messagesSent"].get<long>(), secondReceived);
    // The third, on the new pty, still open at the end.
    EXPECT_GE(connections[2]["opened"].get<double>(), unplugEnd);
    EXPECT_EQ(connections[2]["requestsReceived"], 3);
    EXPECT_EQ(connections[2]["nonZeroRequests"], 1);
    EXPECT_EQ(connections[2]["messagesSent"], 3);

    // A line as each fault starts and ends, in that order.
    const std::string printed = readFile(errors);
    std::size_t at = 0;
    for (const char* line : {"faults[0]: freeze starts", "faults[0]: freeze ends", "faults[1]: garbage starts",
                             "faults[1]: garbage ends", "faults[2]: unplug starts", "faults[2]: unplug ends"}) {
        at = printed.find(line, at);
        EXPECT_NE(at, std::string::npos) << line << " missing in\n" << printed;
    }
}

}  // namespace
}  // namespace orvane

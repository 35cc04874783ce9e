#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "device/DeviceSerialInterface.h"
#include "device/TrafficLog.h"
#include "device/ValueSyntax.h"
#include "support/PtyPeer.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;

DeviceReport numbered(const std::string& name, int number) { return {name, {{"n", std::to_string(number)}}}; }

int numberOf(const TrafficEntry& entry) { return std::stoi(entry.message.fields.at("n")); }

std::vector<int> historyNumbers(const TrafficLog& log) {
    std::vector<int> numbers;
    for (const auto& entry : log.history()) numbers.push_back(numberOf(entry));
    return numbers;
}

TEST(TrafficLog, DrainKeepsTheOrderOfPushesAndTheirStamps) {
    TrafficLog log;
    EXPECT_TRUE(log.push(TrafficDirection::sent, numbered("CONTROL", 1)));
    EXPECT_TRUE(log.push(TrafficDirection::received, numbered("STEERING", 2)));
    EXPECT_TRUE(log.push(TrafficDirection::sent, numbered("CONTROL", 3)));
    EXPECT_TRUE(log.history().empty()) << "nothing shows before the consumer drains";

    auto result = log.drain();
    EXPECT_EQ(result.appended, 3u);
    EXPECT_EQ(result.removedFromFront, 0u);
    EXPECT_EQ(historyNumbers(log), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(log.history()[0].direction, TrafficDirection::sent);
    EXPECT_EQ(log.history()[1].direction, TrafficDirection::received);
    EXPECT_EQ(log.history()[1].message.name, "STEERING");
    EXPECT_LE(log.history()[0].steadyTime, log.history()[2].steadyTime);
    EXPECT_NE(log.history()[0].systemTime.time_since_epoch().count(), 0);

    EXPECT_TRUE(log.push(TrafficDirection::received, numbered("ACK", 4)));
    result = log.drain();
    EXPECT_EQ(result.appended, 1u);
    EXPECT_EQ(historyNumbers(log), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(log.drain().appended, 0u);
}

TEST(TrafficLog, AFullQueueDropsAndCountsUntilDrained) {
    TrafficLog log(4, 100);
    for (int n = 1; n <= 4; ++n) EXPECT_TRUE(log.push(TrafficDirection::sent, numbered("CONTROL", n)));
    EXPECT_FALSE(log.push(TrafficDirection::sent, numbered("CONTROL", 5)));
    EXPECT_FALSE(log.push(TrafficDirection::sent, numbered("CONTROL", 6)));
    EXPECT_EQ(log.droppedCount(), 2u);

    // The entries kept are the ones that came first; a drain makes room again.
    EXPECT_EQ(log.drain().appended, 4u);
    EXPECT_EQ(historyNumbers(log), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(log.push(TrafficDirection::sent, numbered("CONTROL", 7)));
    EXPECT_EQ(log.droppedCount(), 2u);

    // Clear empties the history, the queue, and the count.
    log.clear();
    EXPECT_TRUE(log.history().empty());
    EXPECT_EQ(log.droppedCount(), 0u);
    EXPECT_EQ(log.drain().appended, 0u);
    EXPECT_TRUE(log.history().empty());
}

TEST(TrafficLog, HistoryKeepsTheNewestEntries) {
    TrafficLog log(8, 5);
    for (int n = 1; n <= 3; ++n) log.push(TrafficDirection::received, numbered("STATE", n));
    log.drain();
    for (int n = 4; n <= 7; ++n) log.push(TrafficDirection::received, numbered("STATE", n));
    auto result = log.drain();
    EXPECT_EQ(result.removedFromFront, 2u);
    EXPECT_EQ(result.appended, 4u);
    EXPECT_EQ(historyNumbers(log), (std::vector<int>{3, 4, 5, 6, 7}));

    // One drain bringing more than the history holds replaces it with the newest of them.
    for (int n = 8; n <= 15; ++n) log.push(TrafficDirection::received, numbered("STATE", n));
    result = log.drain();
    EXPECT_EQ(result.removedFromFront, 5u);
    EXPECT_EQ(result.appended, 5u);
    EXPECT_EQ(historyNumbers(log), (std::vector<int>{11, 12, 13, 14, 15}));
    EXPECT_EQ(log.history().size(), log.historyCapacity());

    // Entries that left the history are reused by the next pushes: each shows its own message,
    // nothing of the name, fields or direction it held before.
    const std::vector<std::pair<TrafficDirection, DeviceReport>> pushed = {
        {TrafficDirection::sent, {"CONTROL", {{"lat", "1.0"}, {"long", "-2.5"}}}},
        {TrafficDirection::received, {"ACK", {}}},
        {TrafficDirection::received,
         {"STEERING", {{"angle", "12.5"}, {"apaTOI", "activated"}, {"driver-torque", "a value longer than before"}}}},
    };
    for (int round = 0; round < 4; ++round) {
        for (const auto& [direction, message] : pushed) log.push(direction, message);
        log.drain();
        ASSERT_EQ(log.history().size(), 5u);
        for (std::size_t i = 0; i < pushed.size(); ++i) {
            const TrafficEntry& entry = log.history()[2 + i];
            EXPECT_EQ(entry.direction, pushed[i].first) << round << ", " << i;
            EXPECT_EQ(entry.message, pushed[i].second) << round << ", " << i;
        }
    }
}

TEST(TrafficLog, FilterByMessageName) {
    TrafficLog log;
    log.push(TrafficDirection::sent, numbered("CONTROL", 1));
    log.push(TrafficDirection::received, numbered("STEERING", 2));
    log.push(TrafficDirection::sent, numbered("CONTROL", 3));
    log.push(TrafficDirection::received, numbered("STATE", 4));
    log.drain();

    std::vector<int> numbers;
    for (const auto* entry : log.filtered("CONTROL")) numbers.push_back(numberOf(*entry));
    EXPECT_EQ(numbers, (std::vector<int>{1, 3}));
    ASSERT_EQ(log.filtered("STATE").size(), 1u);
    EXPECT_EQ(numberOf(*log.filtered("STATE")[0]), 4);
    EXPECT_TRUE(log.filtered("STEER").empty()) << "names match whole";
    EXPECT_EQ(log.filtered("").size(), 4u);
}

TEST(TrafficLog, TextFormOfAnEntry) {
    const auto time = parseInternetDateTime("2024-03-18T14:05:12.345678Z");
    ASSERT_TRUE(time);
    TrafficEntry entry{std::chrono::steady_clock::now(),
                       *time,
                       TrafficDirection::sent,
                       {"CONTROL", {{"lat", "50.0"}, {"long", "-25.0"}}}};
    EXPECT_EQ(trafficEntryText(entry), "2024-03-18T14:05:12.345Z sent CONTROL lat=50.0 long=-25.0");

    // Values that would not read back as one token are quoted and escaped.
    entry.direction = TrafficDirection::received;
    entry.message = {"DEVICE-INFO", {{"empty", ""}, {"note", "a b=\"c\"\n\x1b"}, {"serial-number", "OV-1"}}};
    EXPECT_EQ(trafficEntryText(entry),
              "2024-03-18T14:05:12.345Z received DEVICE-INFO empty=\"\" note=\"a b=\\\"c\\\"\\n\\u001b\" "
              "serial-number=OV-1");
}

// One producer pushes as fast as it can while the consumer drains: every entry arrives once, in
// order, or is counted as dropped. Run under ThreadSanitizer this also checks the hand-over.
TEST(TrafficLog, ProducerAndConsumerOnTwoThreads) {
    constexpr int kEntries = 100000;
    TrafficLog log(256, 1000);
    std::atomic<bool> producing{true};
    std::thread producer([&] {
        for (int n = 0; n < kEntries; ++n) {
            log.push(n % 2 ? TrafficDirection::received : TrafficDirection::sent, numbered("CONTROL", n));
        }
        producing.store(false);
    });

    std::uint64_t received = 0;
    int last = -1;
    bool ordered = true;
    auto take = [&] {
        const auto result = log.drain();
        for (std::size_t i = log.history().size() - result.appended; i < log.history().size(); ++i) {
            const auto& entry = log.history()[i];
            const int number = numberOf(entry);
            ordered = ordered && number > last &&
                      entry.direction == (number % 2 ? TrafficDirection::received : TrafficDirection::sent);
            last = number;
            ++received;
        }
    };
    while (producing.load()) {
        take();
        std::this_thread::yield();
    }
    producer.join();
    take();

    EXPECT_TRUE(ordered);
    EXPECT_EQ(received + log.droppedCount(), static_cast<std::uint64_t>(kEntries));
    EXPECT_GT(received, 0u);
    EXPECT_LE(log.history().size(), 1000u);
}

// The session hands its requests and replies to the log from the exchange thread, each request
// before the reply it gets.
TEST(TrafficLog, RecordsASessionsRequestsAndReplies) {
    PtyPeer peer;
    auto log = std::make_shared<TrafficLog>();
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    session->addRequestObserver([log](const DeviceReport& request) { log->push(TrafficDirection::sent, request); });
    session->addMessageObserver(
        [log](const DeviceReport& message, const DeviceTelemetry&) { log->push(TrafficDirection::received, message); });
    session->setRequestLateralControlMagntiude(0.5);
    peer.startAnswering([](const DeviceReport&) { return std::string("STATE{lateral-control-method:HALF\n}"); });
    session->connect();
    ASSERT_TRUE(peer.waitForRequests(4));
    session->disconnect();
    ASSERT_TRUE(orvane::testing::waitFor([&] { return session.use_count() == 1; })) << "the exchange loop did not end";
    peer.stopAnswering();

    log->drain();
    const auto& history = log->history();
    ASSERT_GE(history.size(), 4u);
    for (std::size_t i = 0; i < history.size(); ++i) {
        if (i % 2 == 0) {
            EXPECT_EQ(history[i].direction, TrafficDirection::sent) << i;
            EXPECT_EQ(history[i].message, (DeviceReport{"CONTROL", {{"lat", "50.0"}, {"long", "0.0"}}})) << i;
        } else {
            EXPECT_EQ(history[i].direction, TrafficDirection::received) << i;
            EXPECT_EQ(history[i].message.name, "STATE") << i;
        }
    }
    // Only requests that were written are logged: with the session disconnected nothing is.
    session->sendRequest("CONTROL", {{"lat", "0.0"}});
    EXPECT_EQ(log->drain().appended, 0u);
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// Whoever asks, the log drains ten times a second at most; positions name an entry for good
// while older ones leave the history, so a reader that did not drain can tell what changed.
TEST(TrafficLog, DrainsWhenDueAndNamesEachEntryByItsPosition) {
    TrafficLog log(16, 4);
    const std::chrono::steady_clock::time_point start{1000s};
    struct Step {
        std::chrono::milliseconds at;
        int pushes;
        bool drains;
        std::uint64_t firstPosition;
        std::vector<int> history;
    };
    const std::vector<Step> steps{
        {0ms, 3, true, 0, {1, 2, 3}},    // the first time is always due
        {50ms, 2, false, 0, {1, 2, 3}},  // too soon: 4 and 5 wait in the queue
        {99ms, 0, false, 0, {1, 2, 3}},
        {100ms, 1, true, 2, {3, 4, 5, 6}},  // 1 and 2 leave the front: position 2 is entry 3
        {150ms, 0, false, 2, {3, 4, 5, 6}},
        {250ms, 5, true, 6, {8, 9, 10, 11}},  // 7 never enters: one drain takes a history's worth
    };
    int pushed = 0;
    for (const Step& step : steps) {
        for (int i = 0; i < step.pushes; ++i) log.push(TrafficDirection::received, numbered("STEERING", ++pushed));
        EXPECT_EQ(log.drainIfDue(start + step.at), step.drains) << step.at.count() << " ms";
        EXPECT_EQ(log.firstPosition(), step.firstPosition) << step.at.count() << " ms";
        EXPECT_EQ(historyNumbers(log), step.history) << step.at.count() << " ms";
    }
    EXPECT_EQ(log.droppedCount(), 0u) << "the history letting the oldest go is no loss";
    log.clear();
    EXPECT_EQ(log.firstPosition(), 0u);
}

}  // namespace
}  // namespace orvane

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <span>
#include <thread>

#include <gtest/gtest.h>

#include "device/DeviceSerialInterface.h"
#include "platform/GlobalQueue.h"
#include "platform/Log.h"
#include "support/PtyPeer.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using testing::waitFor;

// The exchange loop has ended when nothing but the test holds the session any more.
bool loopEnds(const std::shared_ptr<DeviceSerialInterface>& session, std::chrono::milliseconds timeout = 15s) {
    return waitFor([&] { return session.use_count() == 1; }, timeout);
}

// Collects what is logged, as "category:message", while it is the log's sink.
struct LogLines : LogSink {
    void write(std::string_view category, LogLevel, std::string_view message) override {
        std::lock_guard lock(mutex);
        lines.push_back(std::string(category) + ":" + std::string(message));
    }
    std::vector<std::string> taken() {
        std::lock_guard lock(mutex);
        return lines;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

const std::string kSteering =
    "STEERING{angle:12.5\napaTOI:activated\nhalfTOI:temporary-deactivation\nassist-torque:1.25\ndriver-torque:-0.5\n}";

TEST(DeviceSerialInterface, ConnectToMissingFileFails) {
    auto session = std::make_shared<DeviceSerialInterface>("/nonexistent/ttyACM0");
    try {
        session->connect();
        FAIL() << "connect succeeded";
    } catch (const PortError& error) {
        EXPECT_EQ(error.value(), PortError::failedToOpen);
    }
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(session.use_count(), 1);  // no loop was started
    session->disconnect();
    session->disconnect();
    EXPECT_FALSE(session->isConnected());
}

TEST(DeviceSerialInterface, ExchangesRequestsAndDecodesReports) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    EXPECT_EQ(session->path(), peer.devicePath());
    session->connect();
    EXPECT_TRUE(session->isConnected());

    auto first = peer.readRequest();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, "CONTROL");
    EXPECT_EQ(first->fields, (std::map<std::string, std::string>{{"lat", "0.0"}, {"long", "0.0"}}));

    session->setRequestLateralControlMagntiude(-0.5);
    session->setRequestLongitudinalControlMagntiude(0.25);
    EXPECT_EQ(session->requestLateralControlMagntiude(), -0.5);
    ASSERT_TRUE(peer.send(kSteering));

    // The next request is built after the reply was decoded, with the magnitudes set above.
    auto second = peer.readRequestText();
    ASSERT_TRUE(second);
    EXPECT_TRUE(*second == "CONTROL{lat:-50.0\nlong:25.0\n}" || *second == "CONTROL{long:25.0\nlat:-50.0\n}")
        << *second;
    EXPECT_EQ(session->decodedMessageCount(), 1u);
    EXPECT_EQ(session->steeringWheelAngle(), 12.5);
    EXPECT_EQ(session->parkTOI(), TOIStatus::active);
    EXPECT_EQ(session->halfTOI(), TOIStatus::temporaryDeactivated);
    EXPECT_EQ(session->steeringAssistanceTorque(), 1.25);
    EXPECT_EQ(session->steeringDriverTorque(), -0.5);

    ASSERT_TRUE(peer.send("DEVICE-INFO{version:1.1.9.0\nbuild-date:2019-05-14T09:30:00.000Z\nserial-number:OV-1\n}"));
    ASSERT_TRUE(peer.readRequest());
    EXPECT_EQ(session->version(), Version(1, 1, 9, 0));
    EXPECT_TRUE(session->buildDate().has_value());
    EXPECT_EQ(session->serialNumber(), "OV-1");

    ASSERT_TRUE(
        peer.send("STATE{lateral-control-method:HALF\nlongitudinal-control-method:DASM\n}"
                  "STATISTICS{can0-rx-message-count:10\ncan1-rx-message-count:20\n}"));
    ASSERT_TRUE(peer.readRequest());
    ASSERT_TRUE(peer.readRequest());
    const DeviceTelemetry telemetry = session->telemetry();
    EXPECT_EQ(telemetry.lateralControlMethod.kind, LateralControlMethod::half);
    EXPECT_EQ(telemetry.longitudinalControlMethod.kind, LongitudinalControlMethod::dasm);
    EXPECT_EQ(telemetry.receivedMessageCountsByChannel, (std::map<std::int64_t, std::int64_t>{{0, 10}, {1, 20}}));
    EXPECT_EQ(session->lateralControlMethod(), telemetry.lateralControlMethod);
    EXPECT_EQ(session->receivedMessageCountsByChannel(), telemetry.receivedMessageCountsByChannel);
    EXPECT_EQ(telemetry.steeringWheelAngle, 12.5);  // untouched by the other messages
    EXPECT_EQ(session->name(), "");

    session->disconnect();
    EXPECT_FALSE(session->isConnected());
    EXPECT_TRUE(loopEnds(session));
    EXPECT_FALSE(session->port()->isOpen());
}

TEST(DeviceSerialInterface, OneRequestPerAckAndOneLoopPerConnection) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    session->connect();
    session->connect();  // already connected: no second loop
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(peer.readRequest()) << "request " << i;
        ASSERT_TRUE(peer.send("ACK{}"));
    }
    ASSERT_TRUE(peer.readRequest());
    // A second loop would have sent a request of its own by now.
    EXPECT_FALSE(peer.readRequest(300ms));
    EXPECT_EQ(session->decodedMessageCount(), 20u);
    const DeviceTelemetry telemetry = session->telemetry();
    EXPECT_EQ(telemetry.steeringWheelAngle, 0);
    EXPECT_EQ(telemetry.parkTOI, TOIStatus::unknown);
    EXPECT_EQ(telemetry.lateralControlMethod.kind, LateralControlMethod::unknown);
    EXPECT_FALSE(telemetry.version.has_value());
    EXPECT_TRUE(telemetry.receivedMessageCountsByChannel.empty());
    session->disconnect();
    EXPECT_TRUE(loopEnds(session));
}

// Requests are numbered as the loop composes them: the one written after the number read once the
// magnitudes were set carries them. A wait for one ends with the link (disconnected or unplugged,
// here while a request is written), and a wait after the end still gives the last one written
// when its number is above the one asked for.
TEST(DeviceSerialInterface, TheRequestAfterASequenceNumberCarriesWhatWasSetBeforeIt) {
    EXPECT_FALSE(std::make_shared<DeviceSerialInterface>("/nonexistent/ttyACM0")->waitForRequestAfter(0, 60s));
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplugged" : "disconnected");
        PtyPeer peer;
        auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
        peer.startAnswering([](const DeviceReport&) { return std::string("ACK{}"); });
        session->connect();
        std::optional<WrittenRequest> last;
        for (const double lateral : {-0.5, 0.25, 0.0}) {
            session->setRequestLateralControlMagntiude(lateral);
            session->setRequestLongitudinalControlMagntiude(-lateral / 2);
            const std::uint64_t sequence = session->requestSequence();
            last = session->waitForRequestAfter(sequence, 10s);
            ASSERT_TRUE(last);
            EXPECT_GT(last->sequence, sequence);
            EXPECT_EQ(last->lateral, lateral);
            EXPECT_EQ(last->longitudinal, -lateral / 2);
        }
        std::atomic<bool> end{false};
        session->addRequestObserver([&](const DeviceReport&) {
            if (end.exchange(false)) unplug ? peer.unplug() : session->disconnect();
        });
        end = true;
        const auto waited = std::chrono::steady_clock::now();
        EXPECT_FALSE(session->waitForRequestAfter(session->requestSequence() + 1000000, 60s));
        EXPECT_LT(std::chrono::steady_clock::now() - waited, 30s);
        EXPECT_TRUE(loopEnds(session));
        const auto after = session->waitForRequestAfter(last->sequence - 1, 60s);
        ASSERT_TRUE(after);
        EXPECT_GE(after->sequence, last->sequence);
        EXPECT_EQ(after->lateral, 0.0);
    }
}

TEST(DeviceSerialInterface, UnplugEndsTheLoopAndKeepsTheTelemetry) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    session->connect();
    peer.startAnswering([](const DeviceReport&) { return kSteering; });
    ASSERT_TRUE(peer.waitForRequests(5));

    peer.unplug();
    ASSERT_TRUE(waitFor([&] { return !session->isConnected(); }));
    EXPECT_TRUE(loopEnds(session));
    EXPECT_FALSE(session->port()->isOpen());
    EXPECT_EQ(session->steeringWheelAngle(), 12.5);
    EXPECT_EQ(session->parkTOI(), TOIStatus::active);
}

TEST(DeviceSerialInterface, DisconnectFromAnotherThreadEndsAWaitingRead) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    session->connect();
    ASSERT_TRUE(peer.readRequest());  // the device stays silent: the loop waits in its read
    std::this_thread::sleep_for(50ms);

    std::thread([session] { session->disconnect(); }).join();
    EXPECT_FALSE(session->isConnected());
    EXPECT_TRUE(loopEnds(session));
    EXPECT_EQ(session->decodedMessageCount(), 0u);
}

TEST(DeviceSerialInterface, ReconnectStartsOneFreshLoop) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    for (int round = 0; round < 5; ++round) {
        session->connect();
        ASSERT_TRUE(peer.readRequest()) << "round " << round;
        ASSERT_TRUE(peer.send("ACK{}"));
        ASSERT_TRUE(peer.readRequest()) << "round " << round;
        // Half a message left behind by this connection must not reach the next one.
        ASSERT_TRUE(peer.send("STEERING{angle:"));
        ASSERT_TRUE(waitFor([&] { return session->decodedMessageCount() == static_cast<std::uint64_t>(round + 1); }));
        session->disconnect();
        session->disconnect();
        ASSERT_TRUE(loopEnds(session)) << "round " << round;
    }
    session->connect();
    ASSERT_TRUE(peer.readRequest());
    EXPECT_FALSE(peer.readRequest(300ms));
    session->disconnect();
    EXPECT_TRUE(loopEnds(session));
}

TEST(DeviceSerialInterface, SilenceIsAnsweredWithTheNextRequest) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    session->connect();
    ASSERT_TRUE(peer.readRequest());  // lost: never answered
    ASSERT_TRUE(peer.readRequest(15s)) << "no request after a silent read time-out";
    // The silence the console shows as "not responding" counts from connect while no message came.
    EXPECT_FALSE(session->lastMessageTime());
    EXPECT_TRUE(waitFor([&] { return session->timeSinceLastMessage() >= 1s; }, 15s));
    const auto beforeReply = std::chrono::steady_clock::now();
    // Half a reply, then silence: the loop asks again and keeps the half.
    ASSERT_TRUE(peer.send("STEERING{angle:"));
    ASSERT_TRUE(peer.readRequest(15s));
    auto log = std::make_shared<LogLines>();
    const auto previousSink = setLogSink(log);
    ASSERT_TRUE(peer.send("7.5\n}STATE{lateral-control-method:APA\n}"));
    const bool decoded = waitFor([&] { return session->decodedMessageCount() == 2; }, 15s);
    setLogSink(previousSink);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(session->steeringWheelAngle(), 7.5);
    EXPECT_EQ(session->lateralControlMethod().kind, LateralControlMethod::apa);
    EXPECT_TRUE(log->taken().empty());  // the message after the gap was not spoilt into an unknown one
    EXPECT_TRUE(session->isConnected());
    const auto last = session->lastMessageTime();
    const auto silence = session->timeSinceLastMessage();
    const auto sinceReply = std::chrono::steady_clock::now() - beforeReply;
    ASSERT_TRUE(last);
    EXPECT_GE(*last, beforeReply);
    EXPECT_LE(silence, sinceReply);
    session->disconnect();
    EXPECT_EQ(session->timeSinceLastMessage(), std::chrono::steady_clock::duration::zero());
    EXPECT_TRUE(loopEnds(session));
}

TEST(DeviceSerialInterface, TheEndOfALinkSaysWhy) {
    struct Case {
        const char* what;
        std::function<void(PtyPeer&, DeviceSerialInterface&)> end;
        LinkEndCause cause;
        const char* detail;
    };
    const Case cases[] = {
        {"unplug", [](PtyPeer& peer, DeviceSerialInterface&) { peer.unplug(); }, LinkEndCause::unplugged, "unplugged"},
        {"high-bit byte", [](PtyPeer& peer, DeviceSerialInterface&) { ASSERT_TRUE(peer.send("STEER\xC9NG{}")); },
         LinkEndCause::protocolViolation, "not the protocol (a byte with the high bit set)"},
        {"endless name",
         [](PtyPeer& peer, DeviceSerialInterface&) {
             ASSERT_TRUE(peer.send(std::string(ReportFramer::kMaximumTextLength + 10, 'N')));
         },
         LinkEndCause::protocolViolation, "not the protocol (a name longer than 4096 bytes)"},
        {"endless value",
         [](PtyPeer& peer, DeviceSerialInterface&) {
             ASSERT_TRUE(peer.send("X{k:" + std::string(ReportFramer::kMaximumTextLength + 10, 'v')));
         },
         LinkEndCause::protocolViolation, "not the protocol (a value longer than 4096 bytes)"},
        {"disconnect", [](PtyPeer&, DeviceSerialInterface& session) { session.disconnect(); },
         LinkEndCause::userDisconnect, "closed on request"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PtyPeer peer;
        auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
        // Shared with the observer, which may outlive this pass if the loop does not end.
        struct Seen {
            std::mutex mutex;
            std::vector<LinkEnd> ends;
            std::thread::id thread;
        };
        auto seen = std::make_shared<Seen>();
        session->addLinkEndObserver([seen](const LinkEnd& end) {
            std::lock_guard lock(seen->mutex);
            seen->ends.push_back(end);
            seen->thread = std::this_thread::get_id();
        });
        session->connect();
        ASSERT_TRUE(peer.readRequest());
        EXPECT_FALSE(session->linkEnd());
        c.end(peer, *session);
        ASSERT_TRUE(waitFor([&] { return !session->isConnected(); }));
        const auto end = session->linkEnd();
        ASSERT_TRUE(end);
        EXPECT_EQ(end->cause, c.cause);
        EXPECT_NE(end->detail.find(c.detail), std::string::npos) << end->detail;
        ASSERT_TRUE(loopEnds(session));
        std::lock_guard lock(seen->mutex);
        ASSERT_EQ(seen->ends.size(), 1u);
        EXPECT_EQ(seen->ends.front(), *end);
        EXPECT_NE(seen->thread, std::this_thread::get_id());  // the exchange thread, also after disconnect()
    }
}

TEST(DeviceSerialInterface, ObserversSitSideBySide) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    // Shared with the observers, which the session keeps until it goes.
    struct Seen {
        std::atomic<int> messages[3]{};
        std::atomic<int> ends[2]{};
    };
    auto seen = std::make_shared<Seen>();
    auto counting = [seen](int which) {
        return [seen, which](const DeviceReport&, const DeviceTelemetry&) { seen->messages[which]++; };
    };
    const ObserverId first = session->addMessageObserver(counting(0));
    session->addMessageObserver(counting(1));
    for (int which : {0, 1}) session->addLinkEndObserver([seen, which](const LinkEnd&) { seen->ends[which]++; });
    EXPECT_FALSE(session->addMessageObserver(nullptr));

    // Each reply is seen by the observers before the next request goes out.
    auto exchange = [&](int messages) {
        for (int i = 0; i < messages; ++i) {
            ASSERT_TRUE(peer.send("ACK{}"));
            ASSERT_TRUE(peer.readRequest());
        }
    };
    session->connect();
    ASSERT_TRUE(peer.readRequest());
    exchange(5);
    EXPECT_EQ(seen->messages[0].load(), 5);
    EXPECT_EQ(seen->messages[1].load(), 5);

    // While the exchange runs one observer goes and another comes; the second stays.
    EXPECT_TRUE(session->removeObserver(first));
    EXPECT_FALSE(session->removeObserver(first));
    session->addMessageObserver(counting(2));
    exchange(5);
    EXPECT_EQ(seen->messages[0].load(), 5);
    EXPECT_EQ(seen->messages[1].load(), 10);
    EXPECT_EQ(seen->messages[2].load(), 5);

    session->disconnect();
    ASSERT_TRUE(loopEnds(session));
    EXPECT_EQ(seen->ends[0].load(), 1);
    EXPECT_EQ(seen->ends[1].load(), 1);
}

// A line that takes at most a few bytes per write, as a full one does when a signal cuts a
// waiting write short; it counts the writes that took less than they were given.
class ShortWritingPort : public SerialPort {
public:
    using SerialPort::SerialPort;

    ssize_t writeChunk(std::span<const std::uint8_t> bytes) override {
        static constexpr std::size_t kPieces[] = {1, 5, 11};
        const std::size_t size = std::min(bytes.size(), kPieces[next_++ % std::size(kPieces)]);
        const ssize_t written = SerialPort::writeChunk(bytes.first(size));
        if (written > 0 && static_cast<std::size_t>(written) < bytes.size()) cuts.fetch_add(1);
        return written;
    }

    std::atomic<int> cuts{0};

private:
    std::size_t next_ = 0;  // only the exchange thread writes
};

TEST(DeviceSerialInterface, ARequestCutShortIsSentWhole) {
    // The rest of a request that a write took only in part follows before anything else.
    PtyPeer peer;
    auto port = std::make_shared<ShortWritingPort>(peer.devicePath());
    auto session = std::make_shared<DeviceSerialInterface>(port);
    session->setRequestLateralControlMagntiude(-0.5);
    session->connect();
    for (int i = 0; i < 10; ++i) {
        const auto request = peer.readRequestText(15s);
        ASSERT_TRUE(request) << "request " << i;
        EXPECT_TRUE(*request == "CONTROL{lat:-50.0\nlong:0.0\n}" || *request == "CONTROL{long:0.0\nlat:-50.0\n}")
            << "request " << i << ": " << *request;
        ASSERT_TRUE(peer.send("ACK{}"));
    }
    EXPECT_GE(port->cuts.load(), 10);  // every request was cut, most of them more than once
    EXPECT_TRUE(session->isConnected());
    session->disconnect();
    EXPECT_TRUE(loopEnds(session));
}

TEST(DeviceSerialInterface, BadBytesFromTheDeviceEndTheLink) {
    const std::string streams[] = {
        "STEER\xC9NG{}",                                          // high-bit byte in a name
        "STEERING{angle:1\xB0\n}",                                // ... in a value
        std::string(ReportFramer::kMaximumTextLength + 10, 'N'),  // a name that never ends
        "X{k:" + std::string(ReportFramer::kMaximumTextLength + 10, 'v'),
    };
    for (const auto& stream : streams) {
        PtyPeer peer;
        auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
        session->connect();
        ASSERT_TRUE(peer.readRequest());
        ASSERT_TRUE(peer.send(stream));
        EXPECT_TRUE(waitFor([&] { return !session->isConnected(); })) << stream.substr(0, 20);
        EXPECT_TRUE(loopEnds(session));
        EXPECT_EQ(session->decodedMessageCount(), 0u);
    }
}

TEST(DeviceSerialInterface, UnknownMessageIsLoggedOnceToTheLinkLog) {
    auto log = std::make_shared<LogLines>();
    const auto previousSink = setLogSink(log);
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    session->connect();
    ASSERT_TRUE(peer.readRequest());
    ASSERT_TRUE(peer.send("FOO{a:1\n}"));
    ASSERT_TRUE(peer.readRequest());
    ASSERT_TRUE(peer.send("ACK{}"));
    ASSERT_TRUE(peer.readRequest());
    setLogSink(previousSink);
    EXPECT_EQ(log->taken(), (std::vector<std::string>{"orvane.link: FOO:\n{\n    \"a\" = \"1\";\n}\n-------"}));
    EXPECT_TRUE(session->isConnected());
    session->disconnect();
    EXPECT_TRUE(loopEnds(session));
}

TEST(DeviceSerialInterface, PortHeldByAnotherOpenFailsAsBusy) {
    PtyPeer peer;
    SerialPort holder(peer.devicePath());
    holder.open();
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    const auto start = std::chrono::steady_clock::now();
    try {
        session->connect();
        FAIL() << "connect to a held port succeeded";
    } catch (const PortError& error) {
        EXPECT_TRUE(error.isBusy()) << error.localizedDescription();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);  // fails instead of waiting for the port
    EXPECT_FALSE(session->isConnected());
    holder.close();
    session->connect();
    EXPECT_TRUE(session->isConnected());
    session->disconnect();
    EXPECT_TRUE(loopEnds(session));
}

TEST(DeviceSerialInterface, DroppedSessionKeepsExchangingUntilTheLinkEnds) {
    PtyPeer peer;
    std::weak_ptr<DeviceSerialInterface> weak;
    {
        auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
        session->connect();
        weak = session;
    }
    peer.startAnswering([](const DeviceReport&) { return std::string("ACK{}"); });
    ASSERT_TRUE(peer.waitForRequests(10));
    EXPECT_FALSE(weak.expired());
    peer.unplug();
    EXPECT_TRUE(waitFor([&] { return weak.expired(); }));
}

TEST(DeviceSerialInterface, ReadersNeverSeeHalfAValue) {
    PtyPeer peer;
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    const std::string serialA(300, 'A');
    const std::string serialB(300, 'B');
    std::atomic<int> replies{0};
    session->connect();
    peer.startAnswering([&](const DeviceReport&) {
        // One message per request, taking turns between whole values A and B of each kind.
        int reply = replies.fetch_add(1);
        bool even = (reply / 2) % 2 == 0;
        if (reply % 2 == 0) {
            return "DEVICE-INFO{version:" + std::string(even ? "1.2.3.4" : "5.6.7.8") +
                   "\nserial-number:" + (even ? serialA : serialB) + "\n}";
        }
        const std::string count = even ? "1" : "2";
        return "STATISTICS{can0-rx-message-count:" + count + "\ncan1-rx-message-count:" + count + "\n}";
    });
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        // The console's pattern: many reads of single properties and whole snapshots.
        while (!stop.load()) {
            std::string serial = session->serialNumber();
            if (!serial.empty() && serial != serialA && serial != serialB) torn.fetch_add(1);
            auto counts = session->receivedMessageCountsByChannel();
            if (!counts.empty() && counts.at(0) != counts.at(1)) torn.fetch_add(1);
            DeviceTelemetry telemetry = session->telemetry();
            if (telemetry.version && *telemetry.version != Version(1, 2, 3, 4) &&
                *telemetry.version != Version(5, 6, 7, 8)) {
                torn.fetch_add(1);
            }
        }
    });
    const bool answered = peer.waitForRequests(200, 10s);
    stop.store(true);
    reader.join();
    peer.stopAnswering();  // the answers refer to this test's locals
    ASSERT_TRUE(answered);
    EXPECT_EQ(torn.load(), 0);
    session->disconnect();
    EXPECT_TRUE(loopEnds(session));
}

}  // namespace
}  // namespace orvane

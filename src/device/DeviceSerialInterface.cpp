#include "device/DeviceSerialInterface.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/GlobalQueue.h"

namespace orvane {

DeviceSerialInterface::DeviceSerialInterface(std::string path)
    : path_(std::move(path)), port_(std::make_shared<SerialPort>(path_)) {}

DeviceSerialInterface::~DeviceSerialInterface() = default;

void DeviceSerialInterface::connect() {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (isConnected()) return;
    std::uint64_t generation = 0;
    {
        // An earlier loop's port operation has been woken by the close that ended its
        // connection; wait for it to leave before the port is reopened.
        std::lock_guard exchange(exchangeMutex_);
        port_->open(true, true);
        port_->configure(BaudRate::baud115200, BaudRate::baud115200, 0, 10, ParityType::none, false,
                         DataBitsSize::bits8, false, false, false);
        // Bytes that arrived before this connection (the rest of a reply to an earlier one) are
        // no answer to this connection's first request.
        port_->discardInput();
        framer_.reset();
        inputStart_ = inputEnd_ = 0;
        generation = currentGeneration() + 1;
        state_.store(generation << 1 | 1);
    }
    GlobalQueue::shared().async([self = shared_from_this(), generation] { self->runExchange(generation); });
}

void DeviceSerialInterface::disconnect() {
    std::lock_guard lifecycle(lifecycleMutex_);
    // The loop may end the link at the same moment: whoever clears the flag closes the port.
    std::uint64_t state = state_.load();
    while ((state & 1) != 0) {
        if (state_.compare_exchange_weak(state, state & ~std::uint64_t{1})) {
            port_->close();
            return;
        }
    }
}

// The link of `generation` failed: clear isConnected and close the port, unless the session
// has since been disconnected or connected again.
void DeviceSerialInterface::endLink(std::uint64_t generation) {
    std::uint64_t connected = generation << 1 | 1;
    if (state_.compare_exchange_strong(connected, generation << 1)) port_->close();
}

std::optional<DeviceReport> DeviceSerialInterface::readReport() { return readReport(currentGeneration()); }

std::optional<DeviceReport> DeviceSerialInterface::readReport(std::uint64_t generation) {
    std::lock_guard exchange(exchangeMutex_);
    if (!isCurrent(generation)) return std::nullopt;
    try {
        for (;;) {
            if (inputStart_ < inputEnd_) {
                inputStart_ += framer_.feed(std::span(input_.data() + inputStart_, inputEnd_ - inputStart_));
                if (framer_.hasMessage()) return framer_.takeMessage();
                if (framer_.failed()) break;
            }
            // One read takes whatever has arrived; the framer applies the byte-by-byte rules.
            inputStart_ = inputEnd_ = 0;
            ssize_t count = port_->readBuffer(input_.data(), input_.size());
            // A read time-out (1 s of silence): give nothing, so that the loop asks again. The
            // device may have lost the request, or its reply. Part of a message that has
            // arrived stays in the framer and the next read continues it: the protocol has no
            // mark where a message starts, so dropping those bytes would make the rest of the
            // message the start of the next name and spoil the next message as well.
            if (count <= 0) return std::nullopt;
            inputEnd_ = static_cast<std::size_t>(count);
        }
    } catch (const PortError&) {
        // Unplugged, closed by disconnect(), or a read error: the link ends below.
    }
    framer_.reset();
    inputStart_ = inputEnd_ = 0;
    endLink(generation);
    return std::nullopt;
}

void DeviceSerialInterface::sendRequest(const std::string& name, const std::map<std::string, std::string>& fields) {
    sendText(currentGeneration(), messageText(DeviceReport{name, fields}));
}

void DeviceSerialInterface::sendText(std::uint64_t generation, const std::string& text) {
    std::lock_guard exchange(exchangeMutex_);
    if (!isCurrent(generation)) return;
    ssize_t written = -1;
    try {
        written = port_->writeText(text);
    } catch (const PortError&) {
        written = -1;
    }
    if (written < 1) endLink(generation);
}

void DeviceSerialInterface::decode(const DeviceReport& report) {
    MessageObserver observer;
    {
        std::lock_guard lock(observerMutex_);
        observer = observer_;
    }
    bool known = false;
    std::optional<DeviceTelemetry> snapshot;
    {
        std::lock_guard lock(telemetryMutex_);
        known = telemetry_.apply(report);
        if (observer) snapshot = telemetry_;
    }
    decodedMessageCount_.fetch_add(1);
    if (!known) {
        std::string line = unknownMessageLogText(report) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
    if (observer) observer(report, *snapshot);
}

void DeviceSerialInterface::runExchange(std::uint64_t generation) {
    // The request text is built again only when a magnitude changed: the console sets them
    // 50 times a second, the device may answer thousands of times a second.
    std::optional<std::pair<double, double>> requested;
    std::string request;
    while (isCurrent(generation)) {
        const std::pair<double, double> magnitudes{requestLateral_.load(), requestLongitudinal_.load()};
        if (!requested || std::memcmp(&*requested, &magnitudes, sizeof magnitudes) != 0) {
            requested = magnitudes;
            request = messageText(controlRequest(magnitudes.first, magnitudes.second));
        }
        sendText(generation, request);
        if (auto report = readReport(generation)) {
            decode(*report);
            std::lock_guard exchange(exchangeMutex_);
            framer_.recycle(std::move(*report));
        }
    }
}

void DeviceSerialInterface::setMessageObserver(MessageObserver observer) {
    std::lock_guard lock(observerMutex_);
    observer_ = std::move(observer);
}

DeviceTelemetry DeviceSerialInterface::telemetry() const {
    std::lock_guard lock(telemetryMutex_);
    return telemetry_;
}

double DeviceSerialInterface::steeringWheelAngle() const { return read(&DeviceTelemetry::steeringWheelAngle); }
TOIStatus DeviceSerialInterface::parkTOI() const { return read(&DeviceTelemetry::parkTOI); }
TOIStatus DeviceSerialInterface::halfTOI() const { return read(&DeviceTelemetry::halfTOI); }
double DeviceSerialInterface::steeringAssistanceTorque() const {
    return read(&DeviceTelemetry::steeringAssistanceTorque);
}
double DeviceSerialInterface::steeringDriverTorque() const { return read(&DeviceTelemetry::steeringDriverTorque); }
std::optional<Version> DeviceSerialInterface::version() const { return read(&DeviceTelemetry::version); }
std::string DeviceSerialInterface::name() const { return read(&DeviceTelemetry::name); }
std::optional<std::chrono::system_clock::time_point> DeviceSerialInterface::buildDate() const {
    return read(&DeviceTelemetry::buildDate);
}
std::string DeviceSerialInterface::serialNumber() const { return read(&DeviceTelemetry::serialNumber); }
LateralControlMethod DeviceSerialInterface::lateralControlMethod() const {
    return read(&DeviceTelemetry::lateralControlMethod);
}
LongitudinalControlMethod DeviceSerialInterface::longitudinalControlMethod() const {
    return read(&DeviceTelemetry::longitudinalControlMethod);
}
std::map<std::int64_t, std::int64_t> DeviceSerialInterface::receivedMessageCountsByChannel() const {
    return read(&DeviceTelemetry::receivedMessageCountsByChannel);
}

}  // namespace orvane

#include "device/DeviceSerialInterface.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <utility>

#include "device/BootloaderProbe.h"
#include "platform/GlobalQueue.h"
#include "platform/Log.h"
#include "platform/ThreadName.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

constexpr auto kNever = std::numeric_limits<std::chrono::steady_clock::rep>::min();

std::chrono::steady_clock::rep steadyNow() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

std::string systemErrorText(int error) {
    return error != 0 ? std::strerror(error) : translate("DeviceSerialInterface", "unknown error");
}

// Errors of a line whose device went away: a hang-up, or a device file that is no longer there.
bool isGoneError(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

LinkEnd userDisconnectEnd() {
    return {LinkEndCause::userDisconnect, translate("DeviceSerialInterface", "the connection was closed on request")};
}

LinkEnd unpluggedEnd() {
    return {LinkEndCause::unplugged,
            translate("DeviceSerialInterface", "the device was unplugged or its line hung up")};
}

std::string readFailedText(const std::string& cause) {
    return withArgs(translate("DeviceSerialInterface", "reading from the device failed: %1"), cause);
}

std::string sendFailedText(const std::string& cause) {
    return withArgs(translate("DeviceSerialInterface", "sending a request to the device failed: %1"), cause);
}

std::string portClosedText() { return translate("DeviceSerialInterface", "the serial port was closed"); }

LinkEnd readEnd(const PortError& error) {
    if (error.value() == PortError::deviceNotConnected) {
        // The presence check and a hang-up carry no errno; a failed read carries its own.
        if (error.systemError() == 0 || isGoneError(error.systemError())) return unpluggedEnd();
        return {LinkEndCause::readFailed, readFailedText(systemErrorText(error.systemError()))};
    }
    if (error.value() == PortError::mustBeOpen) return {LinkEndCause::readFailed, portClosedText()};
    return {LinkEndCause::readFailed, readFailedText(error.localizedDescription())};
}

LinkEnd writeEnd(int error) {
    if (isGoneError(error)) return unpluggedEnd();
    return {LinkEndCause::writeFailed, sendFailedText(systemErrorText(error))};
}

}  // namespace

DeviceSerialInterface::DeviceSerialInterface(std::string path)
    : path_(std::move(path)), port_(std::make_shared<SerialPort>(path_)) {}

DeviceSerialInterface::DeviceSerialInterface(std::shared_ptr<SerialPort> port)
    : path_(port->path()), port_(std::move(port)) {}

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
        connectedAt_.store(steadyNow());
        {
            std::lock_guard lock(telemetryMutex_);
            bootloaderVersion_.reset();
        }
        std::lock_guard link(linkMutex_);
        linkEnd_.reset();
        state_.store(generation << 1 | 1);
    }
    GlobalQueue::shared().async([self = shared_from_this(), generation] { self->runExchange(generation); });
}

void DeviceSerialInterface::disconnect() {
    std::lock_guard lifecycle(lifecycleMutex_);
    {
        // The loop may end the link at the same moment: whoever clears the flag closes the port.
        std::lock_guard link(linkMutex_);
        const std::uint64_t state = state_.load();
        if ((state & 1) == 0) return;
        state_.store(state & ~std::uint64_t{1});
        linkEnd_ = userDisconnectEnd();
        linkEndGeneration_ = state >> 1;
    }
    port_->close();
    notifyWritten(nullptr);
}

// The link of `generation` failed: clear isConnected, record why and close the port, unless
// the session has since been disconnected or connected again. True when this call ended it.
bool DeviceSerialInterface::endLink(std::uint64_t generation, LinkEnd end) {
    {
        std::lock_guard link(linkMutex_);
        std::uint64_t connected = generation << 1 | 1;
        if (!state_.compare_exchange_strong(connected, generation << 1)) return false;
        linkEnd_ = std::move(end);
        linkEndGeneration_ = generation;
    }
    port_->close();
    notifyWritten(nullptr);
    return true;
}

void DeviceSerialInterface::notifyWritten(const WrittenRequest* written) {
    {
        // Taken also when only the connection ended: a waiter checks the state under this lock, so
        // it either sees the change or is waiting when told.
        std::lock_guard lock(writtenMutex_);
        if (written && written->sequence > lastWritten_.sequence) lastWritten_ = *written;
    }
    writtenChanged_.notify_all();
}

std::optional<WrittenRequest> DeviceSerialInterface::waitForRequestAfter(std::uint64_t sequence,
                                                                         std::chrono::milliseconds timeout) const {
    const std::uint64_t state = state_.load();
    std::unique_lock lock(writtenMutex_);
    writtenChanged_.wait_for(
        lock, timeout, [&] { return lastWritten_.sequence > sequence || (state & 1) == 0 || state_.load() != state; });
    if (lastWritten_.sequence > sequence) return lastWritten_;
    return std::nullopt;
}

std::optional<LinkEnd> DeviceSerialInterface::linkEnd() const {
    std::lock_guard link(linkMutex_);
    return linkEnd_;
}

std::optional<std::chrono::steady_clock::time_point> DeviceSerialInterface::lastMessageTime() const {
    const auto ticks = lastMessage_.load();
    if (ticks == kNever) return std::nullopt;
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
}

std::chrono::steady_clock::duration DeviceSerialInterface::timeSinceLastMessage() const {
    if (!isConnected()) return std::chrono::steady_clock::duration::zero();
    const auto since = std::max(lastMessage_.load(), connectedAt_.load());
    return std::max(std::chrono::steady_clock::duration(steadyNow() - since),
                    std::chrono::steady_clock::duration::zero());
}

std::optional<DeviceReport> DeviceSerialInterface::readReport() {
    std::optional<LinkEnd> endedHere;
    return readReport(currentGeneration(), endedHere);
}

std::optional<DeviceReport> DeviceSerialInterface::readReport(std::uint64_t generation,
                                                              std::optional<LinkEnd>& endedHere) {
    std::lock_guard exchange(exchangeMutex_);
    if (!isCurrent(generation)) return std::nullopt;
    LinkEnd end;
    try {
        for (;;) {
            if (inputStart_ < inputEnd_) {
                inputStart_ += framer_.feed(std::span(input_.data() + inputStart_, inputEnd_ - inputStart_));
                if (framer_.hasMessage()) return framer_.takeMessage();
                if (framer_.failed()) {
                    end = {LinkEndCause::protocolViolation,
                           withArgs(
                               translate("DeviceSerialInterface", "the device sent data that is not the protocol (%1)"),
                               framer_.failureDescription())};
                    break;
                }
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
    } catch (const PortError& error) {
        // Unplugged, closed by disconnect() (then the link has ended already), or a read error.
        end = readEnd(error);
    }
    framer_.reset();
    inputStart_ = inputEnd_ = 0;
    if (endLink(generation, end)) endedHere = std::move(end);
    return std::nullopt;
}

void DeviceSerialInterface::sendRequest(const std::string& name, const std::map<std::string, std::string>& fields) {
    std::optional<LinkEnd> endedHere;
    DeviceReport request{name, fields};
    if (sendText(currentGeneration(), messageText(request), endedHere)) notifyRequestSent(request);
}

bool DeviceSerialInterface::sendText(std::uint64_t generation, const std::string& text,
                                     std::optional<LinkEnd>& endedHere) {
    std::lock_guard exchange(exchangeMutex_);
    if (!isCurrent(generation)) return false;
    std::optional<LinkEnd> end;
    if (!isWellFormedUTF8(text)) {
        end = LinkEnd{LinkEndCause::writeFailed,
                      sendFailedText(PortError(PortError::stringsMustBeUTF8, path_).localizedDescription())};
    } else {
        end = writeWhole(text);
    }
    if (end && endLink(generation, *end)) endedHere = std::move(end);
    return !end;
}

std::optional<LinkEnd> DeviceSerialInterface::writeWhole(std::string_view text) {
    try {
        // A write may take only part of the text (a signal arrived while the line was full); the
        // rest follows, so the device never gets a cut-off request. Closing the port wakes a
        // waiting write, and the next one then fails with mustBeOpen.
        std::span rest(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        while (!rest.empty()) {
            const ssize_t written = port_->writeChunk(rest);
            if (written < 0) return writeEnd(errno);
            if (written == 0) {
                return LinkEnd{LinkEndCause::writeFailed,
                               translate("DeviceSerialInterface", "the device took none of a request")};
            }
            rest = rest.subspan(static_cast<std::size_t>(written));
        }
    } catch (const PortError& error) {
        return LinkEnd{LinkEndCause::writeFailed, error.value() == PortError::mustBeOpen
                                                      ? portClosedText()
                                                      : sendFailedText(error.localizedDescription())};
    }
    return std::nullopt;
}

std::optional<std::string> DeviceSerialInterface::probeBootloader(std::uint64_t generation,
                                                                  std::optional<LinkEnd>& endedHere) {
    std::lock_guard exchange(exchangeMutex_);
    if (!isCurrent(generation)) return std::nullopt;
    // The answers are read into the input buffer, behind whatever it still holds: if no
    // bootloader answers, the framing takes all of it as the device's bytes.
    if (inputStart_ == inputEnd_) inputStart_ = inputEnd_ = 0;
    logInfo(kLinkLog, path_ + " sends no reports: asking whether a bootloader answers there");
    std::optional<LinkEnd> end;
    askBootloader(kBootloaderBinaryModeCommand, false, end);
    const std::size_t versionAnswerStart = inputEnd_;
    if (!end) askBootloader(kBootloaderVersionCommand, true, end);
    if (end) {
        framer_.reset();
        inputStart_ = inputEnd_ = 0;
        if (endLink(generation, *end)) endedHere = std::move(end);
        return std::nullopt;
    }
    const std::string_view versionAnswer(reinterpret_cast<const char*>(input_.data()) + versionAnswerStart,
                                         inputEnd_ - versionAnswerStart);
    std::optional<std::string> version = bootloaderVersionLine(versionAnswer);
    logInfo(kLinkLog,
            version ? "A bootloader answers on " + path_ + ": " + *version : "No bootloader answers on " + path_);
    if (version) {
        framer_.reset();
        inputStart_ = inputEnd_ = 0;
        std::lock_guard lock(telemetryMutex_);
        bootloaderVersion_ = version;
    }
    return version;
}

void DeviceSerialInterface::askBootloader(std::string_view command, bool textLine, std::optional<LinkEnd>& end) {
    if ((end = writeWhole(command))) return;
    const std::size_t start = inputEnd_;
    try {
        // A bootloader answers at once; a read that waits its whole time-out (1 s) ends the wait.
        while (inputEnd_ < input_.size()) {
            std::string_view answer(reinterpret_cast<const char*>(input_.data()) + start, inputEnd_ - start);
            // A text line may follow a late line end of the answer before.
            if (textLine) answer.remove_prefix(std::min(answer.size(), answer.find_first_not_of("\r\n")));
            if (answer.find("\n\r") != std::string_view::npos) return;
            const ssize_t count = port_->readBuffer(input_.data() + inputEnd_, input_.size() - inputEnd_);
            if (count <= 0) return;
            inputEnd_ += static_cast<std::size_t>(count);
        }
    } catch (const PortError& error) {
        end = readEnd(error);
    }
}

void DeviceSerialInterface::watchBootloader(std::uint64_t generation, std::optional<LinkEnd>& endedHere) {
    std::lock_guard exchange(exchangeMutex_);
    if (!isCurrent(generation)) return;
    try {
        port_->readBuffer(input_.data(), input_.size());
    } catch (const PortError& error) {
        // Unplugged, or closed by disconnect() (then the link has ended already).
        LinkEnd end = readEnd(error);
        if (endLink(generation, end)) endedHere = std::move(end);
    }
}

void DeviceSerialInterface::notifyRequestSent(const DeviceReport& request) {
    const auto observers = requestObservers_.snapshot();
    for (const auto& entry : *observers) entry.observer(request);
}

void DeviceSerialInterface::decode(const DeviceReport& report) {
    const auto observers = messageObservers_.snapshot();
    // The telemetry as the observers are handed it: assigned over the last message's copy,
    // whose texts and maps keep their storage, so at a hundred messages a second the copy
    // allocates nothing. One per thread, as the loop of a connection that has just ended may
    // still be here while the next connection's loop decodes its first message.
    thread_local DeviceTelemetry observed;
    bool known = false;
    {
        std::lock_guard lock(telemetryMutex_);
        known = telemetry_.apply(report);
        if (!observers->empty()) observed = telemetry_;
    }
    decodedMessageCount_.fetch_add(1);
    lastMessage_.store(steadyNow());
    if (!known) logInfo(kLinkLog, unknownMessageLogText(report));
    for (const auto& entry : *observers) entry.observer(report, observed);
}

void DeviceSerialInterface::runExchange(std::uint64_t generation) {
    // The loop holds a worker for the whole connection; the name says so while it does.
    setCurrentThreadName("orvane-exchange");
    // The request text is built again only when a magnitude changed: the console sets them
    // 50 times a second, the device may answer thousands of times a second.
    std::optional<std::pair<double, double>> requested;
    DeviceReport requestMessage;
    std::string request;
    std::optional<LinkEnd> endedHere;
    // Whether this silence has been asked about, and what answered.
    bool probed = false;
    std::optional<std::string> bootloader;
    while (isCurrent(generation)) {
        if (bootloader) {
            watchBootloader(generation, endedHere);
            continue;
        }
        if (!probed && timeSinceLastMessage() >= kBootloaderProbeSilence) {
            probed = true;
            bootloader = probeBootloader(generation, endedHere);
            continue;
        }
        // The request is numbered before its magnitudes are loaded, all seq_cst. A caller that
        // stored magnitudes and then read requestSequence() as n made that read before this
        // increment took it past n (the read saw the count without it); the store comes before the
        // read, the increment before the loads below, so request n + 1 and every later one load
        // what the caller stored or something stored after it. Numbered after loading, a request
        // built from older magnitudes could carry a number above n.
        const std::uint64_t number = requestSequence_.fetch_add(1) + 1;
        const std::pair<double, double> magnitudes{requestLateral_.load(), requestLongitudinal_.load()};
        if (!requested || std::memcmp(&*requested, &magnitudes, sizeof magnitudes) != 0) {
            requested = magnitudes;
            requestMessage = controlRequest(magnitudes.first, magnitudes.second);
            request = messageText(requestMessage);
        }
        if (sendText(generation, request, endedHere)) {
            const WrittenRequest written{number, magnitudes.first, magnitudes.second};
            notifyWritten(&written);
            notifyRequestSent(requestMessage);
        }
        if (auto report = readReport(generation, endedHere)) {
            probed = false;
            decode(*report);
            std::lock_guard exchange(exchangeMutex_);
            framer_.recycle(std::move(*report));
        }
    }
    // Why this connection ended: this loop knows when it ended it itself; otherwise it was
    // disconnect() (or sendRequest() or readReport() called from outside the loop, which
    // recorded their cause for this generation).
    if (!endedHere) {
        std::lock_guard link(linkMutex_);
        if (linkEnd_ && linkEndGeneration_ == generation) endedHere = linkEnd_;
    }
    const LinkEnd end = endedHere ? *endedHere : userDisconnectEnd();
    const auto observers = linkEndObservers_.snapshot();
    for (const auto& entry : *observers) entry.observer(end);
    setCurrentThreadName(kGlobalWorkerThreadName);
}

ObserverId DeviceSerialInterface::addMessageObserver(MessageObserver observer) {
    if (!observer) return {};
    const ObserverId id{lastObserverId_.fetch_add(1) + 1};
    messageObservers_.add(id, std::move(observer));
    return id;
}

ObserverId DeviceSerialInterface::addRequestObserver(RequestObserver observer) {
    if (!observer) return {};
    const ObserverId id{lastObserverId_.fetch_add(1) + 1};
    requestObservers_.add(id, std::move(observer));
    return id;
}

ObserverId DeviceSerialInterface::addLinkEndObserver(LinkEndObserver observer) {
    if (!observer) return {};
    const ObserverId id{lastObserverId_.fetch_add(1) + 1};
    linkEndObservers_.add(id, std::move(observer));
    return id;
}

bool DeviceSerialInterface::removeObserver(ObserverId id) {
    if (!id) return false;
    return messageObservers_.remove(id) || requestObservers_.remove(id) || linkEndObservers_.remove(id);
}

std::optional<std::string> DeviceSerialInterface::bootloaderVersion() const {
    std::lock_guard lock(telemetryMutex_);
    return bootloaderVersion_;
}

DeviceTelemetry DeviceSerialInterface::telemetry() const {
    std::lock_guard lock(telemetryMutex_);
    return telemetry_;
}

void DeviceSerialInterface::copyTelemetry(DeviceTelemetry& into) const {
    std::lock_guard lock(telemetryMutex_);
    into = telemetry_;
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

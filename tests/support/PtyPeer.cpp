#include "support/PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "support/WaitFor.h"

namespace orvane {

namespace {

void makeRaw(int fd) {
    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0) return;
    ::cfmakeraw(&attributes);
    ::tcsetattr(fd, TCSANOW, &attributes);
}

}  // namespace

PtyPeer::PtyPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) throw std::runtime_error(std::string("posix_openpt: ") + std::strerror(errno));
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
        int error = errno;
        ::close(master_);
        throw std::runtime_error(std::string("pty setup: ") + std::strerror(error));
    }
    devicePath_ = name;
    // Non-blocking, so that a send to an application that stopped reading can give up.
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    // Raw on both sides: the line discipline must neither echo nor translate anything.
    makeRaw(master_);
    int slave = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        makeRaw(slave);
        ::close(slave);
    }
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PtyPeer::~PtyPeer() {
    unplug();
    if (stopFd_ >= 0) ::close(stopFd_);
}

// Waits for bytes from the application. While the application has the device closed the master
// reports a hang-up; that is waited out, as the application may open it again.
bool PtyPeer::waitReadable(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (master_ < 0) return false;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        int timeoutMs =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()) + 1;
        pollfd descriptors[2] = {{master_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        int ready = ::poll(descriptors, 2, timeoutMs);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        if (descriptors[1].revents != 0) return false;
        if (descriptors[0].revents & POLLIN) return true;
        if (descriptors[0].revents & (POLLHUP | POLLERR)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

std::optional<std::string> PtyPeer::readRequestText(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string text;
    for (;;) {
        if (pendingStart_ < pending_.size()) {
            std::size_t used =
                framer_.feed(std::span(pending_.data() + pendingStart_, pending_.size() - pendingStart_));
            text.append(reinterpret_cast<const char*>(pending_.data() + pendingStart_), used);
            pendingStart_ += used;
            if (framer_.hasMessage()) {
                framer_.takeMessage();
                return text;
            }
            if (framer_.failed()) {
                // Not a message this peer can frame; keep the bytes for the test to see.
                framer_.reset();
                return text;
            }
        }
        pending_.clear();
        pendingStart_ = 0;
        if (!waitReadable(deadline)) {
            // Keep what was read for the next call.
            pending_.assign(text.begin(), text.end());
            framer_.reset();
            return std::nullopt;
        }
        std::uint8_t buffer[4096];
        ssize_t count = ::read(master_, buffer, sizeof buffer);  // poll said readable
        if (count > 0) pending_.assign(buffer, buffer + count);
    }
}

std::optional<DeviceReport> PtyPeer::readRequest(std::chrono::milliseconds timeout) {
    auto text = readRequestText(timeout);
    if (!text) return std::nullopt;
    ReportFramer framer;
    framer.feed(std::span(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()));
    if (!framer.hasMessage()) return std::nullopt;
    return framer.takeMessage();
}

bool PtyPeer::send(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (master_ < 0) return false;
        ssize_t count = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (count < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return false;
            // The line is full: wait a while for the application to read, unless told to stop.
            pollfd descriptors[2] = {{master_, POLLOUT, 0}, {stopFd_, POLLIN, 0}};
            if (::poll(descriptors, 2, 5000) <= 0 || descriptors[1].revents != 0) return false;
            continue;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

void PtyPeer::startAnswering(std::function<std::string(const DeviceReport& request)> answer) {
    stopAnswering();
    answering_.store(true);
    answerThread_ = std::thread([this, answer = std::move(answer)] {
        while (answering_.load()) {
            auto request = readRequest(std::chrono::milliseconds(200));
            if (!request) continue;
            // Recorded and counted as it is read, before the reply: the application sends its
            // next request only after the reply, so every request after the one a count names was
            // made after the test read that count. The latest ones are kept (a test reads the last
            // request, or those since a count).
            {
                std::lock_guard lock(requestsMutex_);
                if (requests_.size() == kMaximumRecordedRequests) requests_.pop_front();
                requests_.push_back(*request);
                ++recorded_;
            }
            std::string reply = answer(*request);
            if (!reply.empty()) send(reply);
        }
    });
}

void PtyPeer::stopAnswering() {
    if (!answerThread_.joinable()) return;
    answering_.store(false);
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(stopFd_, &one, sizeof one);
    answerThread_.join();
    std::uint64_t value = 0;
    [[maybe_unused]] auto drained = ::read(stopFd_, &value, sizeof value);
}

DeviceReport PtyPeer::lastRequest() const {
    std::lock_guard lock(requestsMutex_);
    return requests_.empty() ? DeviceReport{} : requests_.back();
}

std::vector<DeviceReport> PtyPeer::requestsSince(std::size_t count) const {
    std::lock_guard lock(requestsMutex_);
    const std::size_t first = recorded_ - requests_.size();  // the number of the oldest one kept
    const std::size_t skip = count > first ? std::min(count - first, requests_.size()) : 0;
    return {requests_.begin() + std::ptrdiff_t(skip), requests_.end()};
}

std::size_t PtyPeer::requestCount() const {
    std::lock_guard lock(requestsMutex_);
    return recorded_;
}

bool PtyPeer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    return orvane::testing::waitFor([&] { return requestCount() >= count; }, timeout);
}

void PtyPeer::unplug() {
    stopAnswering();
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

}  // namespace orvane

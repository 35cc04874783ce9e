#include "qt/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

namespace orvane {

namespace {

// The write end of the current instance's pipe, read by the handler (a lock-free atomic is safe
// to read in a signal handler).
std::atomic<int> gSignalPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void writeSignalNumber(int signal) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe drops the byte: hundreds of signals are already waiting to be read.
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe.load(), &number, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::initializer_list<int> numbers, QObject* parent) : QObject(parent) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("orvane-console: cannot watch for signals: %s", std::strerror(errno));
        return;
    }
    readFd_ = ends[0];
    writeFd_ = ends[1];
    gSignalPipe.store(writeFd_);
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readPending(); });

    struct sigaction action {};
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls elsewhere in the process go on as if nothing came.
    action.sa_flags = SA_RESTART;
    for (int signal : numbers) {
        struct sigaction before {};
        if (::sigaction(signal, &action, &before) == 0) previous_.emplace_back(signal, before);
    }
}

TerminationSignals::~TerminationSignals() {
    for (const auto& [signal, before] : previous_) ::sigaction(signal, &before, nullptr);
    gSignalPipe.store(-1);
    notifier_.reset();
    if (readFd_ >= 0) ::close(readFd_);
    if (writeFd_ >= 0) ::close(writeFd_);
}

std::string TerminationSignals::name(int signal) {
    switch (signal) {
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
        case SIGHUP: return "SIGHUP";
        default: return "signal " + std::to_string(signal);
    }
}

void TerminationSignals::readPending() {
    unsigned char numbers[64];
    for (;;) {
        const ssize_t count = ::read(readFd_, numbers, sizeof numbers);
        if (count <= 0) return;
        for (ssize_t i = 0; i < count; ++i) {
            // The handler may end the application; it is read again for each signal.
            if (handler_) handler_(numbers[i]);
        }
    }
}

}  // namespace orvane

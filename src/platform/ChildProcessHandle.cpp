#include "platform/ChildProcessHandle.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvane {

namespace {

// glibc 2.36's <sys/pidfd.h> declares these without C linkage, so the calls are made directly.
int pidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
int pidfdSendSignal(int pidfd, int signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

// waitid's id type for a pidfd (Linux 5.4); glibc 2.36 has the call but not the name.
constexpr idtype_t kPidfdIdType = static_cast<idtype_t>(3);

// The wait status waitpid would have given for what waitid reported.
int waitStatusOf(const siginfo_t& info) {
    switch (info.si_code) {
        case CLD_EXITED: return (info.si_status & 0xff) << 8;
        case CLD_DUMPED: return (info.si_status & 0x7f) | 0x80;
        default: return info.si_status & 0x7f;  // CLD_KILLED
    }
}

}  // namespace

ChildProcessHandle::ChildProcessHandle(pid_t pid) : pid_(pid) {
    pidfd_ = pid > 0 ? pidfdOpen(pid) : -1;
    if (pidfd_ < 0) openError_ = pid > 0 ? errno : ECHILD;
    // A pidfd_open that fails with ESRCH: the child ended and was reaped before it was taken.
    if (openError_ == ESRCH) openError_ = ECHILD;
}

ChildProcessHandle::~ChildProcessHandle() { close(); }

ChildProcessHandle::ChildProcessHandle(ChildProcessHandle&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      pidfd_(std::exchange(other.pidfd_, -1)),
      openError_(std::exchange(other.openError_, 0)),
      ended_(std::exchange(other.ended_, std::nullopt)) {}

ChildProcessHandle& ChildProcessHandle::operator=(ChildProcessHandle&& other) noexcept {
    if (this != &other) {
        close();
        pid_ = std::exchange(other.pid_, -1);
        pidfd_ = std::exchange(other.pidfd_, -1);
        openError_ = std::exchange(other.openError_, 0);
        ended_ = std::exchange(other.ended_, std::nullopt);
    }
    return *this;
}

void ChildProcessHandle::close() {
    if (pidfd_ >= 0) ::close(pidfd_);
    pidfd_ = -1;
}

bool ChildProcessHandle::signal(int number) const {
    if (pidfd_ < 0 || ended_) return false;
    return pidfdSendSignal(pidfd_, number) == 0;
}

ChildProcessHandle::Exit ChildProcessHandle::wait(std::optional<std::chrono::milliseconds> bound) {
    if (ended_) return *ended_;
    if (pidfd_ < 0) return {Exit::State::unknown, 0, openError_ ? openError_ : ECHILD};
    const auto deadline =
        bound ? std::chrono::steady_clock::now() + *bound : std::chrono::steady_clock::time_point::max();
    for (;;) {
        siginfo_t info{};
        // WNOHANG leaves si_pid 0 while the child runs.
        if (::waitid(kPidfdIdType, static_cast<id_t>(pidfd_), &info, WEXITED | WNOHANG) == 0) {
            if (info.si_pid != 0) {
                ended_ = Exit{Exit::State::ended, waitStatusOf(info), 0};
                return *ended_;
            }
        } else if (errno != EINTR) {
            ended_ = Exit{Exit::State::unknown, 0, errno};
            return *ended_;
        }
        // The pidfd turns readable when the child ends.
        int timeout = -1;
        if (bound) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            timeout = static_cast<int>(std::min<long long>(left.count(), 60'000));
        }
        pollfd ended{pidfd_, POLLIN, 0};
        ::poll(&ended, 1, timeout);
    }
}

}  // namespace orvane

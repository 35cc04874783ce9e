#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>

namespace orvane {

// A child process of ours, held by a pidfd taken right after it was started. Signals sent and
// waits made through it reach that process and no other: once the child has been reaped (here,
// or elsewhere in the process, for example with SIGCHLD ignored) its pid may belong to another
// process, but the pidfd still names the one that ended, so a signal finds nothing to reach.
class ChildProcessHandle {
public:
    ChildProcessHandle() = default;
    // Takes the child started as `pid`; call it before anything could have reaped the child.
    // A child already reaped by then is held as gone.
    explicit ChildProcessHandle(pid_t pid);
    ~ChildProcessHandle();

    ChildProcessHandle(ChildProcessHandle&& other) noexcept;
    ChildProcessHandle& operator=(ChildProcessHandle&& other) noexcept;
    ChildProcessHandle(const ChildProcessHandle&) = delete;
    ChildProcessHandle& operator=(const ChildProcessHandle&) = delete;

    pid_t pid() const { return pid_; }

    // Sends `signal` to the child while it has not been reaped; false when it has (or was never
    // held), with nothing sent.
    bool signal(int number) const;

    struct Exit {
        enum class State {
            ended,    // reaped here: `status` is its wait status (as waitpid gives it)
            running,  // still running when the wait's bound passed
            unknown,  // reaped elsewhere, or never held: `error` says why (ECHILD, for one)
        } state = State::running;
        int status = 0;
        int error = 0;
    };
    // Waits at most `bound` for the child to end and reaps it; without a bound, until it ends.
    // Once it has been reaped here, every later call gives the same exit.
    Exit wait(std::optional<std::chrono::milliseconds> bound);

private:
    void close();

    pid_t pid_ = -1;
    int pidfd_ = -1;
    int openError_ = 0;
    std::optional<Exit> ended_;
};

}  // namespace orvane

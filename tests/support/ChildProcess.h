#pragma once

// A tool of this project run as a child process by a test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ChildProcessHandle.h"

extern char** environ;

namespace orvane::testing {

// Where the project's tools are built.
inline const std::filesystem::path kToolsDirectory = std::filesystem::path(ORVANE_BINARY_DIR) / "tools";

// A child process with its standard output on a pipe, and its standard error too if asked.
class Child {
public:
    explicit Child(std::vector<std::string> arguments, bool withErrors = false)
        : Child(std::move(arguments), withErrors ? std::string() : std::string("/dev/null")) {}

    // Standard error goes to the file at `errorPath` (created or emptied), or with the output
    // into the pipe when `errorPath` is empty.
    Child(std::vector<std::string> arguments, const std::string& errorPath) {
        // Close-on-exec, so that no other child started meanwhile inherits the pipe; the dup2
        // into the child's standard output clears the flag on the copies it makes.
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        if (errorPath.empty()) {
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
        }
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        // A ThreadSanitizer build waits a second at exit by default; the timings below are
        // about the tools, not the sanitizer.
        std::vector<std::string> environment;
        std::string sanitizerOptions = "TSAN_OPTIONS=atexit_sleep_ms=0";
        for (char** variable = environ; *variable; ++variable) {
            std::string entry = *variable;
            if (entry.rfind("TSAN_OPTIONS=", 0) == 0) {
                sanitizerOptions = entry + " atexit_sleep_ms=0";
            } else {
                environment.push_back(entry);
            }
        }
        environment.push_back(sanitizerOptions);
        std::vector<char*> envp;
        for (auto& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
            process_ = ChildProcessHandle(pid);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        output_ = pipeFds[0];
    }

    // A child still running is asked to end first, so that a simulator removes its link: a killed
    // one leaves the link behind, and once its pty's number is reused (by a test running beside
    // this one) the link no longer dangles and the next simulator on that path cannot place its own.
    // Signals go through the child's pidfd, so they never reach a process that took its pid.
    ~Child() {
        if (started() && !wait(std::chrono::milliseconds(0))) {
            process_.signal(SIGTERM);
            if (!wait(std::chrono::seconds(10))) {
                process_.signal(SIGKILL);
                process_.wait(std::nullopt);
            }
        }
        if (output_ >= 0) ::close(output_);
    }

    bool started() const { return process_.pid() > 0; }
    pid_t pid() const { return process_.pid(); }
    // Nothing is sent to a child that has been reaped, or was never started: false then.
    bool signal(int number) { return process_.signal(number); }

    std::optional<std::string> readLine() {
        std::string line;
        char c;
        while (::read(output_, &c, 1) == 1) {
            if (c == '\n') return line;
            line.push_back(c);
        }
        return std::nullopt;
    }

    // Everything it printed until it closed its output.
    std::vector<std::string> readLines() {
        std::vector<std::string> lines;
        while (auto line = readLine()) lines.push_back(*line);
        return lines;
    }

    // What it printed until it closed its output, or until `timeout` passed.
    std::string readAll(std::chrono::milliseconds timeout) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                    .count();
            pollfd readable{output_, POLLIN, 0};
            if (left <= 0 || ::poll(&readable, 1, static_cast<int>(left)) <= 0) break;
            char buffer[4096];
            const ssize_t count = ::read(output_, buffer, sizeof buffer);
            if (count <= 0) break;
            text.append(buffer, static_cast<std::size_t>(count));
        }
        return text;
    }

    // The exit status (128 + the signal for one that a signal ended; -1 for one reaped elsewhere,
    // with SIGCHLD ignored, say), or nothing if it is still running after `timeout` or was never
    // started.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        if (!started()) return std::nullopt;
        const ChildProcessHandle::Exit exit = process_.wait(timeout);
        switch (exit.state) {
            case ChildProcessHandle::Exit::State::running: return std::nullopt;
            case ChildProcessHandle::Exit::State::unknown: return -1;
            case ChildProcessHandle::Exit::State::ended: break;
        }
        return WIFEXITED(exit.status) ? WEXITSTATUS(exit.status) : 128 + WTERMSIG(exit.status);
    }

private:
    ChildProcessHandle process_;
    int output_ = -1;
};

}  // namespace orvane::testing

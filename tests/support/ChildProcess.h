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
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        output_ = pipeFds[0];
    }

    // A child still running is asked to end first, so that a simulator removes its link: a killed
    // one leaves the link behind, and once its pty's number is reused (by a test running beside
    // this one) the link no longer dangles and the next simulator on that path cannot place its own.
    ~Child() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGTERM);
            if (!wait(std::chrono::seconds(10))) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
        if (output_ >= 0) ::close(output_);
    }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Nothing when the child was never started: kill(-1) would reach every process we may signal.
    void signal(int number) {
        if (started() && !status_) ::kill(pid_, number);
    }

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

    // The exit status, or nothing if it is still running after `timeout` (or was never started:
    // waitpid(-1) would reap some other child).
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        if (!started()) return std::nullopt;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::optional<int> status_;
};

}  // namespace orvane::testing

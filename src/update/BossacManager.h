#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/Error.h"

namespace orvane {

// Writes a firmware image into the device with the external `bossac` tool: kicks the device
// into its bootloader by opening its port at 1200 baud, runs the tool with a fixed command line,
// collects everything it prints and decides from its last non-empty output line whether the
// update worked.
//
// Held by shared pointer: a run keeps the manager alive until its completion has been
// delivered. One run at a time.
class BossacManager : public std::enable_shared_from_this<BossacManager> {
public:
    // Declared for completeness; no operation consults it and the command line is fixed.
    struct Options {
        std::uint64_t rawValue = 0;
    };

    using LogOutputHandler = std::function<void(const std::string& chunk)>;
    // No error means the tool reported success.
    using CompletionHandler = std::function<void(const ErrorRef& error)>;

    // Largest piece of output read (and handed to logOutputHandler) at once.
    static constexpr std::size_t maximumChunkSize = 1024;

    BossacManager() = default;

    // Set and cleared by the user on the main queue; called by the manager only there.
    // logOutputHandler receives each chunk of the tool's output that is valid UTF-8.
    LogOutputHandler logOutputHandler;
    // Receives the outcome of a run once.
    CompletionHandler completionHandler;

    // The read end of the pipe carrying the tool's standard output and standard error while a
    // run is active; absent otherwise.
    std::optional<int> pipe() const;
    // All output of the current run, in the order read; empty between runs.
    std::string entireLog() const;

    // Kicks the bootloader on `port` (blocking for about 1.2 s), starts the tool for
    // `firmwareFile` and returns; the outcome arrives through completionHandler. Call it on a
    // background queue.
    void flash(const std::filesystem::path& port, const std::filesystem::path& firmwareFile);

    // The tool to run instead of looking for it (tests).
    void setToolPath(std::optional<std::filesystem::path> path);
    // The working directory of the tool; absent: this process's own.
    void setWorkingDirectory(std::optional<std::filesystem::path> directory);
    // How long the port is held open at 1200 baud, and how long the device is then given to
    // enter its bootloader (0.2 s and 1.0 s unless changed).
    void setBootloaderKickDelays(std::chrono::milliseconds hold, std::chrono::milliseconds settle);

    // The six arguments after the tool's name.
    static std::vector<std::string> commandArguments(const std::filesystem::path& port,
                                                     const std::filesystem::path& firmwareFile);
    // The tool: "bossac" in `executableDirectory` when it is an executable file there, else the
    // first executable "bossac" in the directories of `searchPath` (a PATH value).
    static std::variant<std::filesystem::path, ErrorRef> locateTool(
        const std::filesystem::path& executableDirectory, std::string_view searchPath);
    // The outcome of a run from its whole output: no error, or a BossacError.
    static ErrorRef outcomeOfLog(std::string_view log);

private:
    struct Settings {
        std::optional<std::filesystem::path> toolPath;
        std::optional<std::filesystem::path> workingDirectory;
        std::chrono::milliseconds hold{200};
        std::chrono::milliseconds settle{1000};
    };

    static void kickBootloader(const std::filesystem::path& port, const Settings& settings);
    void readOutput(int child, int readEnd);
    // Resets the run's state and hands the outcome to the main queue.
    void finish(ErrorRef outcome);

    mutable std::mutex mutex_;
    Settings settings_;
    bool running_ = false;
    std::optional<int> pipe_;
    std::string entireLog_;
};

}  // namespace orvane

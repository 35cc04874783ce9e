#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/ChildProcessHandle.h"
#include "platform/Error.h"
#include "update/FlashingToolOutput.h"

namespace orvane {

// Writes a firmware image into the device with the external `bossac` tool: kicks the device
// into its bootloader by opening its port at 1200 baud, finds the port the bootloader comes back
// on, runs the tool with a fixed command line, collects everything it prints and decides from
// how the tool ended and what it printed whether the update worked (see outcomeOfRun).
//
// Held by shared pointer: a run keeps the manager alive until its completion has been
// delivered. One run at a time.
class BossacManager : public std::enable_shared_from_this<BossacManager> {
public:
    using LogOutputHandler = std::function<void(const std::string& chunk)>;
    using ProgressHandler = std::function<void(const FlashingProgress& progress)>;
    // No error means the tool reported success.
    using CompletionHandler = std::function<void(const ErrorRef& error)>;

    // Largest piece of output read (and handed to logOutputHandler) at once.
    static constexpr std::size_t maximumChunkSize = 1024;
    // How long a tool that is being stopped is given to end after SIGTERM, and then after SIGKILL.
    static constexpr std::chrono::milliseconds toolStopGrace{2000};

    BossacManager() = default;

    // Set and cleared by the user on the main queue; called by the manager only there.
    // logOutputHandler receives the tool's output as it arrives, decoded as one UTF-8 stream
    // (malformed bytes become U+FFFD).
    LogOutputHandler logOutputHandler;
    // Receives the stage and the fraction the tool's output shows, when they change.
    ProgressHandler progressHandler;
    // Receives the outcome of a run once.
    CompletionHandler completionHandler;

    // All output of the current run, in the order read; empty between runs.
    std::string entireLog() const;
    // A run is under way: from flash() until its outcome has been decided (the bootloader kick,
    // the wait for its port and the tool).
    bool isRunning() const;

    // Where the device is when a run starts.
    enum class DeviceState {
        runningFirmware,  // kick it into its bootloader first
        inBootloader,     // `port` is the bootloader's already: no kick
    };

    // Kicks the bootloader on `port` (blocking for about 1.2 s), finds the port the bootloader
    // is on, starts the tool for `firmwareFile` and returns; the tool's output is followed on the
    // global queue and the outcome arrives through completionHandler. Call it on a background
    // queue. A device that is in its bootloader already is written on `port` as it is.
    void flash(const std::filesystem::path& port, const std::filesystem::path& firmwareFile,
               DeviceState device = DeviceState::runningFirmware);

    // The tool to run instead of looking for it (tests).
    void setToolPath(std::optional<std::filesystem::path> path);
    // The working directory of the tool; absent: this process's own.
    void setWorkingDirectory(std::optional<std::filesystem::path> directory);
    // How long the port is held open at 1200 baud, and how long the device is then given to
    // enter its bootloader (0.2 s and 1.0 s unless changed).
    void setBootloaderKickDelays(std::chrono::milliseconds hold, std::chrono::milliseconds settle);
    // How long to watch the port's directory for the bootloader after the kick (5 s).
    void setBootloaderWait(std::chrono::milliseconds wait);
    // A tool that prints nothing for this long is stopped and the run fails (60 s): the tool
    // waits for ever on a port that went away. So is one that closed its output and has not
    // ended this long after.
    void setToolSilenceLimit(std::chrono::milliseconds limit);

    // The six arguments after the tool's name. The tool opens the port name relative to its
    // working directory and, failing that, under /dev/: a device in /dev/ goes by its name
    // (unless `workingDirectory` has an entry of that name), any other by its full path.
    static std::vector<std::string> commandArguments(const std::filesystem::path& port,
                                                     const std::filesystem::path& firmwareFile,
                                                     const std::filesystem::path& workingDirectory = {});

    // The bootloader kick: opens `port` at 1200 baud, holds it open for `hold`, closes it and
    // gives the device `settle` to come back as its bootloader. Gives the failure to open that
    // stops the run: a port that is busy (another program holds it) or that this user may not
    // open would not be the tool's either, and the tool would only say "No device found". Any
    // other failure to open (a port that is absent, for one) is let pass: nothing is kicked and
    // nothing waited for, and the bootloader is looked for all the same.
    static ErrorRef kickBootloader(const std::filesystem::path& port,
                                   std::chrono::milliseconds hold = std::chrono::milliseconds(200),
                                   std::chrono::milliseconds settle = std::chrono::milliseconds(1000));
    // The port the bootloader is on: `port` once it is present again, else the one serial
    // device in its directory that is not in `before`; an error naming what was seen when
    // there is none after `wait`, or more than one. A directory that cannot be listed cannot be
    // watched: then `port` itself.
    static std::variant<std::filesystem::path, ErrorRef> awaitBootloaderPort(const std::filesystem::path& port,
                                                                             const std::vector<std::string>& before,
                                                                             std::chrono::milliseconds wait);
    // The tool: "bossac" in `executableDirectory` when it is an executable file there, else the
    // first executable "bossac" in the directories of `searchPath` (a PATH value).
    static std::variant<std::filesystem::path, ErrorRef> locateTool(const std::filesystem::path& executableDirectory,
                                                                    std::string_view searchPath);
    // The outcome of a run that exited with status 0, from its whole output: no error, or a
    // BossacError.
    static ErrorRef outcomeOfLog(std::string_view log);

private:
    struct Settings {
        std::optional<std::filesystem::path> toolPath;
        std::optional<std::filesystem::path> workingDirectory;
        std::chrono::milliseconds hold{200};
        std::chrono::milliseconds settle{1000};
        std::chrono::milliseconds bootloaderWait{5000};
        std::chrono::milliseconds silenceLimit{60000};
    };
    // A started tool: its process and the read end of the pipe that carries its output.
    struct RunningTool {
        std::shared_ptr<ChildProcessHandle> process;
        int output = -1;
    };
    // How reading the tool's output ended.
    struct OutputEnd {
        enum class Kind { endOfOutput, silent, readFailed } kind = Kind::endOfOutput;
        int readError = 0;
    };

    // The steps of a run, in order.
    std::optional<Settings> beginRun();
    std::variant<std::filesystem::path, ErrorRef> toolToRun(const Settings& settings) const;
    static std::variant<RunningTool, ErrorRef> startTool(const std::filesystem::path& tool,
                                                         std::vector<std::string> arguments,
                                                         const std::optional<std::filesystem::path>& workingDirectory);
    void followTool(RunningTool tool, std::chrono::milliseconds silenceLimit);
    OutputEnd readOutput(int output, std::chrono::milliseconds silenceLimit);
    ErrorRef decideOutcome(const std::shared_ptr<ChildProcessHandle>& process, OutputEnd end,
                           std::chrono::milliseconds silenceLimit) const;
    // Resets the run's state and hands the outcome to the main queue.
    void finish(ErrorRef outcome);

    mutable std::mutex mutex_;
    Settings settings_;
    bool running_ = false;
    std::string entireLog_;
};

}  // namespace orvane

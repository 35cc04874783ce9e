#include "update/BossacManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "platform/Translation.h"
#include "serial/DeviceDiscovery.h"
#include "serial/SerialPort.h"
#include "update/BossacError.h"

extern char** environ;

namespace orvane {

namespace {

constexpr const char* toolName = "bossac";

bool isExecutableFile(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

using ToolExit = ChildProcessHandle::Exit;

// Stops the tool: SIGTERM, then SIGKILL when it has not ended within the grace. One that does
// not end even then (stuck in the kernel on a device that went away) is reaped in the
// background, so the run never waits for it without end. Signals go through the tool's pidfd,
// so one reaped elsewhere meanwhile is never mistaken for a process that took its pid.
void stopTool(const std::shared_ptr<ChildProcessHandle>& process) {
    process->signal(SIGTERM);
    if (process->wait(BossacManager::toolStopGrace).state != ToolExit::State::running) return;
    process->signal(SIGKILL);
    if (process->wait(BossacManager::toolStopGrace).state != ToolExit::State::running) return;
    dispatchGlobal([process] { process->wait(std::nullopt); });
}

// The tool stopped printing and was stopped: the run cannot have finished.
class ToolSilentError : public Error {
public:
    explicit ToolSilentError(std::chrono::milliseconds limit) : limit_(limit) {}
    std::string localizedDescription() const override {
        const auto tenths = (limit_.count() + 50) / 100;
        const std::string seconds =
            std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "");
        return withArgs(translate("BossacManager",
                                  "The flashing tool printed nothing for %1 seconds and was stopped. The device may "
                                  "have gone away while it was being written."),
                        seconds);
    }
    std::string domain() const override { return "orvane.BossacManager.ToolSilentError"; }

private:
    std::chrono::milliseconds limit_;
};

// After the kick no port could be told to be the bootloader's.
class BootloaderPortError : public Error {
public:
    explicit BootloaderPortError(std::string description) : description_(std::move(description)) {}
    std::string localizedDescription() const override { return description_; }
    std::string domain() const override { return "orvane.BossacManager.BootloaderPortError"; }

private:
    std::string description_;
};

std::string directoryOf(const std::filesystem::path& port) {
    std::string directory = port.parent_path().string();
    if (directory.empty() || directory.back() != '/') directory += '/';
    return directory;
}

// The directory of the running executable.
std::filesystem::path executableDirectory() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}

}  // namespace

std::string BossacManager::entireLog() const {
    std::lock_guard lock(mutex_);
    return entireLog_;
}

bool BossacManager::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void BossacManager::setToolPath(std::optional<std::filesystem::path> path) {
    std::lock_guard lock(mutex_);
    settings_.toolPath = std::move(path);
}

void BossacManager::setWorkingDirectory(std::optional<std::filesystem::path> directory) {
    std::lock_guard lock(mutex_);
    settings_.workingDirectory = std::move(directory);
}

void BossacManager::setBootloaderKickDelays(std::chrono::milliseconds hold, std::chrono::milliseconds settle) {
    std::lock_guard lock(mutex_);
    settings_.hold = hold;
    settings_.settle = settle;
}

void BossacManager::setBootloaderWait(std::chrono::milliseconds wait) {
    std::lock_guard lock(mutex_);
    settings_.bootloaderWait = wait;
}

void BossacManager::setToolSilenceLimit(std::chrono::milliseconds limit) {
    std::lock_guard lock(mutex_);
    settings_.silenceLimit = limit;
}

std::vector<std::string> BossacManager::commandArguments(const std::filesystem::path& port,
                                                         const std::filesystem::path& firmwareFile,
                                                         const std::filesystem::path& workingDirectory) {
    std::string portText = port.string();
    while (portText.size() > 1 && portText.back() == '/') {
        portText.pop_back();
    }
    const std::filesystem::path portPath(portText);
    const std::string portName = portPath.filename().string();
    // The tool tries the name in its working directory before /dev/: only a device in /dev/
    // whose name stands for nothing there goes by its name. Any other goes by its full path,
    // or the tool would open a different /dev/ device of the same name.
    std::error_code error;
    const auto here = workingDirectory.empty() ? std::filesystem::current_path(error) : workingDirectory;
    const bool nameWouldResolve = portPath.parent_path() == "/dev" &&
                                  !std::filesystem::exists(std::filesystem::symlink_status(here / portName, error));
    const std::string portArgument = nameWouldResolve ? portName : portText;
    return {"--port=" + portArgument, "--write", "--verify", "--reset", firmwareFile.string(), "--boot"};
}

std::variant<std::filesystem::path, ErrorRef> BossacManager::awaitBootloaderPort(const std::filesystem::path& port,
                                                                                 const std::vector<std::string>& before,
                                                                                 std::chrono::milliseconds wait) {
    const std::string directory = directoryOf(port);
    if (DIR* listing = ::opendir(directory.c_str())) {
        ::closedir(listing);
    } else {
        return port;  // nothing to watch
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::error_code error;
        if (std::filesystem::exists(port, error)) return port;
        std::vector<std::string> appeared;
        for (const auto& device : scanDeviceDirectory(directory)) {
            if (std::find(before.begin(), before.end(), device) == before.end()) appeared.push_back(device);
        }
        if (appeared.size() > 1) {
            std::string names;
            for (const auto& device : appeared) names += (names.empty() ? "" : ", ") + device;
            return std::make_shared<BootloaderPortError>(
                withArgs(translate("BossacManager",
                                   "After the reset %1 did not come back and several serial devices appeared (%2); "
                                   "the bootloader's cannot be told apart. Unplug the other devices and try again."),
                         port.string(), names));
        }
        if (appeared.size() == 1) return appeared.front();
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::make_shared<BootloaderPortError>(
                withArgs(translate("BossacManager",
                                   "After the reset into the bootloader %1 did not come back and no other serial "
                                   "device appeared in %2."),
                         port.string(), directory));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::variant<std::filesystem::path, ErrorRef> BossacManager::locateTool(
    const std::filesystem::path& executableDirectory, std::string_view searchPath) {
    if (!executableDirectory.empty()) {
        const auto beside = executableDirectory / toolName;
        if (isExecutableFile(beside)) {
            return beside;
        }
    }
    // Empty PATH entries (the current directory) are skipped: the tool is never taken from
    // wherever the console happens to be started.
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos) {
            end = searchPath.size();
        }
        const std::string_view directory = searchPath.substr(start, end - start);
        if (!directory.empty() && directory.front() == '/') {
            const auto candidate = std::filesystem::path(directory) / toolName;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return std::make_shared<PlatformError>(
        "POSIX", ENOENT,
        withArgs(translate("BossacManager",
                           "The flashing tool bossac was found neither beside the application (%1) nor on the PATH. "
                           "Install bossa-cli or place bossac beside the application."),
                 executableDirectory.string()));
}

ErrorRef BossacManager::outcomeOfLog(std::string_view log) {
    // A wait status of 0 is a normal exit with status 0: only the last line decides.
    return outcomeOfRun(log, 0);
}

ErrorRef BossacManager::kickBootloader(const std::filesystem::path& port, std::chrono::milliseconds hold,
                                       std::chrono::milliseconds settle) {
    // Opening the port at 1200 baud and closing it again resets the device into its bootloader.
    SerialPort serialPort(port.string());
    try {
        serialPort.open(true, true);
    } catch (const PortError& error) {
        const bool refused = error.isBusy() || error.systemError() == EACCES || error.systemError() == EPERM;
        return refused ? std::make_shared<PortError>(error) : nullptr;
    }
    serialPort.configure(BaudRate::baud1200, BaudRate::baud1200, 1, 0, ParityType::none, false, DataBitsSize::bits8,
                         false, false, false);
    std::this_thread::sleep_for(hold);
    serialPort.close();
    std::this_thread::sleep_for(settle);
    return nullptr;
}

void BossacManager::flash(const std::filesystem::path& port, const std::filesystem::path& firmwareFile,
                          DeviceState device) {
    const std::optional<Settings> settings = beginRun();
    if (!settings) return;

    std::variant<std::filesystem::path, ErrorRef> bootloaderPort = port;
    if (device == DeviceState::runningFirmware) {
        // The serial devices before the kick tell the bootloader's port if it comes back under a
        // new name.
        const std::vector<std::string> before = scanDeviceDirectory(directoryOf(port));
        if (ErrorRef refused = kickBootloader(port, settings->hold, settings->settle)) return finish(refused);
        bootloaderPort = awaitBootloaderPort(port, before, settings->bootloaderWait);
        if (auto* error = std::get_if<ErrorRef>(&bootloaderPort)) return finish(*error);
    }

    auto tool = toolToRun(*settings);
    if (auto* error = std::get_if<ErrorRef>(&tool)) return finish(*error);

    auto started = startTool(std::get<std::filesystem::path>(tool),
                             commandArguments(std::get<std::filesystem::path>(bootloaderPort), firmwareFile,
                                              settings->workingDirectory.value_or(std::filesystem::path())),
                             settings->workingDirectory);
    if (auto* error = std::get_if<ErrorRef>(&started)) return finish(*error);

    dispatchGlobal([self = shared_from_this(), running = std::get<RunningTool>(started),
                    silenceLimit = settings->silenceLimit] { self->followTool(running, silenceLimit); });
}

std::optional<BossacManager::Settings> BossacManager::beginRun() {
    std::lock_guard lock(mutex_);
    if (running_) {
        // Not through finish(): that would end the run that is going on.
        dispatchMain([self = shared_from_this()] {
            if (self->completionHandler) {
                self->completionHandler(std::make_shared<PlatformError>(
                    "POSIX", EBUSY,
                    translate("BossacManager", "The firmware is already being written to the device.")));
            }
        });
        return std::nullopt;
    }
    running_ = true;
    return settings_;
}

std::variant<std::filesystem::path, ErrorRef> BossacManager::toolToRun(const Settings& settings) const {
    if (settings.toolPath) return *settings.toolPath;
    const char* searchPath = std::getenv("PATH");
    return locateTool(executableDirectory(), searchPath ? searchPath : "");
}

std::variant<BossacManager::RunningTool, ErrorRef> BossacManager::startTool(
    const std::filesystem::path& tool, std::vector<std::string> arguments,
    const std::optional<std::filesystem::path>& workingDirectory) {
    std::string toolText = tool.string();
    std::vector<char*> argv;
    argv.push_back(toolText.data());
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return makeSystemError(translate("BossacManager", "Creating the pipe for the flashing tool failed"), errno);
    }

    // Standard output and standard error both go into the pipe; standard input is empty.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    if (workingDirectory) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory->c_str());
    }
    // The tool starts with default signal handling and nothing blocked, whatever this
    // process's threads have set up, in a process group of its own: Ctrl+C in the terminal that
    // started the console, or the terminal closing, goes to the console, which lets a write under
    // way finish, and not to the tool half-way through it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    pid_t process = -1;
    const int spawnError = ::posix_spawn(&process, toolText.c_str(), &actions, &attributes, argv.data(), environ);
    // Held by its pidfd at once, before anything could reap it.
    auto handle = spawnError == 0 ? std::make_shared<ChildProcessHandle>(process) : nullptr;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);  // the tool holds the only write ends now, so its exit ends the stream

    if (spawnError != 0) {
        ::close(ends[0]);
        return makeSystemError(withArgs(translate("BossacManager", "Starting the flashing tool %1 failed"), toolText),
                               spawnError);
    }
    return RunningTool{std::move(handle), ends[0]};
}

void BossacManager::followTool(RunningTool tool, std::chrono::milliseconds silenceLimit) {
    const OutputEnd end = readOutput(tool.output, silenceLimit);
    ::close(tool.output);
    finish(decideOutcome(tool.process, end, silenceLimit));
}

BossacManager::OutputEnd BossacManager::readOutput(int output, std::chrono::milliseconds silenceLimit) {
    auto self = shared_from_this();
    char buffer[maximumChunkSize];
    Utf8StreamDecoder decoder;
    FlashingToolOutputParser parser;
    auto publish = [&](std::string text) {
        if (text.empty()) return;
        const std::optional<FlashingProgress> progress = parser.consume(text);
        {
            std::lock_guard lock(mutex_);
            entireLog_ += text;
        }
        dispatchMain([self, text = std::move(text), progress] {
            if (self->logOutputHandler) self->logOutputHandler(text);
            if (progress && self->progressHandler) self->progressHandler(*progress);
        });
    };
    // The stream is read to its end before the outcome is decided, so output printed just
    // before the tool exits is never lost.
    OutputEnd end;
    for (;;) {
        pollfd readable{output, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(silenceLimit.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            end = {OutputEnd::Kind::readFailed, errno};
            break;
        }
        if (ready == 0) {
            end = {OutputEnd::Kind::silent, 0};
            break;
        }
        const ssize_t count = ::read(output, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            end = {OutputEnd::Kind::readFailed, errno};
            break;
        }
        if (count == 0) break;
        publish(decoder.decode(std::string_view(buffer, static_cast<std::size_t>(count))));
    }
    publish(decoder.finish());
    return end;
}

ErrorRef BossacManager::decideOutcome(const std::shared_ptr<ChildProcessHandle>& process, OutputEnd end,
                                      std::chrono::milliseconds silenceLimit) const {
    if (end.kind == OutputEnd::Kind::endOfOutput) {
        // A tool ends right after its output; one that closed its output and goes on is as
        // good as silent.
        const ToolExit exit = process->wait(silenceLimit);
        if (exit.state == ToolExit::State::ended) return outcomeOfRun(entireLog(), exit.status);
        if (exit.state == ToolExit::State::unknown) {
            return makeSystemError(translate("BossacManager",
                                             "The exit status of the flashing tool could not be obtained, so whether "
                                             "the firmware was written is not known"),
                                   exit.error);
        }
    }
    // The run can no longer be followed: stop the tool and say why.
    stopTool(process);
    if (end.kind == OutputEnd::Kind::readFailed) {
        return makeSystemError(translate("BossacManager", "Reading the output of the flashing tool failed"),
                               end.readError);
    }
    return std::make_shared<ToolSilentError>(silenceLimit);
}

void BossacManager::finish(ErrorRef outcome) {
    // State is reset before the completion runs, so the completion sees an idle manager and
    // may start the next run.
    {
        std::lock_guard lock(mutex_);
        entireLog_.clear();
        running_ = false;
    }
    dispatchMain([self = shared_from_this(), outcome = std::move(outcome)] {
        if (self->completionHandler) {
            self->completionHandler(outcome);
        }
    });
}

}  // namespace orvane

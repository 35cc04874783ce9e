#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "serial/SerialPort.h"
#include "support/TemporaryDirectory.h"
#include "update/BossacError.h"
#include "update/BossacManager.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::readFile;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        result.push_back(line);
    }
    return result;
}

const BossacError* bossacError(const ErrorRef& error) { return dynamic_cast<const BossacError*>(error.get()); }

TEST(BossacOutcome, ComesFromTheLastNonEmptyLine) {
    struct Case {
        std::string log;
        std::optional<std::string> failureLine;  // absent: success
    };
    const Case cases[] = {
        {"Erase flash\nWrite 1024 bytes\nVerify successful\n", std::nullopt},
        {"Write 1024 bytes\nVerify failed\n", "Verify failed"},
        {"No device found on ttyACM0\n", "No device found on ttyACM0"},
        {"Write failed\n\n\n", "Write failed"},
        {"Write failed\nVerify successful\n", std::nullopt},
        {"Verify FAILED\n", std::nullopt},
        {"no device found\n", std::nullopt},
        {"Verify failed\r\n", "Verify failed\r"},
        {"Done\r\n\r\n", std::nullopt},  // "\r" is a line of its own
        {"last line without a line feed failed", "last line without a line feed failed"},
    };
    for (const auto& [log, failureLine] : cases) {
        const ErrorRef outcome = BossacManager::outcomeOfLog(log);
        if (!failureLine) {
            EXPECT_EQ(outcome, nullptr) << log;
        } else {
            ASSERT_NE(bossacError(outcome), nullptr) << log;
            EXPECT_EQ(*bossacError(outcome), BossacError::reportedFailure(*failureLine)) << log;
        }
    }
    for (const char* log : {"", "\n", "\n\n\n"}) {
        ASSERT_NE(bossacError(BossacManager::outcomeOfLog(log)), nullptr);
        EXPECT_EQ(*bossacError(BossacManager::outcomeOfLog(log)), BossacError::unknown());
    }
}

TEST(BossacCommandLine, HasTheSixArguments) {
    EXPECT_EQ(BossacManager::commandArguments("/dev/cu.usbmodem14101", "/tmp/x/firmware.bin"),
              (std::vector<std::string>{"--port=cu.usbmodem14101", "--write", "--verify", "--reset",
                                        "/tmp/x/firmware.bin", "--boot"}));
    EXPECT_EQ(BossacManager::commandArguments("/dev/ttyACM0/", "fw.bin").front(), "--port=ttyACM0");
}

using testing::TemporaryDirectory;

TEST(BossacLocation, BesideTheExecutableFirstThenOnPath) {
    TemporaryDirectory directory;
    const fs::path app = directory.path() / "app";
    const fs::path bin1 = directory.path() / "bin1";
    const fs::path bin2 = directory.path() / "bin2";
    for (const auto& dir : {app, bin1, bin2}) fs::create_directory(dir);
    directory.script("bin1/bossac", "exit 0", false);  // not executable: skipped
    directory.script("bin2/bossac", "exit 0");
    const std::string path = "relative/bin::" + bin1.string() + ":" + bin2.string();

    auto found = BossacManager::locateTool(app, path);
    ASSERT_TRUE(std::holds_alternative<fs::path>(found));
    EXPECT_EQ(std::get<fs::path>(found), bin2 / "bossac");

    directory.script("app/bossac", "exit 0");
    found = BossacManager::locateTool(app, path);
    ASSERT_TRUE(std::holds_alternative<fs::path>(found));
    EXPECT_EQ(std::get<fs::path>(found), app / "bossac");

    const auto missing = BossacManager::locateTool(bin1, bin1.string());
    ASSERT_TRUE(std::holds_alternative<ErrorRef>(missing));
    EXPECT_NE(std::get<ErrorRef>(missing)->localizedDescription().find("bossac"), std::string::npos);
}

// One flash run, driven to its completion on the main queue.
struct FlashRun {
    std::vector<std::string> chunks;
    ErrorRef outcome;
    int completions = 0;
    bool idleAtCompletion = false;
    bool callbacksOnMainThread = true;

    std::string output() const {
        std::string all;
        for (const auto& chunk : chunks) all += chunk;
        return all;
    }
};

std::size_t openDescriptorCount() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

FlashRun runFlash(const std::shared_ptr<BossacManager>& manager, const fs::path& port, const fs::path& file) {
    FlashRun run;
    MainQueue::shared();
    const std::size_t descriptors = openDescriptorCount();
    BossacManager* flasher = manager.get();
    manager->logOutputHandler = [&run](const std::string& chunk) {
        run.callbacksOnMainThread = run.callbacksOnMainThread && MainQueue::shared().isMainThread();
        run.chunks.push_back(chunk);
    };
    manager->completionHandler = [&run, flasher](const ErrorRef& error) {
        run.callbacksOnMainThread = run.callbacksOnMainThread && MainQueue::shared().isMainThread();
        ++run.completions;
        run.outcome = error;
        run.idleAtCompletion = flasher->entireLog().empty();
    };
    dispatchGlobal([manager, port, file] { manager->flash(port, file); });
    EXPECT_TRUE(MainQueue::shared().runUntil([&run] { return run.completions > 0; }, 30s));
    // Every thread and queued closure of the run holds the manager: once the test's reference
    // is the only one left, nothing of the run can deliver another completion.
    EXPECT_TRUE(MainQueue::shared().runUntil([&manager] { return manager.use_count() == 1; }, 15s));
    EXPECT_EQ(run.completions, 1);
    EXPECT_EQ(openDescriptorCount(), descriptors);  // the pipe is closed
    EXPECT_TRUE(run.idleAtCompletion);
    EXPECT_TRUE(run.callbacksOnMainThread);
    manager->logOutputHandler = nullptr;
    manager->completionHandler = nullptr;
    return run;
}

class BossacManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager_->setBootloaderKickDelays(0ms, 0ms);
        firmware_ = directory_.path() / "firmware.bin";
        std::ofstream(firmware_) << "image";
    }

    // A stand-in tool that records its arguments and then runs `body`.
    void useTool(const std::string& body) {
        manager_->setToolPath(directory_.script(
            "bossac", "printf '%s\\n' \"$@\" > \"" + (directory_.path() / "arguments").string() + "\"\n" + body));
    }

    FlashRun flash() { return runFlash(manager_, "/nonexistent/dev/ttyACM7", firmware_); }

    TemporaryDirectory directory_;
    std::shared_ptr<BossacManager> manager_ = std::make_shared<BossacManager>();
    fs::path firmware_;
};

TEST_F(BossacManagerTest, RunsTheToolWithTheFixedCommandLine) {
    useTool("echo 'Erase flash'\necho 'Write 5 bytes to flash' >&2\necho 'Verify successful'\nexit 0");
    FlashRun run = flash();
    EXPECT_EQ(run.outcome, nullptr);
    // A port outside /dev/ goes by its full path: by its name alone the tool would open
    // /dev/ttyACM7, another device.
    EXPECT_EQ(lines(readFile(directory_.path() / "arguments")),
              (std::vector<std::string>{"--port=/nonexistent/dev/ttyACM7", "--write", "--verify", "--reset",
                                        firmware_.string(), "--boot"}));
    // Standard output and standard error arrive through the one pipe, in order.
    EXPECT_EQ(run.output(), "Erase flash\nWrite 5 bytes to flash\nVerify successful\n");

    // The same words from a tool that then fails are a failure.
    useTool("echo 'Verify successful'\nexit 3");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome),
              BossacError::reportedFailure("Verify successful", "the tool exited with status 3"));
}

TEST_F(BossacManagerTest, ReportsWhatTheToolSays) {
    useTool("echo 'Write 5 bytes'\necho 'Verify failed'\nexit 0");
    FlashRun run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome), BossacError::reportedFailure("Verify failed"));

    useTool("echo 'No device found on ttyACM7' >&2\nexit 1");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome),
              BossacError::reportedFailure("No device found on ttyACM7", "the tool exited with status 1"));

    // The tool's own shape of a failed verify: the line that names the failure is reported,
    // not the count after it.
    useTool("echo 'Verify failed'\necho 'Page errors: 2'\necho 'Byte errors: 100'\nexit 2");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome),
              BossacError::reportedFailure("Verify failed", "the tool exited with status 2"));

    // Killed half-way after a progress line.
    useTool("printf 'Write 64 bytes to flash (1 pages)\\n[=   ] 50%% (1/2 pages)'\nkill -9 $$");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(bossacError(run.outcome)->end(), "the tool was ended by signal 9");

    // Silent and failing.
    useTool("exit 1");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome), BossacError::endedAbnormally("the tool exited with status 1"));

    useTool("exit 0");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome), BossacError::unknown());
    EXPECT_TRUE(run.chunks.empty());

    useTool("printf '\\n\\n\\n'");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome), BossacError::unknown());
}

TEST_F(BossacManagerTest, OutputJustBeforeExitIsRead) {
    // The deciding line comes after a pause, right before the tool ends.
    useTool("echo 'Write 5 bytes'\nsleep 0.3\necho 'Verify failed'");
    FlashRun run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome), BossacError::reportedFailure("Verify failed"));

    // A long output is read to its end in chunks of at most 1024 bytes.
    useTool("i=0\nwhile [ $i -lt 3000 ]; do echo \"Write page $i of 2999\"; i=$((i+1)); done\necho 'Verify failed'");
    run = flash();
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome), BossacError::reportedFailure("Verify failed"));
    const auto output = lines(run.output());
    ASSERT_EQ(output.size(), 3001u);
    EXPECT_EQ(output[2999], "Write page 2999 of 2999");
    for (const auto& chunk : run.chunks) {
        EXPECT_LE(chunk.size(), BossacManager::maximumChunkSize);
    }
}

TEST_F(BossacManagerTest, OutputIsDecodedAsOneStream) {
    // "é" (C3 A9) split across two writes is completed by the second, and the failure in the
    // same read is seen; a byte that is no UTF-8 becomes U+FFFD.
    useTool("printf 'Verify caf\\303'\nsleep 0.3\nprintf '\\251\\n\\377 Verify failed\\n'");
    FlashRun run = flash();
    EXPECT_EQ(run.output(), "Verify caf\xc3\xa9\n\xef\xbf\xbd Verify failed\n");
    ASSERT_NE(bossacError(run.outcome), nullptr);
    EXPECT_EQ(*bossacError(run.outcome), BossacError::reportedFailure("\xef\xbf\xbd Verify failed"));

    // A character cut off by the end of the output is not lost either.
    useTool("echo 'Verify successful'\nprintf '\\303'");
    run = flash();
    EXPECT_EQ(run.output(), "Verify successful\n\xef\xbf\xbd");
}

TEST_F(BossacManagerTest, AToolThatCannotStartCompletesWithTheLaunchError) {
    manager_->setToolPath(directory_.path() / "missing" / "bossac");
    FlashRun run = flash();
    ASSERT_NE(run.outcome, nullptr);
    EXPECT_EQ(bossacError(run.outcome), nullptr);
    EXPECT_EQ(run.outcome->code(), ENOENT);
    EXPECT_TRUE(run.chunks.empty());

    manager_->setToolPath(directory_.script("not-executable", "echo 'Verify successful'", false));
    run = flash();
    ASSERT_NE(run.outcome, nullptr);
    EXPECT_EQ(run.outcome->code(), EACCES);

    // The manager is usable again afterwards.
    useTool("echo 'Verify successful'");
    EXPECT_EQ(flash().outcome, nullptr);
}

// A pty pair: the test holds the device's end (the master, raw) and keeps the port's end open
// so that its settings survive the flasher closing it.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(master_);
        ::unlockpt(master_);
        path_ = ::ptsname(master_);
        termios attributes{};
        ::tcgetattr(master_, &attributes);
        ::cfmakeraw(&attributes);
        ::tcsetattr(master_, TCSANOW, &attributes);
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    }
    ~PseudoTerminal() {
        ::close(slave_);
        ::close(master_);
    }
    const fs::path& path() const { return path_; }
    int slave() const { return slave_; }

private:
    int master_ = -1;
    int slave_ = -1;
    fs::path path_;
};

TEST_F(BossacManagerTest, KicksTheBootloaderAt1200BaudBeforeTheToolRuns) {
    PseudoTerminal terminal;
    ASSERT_GE(terminal.slave(), 0);
    termios attributes{};
    ASSERT_EQ(::tcgetattr(terminal.slave(), &attributes), 0);
    ::cfsetispeed(&attributes, B115200);
    ::cfsetospeed(&attributes, B115200);
    ASSERT_EQ(::tcsetattr(terminal.slave(), TCSANOW, &attributes), 0);

    // The stand-in reads the port's speed as the tool would find it.
    useTool("stty -F '" + terminal.path().string() + "' speed\necho 'Verify successful'");
    const FlashRun run = runFlash(manager_, terminal.path(), firmware_);
    EXPECT_EQ(run.outcome, nullptr);
    EXPECT_EQ(lines(run.output()).front(), "1200");
    EXPECT_EQ(lines(readFile(directory_.path() / "arguments")).front(), "--port=" + terminal.path().string());
}

TEST_F(BossacManagerTest, TheRealToolFindsNoDeviceOnASilentPort) {
    // bossac opens the --port name relative to its working directory (then under /dev/), so
    // the port is reached through a link of that name in the tool's working directory.
    PseudoTerminal terminal;
    const fs::path port = directory_.path() / "ttyACM-test";
    fs::create_symlink(terminal.path(), port);
    manager_->setWorkingDirectory(directory_.path());
    manager_->setToolPath(std::nullopt);  // found on PATH

    const FlashRun run = runFlash(manager_, port, firmware_);
    ASSERT_NE(bossacError(run.outcome), nullptr) << (run.outcome ? run.outcome->localizedDescription() : "success");
    EXPECT_EQ(*bossacError(run.outcome),
              BossacError::reportedFailure("No device found on " + port.string(), "the tool exited with status 1"));
}

TEST(BossacBootloaderPort, IsThePortBackOrTheOneNewSerialDevice) {
    struct Case {
        std::vector<std::string> before, after;  // serial devices before the kick, and now
        std::string port;                        // the bootloader's, if one is found
        std::string error;                       // else words of the error
    };
    const Case cases[] = {
        {{"ttyACM0"}, {"ttyACM0"}, "ttyACM0", ""},
        {{"ttyACM0"}, {"ttyACM0", "ttyACM1"}, "ttyACM0", ""},
        {{"ttyACM0", "ttyUSB3"}, {"ttyUSB3", "ttyACM1", "notes.txt"}, "ttyACM1", ""},
        {{"ttyACM0"}, {"ttyACM1", "ttyUSB0"}, "", "several serial devices appeared (DIR/ttyACM1, DIR/ttyUSB0)"},
        {{"ttyACM0", "ttyUSB3"}, {"ttyUSB3"}, "", "did not come back and no other serial device appeared in DIR/."},
    };
    for (const auto& [before, after, port, error] : cases) {
        TemporaryDirectory directory;
        const std::string dir = directory.path().string();
        std::vector<std::string> seen;
        for (const auto& name : before) seen.push_back(dir + "/" + name);
        for (const auto& name : after) directory.touch(name);
        const auto found = BossacManager::awaitBootloaderPort(directory.path() / "ttyACM0", seen, 200ms);
        if (!port.empty()) {
            ASSERT_TRUE(std::holds_alternative<fs::path>(found)) << port;
            EXPECT_EQ(std::get<fs::path>(found), directory.path() / port);
        } else {
            ASSERT_TRUE(std::holds_alternative<ErrorRef>(found)) << error;
            std::string description = std::get<ErrorRef>(found)->localizedDescription();
            for (std::size_t at; (at = description.find(dir)) != std::string::npos;)
                description.replace(at, dir.size(), "DIR");
            EXPECT_NE(description.find(error), std::string::npos) << description;
        }
    }
    // A directory that cannot be listed cannot be watched: the port is taken as it is.
    const auto unwatched = BossacManager::awaitBootloaderPort("/nonexistent/ttyACM0", {}, 200ms);
    EXPECT_EQ(std::get<fs::path>(unwatched), "/nonexistent/ttyACM0");
}

TEST_F(BossacManagerTest, APortThatIsBusyStopsTheRunWithItsCause) {
    PseudoTerminal terminal;
    useTool("echo 'Verify successful'");
    {
        SerialPort holder(terminal.path().string());
        holder.open();
        const FlashRun run = runFlash(manager_, terminal.path(), firmware_);
        const auto* cause = dynamic_cast<const PortError*>(run.outcome.get());
        ASSERT_NE(cause, nullptr) << (run.outcome ? run.outcome->localizedDescription() : "success");
        EXPECT_TRUE(cause->isBusy());
        EXPECT_FALSE(fs::exists(directory_.path() / "arguments"));  // the tool never ran
    }
    // Absent, or not a terminal: nothing to kick, and the tool runs all the same.
    for (const fs::path& port : {fs::path("/nonexistent/dev/ttyACM7"), fs::path(directory_.touch("ttyACM5"))}) {
        EXPECT_EQ(runFlash(manager_, port, firmware_).outcome, nullptr) << port;
    }
}

TEST_F(BossacManagerTest, AToolThatCannotBeFollowedIsStoppedAndNeverTakenForSuccess) {
    struct Case {
        std::string body;
        bool childrenReapedElsewhere;
        long code;  // of the outcome; 0 for the silence
    };
    const Case cases[] = {
        {"echo 'Write 5 bytes to flash'\nexec sleep 30", false, 0},
        {"trap '' TERM\nexec sleep 30", false, 0},   // needs SIGKILL
        {"exec >&- 2>&-\nexec sleep 30", false, 0},  // closed its output and goes on
        {"echo 'Verify successful'", true, ECHILD},
    };
    manager_->setToolSilenceLimit(300ms);
    for (const auto& [body, reapedElsewhere, code] : cases) {
        useTool("echo $$ > '" + (directory_.path() / "pid").string() + "'\n" + body);
        if (reapedElsewhere) ::signal(SIGCHLD, SIG_IGN);
        const FlashRun run = flash();
        ::signal(SIGCHLD, SIG_DFL);
        ASSERT_NE(run.outcome, nullptr) << body;
        if (code == 0) {
            EXPECT_EQ(run.outcome->domain(), "orvane.BossacManager.ToolSilentError") << body;
        } else {
            EXPECT_EQ(run.outcome->code(), code) << body;
            EXPECT_NE(run.outcome->localizedDescription().find("exit status"), std::string::npos);
        }
        // Ended and reaped: no such process any more.
        const pid_t tool = std::stoi(readFile(directory_.path() / "pid"));
        EXPECT_TRUE(::kill(tool, 0) != 0 && errno == ESRCH) << body;
    }
}

}  // namespace
}  // namespace orvane

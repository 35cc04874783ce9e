#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace orvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const fs::path kTools = fs::path(ORVANE_BINARY_DIR) / "tools";

// A child process with its standard output on a pipe and its standard error in a file.
class Child {
public:
    explicit Child(std::vector<std::string> arguments, const std::string& errorPath = "/dev/null") {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
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

    ~Child() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) ::close(output_);
    }

    bool started() const { return pid_ > 0; }
    void signal(int number) { ::kill(pid_, number); }

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

    // The exit status, or nothing if it is still running after `timeout`.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(5ms);
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::optional<int> status_;
};

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kTools / "orvane-sim") || !fs::exists(kTools / "orvane-monitor")) {
            GTEST_SKIP() << "build orvane-sim and orvane-monitor first";
        }
        char pattern[] = "/tmp/orvane-tools-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        directory_ = pattern;
        link_ = (directory_ / "ttyACM0").string();
    }

    void TearDown() override {
        if (!directory_.empty()) fs::remove_all(directory_);
    }

    std::unique_ptr<Child> startSimulator(std::vector<std::string> options = {}) {
        std::vector<std::string> arguments{(kTools / "orvane-sim").string(), "--link", link_};
        arguments.insert(arguments.end(), options.begin(), options.end());
        auto simulator = std::make_unique<Child>(arguments);
        EXPECT_TRUE(simulator->started());
        auto path = simulator->readLine();
        EXPECT_TRUE(path && path->rfind("/dev/pts/", 0) == 0) << path.value_or("(nothing)");
        EXPECT_EQ(fs::read_symlink(link_).string(), path.value_or(""));
        return simulator;
    }

    std::unique_ptr<Child> startMonitor(std::vector<std::string> options, const std::string& errorPath = "/dev/null") {
        std::vector<std::string> arguments{(kTools / "orvane-monitor").string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return std::make_unique<Child>(arguments, errorPath);
    }

    fs::path directory_;
    std::string link_;
};

TEST_F(ToolsTest, MonitorPrintsTelemetryOfTheSimulatedVehicle) {
    auto simulator = startSimulator({"--version", "2.3.0.5"});
    auto monitor = startMonitor({"--lat", "0.5", "--long", "-0.25", "--count", "30", link_});
    const auto lines = monitor->readLines();
    EXPECT_EQ(monitor->wait(5s), 0);
    ASSERT_EQ(lines.size(), 30u);

    bool sawSteering = false;
    for (const auto& text : lines) {
        const auto line = nlohmann::json::parse(text);
        for (const char* key : {"steeringWheelAngle", "parkTOI", "halfTOI", "steeringAssistanceTorque",
                                "steeringDriverTorque", "version", "buildDate", "serialNumber", "lateralControlMethod",
                                "longitudinalControlMethod", "receivedMessageCountsByChannel", "isConnected", "message"}) {
            EXPECT_TRUE(line.contains(key)) << key << " missing in " << text;
        }
        EXPECT_EQ(line["isConnected"], true);
        if (line["message"] == "STEERING") {
            sawSteering = true;
            // The simulated driver's torque follows the requested lateral control: 0.025 Nm per percent.
            EXPECT_NEAR(line["steeringDriverTorque"].get<double>(), 1.25, 0.11) << text;
            EXPECT_NE(line["parkTOI"], "unknown");
        }
    }
    EXPECT_TRUE(sawSteering);
    const auto first = nlohmann::json::parse(lines.front());
    EXPECT_EQ(first["message"], "DEVICE-INFO");
    EXPECT_EQ(first["version"], "2.3.0.5");
    EXPECT_EQ(first["buildDate"], "2024-03-18T14:05:12.345Z");
    const auto last = nlohmann::json::parse(lines.back());
    EXPECT_TRUE(last["receivedMessageCountsByChannel"].contains("0"));
    EXPECT_TRUE(last["receivedMessageCountsByChannel"].contains("1"));

    // The port is free again for the next client.
    auto again = startMonitor({"--count", "1", link_});
    EXPECT_EQ(again->readLines().size(), 1u);
    EXPECT_EQ(again->wait(5s), 0);

    simulator->signal(SIGTERM);
    EXPECT_EQ(simulator->wait(5s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
}

TEST_F(ToolsTest, MonitorEndsWithStatusTwoWhenTheDeviceGoes) {
    {
        auto simulator = startSimulator({"--unplug-after", "3"});
        auto monitor = startMonitor({link_});
        EXPECT_EQ(monitor->readLines().size(), 3u);
        EXPECT_EQ(monitor->wait(2s), 2);
        EXPECT_EQ(simulator->wait(2s), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
    }
    {
        auto simulator = startSimulator({"--high-bit-after", "2"});
        auto monitor = startMonitor({link_});
        EXPECT_EQ(monitor->readLines().size(), 2u);
        EXPECT_EQ(monitor->wait(2s), 2);
        simulator->signal(SIGTERM);
        EXPECT_EQ(simulator->wait(2s), 0);
    }
    {
        auto simulator = startSimulator({"--endless-name-after", "1"});
        auto monitor = startMonitor({link_});
        EXPECT_EQ(monitor->readLines().size(), 1u);
        EXPECT_EQ(monitor->wait(2s), 2);
        simulator->signal(SIGTERM);
        EXPECT_EQ(simulator->wait(2s), 0);
    }
    {
        // Killing a silent simulator ends the monitor within a second.
        auto simulator = startSimulator({"--silent"});
        auto monitor = startMonitor({link_});
        std::this_thread::sleep_for(300ms);
        EXPECT_FALSE(monitor->wait(0ms).has_value());
        simulator->signal(SIGKILL);
        EXPECT_EQ(monitor->wait(1s), 2);
    }
    {
        // A simulator started after a killed one replaces its dangling link.
        auto simulator = startSimulator();
        auto monitor = startMonitor({"--count", "1", link_});
        EXPECT_EQ(monitor->readLines().size(), 1u);
        EXPECT_EQ(monitor->wait(2s), 0);
    }
}

TEST_F(ToolsTest, MonitorSaysWhyTheLinkEnded) {
    const std::string errors = (directory_ / "monitor-errors").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--unplug-after", "2"}, "ended: the device was unplugged"},
        {{"--high-bit-after", "2"}, "ended: the device sent data that is not the protocol (a byte with the high bit set)"},
        {{"--endless-name-after", "2"}, "ended: the device sent data that is not the protocol (a name longer than"},
    };
    for (const auto& [simulatorOptions, cause] : cases) {
        auto simulator = startSimulator(simulatorOptions);
        auto monitor = startMonitor({link_}, errors);
        EXPECT_EQ(monitor->readLines().size(), 2u);
        EXPECT_EQ(monitor->wait(5s), 2);
        std::ifstream file(errors);
        const std::string printed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        EXPECT_NE(printed.find(cause), std::string::npos) << printed;
        simulator->signal(SIGTERM);
        simulator->wait(5s);
    }
}

TEST_F(ToolsTest, MonitorReportsAFailedConnect) {
    auto monitor = startMonitor({(directory_ / "ttyACM9").string()});
    EXPECT_TRUE(monitor->readLines().empty());
    EXPECT_EQ(monitor->wait(2s), 1);
}

}  // namespace
}  // namespace orvane

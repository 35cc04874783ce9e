#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "device/DeviceSerialInterface.h"
#include "orvane-sim/UsbPort.h"
#include "support/ChildProcess.h"
#include "support/WaitFor.h"
#include "update/BossacManager.h"

namespace orvane {
namespace {

using testing::Child;
using testing::waitFor;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const fs::path kTools = fs::path(ORVANE_BINARY_DIR) / "tools";

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvane-tools-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        directory_ = pattern;
        link_ = (directory_ / "ttyACM0").string();
    }

    void TearDown() override {
        if (!directory_.empty()) fs::remove_all(directory_);
    }

    std::unique_ptr<Child> startSimulator(std::vector<std::string> options = {},
                                          const std::string& errorPath = "/dev/null") {
        std::vector<std::string> arguments{(kTools / "orvane-sim").string(), "--link", link_};
        arguments.insert(arguments.end(), options.begin(), options.end());
        auto simulator = std::make_unique<Child>(arguments, errorPath);
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

    static std::string contents(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    fs::path directory_;
    std::string link_;
};

// How many read calls the process has made (each one counts, also one that times out empty).
long readCalls(pid_t process) {
    std::ifstream io("/proc/" + std::to_string(process) + "/io");
    for (std::string key; io >> key;) {
        long value = 0;
        io >> value;
        if (key == "syscr:") return value;
    }
    return -1;
}

TEST_F(ToolsTest, MonitorPrintsTelemetryOfTheSimulatedVehicle) {
    auto simulator = startSimulator({"--firmware-version", "2.3.0.5"});
    auto monitor = startMonitor({"--lat", "0.5", "--long", "-0.25", "--count", "30", link_});
    const auto lines = monitor->readLines();
    EXPECT_EQ(monitor->wait(15s), 0);
    ASSERT_EQ(lines.size(), 30u);

    bool sawSteering = false;
    for (const auto& text : lines) {
        const auto line = nlohmann::json::parse(text);
        for (const char* key :
             {"steeringWheelAngle", "parkTOI", "halfTOI", "steeringAssistanceTorque", "steeringDriverTorque", "version",
              "buildDate", "serialNumber", "lateralControlMethod", "longitudinalControlMethod",
              "receivedMessageCountsByChannel", "isConnected", "message"}) {
            EXPECT_TRUE(line.contains(key)) << key << " missing in " << text;
        }
        EXPECT_EQ(line["isConnected"], true);
        if (line["message"] == "STEERING") {
            sawSteering = true;
            // The simulated driver's torque follows the requested lateral control: 0.025 Nm per
            // percent, counted like the angle (counterclockwise positive), so a clockwise request
            // of 50 % gives -1.25 Nm.
            EXPECT_NEAR(line["steeringDriverTorque"].get<double>(), -1.25, 0.11) << text;
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
    EXPECT_EQ(again->wait(15s), 0);

    simulator->signal(SIGTERM);
    EXPECT_EQ(simulator->wait(15s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
}

TEST_F(ToolsTest, SimulatedWheelTurnsTheWayTheRequestAsks) {
    // A positive lateral request is a clockwise turn, and a clockwise wheel angle is negative;
    // a fresh vehicle held at either request reports angles of that sign only, whatever the
    // swing (at most 25 degrees against the request's 180) and however fast the messages come.
    for (const auto& [request, sign] : {std::pair{"0.5", -1}, std::pair{"-0.5", 1}}) {
        auto simulator = startSimulator();
        auto monitor = startMonitor({"--lat", request, "--count", "20", link_});
        const auto lines = monitor->readLines();
        EXPECT_EQ(monitor->wait(15s), 0);
        int steering = 0;
        for (const auto& text : lines) {
            const auto line = nlohmann::json::parse(text);
            if (line["message"] != "STEERING") continue;
            ++steering;
            EXPECT_GT(sign * line["steeringWheelAngle"].get<double>(), 0) << "lat " << request << ": " << text;
        }
        EXPECT_GT(steering, 5) << "lat " << request;
        simulator->signal(SIGTERM);
        EXPECT_EQ(simulator->wait(15s), 0);
    }
}

TEST_F(ToolsTest, MonitorEndsWithStatusTwoWhenTheDeviceGoes) {
    {
        auto simulator = startSimulator({"--unplug-after", "3"});
        auto monitor = startMonitor({link_});
        EXPECT_EQ(monitor->readLines().size(), 3u);
        EXPECT_EQ(monitor->wait(15s), 2);
        EXPECT_EQ(simulator->wait(15s), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
    }
    {
        auto simulator = startSimulator({"--high-bit-after", "2"});
        auto monitor = startMonitor({link_});
        EXPECT_EQ(monitor->readLines().size(), 2u);
        EXPECT_EQ(monitor->wait(15s), 2);
        simulator->signal(SIGTERM);
        EXPECT_EQ(simulator->wait(15s), 0);
    }
    {
        auto simulator = startSimulator({"--endless-name-after", "1"});
        auto monitor = startMonitor({link_});
        EXPECT_EQ(monitor->readLines().size(), 1u);
        EXPECT_EQ(monitor->wait(15s), 2);
        simulator->signal(SIGTERM);
        EXPECT_EQ(simulator->wait(15s), 0);
    }
    {
        // A silent line does not end the monitor, killing the silent simulator does. The
        // simulator says when the monitor's request has come; two more reads of the monitor
        // mean that at least one read has run out of time on the silent line and it read on.
        const auto errors = directory_ / "simulator-errors";
        auto simulator = startSimulator({"--silent"}, errors.string());
        auto monitor = startMonitor({link_});
        ASSERT_TRUE(waitFor([&] { return contents(errors).find("client opened the device") != std::string::npos; }));
        const long reads = readCalls(monitor->pid());
        ASSERT_GE(reads, 0) << "no read count for the monitor";
        ASSERT_TRUE(waitFor([&] { return monitor->wait(0ms).has_value() || readCalls(monitor->pid()) >= reads + 2; }));
        EXPECT_FALSE(monitor->wait(0ms).has_value()) << "the monitor ended on a silent line";
        simulator->signal(SIGKILL);
        EXPECT_EQ(monitor->wait(15s), 2);
    }
    // A simulator started after a killed one replaces the link it left: dangling, and once more
    // pointing at a pty that has taken the killed one's number (this test opens it, as a terminal
    // opened meanwhile would). Both links are made here: the number the killed simulator had may
    // meanwhile belong to a simulator of a test running beside this one, whose link is rightly kept.
    int other = -1;
    for (const bool taken : {false, true}) {
        fs::remove(link_);
        if (taken) {
            other = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            ASSERT_TRUE(other >= 0 && ::grantpt(other) == 0 && ::unlockpt(other) == 0);
            fs::create_symlink(::ptsname(other), link_);
        } else {
            fs::create_symlink(directory_ / "pts-of-a-killed-simulator", link_);
        }
        auto simulator = startSimulator();
        auto monitor = startMonitor({"--count", "1", link_});
        const std::string output = monitor->readAll(20s);
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << (taken ? "taken" : "dangling");
        EXPECT_EQ(monitor->wait(15s), 0);
        simulator->signal(SIGKILL);
        EXPECT_TRUE(simulator->wait(15s).has_value());
    }
    ::close(other);
}

// The simulator knows a live simulator's pty by the multiplexer's device, whichever path opened
// it (a container's /dev/pts/ptmx as well as /dev/ptmx), and takes a process it cannot read for
// one that holds nothing.
TEST(SimulatorLink, APtyIsHeldWhicheverPathOpenedIt) {
    for (const char* multiplexer : {"/dev/ptmx", "/dev/pts/ptmx"}) {
        SCOPED_TRACE(multiplexer);
        const int master = ::open(multiplexer, O_RDWR | O_NOCTTY | O_CLOEXEC);
        // /dev/pts/ptmx has mode 000 outside a container: only root (as in CI) opens it.
        if (master < 0 && errno == EACCES && ::geteuid() != 0) continue;
        ASSERT_GE(master, 0) << std::strerror(errno);
        unsigned index = 0;
        ASSERT_EQ(::ioctl(master, TIOCGPTN, &index), 0);
        EXPECT_TRUE(sim::holdsPtyMaster("/proc/self", index));
        EXPECT_FALSE(sim::holdsPtyMaster("/proc/self", index + 1000));
        ::close(master);
        EXPECT_FALSE(sim::holdsPtyMaster("/proc/self", index));
    }
    EXPECT_FALSE(sim::holdsPtyMaster("/proc/no-such-process", 0));
}

TEST_F(ToolsTest, MonitorSaysWhyTheLinkEnded) {
    const std::string errors = (directory_ / "monitor-errors").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--unplug-after", "2"}, "ended: the device was unplugged"},
        {{"--high-bit-after", "2"},
         "ended: the device sent data that is not the protocol (a byte with the high bit set)"},
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
    EXPECT_EQ(monitor->wait(15s), 1);
}

// Every tool answers --help and --version on standard output with status 0, and refuses a bad
// command line with one line on standard error and status 2, before doing anything else; a file
// it cannot write, with one line and status 1.
TEST_F(ToolsTest, CommandLinesAnswerHelpAndVersionAndRefuseBadOptions) {
    const std::string recording = (directory_ / "recording.csv").string();
    std::ofstream(recording) << "time,message\r\n0.0,ACK\r\n";
    struct Case {
        std::string tool;
        std::vector<std::string> arguments;
        int status;
        std::string says;  // in the output for 0, in the one error line for 2
    };
    const std::vector<Case> cases{
        {"orvane-sim", {"--help"}, 0, "--firmware-version X"},
        {"orvane-sim", {"--version"}, 0, "orvane-sim 0."},
        {"orvane-sim", {"--swing", "200"}, 2, "--swing: '200' is not a number from 0 to 180"},
        {"orvane-sim", {"--rate", "-1"}, 2, "--rate"},
        {"orvane-sim", {"--unplug-after"}, 2, "--unplug-after"},
        {"orvane-sim", {"--flash-dump", ""}, 2, "--flash-dump: names no file"},
        {"orvane-sim", {"--frobnicate"}, 2, "--frobnicate"},
        {"orvane-sim", {"--help"}, 0, "--faults FILE"},
        {"orvane-sim", {"--help"}, 0, "--stats FILE"},
        {"orvane-sim", {"--seed", "3"}, 2, "--seed requires --faults random"},
        {"orvane-monitor", {"--help"}, 0, "--replay FILE"},
        {"orvane-monitor", {"--version"}, 0, "orvane-monitor 0."},
        {"orvane-monitor", {}, 2, "PATH is required"},
        {"orvane-monitor", {"--lat", "nan", "/dev/null"}, 2, "--lat: 'nan' is not a number from -1 to 1"},
        {"orvane-monitor", {"--long", "1.5", "/dev/null"}, 2, "--long"},
        {"orvane-monitor", {"--count", "0", "/dev/null"}, 2, "--count: '0'"},
        {"orvane-monitor", {"/dev/a", "/dev/b"}, 2, "/dev/b"},
        {"orvane-monitor", {"--replay", "x.csv", "--lat", "0.5"}, 2, "--lat excludes --replay"},
        {"orvane-monitor", {"--speed", "2", "/dev/null"}, 2, "--speed requires --replay"},
        {"orvane-monitor", {"--replay", "x.csv", "--speed", "0"}, 2, "--speed: '0'"},
        {"orvane-monitor", {"--replay", "x.csv", "--mcap", "x.mcap", "--speed", "2"}, 2, "--speed excludes --mcap"},
        {"orvane-monitor", {"--mcap", "x.mcap", "/dev/null"}, 2, "--mcap requires --replay"},
        {"orvane-monitor", {"--replay", "x.csv", "--mcap", "x.mcap"}, 2, "x.csv: cannot be read"},
        {"orvane-monitor", {"--replay", recording, "--mcap", recording}, 1, "is the recording being exported"},
        {"orvane-monitor", {"--replay", recording, "--mcap", directory_.string()}, 1, ": is a directory"},
        {"orvane-monitor",
         {"--replay", recording, "--mcap", (directory_ / "none" / "x.mcap").string()},
         1,
         "x.mcap: cannot be written: No such file or directory"},
        {"orvane-firmware-server", {"--help"}, 0, "--firmware-version V"},
        {"orvane-firmware-server", {"--version"}, 0, "orvane-firmware-server 0."},
        {"orvane-firmware-server", {"--firmware-version", "1.x"}, 2, "'1.x' is not a dotted version"},
        {"orvane-firmware-server", {"--port", "70000"}, 2, "--port"},
        {"orvane-firmware-server", {"extra"}, 2, "extra"},
    };
    const std::string errorsPath = (directory_ / "errors").string();
    for (const auto& c : cases) {
        const auto tool = kTools / c.tool;
        std::vector<std::string> arguments{tool.string()};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        std::string label = c.tool;
        for (const auto& argument : c.arguments) label += " '" + argument + "'";

        Child child(arguments, errorsPath);
        std::string output;
        for (const auto& line : child.readLines()) output += line + "\n";
        EXPECT_EQ(child.wait(15s), c.status) << label;
        std::ifstream errorFile(errorsPath);
        const std::string errors((std::istreambuf_iterator<char>(errorFile)), std::istreambuf_iterator<char>());
        if (c.status == 0) {
            EXPECT_NE(output.find(c.says), std::string::npos) << label << ": " << output;
            EXPECT_EQ(errors, "") << label;
        } else {
            EXPECT_EQ(output, "") << label;
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << label << ": " << errors;
            EXPECT_EQ(errors.rfind(c.tool + ": ", 0), 0u) << label << ": " << errors;
            EXPECT_NE(errors.find(c.says), std::string::npos) << label << ": " << errors;
        }
    }
}

// The device's side of a firmware update, flashed by the real bossac as the console runs it.
class BootloaderSimTest : public ToolsTest {
protected:
    static constexpr const char* kBossac = "/usr/bin/bossac";

    static std::string linkTarget(const std::string& link) {
        std::error_code error;
        auto target = fs::read_symlink(link, error);
        return error ? std::string() : target.string();
    }

    // Waits until `link` names a pty other than `previous`.
    static bool repointed(const std::string& link, const std::string& previous) {
        return waitFor([&] {
            const auto target = linkTarget(link);
            return !target.empty() && target != previous;
        });
    }

    // The console's bootloader kick; the test watches for the bootloader itself.
    static void kick(const std::string& path) {
        const ErrorRef refused = BossacManager::kickBootloader(path, 200ms, 0ms);
        EXPECT_EQ(refused, nullptr) << (refused ? refused->localizedDescription() : "");
    }

    struct Run {
        std::optional<int> status;
        std::string output;
    };

    // bossac with the console's command line; its standard output and error together.
    static Run flash(const std::string& port, const fs::path& image) {
        std::vector<std::string> command{kBossac};
        for (auto& argument : BossacManager::commandArguments(port, image)) command.push_back(std::move(argument));
        Child bossac(command, true);
        Run run;
        run.output = bossac.readAll(60s);
        run.status = bossac.wait(20s);
        return run;
    }

    // Random bytes with the version marker a third of the way in, unless `version` is empty.
    fs::path writeImage(const std::string& name, std::size_t size, const std::string& version) {
        std::mt19937 random(static_cast<unsigned>(size));
        std::string image(size, '\0');
        for (auto& byte : image) byte = static_cast<char>(random());
        if (!version.empty()) {
            const std::string marker = "ORVANE-FIRMWARE-VERSION=" + version + '\0';
            image.replace(size / 3, marker.size(), marker);
        }
        const auto path = directory_ / name;
        std::ofstream(path, std::ios::binary) << image;
        return path;
    }

    // Where the dump first differs from the image (the shorter one's length if one is cut
    // short), or npos when they are equal.
    static std::size_t firstDifference(const fs::path& dump, const fs::path& image) {
        const auto dumped = contents(dump);
        const auto expected = contents(image);
        const auto [at, _] = std::mismatch(dumped.begin(), dumped.end(), expected.begin(), expected.end());
        return dumped == expected ? std::string::npos : static_cast<std::size_t>(at - dumped.begin());
    }

    // The version the device reports, as the console shows it.
    std::string reportedVersion(const std::string& link) {
        auto monitor = startMonitor({"--count", "1", link});
        const auto output = monitor->readAll(20s);
        EXPECT_EQ(monitor->wait(20s), 0) << output;
        const auto line = nlohmann::json::parse(output, nullptr, false);
        return line.is_object() && line.contains("version") ? line["version"].get<std::string>() : output;
    }

    // Starts a simulator, kicks it into its bootloader and returns it with the bootloader's path.
    std::unique_ptr<Child> startBootloader(std::vector<std::string> options, std::string& bootloader) {
        auto simulator = startSimulator(std::move(options));
        const auto device = linkTarget(link_);
        kick(link_);
        EXPECT_TRUE(repointed(link_, device)) << "the device did not come back as its bootloader";
        bootloader = linkTarget(link_);
        return simulator;
    }
};

TEST_F(BootloaderSimTest, BossacFlashesTheImageAndTheDeviceComesBackWithItsVersion) {
    const auto dump = directory_ / "flash.bin";
    std::string bootloader;
    auto simulator = startBootloader({"--flash-dump", dump.string()}, bootloader);

    // An image that ends inside a flash page.
    const auto marked = writeImage("marked.bin", 4000, "2.7.1.3");
    auto run = flash(link_, marked);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Verify successful"), std::string::npos) << run.output;
    ASSERT_TRUE(repointed(link_, bootloader)) << "the bootloader did not reset";
    EXPECT_EQ(firstDifference(dump, marked), std::string::npos) << fs::file_size(dump) << " bytes dumped";
    EXPECT_EQ(reportedVersion(link_), "2.7.1.3");

    // A second update, from the device the first one left, with a shorter image without a
    // version: the old image's marker still lies in flash beyond it and must not count.
    const auto device = linkTarget(link_);
    kick(link_);
    ASSERT_TRUE(repointed(link_, device));
    bootloader = linkTarget(link_);
    const auto unmarked = writeImage("unmarked.bin", 640, "");
    run = flash(link_, unmarked);
    EXPECT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(repointed(link_, bootloader));
    EXPECT_EQ(firstDifference(dump, unmarked), std::string::npos) << fs::file_size(dump) << " bytes dumped";
    EXPECT_EQ(reportedVersion(link_), "0.0");  // 0.0.0.0 as the console prints it

    simulator->signal(SIGTERM);
    EXPECT_EQ(simulator->wait(20s), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
}

TEST_F(BootloaderSimTest, BootloaderCanAppearUnderAnotherName) {
    const auto renamed = (directory_ / "ttyACM1").string();
    auto simulator = startSimulator({"--bootloader-link", renamed});
    kick(link_);
    ASSERT_TRUE(waitFor([&] { return !linkTarget(renamed).empty(); }));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));

    auto run = flash(renamed, writeImage("image.bin", 1024, "3.0.0.1"));
    EXPECT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(waitFor([&] { return !linkTarget(link_).empty(); }));
    EXPECT_FALSE(fs::exists(fs::symlink_status(renamed)));
    EXPECT_EQ(reportedVersion(link_), "3.0.0.1");
}

TEST_F(BootloaderSimTest, BossacFailsOnAFaultyBootloader) {
    const auto image = writeImage("image.bin", 4096, "2.0.0.0");
    std::string bootloader;
    {
        auto simulator = startBootloader({"--flip-bit-after-write"}, bootloader);
        const auto run = flash(link_, image);
        ASSERT_TRUE(run.status.has_value()) << run.output;
        EXPECT_NE(*run.status, 0);
        EXPECT_NE(run.output.find("Verify failed"), std::string::npos) << run.output;
    }
    {
        auto simulator = startBootloader({"--vanish-during-write"}, bootloader);
        const auto run = flash(link_, image);
        ASSERT_TRUE(run.status.has_value()) << "bossac still runs after the bootloader vanished:\n" << run.output;
        EXPECT_NE(*run.status, 0);
        EXPECT_EQ(run.output.find("Verify"), std::string::npos) << run.output;
        EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
        EXPECT_EQ(simulator->wait(20s), 0);
    }
    {
        auto simulator = startBootloader({"--bootloader-silent"}, bootloader);
        const auto run = flash(link_, image);
        ASSERT_TRUE(run.status.has_value()) << run.output;
        EXPECT_NE(*run.status, 0);
        EXPECT_NE(run.output.find("No device found"), std::string::npos) << run.output;
    }
}

// A session on a port where the bootloader sits asks it once and then only listens: the board
// that starts without firmware, and the one that stays in its bootloader after a write was cut.
TEST_F(BootloaderSimTest, ASessionRecognisesTheBootloaderAfterStartAndAfterAnInterruptedWrite) {
    const std::string expected = "v2.0 Orvane SAM-BA monitor Nov 30 2026 09:00:00";
    auto recognised = [&](const std::string& path) {
        auto session = std::make_shared<DeviceSerialInterface>(path);
        session->connect();
        const bool answered = waitFor([&] { return session->bootloaderVersion().has_value(); });
        EXPECT_TRUE(session->isConnected());
        EXPECT_EQ(session->decodedMessageCount(), 0u);
        session->disconnect();
        return answered ? *session->bootloaderVersion() : std::string("(no bootloader)");
    };
    {
        auto simulator = startSimulator({"--start-in-bootloader"});
        EXPECT_EQ(recognised(link_), expected);
        // After the probe the bootloader takes the tool's commands as ever.
        const auto bootloader = linkTarget(link_);
        auto run = flash(link_, writeImage("image.bin", 2048, "4.0.0.1"));
        EXPECT_EQ(run.status, 0) << run.output;
        ASSERT_TRUE(repointed(link_, bootloader));
        EXPECT_EQ(reportedVersion(link_), "4.0.0.1");
    }
    {
        std::string bootloader;
        auto simulator = startBootloader({"--vanish-during-write", "--stay-in-bootloader-after-interrupt"}, bootloader);
        auto run = flash(link_, writeImage("image.bin", 4096, "4.0.0.2"));
        EXPECT_NE(run.status, 0) << run.output;
        ASSERT_TRUE(repointed(link_, bootloader)) << "the bootloader did not come back";
        bootloader = linkTarget(link_);
        EXPECT_EQ(recognised(link_), expected);
        run = flash(link_, writeImage("image.bin", 4096, "4.0.0.2"));
        EXPECT_EQ(run.status, 0) << run.output;
        ASSERT_TRUE(repointed(link_, bootloader));
        EXPECT_EQ(reportedVersion(link_), "4.0.0.2");
    }
}

}  // namespace
}  // namespace orvane

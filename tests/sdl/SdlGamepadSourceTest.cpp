#include <SDL.h>
#include <signal.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "sdl/SdlGamepadSource.h"

using namespace orvane;
namespace fs = std::filesystem;

namespace {

// A virtual device as the test holds it: the instance identifies it across index changes, the
// joystick is the test's own opening of it, through which its axes are set.
struct VirtualDevice {
    SDL_JoystickID instance = -1;
    SDL_Joystick* joystick = nullptr;
    bool attached = false;
};

struct Posted {
    std::string name;
    Object* object;
    bool onMainThread;
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

fs::path makeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "orvane-sdl-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

int deviceIndexOf(SDL_JoystickID instance) {
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
        if (SDL_JoystickGetDeviceInstanceID(index) == instance) return index;
    }
    return -1;
}

class SdlGamepadSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainQueue::shared().bindToCurrentThread();
        ASSERT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u) << "SDL is still running from an earlier test";
        tempDir_ = makeTempDir();
        ASSERT_FALSE(tempDir_.empty());
        // Keep a database of the user's own out of the tests.
        dbEnv_.emplace("ORVANE_GAMECONTROLLERDB", (tempDir_ / "absent.txt").string());

        auto record = [this](const Notification& notification) {
            posted_.push_back({notification.name, notification.object, MainQueue::shared().isMainThread()});
        };
        auto& center = NotificationCenter::defaultCenter();
        tokens_.push_back(center.addObserver(GCControllerDidConnectNotification, nullptr,
                                             NotificationCenter::Delivery::postingThread, record));
        tokens_.push_back(center.addObserver(GCControllerDidDisconnectNotification, nullptr,
                                             NotificationCenter::Delivery::postingThread, record));
    }

    void TearDown() override {
        for (auto& device : devices_) {
            if (device.attached && SDL_WasInit(SDL_INIT_JOYSTICK)) detach(device);
        }
        source_.reset();
        if (holdingSdl_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        tokens_.clear();
        dbEnv_.reset();
        std::error_code ignored;
        fs::remove_all(tempDir_, ignored);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u) << "SDL was left running";
    }

    // Starts SDL on the test's own account, for devices that must exist before the source.
    void holdSdl() {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        holdingSdl_ = true;
    }

    // Attaches a virtual device; its reference stays valid for the whole test.
    VirtualDevice& attach(SDL_JoystickType type, const char* name, Uint16 vendor = 0, Uint16 product = 0) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        const bool gamecontroller = type == SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = gamecontroller ? SDL_CONTROLLER_AXIS_MAX : 3;
        desc.nbuttons = gamecontroller ? SDL_CONTROLLER_BUTTON_MAX : 2;
        desc.vendor_id = vendor;
        desc.product_id = product;
        desc.name = name;
        devices_.emplace_back();
        auto& device = devices_.back();
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        if (index < 0) return device;
        device.attached = true;
        device.joystick = SDL_JoystickOpen(index);
        EXPECT_NE(device.joystick, nullptr) << SDL_GetError();
        device.instance = SDL_JoystickInstanceID(device.joystick);
        return device;
    }

    void detach(VirtualDevice& device) {
        if (device.joystick != nullptr) SDL_JoystickClose(device.joystick);
        device.joystick = nullptr;
        EXPECT_EQ(SDL_JoystickDetachVirtual(deviceIndexOf(device.instance)), 0) << SDL_GetError();
        device.attached = false;
    }

    // `axis` is the device's own axis number; the virtual controller numbers its axes like SDL's
    // game controller axes.
    static void setAxis(VirtualDevice& device, int axis, int value) {
        ASSERT_EQ(SDL_JoystickSetVirtualAxis(device.joystick, axis, static_cast<Sint16>(value)), 0) << SDL_GetError();
    }

    // The virtual controller's trigger axes are rescaled from the full axis range to 0..32767.
    static void setTrigger(VirtualDevice& device, SDL_GameControllerAxis axis, int value) {
        setAxis(device, axis, 2 * value - 32768);
    }

    std::vector<std::string> postedNames() const {
        std::vector<std::string> names;
        for (const auto& post : posted_) names.push_back(post.name);
        return names;
    }

    fs::path tempDir_;
    std::optional<ScopedEnv> dbEnv_;
    std::unique_ptr<SdlGamepadSource> source_;
    std::vector<Posted> posted_;
    std::vector<ObserverToken> tokens_;
    std::deque<VirtualDevice> devices_;
    bool holdingSdl_ = false;
};

const std::string connected = GCControllerDidConnectNotification;
const std::string disconnected = GCControllerDidDisconnectNotification;

TEST_F(SdlGamepadSourceTest, AttachedControllerIsAnnouncedOnceAndListedWithItsName) {
    source_ = std::make_unique<SdlGamepadSource>();
    ASSERT_FALSE(source_->initError()) << *source_->initError();
    EXPECT_TRUE(source_->controllers().empty());

    attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Orvane Test Pad");
    // Nothing changes for the console until the source is pumped.
    EXPECT_TRUE(source_->controllers().empty());
    EXPECT_TRUE(posted_.empty());

    source_->pump();
    auto listed = source_->controllers();
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0].name, connected);
    EXPECT_EQ(posted_[0].object, listed[0].get());
    EXPECT_TRUE(posted_[0].onMainThread);
    EXPECT_EQ(listed[0]->vendorName(), "Orvane Test Pad");
    EXPECT_NE(listed[0]->extendedGamepad(), nullptr);

    // Later pumps announce nothing more and keep the same handle.
    source_->pump();
    source_->pump();
    EXPECT_EQ(posted_.size(), 1u);
    ASSERT_EQ(source_->controllers().size(), 1u);
    EXPECT_EQ(source_->controllers()[0], listed[0]);
}

TEST_F(SdlGamepadSourceTest, AxesAreScaledToTheProfileRanges) {
    source_ = std::make_unique<SdlGamepadSource>();
    auto& device = attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Orvane Test Pad");
    source_->pump();
    ASSERT_EQ(source_->controllers().size(), 1u);
    ExtendedGamepad* pad = source_->controllers()[0]->extendedGamepad();
    ASSERT_NE(pad, nullptr);

    // At rest.
    EXPECT_FLOAT_EQ(pad->leftTrigger(), 0.0f);
    EXPECT_FLOAT_EQ(pad->rightTrigger(), 0.0f);
    EXPECT_FLOAT_EQ(pad->leftThumbstickX(), 0.0f);
    EXPECT_FLOAT_EQ(pad->rightThumbstickX(), 0.0f);

    struct TriggerCase {
        int raw;
        float expected;
    };
    for (const auto& [raw, expected] : {TriggerCase{16384, 0.5f}, TriggerCase{32767, 1.0f}, TriggerCase{0, 0.0f}}) {
        setTrigger(device, SDL_CONTROLLER_AXIS_TRIGGERLEFT, raw);
        setTrigger(device, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, raw);
        source_->pump();
        // The virtual controller's rescaling costs up to one step of 32767.
        EXPECT_NEAR(pad->leftTrigger(), expected, 1e-4) << "trigger " << raw;
        EXPECT_NEAR(pad->rightTrigger(), expected, 1e-4) << "trigger " << raw;
        EXPECT_GE(pad->leftTrigger(), 0.0f);
        EXPECT_LE(pad->leftTrigger(), 1.0f);
    }

    struct StickCase {
        int raw;
        float expected;
    };
    for (const auto& [raw, expected] :
         {StickCase{-32768, -1.0f}, StickCase{32767, 1.0f}, StickCase{-16384, -0.5f}, StickCase{0, 0.0f}}) {
        setAxis(device, SDL_CONTROLLER_AXIS_LEFTX, raw);
        setAxis(device, SDL_CONTROLLER_AXIS_RIGHTX, raw);
        source_->pump();
        EXPECT_NEAR(pad->leftThumbstickX(), expected, 1e-4) << "stick " << raw;
        EXPECT_NEAR(pad->rightThumbstickX(), expected, 1e-4) << "stick " << raw;
    }
    // The ends are exact: full left is -1, never below.
    setAxis(device, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    setAxis(device, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
    source_->pump();
    EXPECT_EQ(pad->leftThumbstickX(), -1.0f);
    EXPECT_EQ(pad->rightThumbstickX(), 1.0f);

    // Each value comes from its own control.
    setTrigger(device, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
    setTrigger(device, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
    setAxis(device, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    setAxis(device, SDL_CONTROLLER_AXIS_RIGHTX, -32768);
    source_->pump();
    EXPECT_NEAR(pad->leftTrigger(), 1.0f, 1e-4);
    EXPECT_FLOAT_EQ(pad->rightTrigger(), 0.0f);
    EXPECT_EQ(pad->leftThumbstickX(), 1.0f);
    EXPECT_EQ(pad->rightThumbstickX(), -1.0f);
}

TEST_F(SdlGamepadSourceTest, StickYGrowsUpwardsAndTheRightShoulderIsTheEnableButton) {
    source_ = std::make_unique<SdlGamepadSource>();
    auto& device = attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Orvane Test Pad");
    source_->pump();
    ASSERT_EQ(source_->controllers().size(), 1u);
    ExtendedGamepad* pad = source_->controllers()[0]->extendedGamepad();
    ASSERT_NE(pad, nullptr);
    EXPECT_FALSE(pad->enableButtonPressed());

    // SDL's y axes grow downwards: pushed fully up is its -32768.
    setAxis(device, SDL_CONTROLLER_AXIS_LEFTY, -32768);
    setAxis(device, SDL_CONTROLLER_AXIS_RIGHTY, 16384);
    source_->pump();
    EXPECT_EQ(pad->leftThumbstickY(), 1.0f);
    EXPECT_NEAR(pad->rightThumbstickY(), -0.5f, 1e-4);
    EXPECT_EQ(pad->leftThumbstickX(), 0.0f) << "each value comes from its own axis";

    ASSERT_EQ(SDL_JoystickSetVirtualButton(device.joystick, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 1), 0);
    source_->pump();
    EXPECT_FALSE(pad->enableButtonPressed()) << "only the right shoulder enables";
    EXPECT_TRUE(pad->otherButtonPressed());
    ASSERT_EQ(SDL_JoystickSetVirtualButton(device.joystick, SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0), 0);
    ASSERT_EQ(SDL_JoystickSetVirtualButton(device.joystick, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1), 0);
    source_->pump();
    EXPECT_TRUE(pad->enableButtonPressed());
    EXPECT_FALSE(pad->otherButtonPressed()) << "the enable button is not another button";
    ASSERT_EQ(SDL_JoystickSetVirtualButton(device.joystick, SDL_CONTROLLER_BUTTON_A, 1), 0);
    source_->pump();
    EXPECT_TRUE(pad->otherButtonPressed());
    ASSERT_EQ(SDL_JoystickSetVirtualButton(device.joystick, SDL_CONTROLLER_BUTTON_A, 0), 0);
    ASSERT_EQ(SDL_JoystickSetVirtualButton(device.joystick, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0), 0);
    source_->pump();
    EXPECT_FALSE(pad->enableButtonPressed());
}

TEST_F(SdlGamepadSourceTest, DetachingAHeldControllerDropsItsProfileAndKeepsTheOthers) {
    source_ = std::make_unique<SdlGamepadSource>();
    auto& first = attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "First Pad");
    attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Second Pad");
    source_->pump();
    auto listed = source_->controllers();
    ASSERT_EQ(listed.size(), 2u);
    // SDL's device order, which is the order of attachment.
    EXPECT_EQ(listed[0]->vendorName(), "First Pad");
    EXPECT_EQ(listed[1]->vendorName(), "Second Pad");
    EXPECT_EQ(postedNames(), (std::vector<std::string>{connected, connected}));
    posted_.clear();

    GamepadHandle held = listed[0];
    setAxis(first, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
    source_->pump();
    ExtendedGamepad* profile = held->extendedGamepad();
    ASSERT_NE(profile, nullptr);
    ASSERT_EQ(profile->rightThumbstickX(), 1.0f);

    detach(first);
    // Already before the next pump, a poll finds no profile to read.
    EXPECT_EQ(held->extendedGamepad(), nullptr);

    source_->pump();
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0].name, disconnected);
    EXPECT_EQ(posted_[0].object, held.get());
    EXPECT_TRUE(posted_[0].onMainThread);
    EXPECT_EQ(source_->controllers(), (std::vector<GamepadHandle>{listed[1]}));
    EXPECT_EQ(held->extendedGamepad(), nullptr);
    // A profile pointer kept from before reads the stick at rest, not the stale full right.
    EXPECT_EQ(profile->rightThumbstickX(), 0.0f);
    EXPECT_EQ(held->vendorName(), "First Pad");

    // The remaining controller still reads.
    EXPECT_NE(listed[1]->extendedGamepad(), nullptr);
}

TEST_F(SdlGamepadSourceTest, PlainJoystickIsListedWithoutTheExtendedProfile) {
    source_ = std::make_unique<SdlGamepadSource>();
    // SDL 2.26 maps a virtual device only when it is of the game-controller type.
    auto& stick = attach(SDL_JOYSTICK_TYPE_FLIGHT_STICK, "Orvane Plain Stick", 0x1234, 0x5678);
    ASSERT_FALSE(SDL_IsGameController(deviceIndexOf(stick.instance)));

    source_->pump();
    auto listed = source_->controllers();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(postedNames(), (std::vector<std::string>{connected}));
    EXPECT_EQ(listed[0]->extendedGamepad(), nullptr);
    EXPECT_EQ(listed[0]->vendorName(), "Orvane Plain Stick");

    detach(stick);
    source_->pump();
    EXPECT_EQ(postedNames(), (std::vector<std::string>{connected, disconnected}));
    EXPECT_TRUE(source_->controllers().empty());
}

TEST_F(SdlGamepadSourceTest, ControllerWithAnEmptyNameHasNoVendorName) {
    source_ = std::make_unique<SdlGamepadSource>();
    attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "");
    attach(SDL_JOYSTICK_TYPE_FLIGHT_STICK, "", 0x1234, 0x5678);
    source_->pump();
    auto listed = source_->controllers();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]->vendorName(), std::nullopt);
    EXPECT_NE(listed[0]->extendedGamepad(), nullptr);
    EXPECT_EQ(listed[1]->vendorName(), std::nullopt);
}

TEST_F(SdlGamepadSourceTest, MappingDatabaseFromTheEnvironmentAppliesToControllersAlreadyAttached) {
    holdSdl();
    auto& stick = attach(SDL_JOYSTICK_TYPE_FLIGHT_STICK, "Orvane Plain Stick", 0x1234, 0x5678);
    const int index = deviceIndexOf(stick.instance);
    ASSERT_FALSE(SDL_IsGameController(index));

    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
    const fs::path db = tempDir_ / "mappings" / "pads.txt";
    writeFile(db, "# Orvane test mappings\n" + std::string(guid) +
                      ",Orvane Mapped Stick,leftx:a0,lefttrigger:a1,righttrigger:a2,platform:Linux,\n");
    ScopedEnv env("ORVANE_GAMECONTROLLERDB", db.string());

    const int before = SDL_GameControllerNumMappings();
    source_ = std::make_unique<SdlGamepadSource>();
    EXPECT_EQ(SDL_GameControllerNumMappings(), before + 1);
    EXPECT_EQ(source_->mappingsFile(), db);

    // Listed at once, now as a game controller under the mapping's name.
    auto listed = source_->controllers();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0]->vendorName(), "Orvane Mapped Stick");
    ExtendedGamepad* pad = listed[0]->extendedGamepad();
    ASSERT_NE(pad, nullptr);
    setAxis(stick, 0, -32768);  // a0, mapped as leftx
    source_->pump();
    EXPECT_EQ(pad->leftThumbstickX(), -1.0f);

    // The first pump announces what was there at construction, once.
    ASSERT_EQ(postedNames(), (std::vector<std::string>{connected}));
    EXPECT_EQ(posted_[0].object, listed[0].get());
    source_->pump();
    EXPECT_EQ(posted_.size(), 1u);
}

TEST_F(SdlGamepadSourceTest, ControllerThatLeavesBeforeItsFirstAnnouncementIsNotAnnounced) {
    holdSdl();
    auto& pad = attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Orvane Test Pad");
    source_ = std::make_unique<SdlGamepadSource>();
    ASSERT_EQ(source_->controllers().size(), 1u);
    detach(pad);
    source_->pump();
    EXPECT_TRUE(posted_.empty());
    EXPECT_TRUE(source_->controllers().empty());
}

TEST_F(SdlGamepadSourceTest, HandlesOutliveTheSourceSafelyAndSdlIsShutDown) {
    source_ = std::make_unique<SdlGamepadSource>();
    attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Orvane Test Pad");
    source_->pump();
    ASSERT_EQ(source_->controllers().size(), 1u);
    GamepadHandle handle = source_->controllers()[0];
    ExtendedGamepad* profile = handle->extendedGamepad();
    ASSERT_NE(profile, nullptr);

    source_.reset();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
    EXPECT_EQ(handle->extendedGamepad(), nullptr);
    EXPECT_EQ(profile->leftTrigger(), 0.0f);
    EXPECT_EQ(handle->vendorName(), "Orvane Test Pad");
}

TEST_F(SdlGamepadSourceTest, TerminationSignalsKeepTheirDefaultHandling) {
    // Undo what earlier tests in this process set, so the source must set it itself.
    SDL_ResetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    struct sigaction oldInt {
    }, oldTerm{};
    ASSERT_EQ(sigaction(SIGINT, &defaults, &oldInt), 0);
    ASSERT_EQ(sigaction(SIGTERM, &defaults, &oldTerm), 0);

    source_ = std::make_unique<SdlGamepadSource>();
    ASSERT_FALSE(source_->initError());
    struct sigaction nowInt {
    }, nowTerm{};
    sigaction(SIGINT, nullptr, &nowInt);
    sigaction(SIGTERM, nullptr, &nowTerm);
    EXPECT_EQ(nowInt.sa_handler, SIG_DFL);
    EXPECT_EQ(nowTerm.sa_handler, SIG_DFL);

    source_.reset();
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
}

class GameControllerDbLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = makeTempDir();
        ASSERT_FALSE(root_.empty());
        exeDir_ = root_ / "bin";
        home_ = root_ / "home";
        xdg_ = root_ / "xdg";
        fs::create_directories(exeDir_);
        fs::create_directories(home_);
        fs::create_directories(xdg_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    std::optional<fs::path> find(const char* overridePath, const char* xdgConfigHome) const {
        return findGameControllerDb(overridePath, exeDir_, xdgConfigHome, home_);
    }

    fs::path root_, exeDir_, home_, xdg_;
};

TEST_F(GameControllerDbLookupTest, ConfigDirectoryFollowsXdgConfigHomeWithTheHomeDefault) {
    const std::string xdg = xdg_.string();
    EXPECT_EQ(find(nullptr, nullptr), std::nullopt);

    const fs::path inHome = home_ / ".config" / "orvane-console" / "gamecontrollerdb.txt";
    writeFile(inHome, "");
    EXPECT_EQ(find(nullptr, nullptr), inHome);
    EXPECT_EQ(find(nullptr, ""), inHome);
    EXPECT_EQ(find(nullptr, "relative/config"), inHome);
    // An absolute XDG_CONFIG_HOME replaces ~/.config rather than adding to it.
    EXPECT_EQ(find(nullptr, xdg.c_str()), std::nullopt);

    const fs::path inXdg = xdg_ / "orvane-console" / "gamecontrollerdb.txt";
    writeFile(inXdg, "");
    EXPECT_EQ(find(nullptr, xdg.c_str()), inXdg);

    // A directory of that name is no database.
    fs::remove(inXdg);
    fs::create_directories(inXdg);
    EXPECT_EQ(find(nullptr, xdg.c_str()), std::nullopt);
}

TEST_F(GameControllerDbLookupTest, ExecutableDirectoryComesBeforeTheConfigDirectory) {
    const std::string xdg = xdg_.string();
    writeFile(xdg_ / "orvane-console" / "gamecontrollerdb.txt", "");
    const fs::path besideExe = exeDir_ / "gamecontrollerdb.txt";
    writeFile(besideExe, "");
    EXPECT_EQ(find(nullptr, xdg.c_str()), besideExe);
    EXPECT_EQ(find("", xdg.c_str()), besideExe);  // an empty override counts as unset
}

TEST_F(GameControllerDbLookupTest, OverrideIsTheOnlyPlaceLookedAtWhenSet) {
    const std::string xdg = xdg_.string();
    writeFile(exeDir_ / "gamecontrollerdb.txt", "");
    writeFile(xdg_ / "orvane-console" / "gamecontrollerdb.txt", "");
    const fs::path chosen = root_ / "elsewhere" / "my-pads.txt";
    writeFile(chosen, "");
    EXPECT_EQ(find(chosen.c_str(), xdg.c_str()), chosen);

    const fs::path missing = root_ / "missing.txt";
    EXPECT_EQ(find(missing.c_str(), xdg.c_str()), std::nullopt);
}

}  // namespace

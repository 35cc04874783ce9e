#include "sdl/SdlGamepadSource.h"

#include <SDL.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "platform/NotificationCenter.h"

namespace orvane {

namespace {

constexpr float axisMaximum = 32767.0f;

// SDL reports triggers from 0 (released) to 32767 (fully pressed).
float triggerValue(Sint16 raw) { return std::clamp(static_cast<float>(raw) / axisMaximum, 0.0f, 1.0f); }

// SDL reports stick axes from -32768 to 32767; the far left end is clamped to -1.
float stickValue(Sint16 raw) { return std::clamp(static_cast<float>(raw) / axisMaximum, -1.0f, 1.0f); }

std::optional<std::string> nonEmpty(const char* text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    return std::string(text);
}

bool isRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool isDeviceEvent(Uint32 type) {
    switch (type) {
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED: return true;
        default: return false;
    }
}

}  // namespace

// One opened SDL device. A game controller also serves as its own extended profile; a plain
// joystick has none. close() ends the handle's life as a live device: afterwards it offers no
// profile and reads nothing from SDL.
class SdlGamepadSource::Controller final : public GameController, private ExtendedGamepad {
public:
    Controller(SDL_JoystickID instance, SDL_GameController* gamecontroller, SDL_Joystick* joystick,
               std::optional<std::string> name)
        : instance_(instance), gamecontroller_(gamecontroller), joystick_(joystick), name_(std::move(name)) {}

    ~Controller() override { close(); }

    SDL_JoystickID instance() const { return instance_; }

    void close() {
        if (gamecontroller_ != nullptr) SDL_GameControllerClose(gamecontroller_);
        if (joystick_ != nullptr) SDL_JoystickClose(joystick_);
        gamecontroller_ = nullptr;
        joystick_ = nullptr;
    }

    ExtendedGamepad* extendedGamepad() override {
        // SDL clears "attached" the moment a device goes, before the removal event is pumped.
        if (gamecontroller_ == nullptr || !SDL_GameControllerGetAttached(gamecontroller_)) return nullptr;
        return this;
    }

    std::optional<std::string> vendorName() const override { return name_; }

private:
    float leftTrigger() const override { return triggerValue(axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT)); }
    float rightTrigger() const override { return triggerValue(axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT)); }
    float leftThumbstickX() const override { return stickValue(axis(SDL_CONTROLLER_AXIS_LEFTX)); }
    float rightThumbstickX() const override { return stickValue(axis(SDL_CONTROLLER_AXIS_RIGHTX)); }
    // SDL's y axes grow downwards; the profile's grow upwards.
    float leftThumbstickY() const override { return -stickValue(axis(SDL_CONTROLLER_AXIS_LEFTY)); }
    float rightThumbstickY() const override { return -stickValue(axis(SDL_CONTROLLER_AXIS_RIGHTY)); }
    bool enableButtonPressed() const override {
        if (gamecontroller_ == nullptr) return false;
        return SDL_GameControllerGetButton(gamecontroller_, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER) == 1;
    }
    bool otherButtonPressed() const override {
        if (gamecontroller_ == nullptr) return false;
        for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button) {
            if (button == SDL_CONTROLLER_BUTTON_RIGHTSHOULDER) continue;
            if (SDL_GameControllerGetButton(gamecontroller_, static_cast<SDL_GameControllerButton>(button)) == 1) {
                return true;
            }
        }
        return false;
    }

    // A profile pointer kept past the device's removal reads the axes at rest.
    Sint16 axis(SDL_GameControllerAxis which) const {
        if (gamecontroller_ == nullptr) return 0;
        return SDL_GameControllerGetAxis(gamecontroller_, which);
    }

    SDL_JoystickID instance_;
    SDL_GameController* gamecontroller_;
    SDL_Joystick* joystick_;
    std::optional<std::string> name_;
};

SdlGamepadSource::SdlGamepadSource() {
    // Keep the console's own handling of SIGINT and SIGTERM: left to itself, SDL replaces it
    // with a handler that only queues a quit event, which nobody here reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        initError_ = SDL_GetError();
        return;
    }
    initialized_ = true;

    // Mappings first, so that the controllers attached now are opened with them.
    loadMappings();

    std::vector<std::shared_ptr<Controller>> removed;
    reconcile(removed, unannounced_);
}

SdlGamepadSource::~SdlGamepadSource() {
    if (!initialized_) return;
    // Handles may outlive the source; they must not touch SDL once it has shut down.
    for (const auto& controller : attached_) controller->close();
    attached_.clear();
    unannounced_.clear();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlGamepadSource::loadMappings() {
    auto file = findGameControllerDb();
    if (!file) return;
    if (SDL_GameControllerAddMappingsFromFile(file->c_str()) >= 0) mappingsFile_ = std::move(file);
}

std::vector<GamepadHandle> SdlGamepadSource::controllers() {
    return std::vector<GamepadHandle>(attached_.begin(), attached_.end());
}

void SdlGamepadSource::pump() {
    if (!initialized_) return;

    SDL_PumpEvents();
    // Drain the whole queue, axis and button events included: a full queue would drop the
    // device events that matter here. The axis values themselves are read from SDL's state.
    bool devicesChanged = false;
    SDL_Event events[64];
    for (;;) {
        const int count = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        for (int i = 0; i < count; ++i) devicesChanged = devicesChanged || isDeviceEvent(events[i].type);
        if (count < 64) break;
    }

    std::vector<std::shared_ptr<Controller>> removed;
    std::vector<std::shared_ptr<Controller>> added;
    added.swap(unannounced_);
    // The events name devices by index and by instance, and by the time they are read the list
    // may have moved on; comparing with SDL's current list is what stays right.
    if (devicesChanged) reconcile(removed, added);

    // A controller listed at construction that has left before its first announcement is
    // announced neither way.
    std::erase_if(removed, [&added](const auto& controller) {
        auto pending = std::find(added.begin(), added.end(), controller);
        if (pending == added.end()) return false;
        added.erase(pending);
        return true;
    });

    auto& center = NotificationCenter::defaultCenter();
    for (const auto& controller : removed) center.post(GCControllerDidDisconnectNotification, controller.get());
    for (const auto& controller : added) center.post(GCControllerDidConnectNotification, controller.get());
}

void SdlGamepadSource::reconcile(std::vector<std::shared_ptr<Controller>>& removed,
                                 std::vector<std::shared_ptr<Controller>>& added) {
    std::vector<std::shared_ptr<Controller>> current;
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(index);
        if (instance < 0) continue;

        auto known = std::find_if(attached_.begin(), attached_.end(),
                                  [instance](const auto& controller) { return controller->instance() == instance; });
        if (known != attached_.end()) {
            current.push_back(*known);
            continue;
        }

        std::shared_ptr<Controller> opened;
        if (SDL_IsGameController(index)) {
            if (SDL_GameController* gamecontroller = SDL_GameControllerOpen(index)) {
                opened = std::make_shared<Controller>(instance, gamecontroller, nullptr,
                                                      nonEmpty(SDL_GameControllerName(gamecontroller)));
            }
        }
        if (!opened) {
            if (SDL_Joystick* joystick = SDL_JoystickOpen(index)) {
                opened =
                    std::make_shared<Controller>(instance, nullptr, joystick, nonEmpty(SDL_JoystickName(joystick)));
            }
        }
        // A device that cannot be opened (no permission, gone already) is not listed; the next
        // device event tries it again.
        if (!opened) continue;
        current.push_back(opened);
        added.push_back(opened);
    }

    for (const auto& controller : attached_) {
        if (std::find(current.begin(), current.end(), controller) == current.end()) {
            controller->close();
            removed.push_back(controller);
        }
    }
    attached_ = std::move(current);
}

std::optional<std::filesystem::path> findGameControllerDb(const char* overridePath,
                                                          const std::filesystem::path& executableDirectory,
                                                          const char* xdgConfigHome,
                                                          const std::filesystem::path& homeDirectory) {
    const std::string fileName = "gamecontrollerdb.txt";

    if (overridePath != nullptr && *overridePath != '\0') {
        std::filesystem::path path(overridePath);
        if (isRegularFile(path)) return path;
        return std::nullopt;
    }

    if (!executableDirectory.empty()) {
        auto path = executableDirectory / fileName;
        if (isRegularFile(path)) return path;
    }

    std::filesystem::path configHome;
    if (xdgConfigHome != nullptr && std::filesystem::path(xdgConfigHome).is_absolute()) {
        configHome = xdgConfigHome;
    } else if (!homeDirectory.empty()) {
        configHome = homeDirectory / ".config";
    }
    if (!configHome.empty()) {
        auto path = configHome / "orvane-console" / fileName;
        if (isRegularFile(path)) return path;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> findGameControllerDb() {
    std::error_code error;
    std::filesystem::path executableDirectory = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    if (error) executableDirectory.clear();

    std::filesystem::path home;
    if (const char* variable = std::getenv("HOME"); variable != nullptr && *variable != '\0') {
        home = variable;
    } else {
        struct passwd entry {};
        struct passwd* found = nullptr;
        char buffer[4096];
        if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr) {
            home = found->pw_dir;
        }
    }

    return findGameControllerDb(std::getenv("ORVANE_GAMECONTROLLERDB"), executableDirectory,
                                std::getenv("XDG_CONFIG_HOME"), home);
}

}  // namespace orvane

#pragma once

// The gamepads attached to the workstation, read through SDL2's game controller API.
//
// Extra controller mappings
// -------------------------
// SDL recognises the common gamepads by itself. Any other controller can be described in an SDL
// game-controller database file (the gamecontrollerdb.txt format: one mapping per line). The
// console loads one such file at start-up, the first that applies of:
//
//   1. the file named by the environment variable ORVANE_GAMECONTROLLERDB, when that variable is
//      set and not empty; it is then the only place looked at (a missing file loads nothing);
//   2. gamecontrollerdb.txt in the directory that holds the console's executable;
//   3. $XDG_CONFIG_HOME/orvane-console/gamecontrollerdb.txt, where XDG_CONFIG_HOME stands for
//      ~/.config when it is unset, empty or not an absolute path.
//
// SDL's own SDL_GAMECONTROLLERCONFIG and SDL_GAMECONTROLLERCONFIG_FILE environment variables are
// honoured as well.
//
// Threads: the source lives on the main thread, and everything here, the handles' methods
// included, is called there. pump() posts the connect and disconnect notifications on the
// thread that calls it, which is the main thread.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gamepad.h"

namespace orvane {

class SdlGamepadSource final : public GamepadSource {
public:
    // Starts SDL's game controller subsystem (no video) and loads the mapping database, if any.
    // The controllers attached at this moment are listed at once; the first pump() announces
    // them. Only one source may exist at a time: SDL's event queue is process-wide.
    SdlGamepadSource();
    ~SdlGamepadSource() override;

    SdlGamepadSource(const SdlGamepadSource&) = delete;
    SdlGamepadSource& operator=(const SdlGamepadSource&) = delete;

    // The attached controllers as of the last pump(), in SDL's device order. Controllers that
    // SDL maps as game controllers offer the extended profile; plain joysticks are listed
    // without it. A controller keeps its handle for as long as it stays attached.
    std::vector<GamepadHandle> controllers() override;

    // Takes SDL's pending events, opens controllers that arrived and closes those that left,
    // then posts GCControllerDidDisconnectNotification for each one that left and
    // GCControllerDidConnectNotification for each one that arrived, with the handle as the
    // object. Also brings the controllers' axis values up to date. The console calls it on
    // each control tick (50 times a second).
    void pump() override;

    // Why SDL's game controller subsystem could not start (the source then lists nothing),
    // or none.
    const std::optional<std::string>& initError() const { return initError_; }

    // The mapping database file that was loaded, or none.
    const std::optional<std::filesystem::path>& mappingsFile() const { return mappingsFile_; }

private:
    class Controller;

    // Brings `attached_` in line with SDL's device list; returns what left and what arrived.
    void reconcile(std::vector<std::shared_ptr<Controller>>& removed, std::vector<std::shared_ptr<Controller>>& added);
    void loadMappings();

    bool initialized_ = false;
    std::optional<std::string> initError_;
    std::optional<std::filesystem::path> mappingsFile_;
    std::vector<std::shared_ptr<Controller>> attached_;
    std::vector<std::shared_ptr<Controller>> unannounced_;  // listed at construction
};

// The mapping database to load, chosen by the rules at the top of this file from explicit
// inputs: `overridePath` is the value of ORVANE_GAMECONTROLLERDB (null when unset),
// `xdgConfigHome` that of XDG_CONFIG_HOME (null when unset), `homeDirectory` the user's home
// (empty when unknown). Only regular files that exist are returned.
std::optional<std::filesystem::path> findGameControllerDb(const char* overridePath,
                                                          const std::filesystem::path& executableDirectory,
                                                          const char* xdgConfigHome,
                                                          const std::filesystem::path& homeDirectory);

// The same, from this process's environment and executable.
std::optional<std::filesystem::path> findGameControllerDb();

}  // namespace orvane

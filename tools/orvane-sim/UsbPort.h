// The simulated device's USB serial port as the host sees it: a pseudo-terminal whose slave is
// the device file, and optionally a symbolic link to it under a stable name.
//
// When the real device reboots (into its bootloader or back) it leaves the USB bus and comes
// back as a new device file; attaching again does the same here: a new pty replaces the old one.

#pragma once

#include <termios.h>

#include <filesystem>
#include <string>

namespace orvane::sim {

// Whether the process whose /proc folder is `process` holds the master of the pty numbered
// `index`: a descriptor of the pty multiplexer's device whose fdinfo names that tty index.
// Whatever cannot be read counts as not held.
bool holdsPtyMaster(const std::filesystem::path& process, unsigned index);

class UsbPort {
public:
    UsbPort() = default;
    UsbPort(const UsbPort&) = delete;
    UsbPort& operator=(const UsbPort&) = delete;
    ~UsbPort() { detach(); }

    // Appears as a new pty (linked from `linkPath` unless it is empty) and prints the pty's path
    // as a line on standard output. A pty already attached goes only once the new one exists, so
    // the new one never takes the old name; a link of the old one under another name is removed.
    bool attach(const std::string& linkPath);

    // Leaves the bus: the pty and the link go.
    void detach();

    // Only the link goes; the pty stays for a host that has it open.
    void unlink() { removeLink(); }

    int master() const { return master_; }
    const std::string& path() const { return path_; }

    // The output speed the host last set on the device file; it persists after the host closed it.
    speed_t speed() const;

private:
    bool placeLink(const std::string& linkPath);
    void removeLink();

    int master_ = -1;
    std::string path_;
    std::string link_;
};

}  // namespace orvane::sim

#include "UsbPort.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace orvane::sim {

namespace {

void makeRaw(int fd) {
    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0) return;
    ::cfmakeraw(&attributes);
    ::tcsetattr(fd, TCSANOW, &attributes);
}

// The pty multiplexer's device (5, 2), whichever path it was opened by: /dev/ptmx, or a
// container's /dev/pts/ptmx.
const dev_t kPtmxDevice = makedev(5, 2);

}  // namespace

bool holdsPtyMaster(const std::filesystem::path& process, unsigned index) {
    namespace fs = std::filesystem;
    const std::string wanted = "tty-index:\t" + std::to_string(index);
    std::error_code error;
    fs::directory_iterator descriptors(process / "fd", error);
    // Every step that cannot be read (the process ended meanwhile, or is not ours to look at)
    // counts as "not held here"; nothing in the walk throws.
    for (const fs::directory_iterator end; !error && descriptors != end; descriptors.increment(error)) {
        struct stat status {};
        if (::stat(descriptors->path().c_str(), &status) != 0 || !S_ISCHR(status.st_mode) ||
            status.st_rdev != kPtmxDevice)
            continue;
        std::ifstream info(process / "fdinfo" / descriptors->path().filename());
        for (std::string line; std::getline(info, line);) {
            if (line == wanted) return true;
        }
    }
    return false;
}

namespace {

// Whether another running simulator holds the pty numbered `index`.
bool heldByAnotherSimulator(unsigned index) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator processes("/proc", error);
    for (const fs::directory_iterator end; !error && processes != end; processes.increment(error)) {
        const std::string pid = processes->path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(::getpid())) continue;
        std::string name;
        std::getline(std::ifstream(processes->path() / "comm"), name);
        if (name == "orvane-sim" && holdsPtyMaster(processes->path(), index)) return true;
    }
    return false;
}

// A link another simulator left behind when it was killed: it points nowhere, or at a pty whose
// number has since been taken by some other program (a terminal, say) and no simulator holds.
bool isStaleLink(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return false;
    if (::stat(path.c_str(), &status) != 0) return errno == ENOENT;
    // A pty's device numbers give its index (majors 136 to 143, 256 minors each).
    if (!S_ISCHR(status.st_mode) || major(status.st_rdev) < 136 || major(status.st_rdev) > 143) return false;
    const unsigned index = (major(status.st_rdev) - 136) * 256 + minor(status.st_rdev);
    return !heldByAnotherSimulator(index);
}

}  // namespace

bool UsbPort::attach(const std::string& linkPath) {
    // A link left behind by a simulator that was killed is replaced. (Checked before the new pty
    // exists, which may get the name the link points at.)
    if (!linkPath.empty() && linkPath != link_ && isStaleLink(linkPath)) ::unlink(linkPath.c_str());

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        std::fprintf(stderr, "orvane-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
        if (master >= 0) ::close(master);
        return false;
    }
    makeRaw(master);
    // The slave is set raw once and closed again: the simulator never holds it, so the
    // console's exclusive open (flock and TIOCEXCL) meets no one else.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        makeRaw(slave);
        ::close(slave);
    }
    if (master_ >= 0) ::close(master_);
    master_ = master;
    path_ = name;
    if (!placeLink(linkPath)) return false;
    std::printf("%s\n", name);
    std::fflush(stdout);
    return true;
}

bool UsbPort::placeLink(const std::string& linkPath) {
    if (linkPath.empty()) {
        removeLink();
        return true;
    }
    if (linkPath == link_) {
        // Re-point the link in one step, so that it never names nothing.
        const std::string staging = linkPath + ".new";
        ::unlink(staging.c_str());
        if (::symlink(path_.c_str(), staging.c_str()) == 0 && ::rename(staging.c_str(), linkPath.c_str()) == 0)
            return true;
        ::unlink(staging.c_str());
    } else {
        removeLink();
        if (::symlink(path_.c_str(), linkPath.c_str()) == 0) {
            link_ = linkPath;
            return true;
        }
    }
    std::fprintf(stderr, "orvane-sim: cannot link %s: %s\n", linkPath.c_str(), std::strerror(errno));
    return false;
}

void UsbPort::removeLink() {
    if (!link_.empty()) {
        ::unlink(link_.c_str());
        link_.clear();
    }
}

void UsbPort::detach() {
    removeLink();
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    path_.clear();
}

speed_t UsbPort::speed() const {
    // On Linux the terminal attributes asked of a pty's master are those of its slave.
    termios attributes{};
    if (master_ < 0 || ::tcgetattr(master_, &attributes) != 0) return B0;
    return ::cfgetospeed(&attributes);
}

}  // namespace orvane::sim

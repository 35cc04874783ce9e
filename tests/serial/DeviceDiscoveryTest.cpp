#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/DeviceDiscovery.h"
#include "support/TemporaryDirectory.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryDirectory;

TEST(DeviceScan, ListsSerialDevicesSortedByPath) {
    TemporaryDirectory dev;
    for (auto name : {"cu.usbmodem1411", "ttyACM0", "ttyACM1", "ttyS0", "ttyUSB0", "ttyACM10", "tty.usbmodem1411"}) {
        dev.touch(name);
    }
    const std::string base = dev.path().string() + "/";
    EXPECT_EQ(scanDeviceDirectory(base),
              (std::vector<std::string>{base + "cu.usbmodem1411", base + "ttyACM0", base + "ttyACM1", base + "ttyACM10",
                                        base + "ttyUSB0"}));
}

// A sysfs tree laid out as the kernel does: the class entry links to the tty's directory below
// its interface, whose `device` link leads back up to the interface.
class FakeSysfs {
public:
    fs::path ttyClass() const { return root_.path() / "class/tty"; }

    // A USB device at devices/usb1/1-1 with the given attribute files (absent when none). The tty
    // hangs below the interface, or below a port directory under it for a USB-serial adapter.
    void addUsbTty(const std::string& name, std::optional<std::string> manufacturer, std::optional<std::string> product,
                   std::optional<std::string> serial, bool usbSerialPort = false) {
        const fs::path usbDevice = root_.path() / "devices/usb1/1-1";
        const fs::path parent = usbSerialPort ? usbDevice / "1-1:1.0" / name : usbDevice / "1-1:1.0";
        write(usbDevice / "idVendor", "1d50\n");
        if (manufacturer) write(usbDevice / "manufacturer", *manufacturer);
        if (product) write(usbDevice / "product", *product);
        if (serial) write(usbDevice / "serial", *serial);
        addTty(name, parent);
    }

    // A tty whose device directory is `parent`; `dev` is its "major:minor" attribute.
    void addTty(const std::string& name, const fs::path& parent, const std::string& dev = "") {
        const fs::path tty = parent / "tty" / name;
        fs::create_directories(tty);
        fs::create_directories(ttyClass());
        fs::create_directory_symlink(fs::relative(tty, ttyClass()), ttyClass() / name);
        fs::create_directory_symlink(fs::relative(parent, tty), tty / "device");
        if (!dev.empty()) write(tty / "dev", dev + "\n");
    }

    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

private:
    TemporaryDirectory root_;
};

TEST(DeviceDescription, ReadsTheUsbDeviceAboveAnAcmInterface) {
    FakeSysfs sysfs;
    sysfs.addUsbTty("ttyACM0", "Orvane GmbH\n", "Orvane Interface\n", "12345\n");
    const auto description = describeSerialDevice("/dev/ttyACM0", sysfs.ttyClass());
    EXPECT_EQ(description.path, "/dev/ttyACM0");
    EXPECT_EQ(description.manufacturer, "Orvane GmbH");
    EXPECT_EQ(description.product, "Orvane Interface");
    EXPECT_EQ(description.serialNumber, "12345");
    EXPECT_EQ(description.title(), "Orvane Interface (Orvane GmbH, serial 12345) \u2014 /dev/ttyACM0");
}

TEST(DeviceDescription, MissingOrEmptyAttributesStayUnknown) {
    FakeSysfs sysfs;
    // A USB-serial adapter: the USB device lies two levels above the tty's port directory.
    sysfs.addUsbTty("ttyUSB0", " \n", "FT232R\tUSB UART\n", std::nullopt, /*usbSerialPort=*/true);
    const auto adapter = describeSerialDevice("/dev/ttyUSB0", sysfs.ttyClass());
    EXPECT_EQ(adapter.manufacturer, std::nullopt);
    EXPECT_EQ(adapter.serialNumber, std::nullopt);
    EXPECT_EQ(adapter.title(), "FT232R USB UART \u2014 /dev/ttyUSB0") << "control characters read as spaces";

    // A tty that is not on USB, and a name sysfs does not know: just the path.
    sysfs.addTty("ttyS0", sysfs.ttyClass() / "../../devices/pnp0/00:04");
    EXPECT_EQ(describeSerialDevice("/dev/ttyS0", sysfs.ttyClass()).title(), "/dev/ttyS0");
    EXPECT_EQ(describeSerialDevice("/dev/ttyACM3", sysfs.ttyClass()).title(), "/dev/ttyACM3");
    EXPECT_EQ(describeSerialDevice("/dev/ttyACM3", "/nonexistent-orvane-sysfs").title(), "/dev/ttyACM3");
}

TEST(DeviceDescription, ALinkIsLookedUpByItsOwnNameUnlessItIsAnotherDevice) {
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    const std::string nullNumber = std::to_string(major(null.st_rdev)) + ":" + std::to_string(minor(null.st_rdev));

    FakeSysfs sysfs;
    sysfs.addUsbTty("ttyACM0", "Orvane GmbH", "Orvane Interface", "12345");
    TemporaryDirectory scratch;
    scratch.link("ttyACM0", "/dev/null");  // a character device, like the simulator's pty
    const std::string link = (scratch.path() / "ttyACM0").string();

    // The sysfs entry records no device number: the name decides.
    EXPECT_EQ(describeSerialDevice(link, sysfs.ttyClass()).title(),
              "Orvane Interface (Orvane GmbH, serial 12345) \u2014 " + link);

    // It records another device's number: the link only shares the name.
    const fs::path dev = fs::canonical(sysfs.ttyClass() / "ttyACM0") / "dev";
    FakeSysfs::write(dev, "166:0\n");
    EXPECT_EQ(describeSerialDevice(link, sysfs.ttyClass()).title(), link);
    FakeSysfs::write(dev, nullNumber + "\n");
    EXPECT_EQ(describeSerialDevice(link, sysfs.ttyClass()).product, "Orvane Interface");
}

TEST(DeviceDescription, TitleLeavesOutWhatIsUnknown) {
    const auto title = [](std::optional<std::string> manufacturer, std::optional<std::string> product,
                          std::optional<std::string> serial) {
        return SerialDeviceDescription{"/dev/ttyACM0", manufacturer, product, serial}.title();
    };
    EXPECT_EQ(title(std::nullopt, std::nullopt, std::nullopt), "/dev/ttyACM0");
    EXPECT_EQ(title("Orvane GmbH", std::nullopt, std::nullopt), "Orvane GmbH \u2014 /dev/ttyACM0");
    EXPECT_EQ(title("Orvane GmbH", std::nullopt, "7"), "Orvane GmbH (serial 7) \u2014 /dev/ttyACM0");
    EXPECT_EQ(title("Orvane", "Orvane", std::nullopt), "Orvane \u2014 /dev/ttyACM0") << "not named twice";
    EXPECT_EQ(title(std::nullopt, std::nullopt, "7"), "USB device (serial 7) \u2014 /dev/ttyACM0");
}

}  // namespace
}  // namespace orvane

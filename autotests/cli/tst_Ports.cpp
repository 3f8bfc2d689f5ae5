// The Linux port list read from a sysfs tree laid out as the kernel lays it
// out for a built-in UART, a spare 8250 port, a USB converter chip, a USB
// CDC ACM device and a virtual terminal.
#ifndef _WIN32

#include "Ports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using ct::cli::PortDescription;

void Write(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

// classTty/<name>/device -> devices/<devicePath>
void AddTty(const fs::path& root, const std::string& name, const std::string& devicePath)
{
    fs::create_directories(root / "class/tty" / name);
    if (devicePath.empty())
        return;
    fs::create_directories(root / "devices" / devicePath);
    fs::create_directory_symlink(root / "devices" / devicePath, root / "class/tty" / name / "device");
}

void AddUsbDevice(const fs::path& dir, const std::string& vid, const std::string& pid, const std::string& product,
                  const std::string& maker, const std::string& serial)
{
    Write(dir / "idVendor", vid);
    Write(dir / "idProduct", pid);
    Write(dir / "product", product);
    Write(dir / "manufacturer", maker);
    Write(dir / "serial", serial);
}

TEST(SysfsPorts, ports_kernelLayouts_describedAsTheDeviceTellsAndMarkedWhenUnopenable)
{
    const fs::path root = fs::path(::testing::TempDir()) / ("sysfs_" + std::to_string(::getpid()));
    fs::remove_all(root);
    AddTty(root, "ttyS0", "platform/serial8250/ttyS0");
    Write(root / "class/tty/ttyS0/type", "4");
    AddTty(root, "ttyS1", "platform/serial8250/ttyS1");
    Write(root / "class/tty/ttyS1/type", "0");
    AddTty(root, "ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0");
    AddUsbDevice(root / "devices/usb1/1-1", "0403", "6001", "FT232R USB UART", "FTDI", "A50285BI");
    AddTty(root, "ttyACM0", "usb1/1-2/1-2:1.0");
    AddUsbDevice(root / "devices/usb1/1-2", "2341", "0043", "Uno", "Maker", "");
    AddTty(root, "tty1", "");
    for (const char* node : {"ttyS0", "ttyUSB0", "tty1"})
        Write(root / "dev" / node, "");

    const std::vector<PortDescription> ports = ct::cli::SysfsPorts((root / "class/tty").string(), (root / "dev").string());

    struct Expected {
        const char* name;
        const char* description;
        const char* manufacturer;
        const char* vidPid;
        const char* serial;
        const char* access;
    };
    const Expected expected[] = {
        {"ttyACM0", "Uno", "Maker", "2341:0043", "", "no device node"},
        {"ttyS0", "", "", "", "", "ok"},
        {"ttyUSB0", "FT232R USB UART", "FTDI", "0403:6001", "A50285BI", "ok"},
    };
    ASSERT_EQ(std::size(expected), ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(e.name, ports[i].name);
        EXPECT_EQ((root / "dev" / e.name).string(), ports[i].location);
        EXPECT_EQ(e.description, ports[i].description) << e.name;
        EXPECT_EQ(e.manufacturer, ports[i].manufacturer) << e.name;
        EXPECT_EQ(e.vidPid, ports[i].vidPid) << e.name;
        EXPECT_EQ(e.serial, ports[i].serialNumber) << e.name;
        EXPECT_EQ(e.access, ports[i].access) << e.name;
    }
    fs::remove_all(root);
}

}  // namespace

#endif

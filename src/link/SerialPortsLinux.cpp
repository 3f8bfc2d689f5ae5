// The serial ports of a Linux machine, from sysfs: every entry of the tty
// class with a device behind it (virtual terminals and pseudo-terminals have
// none), the USB descriptors of the device it hangs off when there is one.
#ifndef _WIN32

#include "link/SerialPorts.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <unistd.h>

namespace ct::link {

namespace {

// The first line of a sysfs attribute; empty when there is none.
std::string Attribute(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.pop_back();
    return line;
}

bool Exists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string Parent(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// A USB serial adapter's tty device sits one level (CDC ACM: the interface)
// or two (a converter chip's driver: its port, then the interface) below the
// USB device that carries the descriptors.
void AddUsbDescriptors(const std::string& device, PortDescription& port)
{
    std::string dir = device;
    for (int level = 0; level < 4 && !dir.empty(); ++level, dir = Parent(dir)) {
        if (!Exists(dir + "/idVendor"))
            continue;
        const std::string vid = Attribute(dir + "/idVendor");
        const std::string pid = Attribute(dir + "/idProduct");
        if (!vid.empty() && !pid.empty())
            port.vidPid = vid + ":" + pid;
        port.description = Attribute(dir + "/product");
        port.manufacturer = Attribute(dir + "/manufacturer");
        port.serialNumber = Attribute(dir + "/serial");
        return;
    }
}

std::string Access(const std::string& node)
{
    if (::access(node.c_str(), R_OK | W_OK) == 0)
        return "ok";
    return errno == ENOENT ? "no device node" : errno == EACCES ? "permission denied" : "cannot open";
}

}  // namespace

std::vector<PortDescription> SysfsPorts(const std::string& classTty, const std::string& devDir)
{
    std::vector<PortDescription> ports;
    DIR* dir = ::opendir(classTty.c_str());
    if (!dir)
        return ports;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string entryPath = classTty + "/" + name;
        const std::string device = RealPath(entryPath + "/device");
        if (device.empty())
            continue;
        // The 8250 driver registers ttyS0 to ttyS31 whether a UART answers
        // or not; a UART port of type 0 (unknown) has none, and opening it
        // fails. USB adapters have no type attribute.
        if (Attribute(entryPath + "/type") == "0")
            continue;
        PortDescription port;
        port.name = name;
        port.location = devDir + "/" + name;
        AddUsbDescriptors(device, port);
        port.access = Access(port.location);
        ports.push_back(port);
    }
    ::closedir(dir);
    std::sort(ports.begin(), ports.end(),
              [](const PortDescription& a, const PortDescription& b) { return a.name < b.name; });
    return ports;
}

std::vector<PortDescription> AvailablePorts(bool /*probeAccess*/)
{
    return SysfsPorts("/sys/class/tty", "/dev");
}

}  // namespace ct::link

#endif

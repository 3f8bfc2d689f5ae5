// The serial ports this machine has, as the system describes them, and
// whether this user may open them: for the CLI's port list and the window's
// port drop-down. One source file a system finds them: SerialPortsLinux.cpp
// (sysfs), SerialPortsWindows.cpp (SetupAPI).
#pragma once

#include <string>
#include <vector>

namespace ct::link {

struct PortDescription {
    std::string name;          // what --com takes, e.g. ttyUSB0, COM3
    std::string location;      // the device path, e.g. /dev/ttyUSB0, \\.\COM3
    std::string description;
    std::string manufacturer;
    std::string vidPid;        // "0403:6001", empty when the port does not tell
    std::string serialNumber;
    // "ok", or why this user cannot open the port: "permission denied",
    // "no device node" (Linux), "in use" (Windows, where a port held by
    // another program refuses every other opener).
    std::string access = "ok";
};

// Without `probeAccess`, Windows' ports are not opened to find out whether
// another program holds them (opening one raises its DTR line, which some
// devices take for a reset), and their `access` stays "ok". Linux's check
// opens nothing and is always made.
std::vector<PortDescription> AvailablePorts(bool probeAccess = true);

#ifndef _WIN32
// The ports that the tty class directory of sysfs lists (`classTty`, normally
// /sys/class/tty) with a device behind it, their nodes looked for in
// `devDir` (normally /dev), sorted by name. Serial ports the driver knows to
// be absent (the 8250 driver's spare ttySn, of UART type 0) are left out.
std::vector<PortDescription> SysfsPorts(const std::string& classTty, const std::string& devDir);
#endif

}  // namespace ct::link

// controller-cli ports: the serial ports this machine has, as the system
// describes them, and whether this user may open them. One source file a
// system finds them: PortsLinux.cpp (sysfs), PortsWindows.cpp (SetupAPI).
#pragma once

#include "Output.h"

#include <string>
#include <vector>

namespace ct::cli {

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

std::vector<PortDescription> AvailablePorts();

#ifndef _WIN32
// The ports that the tty class directory of sysfs lists (`classTty`, normally
// /sys/class/tty) with a device behind them, their nodes looked for in
// `devDir` (normally /dev), sorted by name. Serial ports the driver knows to
// be absent (the 8250 driver's spare ttySn, of UART type 0) are left out.
std::vector<PortDescription> SysfsPorts(const std::string& classTty, const std::string& devDir);
#endif

// Plain: one line a port, its fields separated by tabs (name, description,
// manufacturer, VID:PID, serial number, access), "-" for a field the port
// does not tell. JSON: one object a port. Always exit status 0.
int ListPorts(Output& out, const std::vector<PortDescription>& ports);
// One port as ListPorts prints it: its plain line, its JSON object.
std::string PortLine(const PortDescription& port);
JsonObject PortObject(const PortDescription& port);
int ListPorts(Output& out);

}  // namespace ct::cli

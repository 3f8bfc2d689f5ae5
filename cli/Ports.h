// controller-cli ports: the serial ports this machine has, as the system
// describes them.
#pragma once

#include "Output.h"

#include <string>
#include <vector>

namespace ct::cli {

struct PortDescription {
    std::string name;          // what --com takes, e.g. ttyUSB0
    std::string location;      // the device path, e.g. /dev/ttyUSB0
    std::string description;
    std::string manufacturer;
    std::string vidPid;        // "0403:6001", empty when the port does not tell
    std::string serialNumber;
};

std::vector<PortDescription> AvailablePorts();

// Plain: one line a port, its fields separated by tabs, "-" for a field the
// port does not tell. JSON: one object a port. Always exit status 0.
int ListPorts(Output& out, const std::vector<PortDescription>& ports);
int ListPorts(Output& out);

}  // namespace ct::cli

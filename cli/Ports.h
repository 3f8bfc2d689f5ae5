// controller-cli ports: the serial ports this machine has
// (link/SerialPorts.h), one line or JSON object a port.
#pragma once

#include "Output.h"
#include "link/SerialPorts.h"

#include <string>
#include <vector>

namespace ct::cli {

using link::AvailablePorts;
using link::PortDescription;
#ifndef _WIN32
using link::SysfsPorts;
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

// controller-cli discover: the controllers on the link (tests/Discover.h),
// each printed as it is found; with --ids the scan's progress on standard
// error. Exit 0 when one was found, 1 when none answered, 2 when the link
// did not open. ports --probe runs it on every serial port.
#pragma once

#include "Ports.h"
#include "SubCommands.h"

#include <vector>

namespace ct::cli {

int RunDiscover(const Invocation& invocation, Context& context);

// ports --probe: each port as ports lists it, and the line setting and ID of
// the controller alone on it (discover without --ids), probed on the ports
// this user may open. Exit 0 when a controller answered on one, 1 when none.
int ProbePorts(const Invocation& invocation, Context& context, const std::vector<PortDescription>& ports);

}  // namespace ct::cli

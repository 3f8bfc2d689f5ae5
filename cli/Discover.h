// controller-cli discover: the controllers on the link (tests/Discover.h),
// each printed as it is found; with --ids the scan's progress on standard
// error. Exit 0 when one was found, 1 when none answered, 2 when the link
// did not open.
#pragma once

#include "SubCommands.h"

namespace ct::cli {

int RunDiscover(const Invocation& invocation, Context& context);

}  // namespace ct::cli

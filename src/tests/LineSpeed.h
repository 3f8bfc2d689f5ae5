// Link speed switching: tells the controller, at the speed in use, to switch
// its line to 19200,e,8,1 ("AE001002") or 115200,n,8,1 ("AE001400"). Only a
// 13-byte reply counts; after it (and after the link has been closed) the
// caller switches its own serial setting to match, so that the next
// operation talks at the new speed.
#pragma once

#include "tests/Operation.h"

#include <string>

namespace ct::tests {

enum class LineSpeed { Baud19200, Baud115200 };

const char* LineSpeedCommand(LineSpeed speed);   // "AE001002" / "AE001400"
const char* LineSpeedSettings(LineSpeed speed);  // "19200,e,8,1" / "115200,n,8,1"

Outcome RunSetLineSpeed(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId,
                        LineSpeed speed);

}  // namespace ct::tests

// The three one-command operations of the Basic test page: the alarm test
// (DeviceID + "JF" + alarm number, 0 "Alarm Off" to 6 "Duress Alarm"),
// the factory reset ("AR01") and the reboot ("AR00"). The alarm test takes a
// reply of 12 or 13 bytes, the other two 13 only. Nothing waits for the
// controller to come back after a reset or a reboot.
#pragma once

#include "tests/Operation.h"

#include <string>

namespace ct::tests {

// `alarmNumber` is the position of the selected alarm, 0 to 6.
Outcome RunAlarmTest(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId, int alarmNumber);
Outcome RunFactoryReset(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId);
Outcome RunReboot(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId);

}  // namespace ct::tests

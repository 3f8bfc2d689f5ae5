#include "tests/AlarmResetReboot.h"

#include "link/ControllerInterface.h"

namespace ct::tests {

Outcome RunAlarmTest(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId, int alarmNumber)
{
    return RunSingleCommand(frame,
                            {Title::AlarmTest,
                             [&] { return deviceId + link::cmd::Alarm + std::to_string(alarmNumber); },
                             AcceptLength(link::cmd::AckReplyLength, link::cmd::ShortAckReplyLength)}, &view);
}

Outcome RunFactoryReset(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId)
{
    return RunSingleCommand(frame,
                            {Title::SetFactory, [&] { return deviceId + link::cmd::FactoryReset; },
                             AcceptLength(link::cmd::AckReplyLength)}, &view);
}

Outcome RunReboot(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId)
{
    return RunSingleCommand(frame,
                            {Title::SetReboot, [&] { return deviceId + link::cmd::Reboot; },
                             AcceptLength(link::cmd::AckReplyLength)}, &view);
}

}  // namespace ct::tests

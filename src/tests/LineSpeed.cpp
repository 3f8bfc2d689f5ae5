#include "tests/LineSpeed.h"

#include "link/ControllerInterface.h"

namespace ct::tests {

const char* LineSpeedCommand(LineSpeed speed)
{
    return speed == LineSpeed::Baud19200 ? link::cmd::Line19200 : link::cmd::Line115200;
}

const char* LineSpeedSettings(LineSpeed speed)
{
    return speed == LineSpeed::Baud19200 ? link::cmd::Line19200Settings : link::cmd::Line115200Settings;
}

Outcome RunSetLineSpeed(link::OperationFrame& frame, ITitleView& view, const std::string& deviceId,
                        LineSpeed speed)
{
    return RunSingleCommand(frame,
                            {speed == LineSpeed::Baud19200 ? Title::SetBaud19200 : Title::SetBaud115200,
                             [&] { return deviceId + LineSpeedCommand(speed); },
                             AcceptLength(link::cmd::AckReplyLength)}, &view);
}

}  // namespace ct::tests

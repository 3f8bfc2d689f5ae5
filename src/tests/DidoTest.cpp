#include "tests/DidoTest.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"

namespace ct::tests {

Outcome ClickDidoTest(link::OperationFrame& frame, TestState& state, const std::string& deviceId, IDidoView& view)
{
    link::Link& device = frame.link();
    const auto cycle = [&] {
        for (int output = 0; output < link::cmd::OutputCount; ++output) {
            // A box ticked or cleared meanwhile counts from here on.
            if (!view.OutputChecked(output))
                continue;
            frame.ProcessEvents();
            device.TransactCrc(deviceId + link::cmd::OutputCommands[output]);
            frame.Pause(CyclePauseMs);
        }
        frame.ProcessEvents();
        if (device.TransactCrc(deviceId + link::cmd::ReadInputs)
            && device.ReplyLength() == link::cmd::ReadInputsReplyLength) {
            // A NUL in the reply cuts its text short: the inputs it took
            // with it count as inactive.
            std::string states = link::ReplyField(device.ReplyText(), 8, link::cmd::InputCount);
            states.resize(link::cmd::InputCount, '0');
            view.ShowInputs(states);
        }
        frame.Pause(CyclePauseMs);
    };
    const auto finish = [&] {
        device.TransactCrc(deviceId + link::cmd::EndOutputs);
        view.ResetInputsAndOutputs();
    };
    return RunContinuousTest(frame, state, view, cycle, finish);
}

}  // namespace ct::tests

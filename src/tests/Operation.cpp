#include "tests/Operation.h"

#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"

namespace ct::tests {

Outcome RunSingleCommand(link::OperationFrame& frame, const SingleCommand& command, ITitleView* view)
{
    if (!frame.BeginOperation()) {
        frame.EndConnectError();
        return Outcome::ConnectError;
    }
    if (command.title && view) {
        view->ShowTitle(*command.title);
        frame.ProcessEvents();
    }
    frame.Pause(OperationPauseMs);

    link::Link& device = frame.link();
    if (device.TransactCrc(command.text()) && command.accept(device)) {
        frame.EndCommandOk();
        return Outcome::CommandOk;
    }
    frame.EndCommandError();
    return Outcome::CommandError;
}

Outcome RunCommandText(link::OperationFrame& frame, const std::string& text,
                       const std::function<bool(const link::Link&)>& accept)
{
    if (!FitsOneRequest(text))
        return Outcome::TooLong;
    return RunSingleCommand(frame, {std::nullopt, [&text] { return text; }, accept});
}

std::function<bool(const link::Link&)> AcceptLength(int length, int otherLength)
{
    return [length, otherLength](const link::Link& device) {
        return device.ReplyLength() == length || device.ReplyLength() == otherLength;
    };
}

bool FitsOneRequest(const std::string& commandText)
{
    return commandText.size() <= link::MaxCommandLength(link::Framing::Crc);
}

std::size_t RoomAfter(std::size_t fixedLength)
{
    const std::size_t most = link::MaxCommandLength(link::Framing::Crc);
    return fixedLength < most ? most - fixedLength : 0;
}

}  // namespace ct::tests

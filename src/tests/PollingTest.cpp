#include "tests/PollingTest.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"

namespace ct::tests {

namespace {

// Year, month, day, hour, minute and second from `first` on, as the panels
// show them; the fields are taken by position, digits or not.
std::string DateTimeText(const std::string& reply, int first)
{
    const auto field = [&](int offset, int length) { return link::ReplyField(reply, first + offset, length); };
    return field(0, 4) + "/" + field(4, 2) + "/" + field(6, 2) + "  " + field(8, 2) + ":" + field(10, 2) + ":"
           + field(12, 2);
}

}  // namespace

std::string PollDateText(const std::string& reply)
{
    return DateTimeText(reply, 8);
}

std::string PollRecordText(const std::string& reply)
{
    return "[" + link::ReplyField(reply, 30, 1) + "] " + DateTimeText(reply, 31) + " ("
           + link::ReplyField(reply, 45, 4) + ") [" + link::ReplyField(reply, 49, 5) + "]";
}

Outcome ClickPollingTest(link::OperationFrame& frame, TestState& state, const std::string& deviceId,
                         IPollingView& view)
{
    link::Link& device = frame.link();
    const auto cycle = [&] {
        frame.ProcessEvents();
        const bool passed = device.TransactCrc(deviceId + link::cmd::Poll);
        const int length = device.ReplyLength();
        if (passed && (length == link::cmd::PollReplyLength || length == link::cmd::PollRecordReplyLength))
            view.ShowPollDate(PollDateText(device.ReplyText()));
        if (passed && length == link::cmd::PollRecordReplyLength) {
            // Acknowledged only once it is on the screen.
            view.ShowPollRecord(PollRecordText(device.ReplyText()));
            frame.Pause(CyclePauseMs);
            device.TransactCrc(deviceId + link::cmd::Acknowledge);
        }
        frame.Pause(CyclePauseMs);
    };
    return RunContinuousTest(frame, state, view, cycle, [] {});
}

}  // namespace ct::tests

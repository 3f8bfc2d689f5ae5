// --trace: the link's conversation on standard error, one line an event,
// each stamped with the milliseconds since the program started:
//
//       0.412 - open TCP 127.0.0.1:5001
//       0.530 > \x010001AC\x02D2E1\x0D
//       1.102 < \x030001AC\x04B3C8\x0D
//       1.150 ! check failed: the reply's check does not match
//     301.400 ! time-out: 300 ms without a byte, 3 bytes without a whole frame: ...
//       1.300 - close
//
// ">" a frame sent, "<" a frame received, "!" a failure, "-" anything else.
// Bytes are escaped as send prints them. Nothing is written to a file.
#pragma once

#include "link/Link.h"

#include <chrono>
#include <string>

namespace ct::cli {

class FrameTrace final : public link::ILinkTrace {
public:
    using Clock = std::chrono::steady_clock;

    // `start`: the moment the times count from.
    explicit FrameTrace(Clock::time_point start = Clock::now()) : start_(start) {}

    void LinkOpened(const link::LinkSettings& settings, bool opened) override;
    void LinkClosed() override;
    void FrameSent(std::string_view frame) override;
    void FrameReceived(std::string_view skipped, std::string_view frame, bool checkPassed) override;
    void TimedOut(std::uint32_t limitMs, bool countsSilence, std::string_view received) override;

    // One line of the trace, for notes of the program's own.
    void Note(char mark, const std::string& text);

private:
    Clock::time_point start_;
};

}  // namespace ct::cli

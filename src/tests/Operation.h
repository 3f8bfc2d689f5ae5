// What the controller test operations share: their outcome, the titles they
// put into the message panel, and the road of an operation that is one
// command: BeginOperation, its title, the 100 ms pause, the command, and the
// ending chosen by the reply.
//
// Every operation runs inside the operation frame and reports through it
// (message, lamp, beep); the Outcome it returns is the same result for
// callers without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ct::link {
class Link;
class OperationFrame;
}  // namespace ct::link

namespace ct::tests {

inline constexpr std::uint32_t OperationPauseMs = 100;  // after the title, before the first command
inline constexpr std::uint32_t CyclePauseMs = 20;       // between the commands of a continuous test

enum class Outcome {
    CommandOk,     // "Command ok."
    CommandError,  // "Command error!"
    ConnectError,  // "Connect device error!"
    TooLong,       // refused before anything was opened or sent
    StopAsked,     // a click on a running continuous test's button: it ends at the top of its next cycle
};

// The operation titles of the message panel; the window shows them in its
// current language.
enum class Title {
    SetDateTime, AlarmTest, SetFactory, SetReboot, SetBaud19200, SetBaud115200, DidoTest,
    SetModelName, Programming, Verifying, Upgrading,
};

class ITitleView {
public:
    virtual ~ITitleView() = default;
    virtual void ShowTitle(Title title) = 0;  // pnMsg
};

struct SingleCommand {
    // Shown on the view after the link opened, then one round of events;
    // none keeps "Connecting device ..." to the end.
    std::optional<Title> title;
    // Built after the pause, so that it can hold what is true then.
    std::function<std::string()> text;
    // For a transaction that passed: true if its reply is the one expected.
    // May take fields from the reply before the ending runs.
    std::function<bool(const link::Link&)> accept;
};

Outcome RunSingleCommand(link::OperationFrame& frame, const SingleCommand& command, ITitleView* view = nullptr);

// A one-command operation without a title of its own whose text is known
// at the click: TooLong, with nothing opened or sent, if the text does not
// fit one request.
Outcome RunCommandText(link::OperationFrame& frame, const std::string& text,
                       const std::function<bool(const link::Link&)>& accept);

// An `accept` for replies of one or two lengths.
std::function<bool(const link::Link&)> AcceptLength(int length, int otherLength = -1);

// True if the command text fits one request frame (1493 characters).
bool FitsOneRequest(const std::string& commandText);
// How many typed characters fit one request frame after `fixedLength`
// characters the operation adds itself.
std::size_t RoomAfter(std::size_t fixedLength);

}  // namespace ct::tests

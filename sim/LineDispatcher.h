// The controllers on the substitute's line and what happens to a request
// among them: which controller hears it, which one answers and acts on it,
// the faults its reply takes, the command log and the silence after a reboot.
// No I/O: the caller hands in command texts and sends the reply chunks.
//
// Thread-safe through `mutex`, which guards every member after it;
// ControllerSim's accessors lock it and reach those members directly.
#pragma once

#include "sim/ControllerModel.h"
#include "sim/ControllerSim.h"
#include "sim/FaultPlan.h"

#include "link/FrameCodec.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ct::sim {

using SteadyTime = std::chrono::steady_clock::time_point;

struct LineDispatcher {
    // One controller on the line.
    struct Station {
        explicit Station(ControllerConfig config) : model(std::move(config)) {}
        ControllerModel model;
        SteadyTime silentUntil{};  // the end of a reboot's silence
    };

    // What a request some controller heard gets sent back.
    struct Answer {
        std::vector<ReplyChunk> chunks;  // none: nobody answered, or a fault swallowed the reply
        // The controller the request rebooted, silent for `rebootSilence`
        // from the moment the reply is out (which only the sender knows).
        std::optional<std::size_t> rebooted;
        std::chrono::milliseconds rebootSilence{0};
    };

    // An empty line is one controller of the default configuration.
    explicit LineDispatcher(std::vector<ControllerConfig> line);

    // `framing`: the request's, Crc or Xor. `terminalBaud`: for a request
    // from the pseudo-terminal, its baud rate as the tool set it (0 when
    // unknown); none over TCP. Nothing when no controller heard the request;
    // a heard one is logged and wakes WaitForCommands.
    std::optional<Answer> Handle(std::string_view commandText, link::Framing framing,
                                 std::optional<int> terminalBaud, SteadyTime now);
    void SilenceUntil(std::size_t index, SteadyTime until);
    // A request frame neither framing's check accepts.
    void LogBadFrame(std::string_view frame);

    // Throws std::out_of_range past the last controller. Under mutex.
    Station& At(std::size_t index);
    // "AC" at any ID only while one controller is alone on the line. Under
    // mutex.
    void ConnectRule();

    mutable std::mutex mutex;
    mutable std::condition_variable commandsArrived;
    std::vector<Station> stations;  // never empty
    FaultSet faults;
    // The last `commandLimit` command texts heard; `commandsHeard` counts
    // them all since the log was last cleared. Bounded so that a substitute
    // left serving a continuous test for days does not grow without end.
    std::deque<std::string> commands;
    std::size_t commandLimit = DefaultCommandLimit;
    std::size_t commandsHeard = 0;
    bool verbose = false;

    // Enough for every upgrade a test runs (1024 blocks of 64 bytes, each
    // programmed and read back) at some 50 bytes a command.
    static constexpr std::size_t DefaultCommandLimit = 4096;

private:
    // Why the controller does not hear a request now, or nothing. Under mutex.
    const char* Deaf(const Station& station, std::optional<int> terminalBaud, SteadyTime now) const;
};

}  // namespace ct::sim

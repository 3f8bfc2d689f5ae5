// The substitute controller's line on the fake link: every request written to
// the fake device goes to the controllers' dispatcher, the same one the
// substitute controller serves its TCP clients and terminal from, and the
// reply's writes arrive at their times on the fake clock. Faults, the
// command log, the boot loaders and the silence after a reboot behave as on
// the real line, but a time-out or a loader's pause costs no wall time.
#pragma once

#include "link/FrameCodec.h"
#include "sim/LineDispatcher.h"
#include "support/FakeTransport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace ct::testing {

class FakeLine {
public:
    explicit FakeLine(std::vector<sim::ControllerConfig> line = {}) : dispatcher(std::move(line))
    {
        device.onRequest = [this](const std::string& commandText, const std::string& frame) {
            Handle(commandText, frame);
        };
    }

    std::vector<std::string> Commands() const
    {
        std::lock_guard lock(dispatcher.mutex);
        return dispatcher.commands;
    }
    void ClearCommands()
    {
        std::lock_guard lock(dispatcher.mutex);
        dispatcher.commands.clear();
    }
    void InjectFault(const sim::Fault& fault)
    {
        std::lock_guard lock(dispatcher.mutex);
        dispatcher.faults.Add(fault);
    }

    // The first controller, for its loader's state. The caller holds no lock:
    // the line is only used from the test's thread.
    const sim::ControllerModel& Model() const { return dispatcher.stations.front().model; }

    FakeClock clock;
    FakeDevice device{clock};
    FakeTransportFactory factory{device};
    sim::LineDispatcher dispatcher;

private:
    sim::SteadyTime At(std::uint64_t ms) const { return sim::SteadyTime(std::chrono::milliseconds(ms)); }

    void Handle(const std::string& commandText, const std::string& frame)
    {
        const bool crc = link::EncodeRequestString(link::Framing::Crc, commandText) == frame;
        auto answer = dispatcher.Handle(commandText, crc ? link::Framing::Crc : link::Framing::Xor, std::nullopt,
                                        At(clock.now));
        if (!answer)
            return;
        // A reply waits for the one before it to be out, as on the real line.
        std::uint64_t due = std::max(clock.now, lastDue_);
        for (const sim::ReplyChunk& chunk : answer->chunks) {
            due += static_cast<std::uint64_t>(chunk.after.count());
            device.Deliver(chunk.bytes, static_cast<std::uint32_t>(due - clock.now));
        }
        lastDue_ = due;
        if (answer->rebooted)
            dispatcher.SilenceUntil(*answer->rebooted, At(due) + answer->rebootSilence);
    }

    std::uint64_t lastDue_ = 0;
};

}  // namespace ct::testing

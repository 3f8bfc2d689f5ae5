// The substitute controller's line on the fake link: every request written to
// the fake device goes to the controllers of a ControllerSim that is never
// started, through the same request handling it serves its TCP clients and
// terminal with, and the reply's writes arrive at their times on the fake
// clock. Faults, the command log, the boot loaders and the silence after a
// reboot behave as on the real line, but a time-out or a pause costs no wall
// time. Tests set up and read the controllers through `sim` as usual.
#pragma once

#include "link/FrameCodec.h"
#include "link/LineSettings.h"
#include "sim/ControllerSim.h"
#include "sim/LineDispatcher.h"
#include "support/FakeTransport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ct::testing {

class FakeLine {
public:
    explicit FakeLine(std::vector<sim::ControllerConfig> line = {}) : sim(std::move(line))
    {
        device.onRequest = [this](const std::string& commandText, const std::string& frame) {
            Handle(commandText, frame);
        };
    }

    FakeClock clock;
    FakeDevice device{clock};
    FakeTransportFactory factory{device};
    sim::ControllerSim sim;
    // Requests over a serial open reach a controller only at its line's baud
    // rate, as on the terminal; off, the line setting is not looked at.
    bool serialSpeedMatters = false;

private:
    static sim::SteadyTime At(std::uint64_t ms) { return sim::SteadyTime(std::chrono::milliseconds(ms)); }

    void Handle(const std::string& commandText, const std::string& frame)
    {
        sim::LineDispatcher& line = sim.Dispatcher();
        const bool crc = link::EncodeRequestString(link::Framing::Crc, commandText) == frame;
        std::optional<int> baud;
        link::LineSettings settings;
        if (serialSpeedMatters && device.lastOpenSerial && link::ParseLineSettings(device.serialSettings, settings))
            baud = static_cast<int>(settings.baudRate.value_or(0));
        auto answer = line.Handle(commandText, crc ? link::Framing::Crc : link::Framing::Xor, baud, At(clock.now));
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
            line.SilenceUntil(*answer->rebooted, At(due) + answer->rebootSilence);
    }

    std::uint64_t lastDue_ = 0;
};

}  // namespace ct::testing

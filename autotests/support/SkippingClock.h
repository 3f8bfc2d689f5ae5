// The real clock and a pump without events of their own, with pauses that
// cost no wall time: for tests against the substitute controller, whose
// transactions wait for real while the pauses between them are skipped.
#pragma once

#include "link/Clock.h"
#include "link/EventPump.h"

#include <cstdint>
#include <vector>

namespace ct::testing {

// The process's monotonic clock plus every pause skipped so far.
class SkippingClock final : public link::IClock {
public:
    std::uint32_t NowMs() override { return real_.NowMs() + static_cast<std::uint32_t>(skippedMs); }
    void Skip(std::uint32_t ms)
    {
        skippedMs += ms;
        pauses.push_back(ms);
    }

    std::uint64_t skippedMs = 0;
    std::vector<std::uint32_t> pauses;  // every pause skipped, in order

private:
    link::SteadyClock real_;
};

// A pump without events of its own (NoEventPump) whose pauses move a
// SkippingClock instead of sleeping.
class PauseSkippingPump final : public link::IEventPump {
public:
    explicit PauseSkippingPump(SkippingClock& clock) : clock_(clock) {}
    void ProcessEvents() override {}
    bool Wait(const link::WaitSource& source, int timeoutMs) override
    {
        if (source.kind != link::WaitSource::Kind::None || timeoutMs < 0)
            return link::WaitNative(source, timeoutMs);
        clock_.Skip(static_cast<std::uint32_t>(timeoutMs));
        return false;
    }

private:
    SkippingClock& clock_;
};

}  // namespace ct::testing

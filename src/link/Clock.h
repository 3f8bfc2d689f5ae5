// The link's sense of time: one millisecond clock for everything that counts
// time-outs or pauses, so that tests can step it instead of sleeping. Pauses
// are the event pump's (PumpedPause), never a plain sleep.
#pragma once

#include <cstdint>

namespace ct::link {

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds on a free-running counter; it wraps at 2^32, so only
    // differences (taken modulo 2^32) mean anything.
    virtual std::uint32_t NowMs() = 0;
};

// The process's monotonic clock.
class SteadyClock final : public IClock {
public:
    std::uint32_t NowMs() override;
};

inline std::uint32_t ElapsedMs(std::uint32_t from, std::uint32_t to)
{
    return to - from;  // unsigned arithmetic: correct across the wrap
}

}  // namespace ct::link

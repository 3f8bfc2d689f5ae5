// Event pumps of the Qt event loop for tests, apart from the Qt-free fakes:
// CountingQtPump counts the window pump's rounds; PauseSkippingQtPump, with
// SkippingClock or the fake link's clock, gives the window its pauses at once.
//
// A pause (a wait on nothing) moves SkippingClock forward by its whole time
// after one round of events, so the window's 100 ms pauses and the loaders'
// 7 s pause after the start command cost no wall time. Every other wait is
// real: a transaction against the substitute controller still waits for its
// bytes, and its time-out still runs on the real clock underneath.
#pragma once

#include "app/QtEventPump.h"
#include "link/Clock.h"
#include "support/FakeTransport.h"
#include "support/SkippingClock.h"

#include <cstdint>
#include <functional>

namespace ct::testing {

// The window's pump (QtEventPump), counted.
class CountingQtPump final : public app::QtEventPump {
public:
    void ProcessEvents() override
    {
        ++calls;
        app::QtEventPump::ProcessEvents();
    }
    bool Wait(const link::WaitSource& source, int timeoutMs) override
    {
        ++waits;
        return app::QtEventPump::Wait(source, timeoutMs);
    }
    int calls = 0;
    int waits = 0;
};

// Skips pauses on a SkippingClock, or on the fake link's FakeClock, whose
// transports wait on it without the pump.
class PauseSkippingQtPump final : public app::QtEventPump {
public:
    explicit PauseSkippingQtPump(SkippingClock& clock) : skip_([&clock](std::uint32_t ms) { clock.Skip(ms); }) {}
    explicit PauseSkippingQtPump(FakeClock& clock) : skip_([&clock](std::uint32_t ms) { clock.SleepMs(ms); }) {}
    bool Wait(const link::WaitSource& source, int timeoutMs) override
    {
        if (source.kind != link::WaitSource::Kind::None || timeoutMs < 0)
            return app::QtEventPump::Wait(source, timeoutMs);
        // The events a real pause would have run (painting, a stop click)
        // still get their round.
        ProcessEvents();
        if (onPause)
            onPause();
        skip_(static_cast<std::uint32_t>(timeoutMs));
        return false;
    }

    // Runs in every pause, where a watching timer would have had its ticks.
    std::function<void()> onPause;

private:
    std::function<void(std::uint32_t)> skip_;
};

}  // namespace ct::testing

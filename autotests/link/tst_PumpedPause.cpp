// PumpedPause against pumps whose waits come back early: the pause lasts
// exactly its time on the clock, never less, waits on nothing but the time
// that is left, and needs no more waits than the pump's wake-ups.
#include "link/Clock.h"
#include "link/EventPump.h"

#include "support/FakeTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using ct::testing::FakeClock;

// A pump whose every wait moves the clock by what `advance` gives for the
// time it was asked to wait, and records that time.
class SteppingPump final : public ct::link::IEventPump {
public:
    SteppingPump(FakeClock& clock, std::function<std::uint32_t(int timeoutMs, int wait)> advance)
        : clock_(clock), advance_(std::move(advance))
    {
    }
    void ProcessEvents() override { ++rounds; }
    bool Wait(const ct::link::WaitSource& source, int timeoutMs) override
    {
        if (source.kind != ct::link::WaitSource::Kind::None)
            ++sourcedWaits;
        timeouts.push_back(timeoutMs);
        // A pause that does not end is stopped here rather than hang the test.
        if (timeouts.size() > 10000)
            throw std::runtime_error("the pause keeps waiting");
        clock_.Advance(advance_(timeoutMs, static_cast<int>(timeouts.size())));
        return false;
    }

    std::vector<int> timeouts;
    int rounds = 0;
    int sourcedWaits = 0;

private:
    FakeClock& clock_;
    std::function<std::uint32_t(int, int)> advance_;
};

struct PauseCase {
    const char* name;
    std::uint64_t start;
    std::uint32_t ms;
    std::function<std::uint32_t(int timeoutMs, int wait)> advance;
    std::vector<int> timeouts;  // asked of the pump, in order
    std::uint32_t lasted;
};

void PrintTo(const PauseCase& c, std::ostream* os) { *os << c.name; }

class PumpedPauseTest : public ::testing::TestWithParam<PauseCase> {};

TEST_P(PumpedPauseTest, pause_pumpWakesEarly_lastsExactlyItsTimeWaitingOnlyForWhatIsLeft)
{
    const PauseCase& c = GetParam();
    FakeClock clock(c.start);
    SteppingPump pump(clock, c.advance);

    ct::link::PumpedPause(clock, pump, c.ms);

    EXPECT_EQ(clock.now - c.start, c.lasted);
    EXPECT_EQ(pump.timeouts, c.timeouts);
    EXPECT_EQ(pump.sourcedWaits, 0);
}

const std::uint64_t kNearWrap = (std::uint64_t{1} << 32) - 30;

std::vector<int> Countdown(int from, int step)
{
    std::vector<int> out;
    for (int left = from; left > 0; left -= step)
        out.push_back(left);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Pumps, PumpedPauseTest,
    ::testing::Values(
        PauseCase{"wholeWait", 0, 100, [](int t, int) { return static_cast<std::uint32_t>(t); }, {100}, 100},
        PauseCase{"threeEmptyWakeUpsThenRest", 0, 100,
                  [](int t, int n) { return n <= 3 ? 0u : static_cast<std::uint32_t>(t); }, {100, 100, 100, 100},
                  100},
        PauseCase{"halfOfWhatIsLeft", 0, 100,
                  [](int t, int) { return static_cast<std::uint32_t>((t + 1) / 2); }, {100, 50, 25, 12, 6, 3, 1},
                  100},
        PauseCase{"sevenMsSlices", 5000, 100,
                  [](int t, int) { return static_cast<std::uint32_t>(std::min(t, 7)); }, Countdown(100, 7), 100},
        PauseCase{"oneMsSlices", 0, 20, [](int, int) { return 1u; }, Countdown(20, 1), 20},
        PauseCase{"overshoot", 0, 20, [](int t, int) { return static_cast<std::uint32_t>(t + 5); }, {20}, 25},
        PauseCase{"acrossWrap", kNearWrap, 100,
                  [](int t, int) { return static_cast<std::uint32_t>(std::min(t, 7)); }, Countdown(100, 7), 100},
        PauseCase{"endsOnWrap", kNearWrap, 30, [](int t, int) { return static_cast<std::uint32_t>(t); }, {30},
                  30},
        PauseCase{"zero", 0, 0, [](int t, int) { return static_cast<std::uint32_t>(t); }, {}, 0},
        PauseCase{"zeroNearWrap", kNearWrap, 0, [](int t, int) { return static_cast<std::uint32_t>(t); }, {}, 0}),
    [](const ::testing::TestParamInfo<PauseCase>& info) { return std::string(info.param.name); });

TEST(PumpedPause, zero_noWaitAndNoEvents)
{
    FakeClock clock(1234);
    ct::testing::CountingPump pump(clock);

    ct::link::PumpedPause(clock, pump, 0);

    EXPECT_EQ(pump.waits, 0);
    EXPECT_EQ(pump.calls, 0);
    EXPECT_TRUE(clock.sleeps.empty());
}

}  // namespace

// Test doubles for the link: a clock that only moves when told, an event pump
// that counts, and a fake device behind a transport factory that records what
// is written and delivers scripted bytes at chosen fake times.
//
// Waiting on a fake transport moves the fake clock to the next scripted
// arrival (or by the whole wait when none is due), so time-out edges are exact
// and no test sleeps.
#pragma once

#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/FrameCodec.h"
#include "link/Transport.h"

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace ct::testing {

class FakeClock final : public link::IClock {
public:
    explicit FakeClock(std::uint64_t start = 0) : now(start) {}
    // The link sees the low 32 bits, so a start near 2^32 tests the wrap.
    std::uint32_t NowMs() override { return static_cast<std::uint32_t>(now); }
    // A pause that waited on nothing but the time (see CountingPump).
    void SleepMs(std::uint32_t ms)
    {
        sleeps.push_back(ms);
        now += ms;
    }
    void Advance(std::uint32_t ms) { now += ms; }

    std::uint64_t now;
    std::vector<std::uint32_t> sleeps;
};

// Counts the rounds of event processing. The fake transports wait on the fake
// clock, not through the pump; a real transport's Wait is counted and runs
// as NoEventPump's. With a fake clock, a wait on nothing (a pause) moves
// that clock by its whole time and is recorded in its `sleeps`.
class CountingPump final : public link::IEventPump {
public:
    CountingPump() = default;
    explicit CountingPump(FakeClock& pauseClock) : clock(&pauseClock) {}
    void ProcessEvents() override
    {
        ++calls;
        if (onPump)
            onPump();
    }
    bool Wait(const link::WaitSource& source, int timeoutMs) override
    {
        ++waits;
        if (clock && source.kind == link::WaitSource::Kind::None && timeoutMs >= 0) {
            clock->SleepMs(static_cast<std::uint32_t>(timeoutMs));
            ProcessEvents();
            return false;
        }
        return link::WaitNative(source, timeoutMs);
    }
    FakeClock* clock = nullptr;
    int calls = 0;
    int waits = 0;
    std::function<void()> onPump;
};

// CPU time of the calling thread, for telling a wait from a spin.
inline double ThreadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The controller end of the fake link.
class FakeDevice {
public:
    explicit FakeDevice(FakeClock& clock) : clock_(clock) {}

    // Called for every frame written, with the command text it carries (the
    // frame's text between SOH and its check) and the raw frame.
    std::function<void(const std::string& commandText, const std::string& frame)> onRequest;

    // Bytes that arrive afterMs from now.
    void Deliver(const std::string& bytes, std::uint32_t afterMs = 0);
    // Bytes that arrive one at a time: the first afterMs from now, then one
    // every gapMs.
    void DeliverSplit(const std::string& bytes, std::uint32_t afterMs, std::uint32_t gapMs);
    // A well-formed reply frame around the text.
    void Reply(const std::string& replyText, std::uint32_t afterMs = 0,
               link::Framing framing = link::Framing::Crc);
    // Answers every request with the reply text from `answer` (empty: silence).
    void AnswerWith(std::function<std::string(const std::string& commandText)> answer,
                    std::uint32_t afterMs = 1);

    // Runs inside OpenTcp with the pump it was given, as a real connect runs
    // the caller's events while it waits.
    std::function<void(link::IEventPump& pump)> duringTcpOpen;

    // Open failures to inject.
    bool failSerialOpen = false;
    bool failTcpOpen = false;

    // What happened.
    std::vector<std::string> frames;    // every frame written, raw
    std::vector<std::string> commands;  // the command text of each
    int purges = 0;
    // Purges and writes in the order they came: 'P' for a purge, 'W' for a
    // write.
    std::string purgesAndWrites;
    int waits = 0;  // WaitReadable calls
    int opens = 0;
    int closes = 0;
    bool open = false;
    std::string serialPort;
    std::string serialSettings;
    bool lastOpenSerial = false;  // the last open was OpenSerial's, not OpenTcp's
    std::uint32_t tcpAddress = 0;
    std::uint16_t tcpPort = 0;

    // Used by the fake transport.
    void Written(const std::uint8_t* data, std::size_t size);
    void Purge();
    std::size_t Peek(std::uint8_t* out, std::size_t maxSize);
    void Consume(std::size_t size);
    bool Wait(int timeoutMs);
    std::size_t Pending() const { return received_.size(); }

private:
    struct Arrival {
        std::uint64_t at;  // fake time
        std::string bytes;
    };
    void Arrive();

    FakeClock& clock_;
    std::deque<Arrival> arrivals_;  // in time order
    std::string received_;          // arrived, not consumed
};

class FakeTransportFactory final : public link::ITransportFactory {
public:
    explicit FakeTransportFactory(FakeDevice& device) : device_(device) {}
    std::unique_ptr<link::ITransport> OpenSerial(const std::string& portName,
                                                 const std::string& settings) override;
    std::unique_ptr<link::ITransport> OpenTcp(std::uint32_t ipv4, std::uint16_t port,
                                              link::IEventPump& pump) override;

private:
    FakeDevice& device_;
};

}  // namespace ct::testing

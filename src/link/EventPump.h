// What a waiting transaction does for the rest of the program: it hands the
// caller's pending events (painting, timers, a stop click) a chance to run,
// and it waits in a way that those events can end.
//
// Every wait of the link goes through IEventPump::Wait with what it waits
// for (a descriptor or handle of the open port or socket, or nothing when
// the port is in error) and how long. A pump that can block on its own
// events and on that source together returns as soon as either has something
// (the window's pump); one without events of its own blocks on the source alone
// (NoEventPump). Only a pump that can do neither, and overrides just
// ProcessEvents, gets the default: its pending events run, and the wait comes
// back to them every WaitSliceMs.
#pragma once

#include <cstdint>

namespace ct::link {

// Longest single wait of the default IEventPump::Wait between two rounds of
// event processing.
inline constexpr std::uint32_t WaitSliceMs = 5;

// What a wait can block on.
struct WaitSource {
    enum class Kind : std::uint8_t {
        // Nothing will come (a port that hung up or failed): only the
        // caller's events and the time-out end the wait.
        None,
        // A POSIX descriptor or a Windows socket: ready when readable, or
        // writable (a connect that completed or failed) with forWrite.
        Descriptor,
        // A Windows event handle: ready when signalled.
        Event,
    };
    Kind kind = Kind::None;
    std::intptr_t handle = -1;
    bool forWrite = false;

    static WaitSource Nothing() { return {}; }
    static WaitSource Readable(std::intptr_t descriptor) { return {Kind::Descriptor, descriptor, false}; }
    static WaitSource Writable(std::intptr_t descriptor) { return {Kind::Descriptor, descriptor, true}; }
    static WaitSource Signalled(std::intptr_t eventHandle) { return {Kind::Event, eventHandle, false}; }
};

// Blocks until the source is ready or timeoutMs has passed (negative: no
// limit; a source of kind None then returns at once rather than block for
// ever); processes nothing. True when the source is ready; a descriptor that
// hung up or failed counts as ready (the read that follows tells).
bool WaitNative(const WaitSource& source, int timeoutMs);

class IEventPump {
public:
    virtual ~IEventPump() = default;
    // Runs the caller's pending events and returns.
    virtual void ProcessEvents() = 0;
    // Waits until the source is ready, timeoutMs has passed (negative: no
    // limit) or some of the caller's events came, and runs those events.
    // May return earlier; the caller looks again at its source and its
    // clock. True when the source is known to be ready.
    //
    // The default, for a pump that can only run what is pending: runs it,
    // then waits on the source alone for at most WaitSliceMs.
    virtual bool Wait(const WaitSource& source, int timeoutMs);
};

class IClock;

// Pauses for exactly `ms` on the clock while the pump runs the caller's
// events (painting, timers, a stop click): it waits on nothing but its own
// events and the time that is left, and looks at the clock after every
// wake-up, so it neither spins nor ends early.
void PumpedPause(IClock& clock, IEventPump& pump, std::uint32_t ms);

// For programs without a window: waits block on the source alone, for the
// whole time they are given.
class NoEventPump final : public IEventPump {
public:
    void ProcessEvents() override {}
    bool Wait(const WaitSource& source, int timeoutMs) override;
};


}  // namespace ct::link

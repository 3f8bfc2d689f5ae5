// What a waiting transaction does for the rest of the program: it hands the
// caller's pending events (painting, timers, a stop click) a chance to run.
#pragma once

namespace ct::link {

class IEventPump {
public:
    virtual ~IEventPump() = default;
    virtual void ProcessEvents() = 0;
};

// For programs without a window.
class NoEventPump final : public IEventPump {
public:
    void ProcessEvents() override {}
};

}  // namespace ct::link

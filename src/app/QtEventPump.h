// The window's event pump: while an operation waits for the controller, the
// window's pending events (painting, timer ticks, a stop click) run.
#pragma once

#include "link/EventPump.h"

namespace ct::app {

class QtEventPump final : public link::IEventPump {
public:
    void ProcessEvents() override;
};

}  // namespace ct::app

// The window's event pump: while an operation waits for the controller, the
// window's pending events (painting, timer ticks, a stop click) run, and the
// wait ends the moment the port or socket has something or an event comes.
#pragma once

#include "link/EventPump.h"

namespace ct::app {

class QtEventPump final : public link::QtEventLoopPump {
};

}  // namespace ct::app

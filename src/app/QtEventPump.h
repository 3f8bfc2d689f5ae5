// The pump of a Qt program, for the thread that runs its event loop: while
// an operation waits for the controller, Wait blocks in Qt's event
// dispatcher with a notifier on the port or socket and a timer for the
// time-out, so painting, timer ticks and a stop click run the moment they
// come and the wait ends the moment the source is ready. Without a
// QCoreApplication, or on another thread, it behaves like link::NoEventPump.
#pragma once

#include "link/EventPump.h"

namespace ct::app {

class QtEventPump : public link::IEventPump {
public:
    void ProcessEvents() override;
    bool Wait(const link::WaitSource& source, int timeoutMs) override;
};

}  // namespace ct::app

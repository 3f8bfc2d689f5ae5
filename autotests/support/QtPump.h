// The window's pump (QtEventPump), counted, for the tests that wait inside a
// Qt event loop. Including this header makes a test a Qt test (see
// autotests/CMakeLists.txt).
#pragma once

#include "app/QtEventPump.h"

namespace ct::testing {

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

}  // namespace ct::testing

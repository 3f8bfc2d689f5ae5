// The road shared by the two continuous tests (DIDO and event polling): one
// button starts the loop and a second click on it stops the loop at the top
// of its next cycle. The link stays open from start to stop while the window
// is the user's again, so that the click can come; every other device
// operation stays blocked until the test has fully ended.
#pragma once

#include "tests/Operation.h"

#include <functional>

namespace ct::tests {

struct TestState {
    // The loop's stop flag, read before every cycle.
    bool TestRunning = false;
    // From the starting click to the last restored control. A click while
    // this is set only clears TestRunning, so a click during the final
    // exchange (TestRunning already false) is ignored.
    bool Active = false;
};

class IContinuousTestView : public ITitleView {
public:
    // "Cancel test" on the test's button, every other device operation
    // blocked, the tabs of tsFunction, tsCommand and tsFirmware hidden.
    virtual void EnterTest() = 0;
    // The blocked operations free again, the tsCommand tab shown, the
    // button's caption back.
    virtual void LeaveTest() = 0;
    // After every cycle; clearing state.TestRunning here ends the loop (a
    // cycle count, a signal).
    virtual void CycleDone(TestState& state) { (void)state; }
};

// A click on a continuous test's button: StopAsked while one is active;
// otherwise the whole test, ConnectError if the link did not open, and
// CommandOk once it did, whatever the controller answered. `cycle` is one
// round of the loop, `finish` what goes out before the link is closed.
Outcome RunContinuousTest(link::OperationFrame& frame, TestState& state, IContinuousTestView& view,
                          const std::function<void()>& cycle, const std::function<void()>& finish);

}  // namespace ct::tests

#include "tests/ContinuousTest.h"

#include "link/OperationFrame.h"

namespace ct::tests {

Outcome RunContinuousTest(link::OperationFrame& frame, TestState& state, IContinuousTestView& view,
                          const std::function<void()>& cycle, const std::function<void()>& finish)
{
    if (state.Active) {
        state.TestRunning = false;
        return Outcome::StopAsked;
    }
    state.Active = true;
    state.TestRunning = true;
    view.EnterTest();

    Outcome outcome = Outcome::ConnectError;
    if (!frame.BeginOperation()) {
        frame.EndConnectError();
    } else {
        frame.ReleaseInput();
        // Both tests show the same title.
        view.ShowTitle(Title::DidoTest);
        frame.ProcessEvents();
        while (state.TestRunning) {
            cycle();
            view.CycleDone(state);
        }
        finish();
        frame.EndCommandOk();
        outcome = Outcome::CommandOk;
    }

    state.TestRunning = false;
    view.LeaveTest();
    state.Active = false;
    return outcome;
}

}  // namespace ct::tests

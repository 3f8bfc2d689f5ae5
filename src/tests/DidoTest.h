// The DIDO test: a continuous loop that, every cycle, commands each output
// whose box is checked at that moment (DeviceID + "JC00k10002", reply not
// examined, 20 ms after each), reads the eight inputs with "DG0" (a 29-byte
// reply: DI1..DI8 at positions 8-15, "1" active) and pauses 20 ms. Stopping
// always sends "JD", whitens the lamps and unchecks the boxes.
#pragma once

#include "tests/ContinuousTest.h"

#include <string>

namespace ct::tests {

class IDidoView : public IContinuousTestView {
public:
    virtual bool OutputChecked(int output) = 0;  // 0..3: chkDO1..chkDO4, read anew each time
    // The eight input characters of an accepted reply, DI1 first; always
    // eight, "0" for those a NUL cut off.
    virtual void ShowInputs(const std::string& states) = 0;
    virtual void ResetInputsAndOutputs() = 0;  // lamps white, boxes unchecked
};

inline bool InputActive(char state)
{
    return state == '1';
}

Outcome ClickDidoTest(link::OperationFrame& frame, TestState& state, const std::string& deviceId, IDidoView& view);

}  // namespace ct::tests

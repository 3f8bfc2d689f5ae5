// A beeper that plays nothing and remembers every tone it was asked for.
#pragma once

#include "link/OperationFrame.h"

#include <functional>
#include <vector>

namespace ct::testing {

class RecordingBeeper final : public link::IBeeper {
public:
    void Beep(int frequencyHz, int durationMs) override
    {
        frequencies.push_back(frequencyHz);
        durations.push_back(durationMs);
        if (onBeep)
            onBeep();
    }

    std::vector<int> frequencies;
    std::vector<int> durations;
    std::function<void()> onBeep;
};

}  // namespace ct::testing

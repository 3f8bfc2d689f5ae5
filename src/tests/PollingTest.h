// The event polling test: a continuous loop that polls with DeviceID + "PI".
// A 35-byte reply carries the controller's date and time (positions 8-21),
// a 59-byte one also a record (30-53), which is shown and then acknowledged
// with "IB" 20 ms later; at most one record per cycle, and 20 ms between
// cycles. Both panels keep their last text.
#pragma once

#include "tests/ContinuousTest.h"

#include <string>

namespace ct::tests {

class IPollingView : public IContinuousTestView {
public:
    virtual void ShowPollDate(const std::string& text) = 0;    // pnPoolingDate
    virtual void ShowPollRecord(const std::string& text) = 0;  // pnPoolingData
};

// "2024/03/01  08:05:09" from a poll reply of 35 or 59 bytes.
std::string PollDateText(const std::string& reply);
// "[1] 2024/03/01  07:59:59 (0012) [12345]" from a 59-byte poll reply.
std::string PollRecordText(const std::string& reply);

Outcome ClickPollingTest(link::OperationFrame& frame, TestState& state, const std::string& deviceId,
                         IPollingView& view);

}  // namespace ct::tests

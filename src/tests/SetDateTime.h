// Date and time: the clock panel's text of the PC's local time, and "Set date
// and time", which writes the PC's local time into the controller as
// DeviceID + "AA" + yyyymmddhhnnss, read after the operation's pause.
#pragma once

#include "tests/Operation.h"

#include <string>

namespace ct::tests {

// A local date and time, whole seconds; hours 0-23.
struct LocalDateTime {
    int year = 2001;
    int month = 1;
    int day = 1;
    int hour = 12;
    int minute = 0;
    int second = 0;
};

class ILocalClock {
public:
    virtual ~ILocalClock() = default;
    virtual LocalDateTime Now() = 0;
};

// The machine's local time (the C library's).
class SystemLocalClock final : public ILocalClock {
public:
    LocalDateTime Now() override;
};

// "yyyymmddhhnnss": fourteen digits, no separators.
std::string CompactDateTime(const LocalDateTime& time);
// "yyyy/mm/dd hh:nn:ss" with the given separators in place of "/" and ":".
std::string ClockDisplayText(const LocalDateTime& time, const std::string& dateSeparator,
                             const std::string& timeSeparator);
// The separator of a date or time format such as "dd.MM.yyyy" or "HH:mm:ss":
// the first character that is neither a field letter, a quote nor a space;
// `fallback` when there is none.
std::string FormatSeparator(const std::string& format, const std::string& fallback);

// btnSetDateClick's operation. `sentDigits`, when given, receives the
// fourteen digits once they have been sent.
Outcome RunSetDateTime(link::OperationFrame& frame, ITitleView& view, ILocalClock& localClock,
                       const std::string& deviceId, std::string* sentDigits = nullptr);

}  // namespace ct::tests

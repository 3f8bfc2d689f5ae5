#include "tests/SetDateTime.h"

#include "link/ControllerInterface.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace ct::tests {

LocalDateTime SystemLocalClock::Now()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string CompactDateTime(const LocalDateTime& t)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return digits;
}

std::string ClockDisplayText(const LocalDateTime& t, const std::string& dateSeparator,
                             const std::string& timeSeparator)
{
    const auto two = [](int value) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%02d", value);
        return std::string(digits);
    };
    char year[16];
    std::snprintf(year, sizeof year, "%04d", t.year);
    return year + dateSeparator + two(t.month) + dateSeparator + two(t.day) + " " + two(t.hour) + timeSeparator
           + two(t.minute) + timeSeparator + two(t.second);
}

std::string FormatSeparator(const std::string& format, const std::string& fallback)
{
    bool quoted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(format[i]);
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || std::isalpha(c) || c == ' ')
            continue;
        // A separator in a multi-byte encoding (a full-width colon, say) is
        // taken whole.
        std::size_t length = 1;
        while (c >= 0x80 && i + length < format.size()
               && (static_cast<unsigned char>(format[i + length]) & 0xC0) == 0x80)
            ++length;
        return format.substr(i, length);
    }
    return fallback;
}

Outcome RunSetDateTime(link::OperationFrame& frame, ITitleView& view, ILocalClock& localClock,
                       const std::string& deviceId, std::string* sentDigits)
{
    return RunSingleCommand(frame,
                            {Title::SetDateTime,
                             [&] {
                                 const std::string digits = CompactDateTime(localClock.Now());
                                 if (sentDigits)
                                     *sentDigits = digits;
                                 return deviceId + link::cmd::SetDateTime + digits;
                             },
                             AcceptLength(link::cmd::AckReplyLength, link::cmd::ShortAckReplyLength)}, &view);
}

}  // namespace ct::tests

// A serial line setting in the form the tool writes it, "115200,n,8,1":
// baud rate, parity (n, e, o, m or s), data bits (5-8), stop bits (1 or 2).
#pragma once

#include <optional>
#include <string_view>

namespace ct::sim {

struct LineSetting {
    int baud = 115200;
    char parity = 'n';
    int dataBits = 8;
    int stopBits = 1;
};

// Nothing when the text is not of that form or the baud rate is not one a
// serial port offers (the rates a terminal can be set to, 1200 to 921600).
std::optional<LineSetting> ParseLineSetting(std::string_view text);

}  // namespace ct::sim

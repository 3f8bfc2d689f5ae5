#include "sim/LineSetting.h"

#include <algorithm>
#include <iterator>

namespace ct::sim {

namespace {

constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

std::optional<int> Number(std::string_view s)
{
    if (s.empty() || s.size() > 7)
        return std::nullopt;
    int value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::optional<LineSetting> ParseLineSetting(std::string_view text)
{
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 3))
            return std::nullopt;
        fields[i] = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    const auto baud = Number(fields[0]);
    const auto dataBits = Number(fields[2]);
    const auto stopBits = Number(fields[3]);
    if (!baud || std::find(std::begin(kBaudRates), std::end(kBaudRates), *baud) == std::end(kBaudRates))
        return std::nullopt;
    if (fields[1].size() != 1 || std::string_view("neoms").find(fields[1][0]) == std::string_view::npos)
        return std::nullopt;
    if (!dataBits || *dataBits < 5 || *dataBits > 8 || !stopBits || (*stopBits != 1 && *stopBits != 2))
        return std::nullopt;
    return LineSetting{*baud, fields[1][0], *dataBits, *stopBits};
}

}  // namespace ct::sim

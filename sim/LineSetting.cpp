#include "sim/LineSetting.h"

#include <algorithm>
#include <iterator>

namespace ct::sim {

namespace {

constexpr std::uint32_t kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

}  // namespace

std::optional<link::LineSettings> ParseLineSetting(const std::string& text)
{
    link::LineSettings line;
    if (!link::ParseLineSettings(text, line) || !line.baudRate || !line.parity || !line.dataBits || !line.stopBits)
        return std::nullopt;
    if (std::find(std::begin(kBaudRates), std::end(kBaudRates), *line.baudRate) == std::end(kBaudRates))
        return std::nullopt;
    if (*line.stopBits == 15)  // 1.5: no terminal offers it
        return std::nullopt;
    return line;
}

}  // namespace ct::sim

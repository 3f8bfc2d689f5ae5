// The substitute controller's own line setting, "115200,n,8,1": a serial
// settings string (link/LineSettings.h, the parser the tool's link uses)
// that names all four members, at a rate a terminal can be set to (1200 to
// 921600) and with 1 or 2 stop bits.
#pragma once

#include "link/LineSettings.h"

#include <optional>
#include <string>

namespace ct::sim {

// Nothing when the text is not such a setting.
std::optional<link::LineSettings> ParseLineSetting(const std::string& text);

}  // namespace ct::sim

// The model name setting: writes a model designation (exactly 12
// characters: trimmed, padded with spaces, or cut) and, when asked, a
// version (trimmed, appended as it is) into the controller as DeviceID +
// "AS" + name [+ version]; a 13-byte reply counts. The name is never refused
// for its length; only a version text that would overrun one request is.
#pragma once

#include "tests/Operation.h"

#include <optional>
#include <string>

namespace ct::firmware {

// Without leading and trailing characters up to 0x20.
std::string TrimControls(const std::string& text);
// The 12-character name field.
std::string ModelNameField(const std::string& typed);

struct ModelButton {
    const char* caption;
    const char* model;
};
// btnKX410 ... btnKX430, in the page's order, and the three version buttons.
extern const ModelButton ModelButtons[8];
extern const char* const VersionButtons[3];

// btnSetNoClick; `version` only when the version box is ticked.
tests::Outcome RunSetModelName(link::OperationFrame& frame, tests::ITitleView& view, const std::string& deviceId,
                               const std::string& model, const std::optional<std::string>& version);

}  // namespace ct::firmware

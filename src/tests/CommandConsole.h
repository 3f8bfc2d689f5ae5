// The raw command console: DeviceID + the text as typed goes to the
// controller, or the module command wrapping to a module behind it. Any reply
// that completes and passes its check counts, whatever its length, and is
// shown whole, from its start byte through CR. A text that would not fit one
// request is refused before anything is opened or sent.
#pragma once

#include "tests/Operation.h"

#include <functional>
#include <string>

namespace ct::tests {

using ShowReply = std::function<void(const std::string& replyText)>;

// btnCommandClick's operation. The caller stores the link settings after
// CommandOk.
Outcome RunControllerCommand(link::OperationFrame& frame, const std::string& deviceId, const std::string& typed,
                             const ShowReply& show);
// btnModuleCommandClick's operation; `typeIndex` 0..5, `moduleId` "1".."8".
Outcome RunConsoleModuleCommand(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                                const std::string& moduleId, const std::string& typed, const ShowReply& show);

}  // namespace ct::tests

// The module command wrapping: a command for a module behind the controller
// goes to the controller as DeviceID + "DD" + type letter + module ID text +
// module command text, without separators. The type letter follows the
// position of the type in the drop-downs of the console and the G4 page,
// which list the same six types under partly different names.
//
// RunModuleCommand sends a wrapped command: the console's module command and
// the G4 page's serial read (its ID change wraps its text the same way).
#pragma once

#include "tests/Operation.h"

#include <functional>
#include <optional>
#include <string>

namespace ct::link {
class Link;
}

namespace ct::modules {

inline constexpr int ModuleTypeCount = 6;
// By drop-down position: letters "A", "B", "H", "I", "J", "E".
extern const char* const ConsoleModuleNames[ModuleTypeCount];
extern const char* const G4ModuleNames[ModuleTypeCount];

// The type letter at `typeIndex` (0..5).
char ModuleTypeLetter(int typeIndex);
// The position of a type given by its letter (any case) or by a display name
// of the console or the G4 page; nothing for anything else.
std::optional<int> ModuleTypeIndex(const std::string& letterOrName);

std::string WrapModuleCommand(const std::string& deviceId, int typeIndex, const std::string& moduleId,
                              const std::string& moduleCommand);

// BeginOperation, the 100 ms pause without a title of its own, the wrapped
// command, and EndCommandOk if `accept` takes the passed reply (it may show
// it first). TooLong, with nothing opened or sent, if the wrapped text would
// not fit one request.
tests::Outcome RunModuleCommand(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                                const std::string& moduleId, const std::string& moduleCommand,
                                const std::function<bool(const link::Link&)>& accept);

}  // namespace ct::modules

#include "tests/CommandConsole.h"

#include "link/Link.h"
#include "modules/ModuleCommand.h"

namespace ct::tests {

namespace {

std::function<bool(const link::Link&)> ShowAnyReply(const ShowReply& show)
{
    return [&show](const link::Link& device) {
        show(device.ReplyText());
        return true;
    };
}

}  // namespace

Outcome RunControllerCommand(link::OperationFrame& frame, const std::string& deviceId, const std::string& typed,
                             const ShowReply& show)
{
    return RunCommandText(frame, deviceId + typed, ShowAnyReply(show));
}

Outcome RunConsoleModuleCommand(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                                const std::string& moduleId, const std::string& typed, const ShowReply& show)
{
    return modules::RunModuleCommand(frame, deviceId, typeIndex, moduleId, typed, ShowAnyReply(show));
}

}  // namespace ct::tests

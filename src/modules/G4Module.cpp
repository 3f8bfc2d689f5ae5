#include "modules/G4Module.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "modules/ModuleCommand.h"

namespace ct::modules {

tests::Outcome RunG4ReadSerial(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                               const std::string& moduleId, IG4View& view)
{
    return RunModuleCommand(frame, deviceId, typeIndex, moduleId, link::cmd::G4ReadSerial,
                            [&view](const link::Link& device) {
                                view.ShowReply(device.ReplyText());
                                if (device.ReplyLength() != link::cmd::G4SerialReplyLength)
                                    return false;
                                view.ShowSerial(
                                    link::ReplyField(device.ReplyText(), 11, link::cmd::SerialNumberLength));
                                return true;
                            });
}

std::string G4SetIdCommand(const std::string& deviceId, int typeIndex, const std::string& serial, int newId)
{
    // "0C" takes the place of the module ID.
    return WrapModuleCommand(deviceId, typeIndex, std::string(),
                             link::cmd::G4SetId + serial + std::to_string(newId));
}

tests::Outcome RunG4SetId(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                          const std::string& serial, int newId, IG4View& view)
{
    return tests::RunCommandText(frame, G4SetIdCommand(deviceId, typeIndex, serial, newId),
                                 [&view](const link::Link& device) {
                                     view.ShowReply(device.ReplyText());
                                     return true;
                                 });
}

}  // namespace ct::modules

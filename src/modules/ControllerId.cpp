#include "modules/ControllerId.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/Link.h"

namespace ct::modules {

tests::Outcome RunGetControllerId(link::OperationFrame& frame, const std::string& deviceId, bool bySerial,
                                  const std::string& serial, IControllerIdView& view)
{
    if (!bySerial) {
        return tests::RunCommandText(frame, deviceId + link::cmd::SerialNumber, [&](const link::Link& device) {
            if (device.ReplyLength() != link::cmd::SerialNumberReplyLength)
                return false;
            view.ShowControllerId(link::ReplyField(device.ReplyText(), 2, link::cmd::ControllerIdLength));
            view.ShowControllerSerial(link::ReplyField(device.ReplyText(), 8, link::cmd::SerialNumberLength));
            return true;
        });
    }
    return tests::RunCommandText(frame, std::string(link::cmd::AnyControllerId) + link::cmd::IdBySerial + serial,
                       [&](const link::Link& device) {
                           if (device.ReplyLength() != link::cmd::IdBySerialReplyLength)
                               return false;
                           view.ShowControllerId(
                               link::ReplyField(device.ReplyText(), 2, link::cmd::ControllerIdLength));
                           return true;
                       });
}

tests::Outcome RunSetControllerIdBySerial(link::OperationFrame& frame, const std::string& serial,
                                          const std::string& newId)
{
    return tests::RunCommandText(frame, std::string(link::cmd::AnyControllerId) + link::cmd::IdBySerial + serial + newId,
                       tests::AcceptLength(link::cmd::IdBySerialReplyLength));
}

}  // namespace ct::modules

// Controller ID by serial number: reads the addressed controller's ID and
// serial number (DeviceID + "AS", 21 bytes), finds the ID of the controller
// with a serial number, and gives that controller a new ID. The two
// serial-number commands always go out as "0000AV" + serial [+ new ID], so
// they reach a controller whose ID nobody knows; a 17-byte reply carries the
// answering controller's ID. DeviceID stays as Connect set it.
#pragma once

#include "tests/Operation.h"

#include <string>

namespace ct::modules {

class IControllerIdView {
public:
    virtual ~IControllerIdView() = default;
    virtual void ShowControllerId(const std::string& id) = 0;          // edCtrlByID
    virtual void ShowControllerSerial(const std::string& serial) = 0;  // edCtrlBySN
};

// btnGetCtrlIDClick: by DeviceID, or by the serial number as typed.
tests::Outcome RunGetControllerId(link::OperationFrame& frame, const std::string& deviceId, bool bySerial,
                                  const std::string& serial, IControllerIdView& view);
// btnSetCtrlBySNClick: serial number and new ID as typed; no field changes.
tests::Outcome RunSetControllerIdBySerial(link::OperationFrame& frame, const std::string& serial,
                                          const std::string& newId);

}  // namespace ct::modules

// G4 modules behind the controller, through the module command wrapping: a
// module's serial number from its type and ID ("S", a 24-byte reply with the
// serial at 11-18) and a new ID (1-8) for the module of a type and serial
// number ("0C" + serial + ID, any reply that passes its check). Every such
// reply is shown whole.
#pragma once

#include "tests/Operation.h"

#include <string>

namespace ct::modules {

class IG4View {
public:
    virtual ~IG4View() = default;
    virtual void ShowReply(const std::string& replyText) = 0;  // edG4Recv
    virtual void ShowSerial(const std::string& serial) = 0;    // edG4Sn
};

// btnG4GetSnClick: `moduleId` the item text "0".."8".
tests::Outcome RunG4ReadSerial(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                               const std::string& moduleId, IG4View& view);
// The wrapped command that gives the module of this type and serial number
// the ID `newId`.
std::string G4SetIdCommand(const std::string& deviceId, int typeIndex, const std::string& serial, int newId);
// btnG4SetIdClick: `newId` 1..8, sent as "%d".
tests::Outcome RunG4SetId(link::OperationFrame& frame, const std::string& deviceId, int typeIndex,
                          const std::string& serial, int newId, IG4View& view);

}  // namespace ct::modules

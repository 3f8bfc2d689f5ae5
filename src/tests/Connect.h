// Connect and identify: finds the controller at the ID chosen in the window,
// adopts the ID it reports, reads its model, version and serial number.
//
// Runs inside the operation frame; the window supplies the view. Every later
// command of every other operation starts with the DeviceID set here.
#pragma once

#include <string>

namespace ct::link {
class OperationFrame;
}

namespace ct::tests {

// What the window keeps about the connected controller.
struct ControllerIdentity {
    std::string DeviceID = "0000";  // four characters, from the "AC" reply
    std::string DeviceSN;           // eight characters, from the "AS" reply
    int ControllerKind = 0;         // 7 once the controller answered "DB"
};

class IConnectView {
public:
    virtual ~IConnectView() = default;
    virtual std::string IdCaption() = 0;                  // caption of pnID ("0012")
    virtual void ShowCountdown(int n) = 0;                // pnMsg: "Connecting device ..." + " ( n )", then pump
    virtual void ClearIdentityPanels() = 0;               // pnVER and pnSN emptied
    virtual void SetIdPosition(int position) = 0;         // sbID position; its change handler updates pnID
    virtual void SaveLinkSettings() = 0;
    virtual void ShowVersion(const std::string& text) = 0;  // pnVER
    virtual void ShowSerial(const std::string& text) = 0;   // pnSN
};

// btnConnectClick's operation, from BeginOperation to its ending.
void RunConnect(link::OperationFrame& frame, ControllerIdentity& identity, IConnectView& view);

}  // namespace ct::tests

// The firmware upgrade: switches the controller from its application into
// its boot loader, programs the image block by block (up to five attempts a
// block), reads every block back and compares it, and starts the new
// firmware. The loader, the framing after the enter command and every pause
// follow from the controller kind; a kind without a loader gets no command.
#pragma once

#include "firmware/FirmwareImage.h"
#include "tests/Operation.h"

#include <string>

namespace ct::firmware {

class IUpgradeView : public tests::ITitleView {
public:
    // "Connecting device ..." + " ( n )" after a failed probe.
    virtual void ShowCountdown(int n) = 0;
    virtual void SetProgramRange(int maximum) = 0;  // pbProgram
    virtual void SetProgramPosition(int position) = 0;
    virtual void SetVerifyRange(int maximum) = 0;   // pbVerify
    virtual void SetVerifyPosition(int position) = 0;
};

// btnFirmwareClick from BeginOperation on, with the image already loaded for
// the same kind.
tests::Outcome RunFirmwareUpgrade(link::OperationFrame& frame, int kind, const std::string& deviceId,
                                  const FirmwareImage& image, IUpgradeView& view);

// "%02X" of every byte of block r.
std::string BlockHex(const FirmwareImage& image, int r);

}  // namespace ct::firmware

#include "tests/Connect.h"

#include "link/ControllerInterface.h"
#include "link/FrameCodec.h"
#include "link/Link.h"
#include "link/OperationFrame.h"
#include "tests/Operation.h"

#include <cstdint>
#include <string>

namespace ct::tests {

namespace {

constexpr int Attempts = 3;
// The countdown shown after failed attempt i is FirstCountdown - i.
constexpr int FirstCountdown = 6;
// The firmware upgrade chooses its loader by this kind.
constexpr int IdentifiedKind = 7;

bool IsFourDigits(const std::string& text)
{
    if (text.size() != 4)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

}  // namespace

void RunConnect(link::OperationFrame& frame, ControllerIdentity& identity, IConnectView& view)
{
    identity.ControllerKind = 0;
    if (!frame.BeginOperation()) {
        frame.EndConnectError();
        return;
    }
    link::Link& device = frame.link();

    // Only the ID shown is addressed, three times; there is no scan.
    bool found = false;
    for (int i = 0; i < Attempts && !found; ++i) {
        frame.Pause(OperationPauseMs);
        found = device.TransactCrc(view.IdCaption() + link::cmd::Connect)
                && device.ReplyLength() == link::cmd::ConnectReplyLength;
        if (!found)
            view.ShowCountdown(FirstCountdown - i);
    }
    if (!found) {
        // EndConnectError leaves the link open; the connect closes it itself.
        device.CloseLink();
        frame.EndConnectError();
        return;
    }

    view.ClearIdentityPanels();
    // The controller may answer with another ID than the one addressed: its
    // own is adopted, even when it is no number the scroll bar can show.
    identity.DeviceID = link::ReplyField(device.ReplyText(), 2, 4);
    if (IsFourDigits(identity.DeviceID))
        view.SetIdPosition(std::stoi(identity.DeviceID));
    view.SaveLinkSettings();

    frame.Pause(OperationPauseMs);
    if (device.TransactCrc(identity.DeviceID + link::cmd::Describe)
        && device.ReplyLength() == link::cmd::DescribeReplyLength) {
        const std::string& reply = device.ReplyText();
        view.ShowVersion(link::ReplyField(reply, 8, 12) + "  " + link::ReplyField(reply, 20, 4));
        identity.ControllerKind = IdentifiedKind;
    }
    const bool identified = identity.ControllerKind == IdentifiedKind;

    // The serial number is extra: a controller that does not give it still
    // counts as connected.
    if (identified) {
        frame.Pause(OperationPauseMs);
        if (device.TransactCrc(identity.DeviceID + link::cmd::SerialNumber)
            && device.ReplyLength() == link::cmd::SerialNumberReplyLength) {
            identity.DeviceSN = link::ReplyField(device.ReplyText(), 8, 8);
            view.ShowSerial("S/N:" + identity.DeviceSN + "   ID:" + identity.DeviceID);
        }
    }

    if (identified)
        frame.EndCommandOk();
    else
        frame.EndCommandError();
}

}  // namespace ct::tests

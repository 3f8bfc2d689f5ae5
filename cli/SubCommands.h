// controller-cli's sub-commands after their arguments were checked: each
// runs one operation of the window against the link settings given, prints
// what the window would show of its result on standard output, reports the
// window's closing message on standard error and returns the exit status.
//
// Exit statuses: 0 "Command ok." (also a continuous test stopped by a cycle
// count or a signal), 1 "Command error!", 2 "Connect device error!", 64 a
// command text that does not fit one request (nothing opened or sent).
#pragma once

#include "link/FrameCodec.h"
#include "link/Link.h"
#include "modules/G6Module.h"
#include "tests/LineSpeed.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ct::cli {

inline constexpr int ExitOk = 0;
inline constexpr int ExitCommandError = 1;
inline constexpr int ExitConnectError = 2;
inline constexpr int ExitUsage = 64;

// Prints "controller-cli: message" on standard error; returns ExitUsage.
int UsageError(const std::string& message);

// One request as typed, in any framing, and its reply escaped on one line.
int RunSend(const link::LinkSettings& settings, link::Framing framing, const std::string& text);

// The window's Connect with the ID scroll bar at `at` (0..9999); prints the
// version panel's and then the serial panel's text once the controller
// answered the connect.
int RunConnect(const link::LinkSettings& settings, int at);

// Prints the fourteen digits once they went out.
int RunSetTime(const link::LinkSettings& settings, const std::string& deviceId);
int RunAlarm(const link::LinkSettings& settings, const std::string& deviceId, int alarmNumber);
int RunFactoryReset(const link::LinkSettings& settings, const std::string& deviceId);
int RunReboot(const link::LinkSettings& settings, const std::string& deviceId);

// Until `cycles` rounds of the loop ran (0: no limit) or SIGINT or SIGTERM
// came; then "JD" as the window's stop sends it. One line per accepted "DG0"
// reply.
int RunDido(const link::LinkSettings& settings, const std::string& deviceId,
            const std::array<bool, 4>& outputsChecked, int cycles);
// Ends like RunDido. One line per record, written out before its "IB".
int RunPoll(const link::LinkSettings& settings, const std::string& deviceId, int cycles);

// Prints the serial settings the tool uses from now on: the new line's after
// an acknowledged switch, `currentSettings` otherwise.
int RunSetSpeed(const link::LinkSettings& settings, const std::string& deviceId, tests::LineSpeed speed,
                const std::string& currentSettings);

// The console's controller and module commands; the reply printed as RunSend
// prints it.
int RunCommand(const link::LinkSettings& settings, const std::string& deviceId, const std::string& typed);
int RunModule(const link::LinkSettings& settings, const std::string& deviceId, int typeIndex,
              const std::string& moduleId, const std::string& typed);

// The Controller page. By DeviceID ("AS"): prints the ID, then the serial
// number. By serial number ("0000AV" + serial as typed): prints the ID of the
// controller that answered.
int RunControllerId(const link::LinkSettings& settings, const std::string& deviceId);
int RunControllerIdBySerial(const link::LinkSettings& settings, const std::string& serial);
// Serial number and new ID as typed; prints nothing.
int RunSetControllerId(const link::LinkSettings& settings, const std::string& serial, const std::string& newId);

// The G6 page, module IDs 0-8 and new IDs 1-8. The serial read prints the
// serial number, the ID read the digit the module reported (9 included);
// both card-type commands print the settings the module answered with as the
// page shows them, one a line: "types=A,BG" (the checked boxes by the names
// ParseCardKinds takes, in the order of their bits), "delay=10", "green=1".
// The reset box is never set from a reply.
int RunG6Serial(const link::LinkSettings& settings, const std::string& deviceId, int moduleId);
int RunG6Id(const link::LinkSettings& settings, const std::string& deviceId, const std::string& serial);
int RunG6SetId(const link::LinkSettings& settings, const std::string& deviceId, const std::string& serial, int newId);
int RunG6CardType(const link::LinkSettings& settings, const std::string& deviceId, int moduleId);
int RunG6SetCardType(const link::LinkSettings& settings, const std::string& deviceId, int moduleId,
                     const modules::CardTypeChoice& choice);

// The G4 page: `moduleId` "0".."8" as sent, `newId` 1-8. The read prints the
// serial number, the set nothing.
int RunG4Serial(const link::LinkSettings& settings, const std::string& deviceId, int typeIndex,
                const std::string& moduleId);
int RunG4SetId(const link::LinkSettings& settings, const std::string& deviceId, int typeIndex,
               const std::string& serial, int newId);

// The Model Name page: DeviceID + "AS" + the name trimmed and then padded
// with spaces or cut to 12 characters, + the trimmed version when given.
// Prints nothing.
int RunSetModel(const link::LinkSettings& settings, const std::string& deviceId, const std::string& name,
                const std::optional<std::string>& version);

// The Firmware upgrade page with the loader of `kind` (0-7). First a short
// exchange of its own reads the model and version ("DB") for the model
// check; a file that cannot be read, a model the file was not built for or
// a kind without a loader then ends it with exit status 1 and nothing more
// sent. The progress goes to standard error: on a terminal one line redrawn
// in place (phase, blocks done of all, blocks per second, time left),
// otherwise a line at the start of each phase, at every tenth of its blocks
// and at its end. Standard output gets "blocks=N" once all N blocks were
// programmed and verified.
int RunUpgrade(const link::LinkSettings& settings, const std::string& deviceId, const std::string& path, int kind);

// The card kinds by the names the command line gives the page's boxes: A
// (UID(A)), ABlock, 7Byte, 15693, B (UID(B)), BG (GUID(B)). "A,BG" (any
// case; a name given twice counts once) as CardKind bits; "" is none.
// Nothing for an unknown or empty item.
std::optional<std::uint16_t> ParseCardKinds(const std::string& list);

}  // namespace ct::cli

// controller-cli's command line: the global options and one sub-command with
// its arguments, checked before anything is opened or sent. The same parser
// takes the lines of a batch, where the link options, --json, --trace and
// batch itself are the command line's alone.
#pragma once

#include "link/FrameCodec.h"
#include "link/Link.h"
#include "modules/G6Module.h"
#include "tests/LineSpeed.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ct::cli {

enum class Command {
    Send,
    Connect,
    SetTime,
    Alarm,
    FactoryReset,
    Reboot,
    Dido,
    Poll,
    SetSpeed,
    ControllerCommand,
    ModuleCommand,
    ControllerId,
    ControllerIdBySerial,
    SetControllerId,
    G6Serial,
    G6Id,
    G6SetId,
    G6CardType,
    G6SetCardType,
    G4Serial,
    G4SetId,
    SetModel,
    Upgrade,
    Ports,
    Batch,
    Discover,
    Fleet,
};

// One sub-command with its arguments, as checked.
struct Invocation {
    Command command = Command::Send;
    // The sub-command as typed, e.g. "g6 serial": the "operation" of its
    // JSON objects.
    std::string name;
    std::string deviceId = "0000";
    link::Framing framing = link::Framing::Crc;
    std::string text;
    int at = 0;
    int alarmNumber = 0;
    std::array<bool, 4> outputs{};
    int cycles = 0;  // 0: until a signal
    tests::LineSpeed speed = tests::LineSpeed::Baud115200;
    int typeIndex = 0;
    std::string moduleId;  // as sent, "0".."8"
    std::string serial;
    std::string newId;  // as typed
    modules::CardTypeChoice cardChoice;
    std::string modelName;
    std::optional<std::string> modelVersion;
    std::string file;  // upgrade: the firmware; batch: the list, "-" standard input
    int kind = 0;
    // upgrade --model: the controller's model, which then is not read.
    std::optional<std::string> upgradeModel;
    bool keepGoing = false;
    // discover --ids FIRST-LAST; -1: no range.
    int firstId = -1;
    int lastId = -1;
    bool probe = false;  // ports --probe
    // fleet: the controllers run at once at most, and the sub-command's words
    // (checked by ParseFleet; `file` is the list).
    int jobs = 16;
    std::vector<std::string> fleetWords;
};

// The options that hold for the whole run.
struct GlobalOptions {
    bool hasLink = false;  // --net or --com given
    link::LinkSettings settings;
    bool json = false;
    bool trace = false;
    bool settingsGiven = false;  // --settings typed, not its default
};

struct ParsedCommandLine {
    // Nothing: see exitStatus (0 after --help was printed, 64 on an error
    // whose message is in `error`).
    std::optional<Invocation> invocation;
    GlobalOptions globals;
    int exitStatus = 0;
    std::string error;
    // The sub-command of an invocation refused after it was recognised.
    std::string operation;
};

// Whether the arguments ask for JSON (--json before any "--"), read without
// parsing them: a usage error is reported in JSON too.
bool WantsJson(const std::vector<std::string>& args);

// The program's arguments after its name. Help goes to standard output.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// One batch line's words; `deviceId` is the --id of the command line, which
// the line's own --id replaces. Nothing and `error` set when the line is no
// sub-command the batch can run.
std::optional<Invocation> ParseBatchLine(const std::vector<std::string>& words, const std::string& deviceId,
                                         std::string& error);

// "FIRST-LAST", two decimal IDs 0-9999, FIRST not above LAST.
bool ParseIdRange(const std::string& text, int& first, int& last);

// Why --net's IP and port cannot be connected to; empty when both can.
std::string NetAddressError(const std::string& ip, const std::string& port);

// Why the invocation's command text cannot go out (longer than one request
// takes); nothing when it fits or the sub-command sends no typed text.
std::optional<std::string> TooLongRefusal(const Invocation& invocation);

// "1,3": the outputs whose boxes count as checked; "" none.
bool ParseOutputs(const std::string& list, std::array<bool, 4>& checked);

// The card kinds by the names the command line gives the page's boxes: A
// (UID(A)), ABlock, 7Byte, 15693, B (UID(B)), BG (GUID(B)). "A,BG" (any
// case; a name given twice counts once) as CardKind bits; "none" and "" are
// none.
// Nothing for an unknown or empty item.
std::optional<std::uint16_t> ParseCardKinds(const std::string& list);
// The names of the kinds whose bits are set, in the order of their bits.
std::string CardKindNames(std::uint16_t kinds);

}  // namespace ct::cli

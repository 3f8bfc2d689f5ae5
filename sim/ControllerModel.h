// What the substitute controller answers: maps one command text to the reply
// text (the bytes between the reply's start byte and its EOT) and applies the
// command's effect on the controller's state. No I/O, no threads, no framing.
//
// Command codes, G6 heads, module letters and reply lengths are those of
// link/ControllerInterface.h: every reply the tool tests by length has exactly
// the length given there. Replies start with the controller's own ID. Short
// acknowledgements are the ID and the two-letter command code (13-byte frames;
// 12 with the ID and the code's first letter when the configuration asks for
// short acknowledgements).
//
// State the commands change: "AA" sets the controller's clock, which "PI"
// then reports advancing with the PC clock; "JF" the alarm; "IB" drops the
// record that the last poll reply carried; "AE001002"/"AE001400" the line
// setting; "AR01" restores the factory state (alarm off, no records, clock
// back on the PC clock; ID, serial number, model, inputs and line stay);
// "AR00" is counted as a reboot, whose silence the service keeps.
//
// Modules: "DR05" heads reach the G6 module of the ID or serial number they
// carry, "DD" + type letter the G4 module of that type and ID; setting an ID
// or the card-type words changes the module so that a later read shows what
// was written. A module that is not there does not answer.
//
// Boot loader: the ID and the enter command of the configured loader switch
// the controller into it; from then on the loader answers (sim/BootLoader.h)
// and the application commands go unanswered until the loader's start
// command. "AS" with a 12-character model (and a version) sets what "DB"
// reports; "AS" alone still reads the serial number.
#pragma once

#include "sim/BootLoader.h"
#include "sim/ControllerSim.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ct::sim {

// The PC's local date and time as the 14 digits yyyymmddhhnnss.
std::string LocalNow();
// Whether `digits` are 14 digits of a real date and time, as
// SetControllerTime takes them.
bool IsDateTime(std::string_view digits);

class ControllerModel {
public:
    using NowFunction = std::function<std::string()>;

    explicit ControllerModel(ControllerConfig config = {}, NowFunction now = LocalNow);

    // The reply text, or nothing when the controller does not answer (unknown
    // command, another ID, a module or serial number it does not have).
    // Only replies in CRC framing, without a spoilt check.
    std::optional<std::string> Answer(std::string_view commandText);
    // Any reply, for a request heard in `heard` framing (Crc or Xor).
    std::optional<Response> Respond(std::string_view commandText, link::Framing heard);

    const ControllerConfig& config() const { return config_; }
    void SetConfig(ControllerConfig config);
    void SetInputs(std::string inputs);
    void QueueRecord(EventRecord record);
    // False, and the line unchanged, when the text is not a line setting.
    bool SetLine(std::string line);

    // What "PI" reports now, 14 digits.
    std::string ControllerTime() const;
    // False, and the clock unchanged, unless 14 digits of a real date and time.
    bool SetControllerTime(std::string_view digits);

    // Whether "AC" is answered whatever ID it carries (the default): right
    // for a controller alone on its line, which the tool finds that way; with
    // others beside it only the one addressed may answer.
    void SetConnectAnyId(bool any) { connectAnyId_ = any; }

    int reboots() const { return reboots_; }
    int factoryResets() const { return factoryResets_; }
    const BootLoader& loader() const { return loader_; }

private:
    std::optional<std::string> AnswerApplication(std::string_view commandText);
    std::optional<std::string> AnswerAddressed(std::string_view code);
    std::optional<std::string> AnswerSerialLookup(std::string_view params);
    std::optional<std::string> AnswerG4(std::string_view rest);
    std::optional<std::string> AnswerG6(std::string_view rest);
    std::string Ack(std::string_view code, bool allowShort) const;

    ControllerConfig config_;
    NowFunction now_;
    // Seconds the controller's clock runs ahead of the PC clock; nothing
    // while it shows the PC clock.
    std::optional<long long> clockOffset_;
    // The last poll reply carried the first record and no "IB" took it yet.
    bool recordShown_ = false;
    EventRecord shownRecord_;
    int reboots_ = 0;
    int factoryResets_ = 0;
    bool connectAnyId_ = true;
    BootLoader loader_;
};

}  // namespace ct::sim

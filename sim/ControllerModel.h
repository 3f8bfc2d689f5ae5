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
#pragma once

#include "sim/ControllerSim.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ct::sim {

// The PC's local date and time as the 14 digits yyyymmddhhnnss.
std::string LocalNow();

class ControllerModel {
public:
    using NowFunction = std::function<std::string()>;

    explicit ControllerModel(ControllerConfig config = {}, NowFunction now = LocalNow);

    // The reply text, or nothing when the controller does not answer (unknown
    // command, another ID, a module or serial number it does not have).
    std::optional<std::string> Answer(std::string_view commandText);

    const ControllerConfig& config() const { return config_; }
    void SetConfig(ControllerConfig config);

private:
    std::optional<std::string> AnswerAddressed(std::string_view code);
    std::optional<std::string> AnswerSerialLookup(std::string_view params);
    std::optional<std::string> AnswerG4(std::string_view rest);
    std::optional<std::string> AnswerG6(std::string_view rest);
    std::string Ack(std::string_view code, bool allowShort) const;

    ControllerConfig config_;
    NowFunction now_;
};

}  // namespace ct::sim

// The values that describe the substitute's line, one field at a time, under
// the names its command line and its line file (sim/SimConfig.h) share: a
// table of named fields for each thing described. The command-line forms
// (sim/LineOptions.h, sim/FaultPlan.h) split into these fields; the line file
// gives them as keys. Either way a value is held to the same rules.
#pragma once

#include "sim/ControllerSim.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ct::sim {

template <typename Target>
struct Field {
    std::string_view name;
    // Nothing when `value` is set into `target`; otherwise what the field
    // wants ("want 4 printable characters"), and `target` unchanged.
    std::optional<std::string> (*set)(Target& target, const std::string& value);
};

template <typename Target>
using FieldTable = std::vector<Field<Target>>;

// id (4 printable characters), serial (8), model (1 to 12), version (1 to 4),
// inputs (8), alarm (0 to 6), line (115200,n,8,1 and the like),
// reboot-silence-ms (0 to 3600000), short-ack (yes or no), loader (512, 256,
// 64 or none)
const FieldTable<ControllerConfig>& ControllerFields();
// id (0 to 8), serial (8 printable characters), card-type, delay and mode
// (1 to 4 hex digits each)
const FieldTable<G6Module>& G6Fields();
// type (one of A B H I J E), id (one digit), serial (8 printable characters)
const FieldTable<G4Module>& G4Fields();
// tag (1 printable character), time (14 digits), code (4), value (5)
const FieldTable<EventRecord>& RecordFields();
// kind (fail-program, fail-verify, lower-verify, silent-from), block (0 or
// more), times (1 or more, or -1 for every attempt)
const FieldTable<LoaderFault>& LoaderFaultFields();
// kind (no-answer, wrong-crc, lower-crc, extra-bytes, nul-inside,
// noise-before, split-bytes, delay, wrong-length), command (printable
// characters), times (1 or more, or -1 for every reply), bytes (0 to 4096),
// gap-ms and delay-ms (0 to 3600000)
const FieldTable<Fault>& FaultFields();

// A fault as both forms start one, before its fields: every reply, 3 bytes,
// a 50 ms gap, a 1500 ms delay.
Fault FaultFieldDefaults();
// The field that holds what the kind takes ("bytes", "gap-ms" or
// "delay-ms"); empty for a kind that takes nothing.
std::string_view FaultArgumentField(FaultKind kind);

template <typename Target>
const Field<Target>* FindField(const FieldTable<Target>& table, std::string_view name)
{
    for (const auto& field : table)
        if (field.name == name)
            return &field;
    return nullptr;
}

// Sets the field `name` of `table` into `target`; false when the value is
// refused.
template <typename Target>
bool SetField(const FieldTable<Target>& table, std::string_view name, Target& target, const std::string& value)
{
    const Field<Target>* field = FindField(table, name);
    return field && !field->set(target, value);
}

// `text` cut at every `separator`: n separators give n + 1 parts.
std::vector<std::string> SplitFields(const std::string& text, char separator);

}  // namespace ct::sim

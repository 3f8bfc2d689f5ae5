// The line file of `controller-sim --config FILE`: the controllers on the
// substitute's line, the modules, records and loader faults behind each, and
// the faults on the line, in one text file written by hand:
//
//   # A comment: a whole line, or after a blank at the end of one.
//   [controller]        a controller; they get to answer in file order
//   id = 0001
//   serial = 16030001
//   [g6]                a G6 module of the controller above
//   id = 1
//   serial = 6A000001
//   [fault]             a fault on the line, wherever it stands
//   kind = delay
//   delay-ms = 2000
//
// Sections: controller, g6, g4, record, loader-fault (each of these four of
// the controller above it), fault. A section's keys are the fields of its
// table in sim/LineFields.h, and a controller's clock (14 digits of a real
// date and time; the PC clock without it); each key at most once a section.
// Required: a controller's id and serial; a G6 module's id and serial; every
// key of a G4 module and of a record; a loader fault's kind and block; a
// fault's kind. A controller has the modules given under it and no others. A
// fault's bytes, gap-ms or delay-ms goes only with the kind that takes it.
//
// The text: UTF-8 of at most MaxConfigBytes, lines ending in LF or CR LF, a
// byte-order mark in front skipped, no control characters but tabs. Whatever
// does not fit is refused with the line and the reason.
#pragma once

#include "sim/ControllerSim.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ct::sim {

inline constexpr std::size_t MaxConfigBytes = 1024 * 1024;
inline constexpr std::size_t MaxControllers = 64;

struct SimConfig {
    std::vector<ControllerConfig> controllers;  // 1 to MaxControllers
    std::vector<std::string> clocks;            // one per controller; empty: the PC clock
    std::vector<Fault> faults;                  // in file order
};

struct SimConfigResult {
    std::optional<SimConfig> config;  // nothing when the text is refused
    int line = 0;                     // the line refused, from 1; 0: the text as a whole
    std::string reason;
};

SimConfigResult ParseSimConfig(std::string_view text);

// The file's bytes, no more than one past MaxConfigBytes (enough for the
// parser to refuse the size); nothing, `error` telling why, when it cannot
// be read.
std::optional<std::string> ReadSimConfigFile(const std::string& path, std::string& error);

// Sets the clocks of `sim`, built on config.controllers, and injects the
// faults.
void ApplySimConfig(ControllerSim& sim, const SimConfig& config);

}  // namespace ct::sim

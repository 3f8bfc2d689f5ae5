// controller-cli fleet: one sub-command on every controller of a list, the
// controllers on different links at the same time.
//
// A list line names one controller: --net IP:PORT or --com PORT, optionally
// --settings SETTINGS (with --com) and --id ID, each also as --name=value;
// words, quotes and # comments as in a batch list (Batch.h). The whole list
// and the sub-command are checked before anything is sent.
//
// Lines on one link (one IP:PORT, one serial port) form a group that one
// worker thread runs in line order; up to `jobs` groups run at once. Each
// controller gets its own Session (link, clock, pump) and its own Output,
// which keeps its result; the result goes out whole under one lock as soon as
// the controller is done.
#pragma once

#include "Batch.h"
#include "CommandLine.h"
#include "SubCommands.h"

#include "link/Link.h"

#include <optional>
#include <string>
#include <vector>

namespace ct::cli {

struct FleetLine {
    int number = 0;        // 1-based line number in the list
    std::string endpoint;  // IP:PORT or the port as the line gives it
    std::string linkKey;   // the same link whatever the spelling
    link::LinkSettings settings;
    Invocation invocation;
};

struct ParsedFleet {
    std::vector<FleetLine> lines;
    std::vector<BatchError> errors;  // every line that cannot be used
    // Why the sub-command itself cannot run; empty when it can.
    std::string commandError;
};

// `fleet`: the fleet's own invocation (its fleetWords the sub-command, its
// deviceId the default ID).
ParsedFleet ParseFleet(const std::string& text, const Invocation& fleet);

// Runs every line; returns the first failed line's exit status (in line
// order), ExitStopped when a stop left lines unrun and none failed, else 0.
// Ends with a summary on standard error (and a summary object with JSON).
// A context with a clock or pump of its own (a test's) runs one controller
// at a time: those are not shared between threads.
int RunFleet(const std::vector<FleetLine>& lines, int jobs, Context& context);

}  // namespace ct::cli

// controller-cli's sub-commands after their arguments were checked: each
// runs one operation of the window against the link settings given, puts
// what the window would show of its result through the Output and returns
// the exit status: 0 "Command ok." (also a continuous test stopped by a
// cycle count or a signal), 1 "Command error!" (a continuous test: no cycle
// got a valid answer), 2 "Connect device error!", 64 a command text that does
// not fit one request (nothing opened or sent), 130 a one-shot operation
// abandoned on a stop request, its link closed.
#pragma once

#include "CommandLine.h"
#include "Output.h"

#include "link/Link.h"

#include <optional>
#include <string>

namespace ct::link {
class IClock;
class IEventPump;
class ITransportFactory;
}  // namespace ct::link

namespace ct::cli {

struct Context {
    // The link every operation opens. An acknowledged set-speed on a serial
    // port changes its line setting for the operations after it.
    link::LinkSettings settings;
    Output& out;
    link::ILinkTrace* trace = nullptr;
    int line = 0;  // the batch line, 0 outside a batch
    // What the operations run on; nullptr: the operating system's
    // transports and clock, and waits on the port alone. Tests hand in fakes.
    link::ITransportFactory* transports = nullptr;
    link::IClock* clock = nullptr;
    link::IEventPump* pump = nullptr;
    // --settings typed: discover tries that line setting alone.
    bool settingsGiven = false;
};

// Runs one invocation (not batch, which RunBatch runs line by line).
//
// What each prints (plain: a line each; JSON: fields of the result object):
//   send, command, module     reply (the frame escaped, start byte through CR)
//   connect                   the version and serial panels (once the
//                             controller answered); JSON: id, serial, model,
//                             version
//   set-time                  time (the 14 digits sent)
//   dido                      inputs of each accepted reply (JSON: an object a
//                             cycle with "cycle"); at the end the cycles run
//                             and those answered (plain: on standard error)
//   poll                      record before its acknowledgement (JSON: an
//                             object a record with "record" counting, and the
//                             record's fields); the end as dido's, and records
//   set-speed                 settings (those in use from now on)
//   controller-id             id, serial; with --by-sn: id
//   g6 serial, g4 serial      serial
//   g6 id                     id
//   g6 card-type, set-card-type  types=, delay=, green=
//   upgrade                   blocks=
int Execute(const Invocation& invocation, Context& context);

}  // namespace ct::cli

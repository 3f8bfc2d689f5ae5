// controller-cli's sub-commands after their arguments were checked: each
// runs one operation of the window against the link settings given, puts
// what the window would show of its result through the Output and returns
// the exit status: 0 "Command ok." (also a continuous test stopped by a
// cycle count or a signal), 1 "Command error!", 2 "Connect device error!",
// 64 a command text that does not fit one request (nothing opened or sent).
#pragma once

#include "CommandLine.h"
#include "Output.h"

#include "link/Link.h"

namespace ct::cli {

struct Context {
    // The link every operation opens. An acknowledged set-speed on a serial
    // port changes its line setting for the operations after it.
    link::LinkSettings settings;
    Output& out;
    link::ILinkTrace* trace = nullptr;
    int line = 0;  // the batch line, 0 outside a batch
    // What every operation's link runs on: the real ones from main, fakes
    // in tests.
    link::ITransportFactory& transports;
    link::IClock& clock;
    link::IEventPump& pump;
};

// Runs one invocation (not batch, which RunBatch runs line by line).
//
// What each prints (plain: a line each; JSON: fields of the result object):
//   send, command, module     reply (the frame escaped, start byte through CR)
//   connect                   version, serial (once the controller answered)
//   set-time                  time (the 14 digits sent)
//   dido                      inputs of each accepted reply (JSON: an object a
//                             cycle with "cycle"); cycles at the end (JSON)
//   poll                      record before its acknowledgement (JSON: an
//                             object a record with "record" counting); records
//   set-speed                 settings (those in use from now on)
//   controller-id             id, serial; with --by-sn: id
//   g6 serial, g4 serial      serial
//   g6 id                     id
//   g6 card-type, set-card-type  types=, delay=, green=
//   upgrade                   blocks=
int Execute(const Invocation& invocation, Context& context);

}  // namespace ct::cli

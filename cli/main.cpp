// controller-cli: the controller operations that mean something without a
// window, one sub-command each, over a serial port or TCP.
//
//   send TEXT               one request as typed (any framing), reply escaped
//   connect [--at N]        Connect at ID N; prints the version and serial panels
//   set-time                writes the PC's local time; prints the 14 digits sent
//   alarm N                 alarm test, N 0 (alarm off) to 6
//   factory-reset, reboot
//   dido [--outputs LIST] [--cycles N]
//                           DIDO test; one line of eight inputs per "DG0" reply
//   poll [--cycles N]       event polling; one line per record, before its "IB"
//   set-speed 19200|115200  switches the controller's line; prints the settings
//                           the tool uses from now on
//   command TEXT            the console's controller command (DeviceID + TEXT)
//   module TYPE ID TEXT     the console's module command
//   controller-id [--by-sn SN]
//                           the controller's ID and serial number, or the ID
//                           of the controller with serial number SN
//   set-controller-id SN NEWID
//   g6 serial ID | id SN | set-id SN NEWID | card-type ID
//   g6 set-card-type ID [--types LIST] [--delay N] [--green] [--reset]
//                           G6 reader modules; card types as name=value lines
//   g4 serial TYPE ID | set-id TYPE SN NEWID
//   set-model NAME [--version VVVV]
//                           writes the model name (12 characters) and version
//   upgrade FILE --kind N   firmware upgrade with the loader of kind N; the
//                           progress on standard error, "blocks=N" at the end
//   ports                   the serial ports of this machine
//   batch FILE|- [--keep-going]
//                           the sub-commands of a list, one a line
//   fleet [--jobs N] FILE SUB-COMMAND [ARGS]
//                           SUB-COMMAND on every controller of a list
//
// --json prints one JSON object per result, --trace the frames on standard
// error.
//
// The global options --net or --com (with --settings) choose the link;
// --id is the DeviceID that prefixes every command text but send's,
// connect's and the two serial-number commands of the controller ID (those
// go to "0000"). dido and poll run until their cycle count, a signal
// (SIGINT, SIGTERM, SIGHUP, SIGQUIT) or a write error on standard output, and
// always end with the window's stop; any other sub-command closes its link on
// such a signal and ends.
//
// Exit status: 0 "Command ok." (a continuous test stopped by a signal too);
// 1 "Command error!" (dido, poll: no cycle answered); 2 "Connect device
// error!"; 64 bad arguments or a command text longer than one request takes,
// with nothing opened or sent; 74 standard output could not be written; 130
// stopped by a signal (a batch before its last line).
#include "Batch.h"
#include "CommandLine.h"
#include "Fleet.h"
#include "FrameTrace.h"
#include "Output.h"
#include "StopSignal.h"
#include "SubCommands.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// Each line of a batch or fleet list that cannot be taken, then the usage
// error that nothing was sent.
int ListErrors(const ct::cli::Invocation& invocation, const std::vector<ct::cli::BatchError>& lines,
               const char* verb, bool json)
{
    using namespace ct::cli;
    const std::string name = invocation.file == "-" ? "<stdin>" : invocation.file;
    std::vector<std::string> errors;
    for (const BatchError& e : lines) {
        errors.push_back(name + ":" + std::to_string(e.number) + ": " + e.message);
        UsageError(errors.back());
    }
    return UsageError("nothing was sent: " + std::to_string(errors.size()) + " of the lines cannot be " + verb,
                      json, invocation.name, errors);
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace ct::cli;
    // The trace counts from here.
    const FrameTrace::Clock::time_point start = FrameTrace::Clock::now();

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedCommandLine parsed = ParseCommandLine(args);
    // --json holds for a usage error too, wherever it stands.
    const bool json = parsed.invocation ? parsed.globals.json : WantsJson(args);
    if (!parsed.invocation) {
        if (parsed.exitStatus == 0)
            return 0;  // --help
        return UsageError(parsed.error, json, parsed.operation);
    }
    const Invocation& invocation = *parsed.invocation;
    // From here on a signal or a lost standard output only asks for a stop.
    InstallStopHandlers();

    std::vector<BatchLine> batch;
    if (invocation.command == Command::Batch) {
        std::string text;
        std::string error;
        if (!ReadBatchFile(invocation.file, text, error))
            return UsageError(error, json, invocation.name);
        ParsedBatch list = ParseBatch(text, invocation.deviceId);
        if (!list.errors.empty())
            return ListErrors(invocation, list.errors, "run", json);
        batch = std::move(list.lines);
    }
    std::vector<FleetLine> fleet;
    if (invocation.command == Command::Fleet) {
        if (parsed.globals.trace)
            return UsageError("--trace follows one link: not with fleet", json, invocation.name);
        std::string text;
        std::string error;
        if (!ReadBatchFile(invocation.file, text, error))
            return UsageError(error, json, invocation.name);
        ParsedFleet list = ParseFleet(text, invocation);
        if (!list.commandError.empty())
            return UsageError(list.commandError, json, invocation.name);
        if (!list.errors.empty())
            return ListErrors(invocation, list.errors, "used", json);
        fleet = std::move(list.lines);
    }

    Output out(parsed.globals.json);
    std::unique_ptr<FrameTrace> trace;
    if (parsed.globals.trace)
        trace = std::make_unique<FrameTrace>(start);
    Context context{parsed.globals.settings, out, trace.get()};
    context.settingsGiven = parsed.globals.settingsGiven;
    const int status = invocation.command == Command::Batch   ? RunBatch(batch, invocation.keepGoing, context)
                       : invocation.command == Command::Fleet ? RunFleet(fleet, invocation.jobs, context)
                                                              : Execute(invocation, context);
    if (out.outputError().empty())
        return status;
    UsageError("standard output: " + out.outputError());
    return ExitOutputError;
}

// How controller-cli ends when it is told to or cannot go on: a signal that
// would otherwise end the program (SIGINT, SIGTERM, SIGHUP, SIGQUIT) or a
// write error on standard output (SIGPIPE is ignored, so a closed pipe is
// one) only requests a stop; SIGKILL alone ends it on the spot. A signal that
// was ignored when the program started (nohup) stays ignored.
//
// A continuous test reads the request after every cycle and ends the way its
// button ends it ("JD" for DIDO), with the link it holds. A one-shot
// operation, and a continuous test still opening its link, is abandoned:
// StopPump throws OperationStopped from its next wait, the stack unwinds
// through the link, whose transport closes on its way (a serial port gives
// its exclusive hold back), and the sub-command exits with 130.
#pragma once

#include "link/EventPump.h"

#include <functional>

namespace ct::cli {

void InstallStopHandlers();
bool StopRequested();
// A stop for a reason of the program's own (a write error on standard
// output).
void RequestStop();
// The signal that asked for the stop; 0 for none or a write error.
int StopSignalNumber();
// "SIGINT", ...; "a write error" for 0.
const char* StopCause();
// Forgets a request, for a program that runs sub-commands in-process.
void ClearStopRequest();

// Thrown by StopPump to abandon an operation.
struct OperationStopped {};

// The pump of controller-cli's operations. Its waits end as soon as a stop is
// requested, also when the link waits on nothing (a pause); then, while
// `abandon` says so, it throws OperationStopped.
class StopPump final : public link::IEventPump {
public:
    // inner: the pump that runs the waits (a test's); nullptr blocks on the
    // source and the stop request alone.
    StopPump(link::IEventPump* inner, std::function<bool()> abandon)
        : inner_(inner), abandon_(std::move(abandon))
    {
    }

    void ProcessEvents() override;
    bool Wait(const link::WaitSource& source, int timeoutMs) override;

private:
    void ThrowIfAbandoned() const;

    link::IEventPump* inner_;
    std::function<bool()> abandon_;
};

}  // namespace ct::cli

// The stop request of controller-cli's continuous sub-commands: SIGINT and
// SIGTERM only set a flag, which the running test reads after every cycle.
// The link's waits restart after the interrupted system call with the time
// that is left, so a signal neither cuts a transaction short nor ends a
// pause early; the test then ends the way its button would end it.
#pragma once

namespace ct::cli {

// Replaces the default (ending the process at once) for SIGINT and SIGTERM.
void InstallStopHandlers();
bool StopRequested();

}  // namespace ct::cli

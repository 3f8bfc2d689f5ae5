#include "Batch.h"

#include "StopSignal.h"


#include <cstdio>

#include <unistd.h>

namespace ct::cli {

const char* OutcomeOfStatus(int status)
{
    return status == ExitOk             ? "ok"
           : status == ExitCommandError ? "command-error"
           : status == ExitConnectError ? "connect-error"
           : status == ExitStopped      ? "stopped"
                                        : "refused";
}

int RunBatch(const std::vector<BatchLine>& lines, bool keepGoing, Context& context)
{
    // A stop request ends the running line the way it ends a continuous
    // test or abandons a one-shot one, and the batch before its next line.
    int ok = 0;
    int failed = 0;
    int firstStatus = ExitOk;
    int firstFailedLine = 0;
    std::size_t ran = 0;
    bool stopped = false;
    for (const BatchLine& line : lines) {
        if (StopRequested()) {
            stopped = true;
            break;
        }
        context.line = line.number;
        const int status = Execute(line.invocation, context);
        ++ran;
        if (status == ExitOk) {
            ++ok;
            continue;
        }
        ++failed;
        if (firstStatus == ExitOk) {
            firstStatus = status;
            firstFailedLine = line.number;
        }
        if (!keepGoing)
            break;
    }
    const int notRun = static_cast<int>(lines.size() - ran);
    if (notRun > 0 && StopRequested())
        stopped = true;
    context.line = 0;

    std::string summary = "batch: " + std::to_string(lines.size()) + " lines, " + std::to_string(ok) + " ok, "
                          + std::to_string(failed) + " failed";
    if (notRun > 0)
        summary += ", " + std::to_string(notRun) + " not run";
    if (firstFailedLine > 0)
        summary += "; first failure: line " + std::to_string(firstFailedLine) + ", exit status "
                   + std::to_string(firstStatus);
    if (stopped)
        summary += std::string("; stopped by ") + StopCause();

    const int status = firstStatus != ExitOk ? firstStatus : stopped ? ExitStopped : ExitOk;
    if (context.out.json()) {
        context.out.Begin("batch");
        JsonObject object;
        object["operation"] = "batch";
        object["lines"] = static_cast<int>(lines.size());
        object["ok"] = ok;
        object["failed"] = failed;
        object["not-run"] = notRun;
        if (firstFailedLine > 0)
            object["first-failed-line"] = firstFailedLine;
        object["stopped"] = stopped;
        object["outcome"] = OutcomeOfStatus(status);
        object["exit-status"] = status;
        context.out.Object(object);
    }
    std::fflush(stderr);
    WriteAll(STDERR_FILENO, summary + "\n");
    return status;
}

}  // namespace ct::cli

// controller-cli batch: a list of sub-commands, one a line, run in order over
// the link of the command line.
//
// A line holds a sub-command and its arguments as on the command line,
// optionally preceded by --id ID; words are separated by blanks and tabs,
// '...' quotes literally, "..." quotes with \" and \\ as escapes, a
// backslash outside quotes takes the next character as it is, and # at the
// start of a word begins a comment to the end of the line. Blank and comment
// lines are skipped, and so is a UTF-8 byte-order mark at the start. The
// whole list is parsed, and every command text measured against what one
// request takes, before anything is sent.
#pragma once

#include "CommandLine.h"
#include "SubCommands.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ct::cli {

// A batch list is read whole; larger ones are refused.
inline constexpr std::size_t MaxBatchBytes = 4 * 1024 * 1024;

// A line's words; nothing and `error` set for an open quote, a backslash at
// the end or a NUL byte.
std::optional<std::vector<std::string>> SplitWords(const std::string& line, std::string& error);

struct BatchLine {
    int number = 0;  // 1-based line number in the list
    Invocation invocation;
};

struct BatchError {
    int number = 0;
    std::string message;
};

// Hands `take` the number and words of every line of a list (a batch or a
// fleet file) that has words: a UTF-8 byte-order mark at the start is
// skipped, and blank and comment lines pass; a line whose words cannot be
// split goes to `errors` instead.
void ForEachListLine(const std::string& text, std::vector<BatchError>& errors,
                     const std::function<void(int number, const std::vector<std::string>& words)>& take);

struct ParsedBatch {
    std::vector<BatchLine> lines;
    std::vector<BatchError> errors;  // every line that cannot be run
};

// Parses a whole list. `deviceId`: the command line's --id.
ParsedBatch ParseBatch(const std::string& text, const std::string& deviceId);

// Reads the list from the file or, for "-", standard input; false and
// `error` set when it cannot be read or is too large.
bool ReadBatchFile(const std::string& path, std::string& text, std::string& error);

// The "outcome" of a summary object for its exit status.
const char* OutcomeOfStatus(int status);

// Runs the lines in order; stops after the first failed line unless
// `keepGoing`, and before the next line once a stop was requested
// (StopSignal.h). Ends with a summary line on standard error (and a summary
// object with JSON).
// Returns 0 when every line ran and succeeded, the first failed line's exit
// status, or ExitStopped when a signal cut the list short with no failure
// before.
int RunBatch(const std::vector<BatchLine>& lines, bool keepGoing, Context& context);

}  // namespace ct::cli

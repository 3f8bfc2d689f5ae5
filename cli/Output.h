// What controller-cli prints: the results of its operations on standard
// output, plain or as JSON, and the closing message on standard error.
//
// Plain: every field is a line of its own the moment it is known (a record
// is out before its acknowledgement), as its value or as "key=value".
// JSON (--json): one object per result, written whole with one write once it
// is complete, so that a reader never sees half an object, also when a
// signal stops a continuous operation. A continuous operation writes one
// object per cycle or record as it comes and its result object at the end.
// Every object names its "operation"; a result object also has its
// "outcome" ("ok", "command-error", "connect-error", "refused", "stopped",
// "usage-error") and, inside a
// batch, every object has the batch "line". Values are the plain output's
// texts (bytes escaped as send prints them) or numbers; keys come in the
// order of the plain output.
//
// Inside a fleet each controller's Output keeps what it would write
// (Keep): the plain lines then start with "line N ENDPOINT: ", every JSON
// object also names the "endpoint", and the caller prints the kept text
// whole once the controller is done.
#pragma once

#include "tests/Operation.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ct::cli {

// A JSON object whose keys keep the order they were inserted in.
using JsonObject = nlohmann::ordered_json;

inline constexpr int ExitOk = 0;
inline constexpr int ExitCommandError = 1;
inline constexpr int ExitConnectError = 2;
inline constexpr int ExitUsage = 64;
// Stopped by a signal: a one-shot operation abandoned, a batch before its
// last line.
inline constexpr int ExitStopped = 130;

// A stop on standard output that could not be written (a closed pipe, a
// full disk): the results are lost, whatever the operation's outcome.
inline constexpr int ExitOutputError = 74;

enum class FieldStyle {
    Value,      // the plain line is the value alone
    KeyValue,   // the plain line is "key=value"
    PlainOnly,  // a plain line of the value alone, no JSON field
    JsonOnly,   // a JSON field, no plain line
};

// Further fields of a JSON item, in order.
using JsonFields = std::vector<std::pair<const char*, std::string>>;

class Output {
public:
    explicit Output(bool json) : json_(json) {}

    bool json() const { return json_; }

    // Starts the result of one operation; `line` > 0 inside a batch.
    void Begin(const std::string& operation, int line = 0);

    // A field of the result. Text is escaped; numbers stay numbers in JSON.
    void Field(const char* key, const std::string& bytes, FieldStyle style = FieldStyle::Value);
    void Field(const char* key, long long number, FieldStyle style = FieldStyle::KeyValue);

    // One cycle's or record's value of a continuous operation, numbered from
    // 1 under `counter` in JSON, where `more` follows it.
    void Item(const char* counter, const char* key, const std::string& bytes, const JsonFields& more = {});

    // Ends the result: the closing message on standard error ("Command
    // ok." ..., inside a batch after "line N: "), the result object in
    // JSON. Returns the exit status.
    int Finish(tests::Outcome outcome);
    // Ends the result as refused (exit 64, nothing opened or sent then).
    int Refuse(const std::string& message);
    // Ends the result of a link that could not be opened or a reply that was
    // not there, for the operations that are no window operation (send).
    int FinishStatus(int exitStatus);
    // Ends the result with the given status, outcome and closing message.
    int End(int exitStatus, const char* outcome, const std::string& message);

    // From here on nothing is written: standard output's and standard
    // error's text is kept for TakeOut and TakeErr, and names `endpoint`.
    void Keep(const std::string& endpoint);
    std::string TakeOut() { return std::exchange(keptOut_, {}); }
    std::string TakeErr() { return std::exchange(keptErr_, {}); }

    // A JSON object of its own (the batch summary, a serial port).
    void Object(JsonObject object);
    int itemsShown() const { return items_; }
    // Text on standard output as it stands (a fleet's kept results).
    void Pass(const std::string& text)
    {
        if (!text.empty())
            WriteOut(text);
    }
    // A line on standard error (kept, and naming the controller, in a fleet).
    void Note(const std::string& text);
    // A plain line of text as it stands.
    void Line(const std::string& text);
    // The system's reason once a write to standard output failed (the first
    // failure also requests a stop); empty while all went out.
    const std::string& outputError() const { return outputError_; }

private:
    void Write(const JsonObject& object);
    void WriteOut(const std::string& text);
    void WriteErr(const std::string& text);
    // "line N: ", "line N ENDPOINT: " or nothing.
    std::string LinePrefix() const;

    bool json_;
    bool keep_ = false;
    std::string endpoint_;
    std::string keptOut_;
    std::string keptErr_;
    std::string outputError_;
    int line_ = 0;
    int items_ = 0;
    JsonObject result_ = JsonObject::object();
};

// Writes every byte of `text` to the file descriptor, through signals and
// short writes. False when the descriptor refuses (a closed pipe).
bool WriteAll(int fd, const std::string& text);

// "controller-cli: message" on standard error; returns ExitUsage.
int UsageError(const std::string& message);
// The same, with JSON also one object on standard output: the operation (""
// when none was recognised), outcome "usage-error", the message and, when
// given, the errors it sums up.
int UsageError(const std::string& message, bool json, const std::string& operation,
               const std::vector<std::string>& errors = {});

}  // namespace ct::cli

#include "Output.h"

#include "StopSignal.h"

#include "link/FrameCodec.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace ct::cli {

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int UsageError(const std::string& message)
{
    std::fflush(stdout);
    WriteAll(STDERR_FILENO, "controller-cli: " + message + "\n");
    return ExitUsage;
}

void Output::Begin(const std::string& operation, int line)
{
    line_ = line;
    items_ = 0;
    result_ = JsonObject::object();
    result_["operation"] = operation;
    if (keep_)
        result_["endpoint"] = endpoint_;
    if (line_ > 0)
        result_["line"] = line_;
}

void Output::Keep(const std::string& endpoint)
{
    keep_ = true;
    endpoint_ = endpoint;
}

std::string Output::LinePrefix() const
{
    if (line_ <= 0)
        return {};
    return "line " + std::to_string(line_) + (keep_ ? " " + endpoint_ : std::string()) + ": ";
}

void Output::Note(const std::string& text)
{
    std::fflush(stderr);
    WriteErr((keep_ ? LinePrefix() : std::string()) + text + "\n");
}

void Output::WriteErr(const std::string& text)
{
    if (keep_)
        keptErr_ += text;
    else
        WriteAll(STDERR_FILENO, text);
}

int UsageError(const std::string& message, bool json, const std::string& operation,
               const std::vector<std::string>& errors)
{
    if (json) {
        JsonObject object;
        object["operation"] = operation;
        object["outcome"] = "usage-error";
        object["error"] = message;
        if (!errors.empty())
            object["errors"] = errors;
        WriteAll(STDOUT_FILENO, object.dump(-1, ' ', false, JsonObject::error_handler_t::replace) + "\n");
    }
    return UsageError(message);
}

void Output::WriteOut(const std::string& text)
{
    if (keep_) {
        keptOut_ += text;
        return;
    }
    if (WriteAll(STDOUT_FILENO, text) || !outputError_.empty())
        return;
    outputError_ = std::strerror(errno);
    // Nobody reads the results any more: a continuous test ends, a batch
    // stops before its next line.
    RequestStop();
}

void Output::Line(const std::string& text)
{
    // Results of several controllers share standard output: each line says
    // whose it is.
    WriteOut((keep_ && !json_ ? LinePrefix() : std::string()) + text + "\n");
}

void Output::Write(const JsonObject& object)
{
    // Texts are escaped to ASCII before they get here; a stray byte of
    // another text is replaced rather than thrown over.
    const std::string text = object.dump(-1, ' ', false, JsonObject::error_handler_t::replace);
    if (keep_) {
        WriteOut(text + "\n");
        return;
    }
    // A signal whose default action would end the program (where no stop
    // handler was installed) waits until the object is out whole: a long
    // reply takes more than one write on a pipe.
#ifdef _WIN32
    // Windows has no signal mask: Ctrl+C runs its handler on a thread of its
    // own while this one writes on.
    WriteOut(text + "\n");
#else
    sigset_t stop;
    sigset_t before;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, &before);
    WriteOut(text + "\n");
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
#endif
}

void Output::Field(const char* key, const std::string& bytes, FieldStyle style)
{
    if (json_ ? style == FieldStyle::PlainOnly : style == FieldStyle::JsonOnly)
        return;
    // No control byte from the line reaches the terminal or the reader.
    const std::string text = link::EscapeBytes(bytes);
    if (json_)
        result_[key] = text;
    else
        Line(style == FieldStyle::KeyValue ? std::string(key) + "=" + text : text);
}

void Output::Field(const char* key, long long number, FieldStyle style)
{
    if (json_ ? style == FieldStyle::PlainOnly : style == FieldStyle::JsonOnly)
        return;
    if (json_)
        result_[key] = number;
    else
        Line(style == FieldStyle::KeyValue ? std::string(key) + "=" + std::to_string(number) : std::to_string(number));
}

void Output::Item(const char* counter, const char* key, const std::string& bytes, const JsonFields& more)
{
    ++items_;
    const std::string text = link::EscapeBytes(bytes);
    if (!json_) {
        Line(text);
        return;
    }
    JsonObject item;
    item["operation"] = result_["operation"];
    if (keep_)
        item["endpoint"] = endpoint_;
    if (line_ > 0)
        item["line"] = line_;
    item[counter] = items_;
    item[key] = text;
    for (const auto& [name, value] : more)
        item[name] = link::EscapeBytes(value);
    Write(item);
}

void Output::Object(JsonObject object)
{
    if (keep_ && !object.contains("endpoint"))
        object["endpoint"] = endpoint_;
    if (line_ > 0 && !object.contains("line"))
        object["line"] = line_;
    Write(object);
}

int Output::End(int exitStatus, const char* outcome, const std::string& message)
{
    if (json_) {
        result_["outcome"] = outcome;
        Write(result_);
    }
    // Inside a batch the message says which line it closes.
    WriteErr(LinePrefix() + message + "\n");
    return exitStatus;
}

int Output::Finish(tests::Outcome outcome)
{
    switch (outcome) {
    case tests::Outcome::CommandOk:
    case tests::Outcome::StopAsked:
        return End(ExitOk, "ok", "Command ok.");
    case tests::Outcome::CommandError:
        return End(ExitCommandError, "command-error", "Command error!");
    case tests::Outcome::ConnectError:
        return End(ExitConnectError, "connect-error", "Connect device error!");
    case tests::Outcome::TooLong:
        break;
    }
    return Refuse("the command text is longer than one request takes");
}

int Output::FinishStatus(int exitStatus)
{
    switch (exitStatus) {
    case ExitOk:
        // send prints its reply and no closing message.
        if (json_) {
            result_["outcome"] = "ok";
            Write(result_);
        }
        return ExitOk;
    case ExitConnectError:
        return Finish(tests::Outcome::ConnectError);
    default:
        return Finish(tests::Outcome::CommandError);
    }
}

int Output::Refuse(const std::string& message)
{
    if (json_) {
        result_["outcome"] = "refused";
        result_["error"] = message;
        Write(result_);
    }
    if (keep_) {
        WriteErr("controller-cli: " + LinePrefix() + message + "\n");
        return ExitUsage;
    }
    return UsageError(LinePrefix() + message);
}

}  // namespace ct::cli

#include "Batch.h"

#include "StopSignal.h"

#include <QJsonObject>

#include <cstdio>

#include <unistd.h>

namespace ct::cli {

namespace {

// Words that only the command line may give: the batch runs over its link.
const char* const kCommandLineOnly[] = {"--net", "--com", "--settings", "--json", "--trace", "batch"};

std::string CommandLineOnly(const std::vector<std::string>& words)
{
    for (const std::string& word : words) {
        for (const char* only : kCommandLineOnly) {
            const std::string name(only);
            if (word == name || word.rfind(name + "=", 0) == 0)
                return name;
        }
    }
    return {};
}

}  // namespace

std::optional<std::vector<std::string>> SplitWords(const std::string& line, std::string& error)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '\0') {
            error = "a NUL byte";
            return std::nullopt;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '#' && !inWord) {
            break;
        } else if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                error = "a quote ' that is not closed";
                return std::nullopt;
            }
            word.append(line, i + 1, close - i - 1);
            inWord = true;
            i = close + 1;
        } else if (c == '"') {
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    error = "a quote \" that is not closed";
                    return std::nullopt;
                }
                if (line[i] == '"')
                    break;
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\'))
                    ++i;
                word += line[i++];
            }
            inWord = true;
            ++i;
        } else if (c == '\\') {
            if (i + 1 >= line.size()) {
                error = "a backslash at the end of the line";
                return std::nullopt;
            }
            word += line[i + 1];
            inWord = true;
            i += 2;
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (word.find('\0') != std::string::npos) {
        error = "a NUL byte";
        return std::nullopt;
    }
    if (inWord)
        words.push_back(word);
    return words;
}

ParsedBatch ParseBatch(const std::string& text, const std::string& deviceId)
{
    ParsedBatch batch;
    std::size_t from = 0;
    int number = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(from, end - from);
        from = end + 1;
        ++number;

        std::string error;
        const auto words = SplitWords(line, error);
        if (!words) {
            batch.errors.push_back({number, error});
            continue;
        }
        if (words->empty())
            continue;
        const std::string only = CommandLineOnly(*words);
        if (!only.empty()) {
            batch.errors.push_back({number, only + " belongs on the command line, not in a batch line"});
            continue;
        }
        auto invocation = ParseBatchLine(*words, deviceId, error);
        if (!invocation) {
            batch.errors.push_back({number, error});
            continue;
        }
        batch.lines.push_back({number, std::move(*invocation)});
    }
    return batch;
}

bool ReadBatchFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    char buffer[65536];
    std::size_t n;
    bool tooLarge = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text.size() + n > MaxBatchBytes) {
            tooLarge = true;
            break;
        }
        text.append(buffer, n);
    }
    const bool failed = std::ferror(file) != 0;
    if (file != stdin)
        std::fclose(file);
    if (tooLarge) {
        error = path + " is larger than " + std::to_string(MaxBatchBytes / (1024 * 1024)) + " MiB";
        return false;
    }
    if (failed) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

int RunBatch(const std::vector<BatchLine>& lines, bool keepGoing, Context& context)
{
    // A signal stops the running line the way it stops a continuous test,
    // and the batch before its next line.
    InstallStopHandlers();
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
        summary += "; stopped by a signal";

    const int status = firstStatus != ExitOk ? firstStatus : stopped ? ExitStopped : ExitOk;
    if (context.out.json()) {
        context.out.Begin("batch");
        QJsonObject object;
        object.insert("operation", "batch");
        object.insert("lines", static_cast<int>(lines.size()));
        object.insert("ok", ok);
        object.insert("failed", failed);
        object.insert("not-run", notRun);
        if (firstFailedLine > 0)
            object.insert("first-failed-line", firstFailedLine);
        object.insert("stopped", stopped);
        object.insert("outcome", status == ExitOk                ? "ok"
                                 : status == ExitCommandError    ? "command-error"
                                 : status == ExitConnectError    ? "connect-error"
                                 : status == ExitStopped         ? "stopped"
                                                                 : "refused");
        object.insert("exit-status", status);
        context.out.Object(object);
    }
    std::fflush(stderr);
    WriteAll(STDERR_FILENO, summary + "\n");
    return status;
}

}  // namespace ct::cli

#include "Batch.h"

#include <algorithm>
#include <cstdio>

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

void ForEachListLine(const std::string& text, std::vector<BatchError>& errors,
                     const std::function<void(int number, const std::vector<std::string>& words)>& take)
{
    // A UTF-8 byte-order mark, as some editors save one, is no part of the
    // first line.
    const char* const kByteOrderMark = "\xEF\xBB\xBF";
    std::size_t from = text.rfind(kByteOrderMark, 0) == 0 ? 3 : 0;
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
        if (!words)
            errors.push_back({number, error});
        else if (!words->empty())
            take(number, *words);
    }
}

ParsedBatch ParseBatch(const std::string& text, const std::string& deviceId)
{
    ParsedBatch batch;
    ForEachListLine(text, batch.errors, [&](int number, const std::vector<std::string>& words) {
        const std::string only = CommandLineOnly(words);
        if (!only.empty()) {
            batch.errors.push_back({number, only + " belongs on the command line, not in a batch line"});
            return;
        }
        std::string error;
        auto invocation = ParseBatchLine(words, deviceId, error);
        if (!invocation) {
            // Each report is one line, however the parser worded it.
            std::replace(error.begin(), error.end(), '\n', ' ');
            batch.errors.push_back({number, error});
            return;
        }
        // Refused here, not when the lines before it have run.
        if (const auto refusal = TooLongRefusal(*invocation)) {
            batch.errors.push_back({number, *refusal});
            return;
        }
        batch.lines.push_back({number, std::move(*invocation)});
    });
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


}  // namespace ct::cli

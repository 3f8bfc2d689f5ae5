// Feeds arbitrary bytes to controller-cli's batch parser as a whole list.
// Parsing never crashes, hangs or overruns; every line of the input is
// either an invocation or an error, never both, with the line numbers
// rising; an error message is one line.
#include "Batch.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Require(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ct::cli::ParsedBatch batch = ct::cli::ParseBatch(text, "0001");

    std::size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    lines += !text.empty() && text.back() != '\n';
    Require(batch.lines.size() + batch.errors.size() <= lines);

    int previous = 0;
    for (const ct::cli::BatchLine& line : batch.lines) {
        Require(line.number > previous);
        previous = line.number;
        Require(line.invocation.command != ct::cli::Command::Batch);
        Require(line.invocation.deviceId.size() == 4);
        Require(!line.invocation.name.empty());
    }
    for (const ct::cli::BatchError& error : batch.errors) {
        Require(error.number >= 1 && static_cast<std::size_t>(error.number) <= lines);
        Require(!error.message.empty());
        Require(error.message.find('\n') == std::string::npos);
        for (const ct::cli::BatchLine& line : batch.lines)
            Require(line.number != error.number);
    }
    return 0;
}

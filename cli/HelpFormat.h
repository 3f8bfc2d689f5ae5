// controller-cli's help texts as the terminal shows them: every line wrapped
// to the terminal's width, and the sub-command nearest to a mistyped word.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ct::cli {

// The width of the terminal on standard output; 80 when it is none.
std::size_t HelpWidth();

// `text` with every line longer than `width` broken at blanks. A broken
// line goes on under the column of its second part (the text after its
// first run of two blanks, as in "  --net IP:PORT   TCP to ..."), or under
// its own indentation. A word longer than a line stays whole.
std::string WrapLines(const std::string& text, std::size_t width);

// CLI11's formatter with its output wrapped by WrapLines.
class WrappingFormatter : public CLI::Formatter {
public:
    explicit WrappingFormatter(std::size_t width) : width_(width) {}
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;

private:
    std::size_t width_;
};

// The one of `names` a typing slip away from `word` (at most a third of its
// letters, and at least 2, added, dropped or changed), the nearest first
// given; nothing when none is that near.
std::optional<std::string> NearestName(const std::string& word, const std::vector<std::string>& names);

}  // namespace ct::cli

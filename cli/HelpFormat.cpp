#include "HelpFormat.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace ct::cli {

namespace {

constexpr std::size_t kDefaultWidth = 80;
// Narrower than this, a description column would hold a word or two a line.
constexpr std::size_t kNarrowest = 40;
// The options' column and the sub-command table's in the usage: what lies
// further right is prose.
constexpr std::size_t kWidestFirstColumn = 40;

// Where a broken line goes on: under its second column, else under its
// indentation.
std::size_t HangingIndent(const std::string& line, std::size_t width)
{
    const std::size_t indent = std::min(line.find_first_not_of(' '), line.size());
    const std::size_t gap = line.find("  ", indent);
    if (gap != std::string::npos) {
        const std::size_t column = line.find_first_not_of(' ', gap);
        if (column != std::string::npos && column <= std::min(width / 2, kWidestFirstColumn))
            return column;
    }
    return indent < width / 2 ? indent : 0;
}

void WrapLine(const std::string& line, std::size_t width, std::string& out)
{
    const std::size_t hang = HangingIndent(line, width);
    std::string rest = line;
    for (;;) {
        if (rest.size() <= width) {
            out += rest;
            return;
        }
        // The last blank that leaves a word after the hanging column on this
        // line; a word too long for it is broken after instead.
        std::size_t cut = rest.rfind(' ', width);
        if (cut == std::string::npos || cut < hang || rest.find_first_not_of(' ', hang) > cut)
            cut = rest.find(' ', std::max(width, rest.find_first_not_of(' ', hang)));
        if (cut == std::string::npos) {
            out += rest;
            return;
        }
        std::size_t end = cut;
        while (end > 0 && rest[end - 1] == ' ')
            --end;
        out += rest.substr(0, end) + "\n";
        const std::size_t next = rest.find_first_not_of(' ', cut);
        if (next == std::string::npos)
            return;
        rest = std::string(hang, ' ') + rest.substr(next);
    }
}

}  // namespace

std::size_t HelpWidth()
{
    std::size_t columns = 0;
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        columns = static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
#else
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
        columns = size.ws_col;
#endif
    if (columns == 0)
        return kDefaultWidth;
    return std::max(columns, kNarrowest);
}

std::string WrapLines(const std::string& text, std::size_t width)
{
    std::string out;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t end = text.find('\n', from);
        WrapLine(text.substr(from, end == std::string::npos ? std::string::npos : end - from), width, out);
        if (end == std::string::npos)
            break;
        out += '\n';
        from = end + 1;
    }
    return out;
}

std::string WrappingFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const
{
    return WrapLines(CLI::Formatter::make_help(app, std::move(name), mode), width_);
}

std::optional<std::string> NearestName(const std::string& word, const std::vector<std::string>& names)
{
    // Levenshtein distance, one row at a time.
    auto distance = [&word](const std::string& name) {
        std::vector<std::size_t> row(name.size() + 1);
        for (std::size_t j = 0; j < row.size(); ++j)
            row[j] = j;
        for (std::size_t i = 1; i <= word.size(); ++i) {
            std::size_t diagonal = row[0];
            row[0] = i;
            for (std::size_t j = 1; j <= name.size(); ++j) {
                const std::size_t above = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (word[i - 1] == name[j - 1] ? 0 : 1)});
                diagonal = above;
            }
        }
        return row.back();
    };
    const std::size_t limit = std::max<std::size_t>(2, word.size() / 3);
    std::optional<std::string> nearest;
    std::size_t best = limit + 1;
    for (const std::string& name : names) {
        const std::size_t d = distance(name);
        if (d < best) {
            best = d;
            nearest = name;
        }
    }
    return nearest;
}

}  // namespace ct::cli

#include "UpgradeProgress.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ct::cli {

bool StandardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

void UpgradeProgress::ShowTitle(tests::Title title)
{
    EndLine();
    switch (title) {
    case tests::Title::Programming:
        phase_ = "Programming";
        break;
    case tests::Title::Verifying:
        phase_ = "Verifying";
        break;
    default:
        phase_.clear();
        starting_ = true;
        Show("Upgrading ...", true);
        break;
    }
}

std::string UpgradeProgress::Position() const
{
    if (starting_)
        return "while starting the new firmware";
    if (phase_.empty())
        return "while entering the boot loader";
    std::string verb = phase_;
    verb[0] = static_cast<char>(verb[0] - 'A' + 'a');
    if (done_ >= total_)
        return "after " + verb + " all " + std::to_string(total_) + " blocks";
    return "while " + verb + " block " + std::to_string(done_ + 1) + " of " + std::to_string(total_);
}

void UpgradeProgress::ShowCountdown(int n)
{
    Show("Connecting device ... ( " + std::to_string(n) + " )", true);
}

void UpgradeProgress::BeginPhase(int total)
{
    EndLine();
    total_ = total;
    done_ = 0;
    tenth_ = -1;
    started_ = Clock::now();
    ShowBlocks();
}

void UpgradeProgress::Advance(int position)
{
    done_ = position < total_ ? position + 1 : total_;
    ShowBlocks();
}

void UpgradeProgress::ShowBlocks()
{
    const int tenth = total_ > 0 ? done_ * 10 / total_ : 10;
    const bool milestone = tenth > tenth_;
    if (!terminal_ && !milestone)
        return;
    tenth_ = tenth;

    char line[160];
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    if (done_ > 0 && seconds > 0.0) {
        const double rate = done_ / seconds;
        const long left = static_cast<long>((total_ - done_) / rate + 0.5);
        std::snprintf(line, sizeof line, "%s %d/%d blocks, %.1f blocks/s, %ld:%02ld left", phase_.c_str(), done_,
                      total_, rate, left / 60, left % 60);
    } else {
        std::snprintf(line, sizeof line, "%s %d/%d blocks", phase_.c_str(), done_, total_);
    }
    Show(line, false);
}

// On the terminal the line is drawn over the last one, and a line that must
// stay (a title, a countdown step) is ended at once.
void UpgradeProgress::Show(const std::string& text, bool stays)
{
    if (!terminal_) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    const std::size_t width = std::max(text.size(), drawn_);
    std::fprintf(stderr, "\r%-*s", static_cast<int>(width), text.c_str());
    drawn_ = text.size();
    open_ = true;
    if (stays)
        EndLine();
    std::fflush(stderr);
}

void UpgradeProgress::EndLine()
{
    if (terminal_ && open_)
        std::fputs("\n", stderr);
    open_ = false;
    drawn_ = 0;
}

}  // namespace ct::cli

// The firmware upgrade's progress on standard error: the two progress bars
// and the titles of the window's Firmware page as text. On a terminal one
// line redrawn in place (phase, blocks done of all, blocks per second, time
// left); otherwise a line when a phase begins, at every tenth of its blocks
// and when it ends.
#pragma once

#include "firmware/Upgrade.h"

#include <chrono>
#include <string>

namespace ct::cli {

bool StandardErrorIsTerminal();

class UpgradeProgress final : public firmware::IUpgradeView {
public:
    explicit UpgradeProgress(bool terminal) : terminal_(terminal) {}

    void ShowTitle(tests::Title title) override;
    void ShowCountdown(int n) override;
    void SetProgramRange(int maximum) override { BeginPhase(maximum); }
    void SetProgramPosition(int position) override { Advance(position); }
    void SetVerifyRange(int maximum) override { BeginPhase(maximum); }
    void SetVerifyPosition(int position) override { Advance(position); }

    // Ends a line left open on the terminal, before the closing message.
    void Finish() { EndLine(); }
    // Where the upgrade is, for the message of an interruption: "while
    // programming block 13 of 124", "while entering the boot loader".
    std::string Position() const;

private:
    using Clock = std::chrono::steady_clock;

    // A phase begins when its bar gets its range; the bar's position r means
    // that block r is done (the last call sets it to the block count).
    void BeginPhase(int total);
    void Advance(int position);
    void ShowBlocks();
    void Show(const std::string& text, bool stays);
    void EndLine();

    bool terminal_;
    std::string phase_;
    bool starting_ = false;  // "Upgrading ...": the start command
    int total_ = 0;
    int done_ = 0;
    int tenth_ = -1;
    Clock::time_point started_;
    std::size_t drawn_ = 0;
    bool open_ = false;
};

}  // namespace ct::cli

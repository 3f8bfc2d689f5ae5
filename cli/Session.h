// What one controller-cli operation runs on: the link over the context's
// transports, clock and pump (the operating system's where the context gives
// none), the operation frame around it, and a status view that keeps the
// frame's last message. Its pump abandons the operation on a stop request
// (StopSignal.h): a one-shot operation at once, a continuous test only while
// its link is not open yet. When the link does not open, the system's reason
// goes to standard error.
#pragma once

#include "StopSignal.h"
#include "SubCommands.h"

#include "link/Clock.h"
#include "link/NativeTransportFactory.h"
#include "link/OperationFrame.h"

namespace ct::cli {

enum class Run { OneShot, Continuous };

class CliStatusView final : public link::IStatusView {
public:
    CliStatusView(const link::LinkSettings& settings, const link::Link& device) : settings_(settings), device_(device)
    {
    }

    void SetBusyCursor(bool) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyTimerRunning(bool) override {}
    void SetLamp(link::Lamp) override {}
    void ShowStatus(link::StatusMessage message) override;
    link::LinkSettings ActiveLinkSettings() override { return settings_; }

    link::StatusMessage LastMessage() const { return last_; }

private:
    link::LinkSettings settings_;
    const link::Link& device_;
    link::StatusMessage last_ = link::StatusMessage::Connecting;
};

struct Session {
    Session(const Context& context, Run run = Run::OneShot);

    link::SteadyClock steadyClock;
    link::NativeTransportFactory nativeTransports;
    link::SilentBeeper beeper;
    StopPump pump;
    link::Link device;
    CliStatusView view;
    link::OperationFrame frame;
};

// "cannot open DEVICE: REASON" on standard error, and for a device the user
// may not open, the group that owns it and how to join it; nothing when the
// link gave no reason.
void ReportOpenError(const link::OpenError& error);

// The line that tells a user how to get at a device owned by `group`.
std::string JoinGroupHint(const std::string& device, const std::string& group);

}  // namespace ct::cli

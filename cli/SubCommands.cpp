#include "SubCommands.h"

#include "StopSignal.h"

#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/OperationFrame.h"
#include "link/QtTransport.h"
#include "tests/AlarmResetReboot.h"
#include "tests/CommandConsole.h"
#include "tests/Connect.h"
#include "tests/DidoTest.h"
#include "tests/PollingTest.h"
#include "tests/SetDateTime.h"
#include "modules/ModuleCommand.h"

#include <cstdio>

namespace ct::cli {

namespace {

using tests::Outcome;

// Reply fields are printed escaped as `send` prints frames, so that no
// control byte from the line reaches the terminal.
void PrintLine(const std::string& text)
{
    std::printf("%s\n", link::EscapeBytes(text).c_str());
    // Each line is out before the operation goes on (a record before its
    // acknowledgement), also through a pipe.
    std::fflush(stdout);
}

class CliStatusView final : public link::IStatusView {
public:
    explicit CliStatusView(const link::LinkSettings& settings) : settings_(settings) {}

    void SetBusyCursor(bool) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyTimerRunning(bool) override {}
    void SetLamp(link::Lamp) override {}
    void ShowStatus(link::StatusMessage message) override { last_ = message; }
    link::LinkSettings ActiveLinkSettings() override { return settings_; }

    link::StatusMessage LastMessage() const { return last_; }

private:
    link::LinkSettings settings_;
    link::StatusMessage last_ = link::StatusMessage::Connecting;
};

// Everything the operation frame runs on, for one operation.
struct Session {
    explicit Session(const link::LinkSettings& settings)
        : view(settings), device(factory, clock, pump), frame(device, view, beeper, pump)
    {
    }

    link::SteadyClock clock;
    link::NoEventPump pump;
    link::QtTransportFactory factory;
    link::SilentBeeper beeper;
    CliStatusView view;
    link::Link device;
    link::OperationFrame frame;
};

class NoTitleView final : public tests::ITitleView {
public:
    void ShowTitle(tests::Title) override {}
};

// The continuous tests' stop: a cycle count reached or a signal seen.
class CycleLimit {
public:
    explicit CycleLimit(int cycles) : cycles_(cycles) {}

    void CycleDone(tests::TestState& state)
    {
        ++done_;
        if (StopRequested() || (cycles_ > 0 && done_ >= cycles_))
            state.TestRunning = false;
    }

private:
    int cycles_;
    int done_ = 0;
};

class CliDidoView final : public tests::IDidoView {
public:
    CliDidoView(const std::array<bool, 4>& outputsChecked, int cycles) : outputs_(outputsChecked), limit_(cycles) {}

    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { limit_.CycleDone(state); }
    bool OutputChecked(int output) override { return outputs_[static_cast<std::size_t>(output)]; }
    void ShowInputs(const std::string& states) override { PrintLine(states); }
    void ResetInputsAndOutputs() override {}

private:
    std::array<bool, 4> outputs_;
    CycleLimit limit_;
};

class CliPollingView final : public tests::IPollingView {
public:
    explicit CliPollingView(int cycles) : limit_(cycles) {}

    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { limit_.CycleDone(state); }
    void ShowPollDate(const std::string&) override {}
    void ShowPollRecord(const std::string& text) override { PrintLine(text); }

private:
    CycleLimit limit_;
};

class CliConnectView final : public tests::IConnectView {
public:
    explicit CliConnectView(int at)
    {
        char caption[16];
        std::snprintf(caption, sizeof caption, "%04d", at);
        caption_ = caption;
    }

    std::string IdCaption() override { return caption_; }
    void ShowCountdown(int) override {}
    void ClearIdentityPanels() override
    {
        answered = true;
        version.clear();
        serial.clear();
    }
    void SetIdPosition(int) override {}
    void SaveLinkSettings() override {}
    void ShowVersion(const std::string& text) override { version = text; }
    void ShowSerial(const std::string& text) override { serial = text; }

    // The panels are emptied once the controller answered the connect.
    bool answered = false;
    std::string version;
    std::string serial;

private:
    std::string caption_;
};

int Report(Outcome outcome, const std::string& commandText = {})
{
    switch (outcome) {
    case Outcome::CommandOk:
    case Outcome::StopAsked:
        std::fputs("Command ok.\n", stderr);
        return ExitOk;
    case Outcome::CommandError:
        std::fputs("Command error!\n", stderr);
        return ExitCommandError;
    case Outcome::ConnectError:
        std::fputs("Connect device error!\n", stderr);
        return ExitConnectError;
    case Outcome::TooLong:
        break;
    }
    return UsageError("command text of " + std::to_string(commandText.size()) + " characters is longer than the "
                      + std::to_string(link::MaxCommandLength(link::Framing::Crc)) + " one request takes");
}

Outcome FromStatus(link::StatusMessage message)
{
    switch (message) {
    case link::StatusMessage::CommandOk:
        return Outcome::CommandOk;
    case link::StatusMessage::ConnectError:
        return Outcome::ConnectError;
    case link::StatusMessage::Connecting:
    case link::StatusMessage::CommandError:
        break;
    }
    return Outcome::CommandError;
}

}  // namespace

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "controller-cli: %s\n", message.c_str());
    return ExitUsage;
}

int RunSend(const link::LinkSettings& settings, link::Framing framing, const std::string& text)
{
    Session s(settings);
    s.device.Settings = settings;
    if (!s.device.OpenLink()) {
        std::fputs("Connect device error!\n", stderr);
        return ExitConnectError;
    }
    const bool ok = s.device.Transact(framing, text);
    s.device.CloseLink();
    if (!ok) {
        std::fputs("Command error!\n", stderr);
        return ExitCommandError;
    }
    std::printf("%s\n", link::EscapeBytes(s.device.ReplyText()).c_str());
    return ExitOk;
}

int RunConnect(const link::LinkSettings& settings, int at)
{
    Session s(settings);
    tests::ControllerIdentity identity;
    CliConnectView view(at);
    tests::RunConnect(s.frame, identity, view);
    if (view.answered) {
        PrintLine(view.version);
        PrintLine(view.serial);
    }
    return Report(FromStatus(s.view.LastMessage()));
}

int RunSetTime(const link::LinkSettings& settings, const std::string& deviceId)
{
    Session s(settings);
    NoTitleView titles;
    tests::SystemLocalClock localClock;
    std::string digits;
    const Outcome outcome = tests::RunSetDateTime(s.frame, titles, localClock, deviceId, &digits);
    if (!digits.empty())
        PrintLine(digits);
    return Report(outcome);
}

int RunAlarm(const link::LinkSettings& settings, const std::string& deviceId, int alarmNumber)
{
    Session s(settings);
    NoTitleView titles;
    return Report(tests::RunAlarmTest(s.frame, titles, deviceId, alarmNumber));
}

int RunFactoryReset(const link::LinkSettings& settings, const std::string& deviceId)
{
    Session s(settings);
    NoTitleView titles;
    return Report(tests::RunFactoryReset(s.frame, titles, deviceId));
}

int RunReboot(const link::LinkSettings& settings, const std::string& deviceId)
{
    Session s(settings);
    NoTitleView titles;
    return Report(tests::RunReboot(s.frame, titles, deviceId));
}

int RunDido(const link::LinkSettings& settings, const std::string& deviceId,
            const std::array<bool, 4>& outputsChecked, int cycles)
{
    InstallStopHandlers();
    Session s(settings);
    tests::TestState state;
    CliDidoView view(outputsChecked, cycles);
    return Report(tests::ClickDidoTest(s.frame, state, deviceId, view));
}

int RunPoll(const link::LinkSettings& settings, const std::string& deviceId, int cycles)
{
    InstallStopHandlers();
    Session s(settings);
    tests::TestState state;
    CliPollingView view(cycles);
    return Report(tests::ClickPollingTest(s.frame, state, deviceId, view));
}

int RunSetSpeed(const link::LinkSettings& settings, const std::string& deviceId, tests::LineSpeed speed,
                const std::string& currentSettings)
{
    Session s(settings);
    NoTitleView titles;
    const Outcome outcome = tests::RunSetLineSpeed(s.frame, titles, deviceId, speed);
    PrintLine(outcome == Outcome::CommandOk ? tests::LineSpeedSettings(speed) : currentSettings);
    return Report(outcome);
}

int RunCommand(const link::LinkSettings& settings, const std::string& deviceId, const std::string& typed)
{
    Session s(settings);
    const Outcome outcome = tests::RunControllerCommand(s.frame, deviceId, typed, PrintLine);
    return Report(outcome, deviceId + typed);
}

int RunModule(const link::LinkSettings& settings, const std::string& deviceId, int typeIndex,
              const std::string& moduleId, const std::string& typed)
{
    Session s(settings);
    const Outcome outcome = tests::RunConsoleModuleCommand(s.frame, deviceId, typeIndex, moduleId, typed, PrintLine);
    return Report(outcome, modules::WrapModuleCommand(deviceId, typeIndex, moduleId, typed));
}

}  // namespace ct::cli

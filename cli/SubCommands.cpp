#include "SubCommands.h"

#include "StopSignal.h"

#include "link/Clock.h"
#include "link/ControllerInterface.h"
#include "link/EventPump.h"
#include "link/OperationFrame.h"
#include "link/QtTransport.h"
#include "tests/AlarmResetReboot.h"
#include "tests/CommandConsole.h"
#include "tests/Connect.h"
#include "tests/DidoTest.h"
#include "tests/PollingTest.h"
#include "tests/SetDateTime.h"
#include "firmware/FirmwareImage.h"
#include "firmware/ModelName.h"
#include "firmware/Upgrade.h"
#include "modules/ControllerId.h"
#include "modules/G4Module.h"
#include "modules/ModuleCommand.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

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

bool StandardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

// The upgrade's two progress bars and its titles on standard error. A phase
// begins when its bar gets its range; the bar's position r means that block
// r is done (the last call sets it to the block count).
class CliUpgradeView final : public firmware::IUpgradeView {
public:
    explicit CliUpgradeView(bool terminal) : terminal_(terminal) {}

    void ShowTitle(tests::Title title) override
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
            Show("Upgrading ...", true);
            break;
        }
    }
    void ShowCountdown(int n) override { Show("Connecting device ... ( " + std::to_string(n) + " )", true); }
    void SetProgramRange(int maximum) override { BeginPhase(maximum); }
    void SetProgramPosition(int position) override { Advance(position); }
    void SetVerifyRange(int maximum) override { BeginPhase(maximum); }
    void SetVerifyPosition(int position) override { Advance(position); }

    // Ends a line left open on the terminal, before the closing message.
    void Finish() { EndLine(); }

private:
    using Clock = std::chrono::steady_clock;

    void BeginPhase(int total)
    {
        EndLine();
        total_ = total;
        done_ = 0;
        tenth_ = -1;
        started_ = Clock::now();
        ShowBlocks();
    }

    void Advance(int position)
    {
        done_ = position < total_ ? position + 1 : total_;
        ShowBlocks();
    }

    void ShowBlocks()
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

    // On the terminal the line is drawn over the last one, and a line that
    // must stay (a title, a countdown step) is ended at once.
    void Show(const std::string& text, bool stays)
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

    void EndLine()
    {
        if (terminal_ && open_)
            std::fputs("\n", stderr);
        open_ = false;
        drawn_ = 0;
    }

    bool terminal_;
    std::string phase_;
    int total_ = 0;
    int done_ = 0;
    int tenth_ = -1;
    Clock::time_point started_;
    std::size_t drawn_ = 0;
    bool open_ = false;
};

struct CardKindName {
    std::uint16_t bit;
    const char* name;
};

// In the order of their bits.
const CardKindName CardKindNames[] = {
    {modules::CardUidA, "A"},         {modules::CardBlock, "ABlock"}, {modules::Card7Byte, "7Byte"},
    {modules::CardIso15693, "15693"}, {modules::CardUidB, "B"},       {modules::CardGuidB, "BG"},
};

void PrintCardTypes(const modules::CardTypeWords& words)
{
    std::string types;
    for (const CardKindName& kind : CardKindNames) {
        if (words.cardType & kind.bit)
            types += (types.empty() ? "" : ",") + std::string(kind.name);
    }
    PrintLine("types=" + types);
    PrintLine("delay=" + std::to_string(words.delay));
    PrintLine(std::string("green=") + ((words.mode & modules::ModeGreen) ? "1" : "0"));
}

class CliControllerIdView final : public modules::IControllerIdView {
public:
    void ShowControllerId(const std::string& id) override { PrintLine(id); }
    void ShowControllerSerial(const std::string& serial) override { PrintLine(serial); }
};

// The receive fields are not printed, only what the pages take from a reply.
class CliG6View final : public modules::IG6View {
public:
    void ShowReply(const std::string&) override {}
    void ShowSerial(const std::string& serial) override { PrintLine(serial); }
    void SelectModuleId(int id) override { PrintLine(std::to_string(id)); }
    void ShowCardTypes(const modules::CardTypeWords& words) override { PrintCardTypes(words); }
};

class CliG4View final : public modules::IG4View {
public:
    void ShowReply(const std::string&) override {}
    void ShowSerial(const std::string& serial) override { PrintLine(serial); }
};

bool SameNameAnyCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

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

std::optional<std::uint16_t> ParseCardKinds(const std::string& list)
{
    std::uint16_t kinds = 0;
    if (list.empty())
        return kinds;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = list.find(',', from);
        const std::string item = list.substr(from, comma == std::string::npos ? comma : comma - from);
        const CardKindName* known = nullptr;
        for (const CardKindName& kind : CardKindNames) {
            if (SameNameAnyCase(item, kind.name))
                known = &kind;
        }
        if (!known)
            return std::nullopt;
        kinds = static_cast<std::uint16_t>(kinds | known->bit);
        if (comma == std::string::npos)
            return kinds;
        from = comma + 1;
    }
}

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

int RunControllerId(const link::LinkSettings& settings, const std::string& deviceId)
{
    Session s(settings);
    CliControllerIdView view;
    return Report(modules::RunGetControllerId(s.frame, deviceId, false, std::string(), view));
}

int RunControllerIdBySerial(const link::LinkSettings& settings, const std::string& serial)
{
    Session s(settings);
    CliControllerIdView view;
    return Report(modules::RunGetControllerId(s.frame, std::string(), true, serial, view),
                  std::string(link::cmd::AnyControllerId) + link::cmd::IdBySerial + serial);
}

int RunSetControllerId(const link::LinkSettings& settings, const std::string& serial, const std::string& newId)
{
    Session s(settings);
    return Report(modules::RunSetControllerIdBySerial(s.frame, serial, newId),
                  std::string(link::cmd::AnyControllerId) + link::cmd::IdBySerial + serial + newId);
}

int RunG6Serial(const link::LinkSettings& settings, const std::string& deviceId, int moduleId)
{
    Session s(settings);
    CliG6View view;
    return Report(modules::RunG6ReadSerial(s.frame, deviceId, moduleId, view));
}

int RunG6Id(const link::LinkSettings& settings, const std::string& deviceId, const std::string& serial)
{
    Session s(settings);
    CliG6View view;
    return Report(modules::RunG6ReadId(s.frame, deviceId, serial, view),
                  deviceId + link::cmd::G6ReadIdBySerial + serial);
}

int RunG6SetId(const link::LinkSettings& settings, const std::string& deviceId, const std::string& serial, int newId)
{
    Session s(settings);
    CliG6View view;
    return Report(modules::RunG6SetId(s.frame, deviceId, serial, newId, view),
                  deviceId + link::cmd::G6SetIdBySerial + serial + serial + modules::Hex4(unsigned(newId)) + "0000");
}

int RunG6CardType(const link::LinkSettings& settings, const std::string& deviceId, int moduleId)
{
    Session s(settings);
    CliG6View view;
    return Report(modules::RunG6GetCardType(s.frame, deviceId, moduleId, view));
}

int RunG6SetCardType(const link::LinkSettings& settings, const std::string& deviceId, int moduleId,
                     const modules::CardTypeChoice& choice)
{
    Session s(settings);
    CliG6View view;
    return Report(modules::RunG6SetCardType(s.frame, deviceId, moduleId, modules::WordsToWrite(choice), view));
}

int RunG4Serial(const link::LinkSettings& settings, const std::string& deviceId, int typeIndex,
                const std::string& moduleId)
{
    Session s(settings);
    CliG4View view;
    return Report(modules::RunG4ReadSerial(s.frame, deviceId, typeIndex, moduleId, view));
}

int RunG4SetId(const link::LinkSettings& settings, const std::string& deviceId, int typeIndex,
               const std::string& serial, int newId)
{
    Session s(settings);
    CliG4View view;
    return Report(modules::RunG4SetId(s.frame, deviceId, typeIndex, serial, newId, view),
                  modules::WrapModuleCommand(deviceId, typeIndex, std::string(),
                                             link::cmd::G4SetId + serial + std::to_string(newId)));
}

int RunSetModel(const link::LinkSettings& settings, const std::string& deviceId, const std::string& name,
                const std::optional<std::string>& version)
{
    Session s(settings);
    NoTitleView titles;
    return Report(firmware::RunSetModelName(s.frame, titles, deviceId, name, version),
                  deviceId + link::cmd::SetModelName + firmware::ModelNameField(name)
                      + (version ? firmware::TrimControls(*version) : std::string()));
}

int RunUpgrade(const link::LinkSettings& settings, const std::string& deviceId, const std::string& path, int kind)
{
    // The version panel as Connect fills it: the model check compares the
    // file's header with it.
    std::string versionPanel;
    {
        Session s(settings);
        s.device.Settings = settings;
        if (!s.device.OpenLink()) {
            std::fputs("Connect device error!\n", stderr);
            return ExitConnectError;
        }
        const bool described = s.device.TransactCrc(deviceId + link::cmd::Describe)
                               && s.device.ReplyLength() == link::cmd::DescribeReplyLength;
        if (described) {
            const std::string& reply = s.device.ReplyText();
            versionPanel = link::ReplyField(reply, 8, 12) + "  " + link::ReplyField(reply, 20, 4);
        }
        s.device.CloseLink();
        if (!described) {
            std::fputs("no model read: no valid reply to \"DB\"\nCommand error!\n", stderr);
            return ExitCommandError;
        }
    }

    firmware::FirmwareImage image;
    switch (firmware::LoadFirmwareImage(path, kind, versionPanel, image)) {
    case firmware::LoadResult::CannotOpen:
        std::fputs("Load firmware file error!\n", stderr);
        return ExitCommandError;
    case firmware::LoadResult::ModelMismatch:
        std::fputs("Firmware file format model error!\n", stderr);
        return ExitCommandError;
    case firmware::LoadResult::Ok:
        break;
    }
    // The window would open the link only to end with "Command error!".
    if (firmware::LoaderFor(kind).loader == firmware::Loader::None) {
        std::fprintf(stderr, "no boot loader for kind %d\nCommand error!\n", kind);
        return ExitCommandError;
    }

    Session s(settings);
    CliUpgradeView view(StandardErrorIsTerminal());
    const Outcome outcome = firmware::RunFirmwareUpgrade(s.frame, kind, deviceId, image, view);
    view.Finish();
    if (outcome == Outcome::CommandOk)
        PrintLine("blocks=" + std::to_string(image.ImageBlockCount));
    return Report(outcome);
}

}  // namespace ct::cli

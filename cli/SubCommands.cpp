#include "SubCommands.h"

#include "Ports.h"
#include "StopSignal.h"
#include "UpgradeProgress.h"

#include "firmware/FirmwareImage.h"
#include "firmware/ModelName.h"
#include "firmware/Upgrade.h"
#include "link/Clock.h"
#include "link/ControllerInterface.h"
#include "link/EventPump.h"
#include "link/OperationFrame.h"
#include "link/NativeTransportFactory.h"
#include "modules/ControllerId.h"
#include "modules/G4Module.h"
#include "modules/ModuleCommand.h"
#include "tests/AlarmResetReboot.h"
#include "tests/CommandConsole.h"
#include "tests/Connect.h"
#include "tests/DidoTest.h"
#include "tests/PollingTest.h"
#include "tests/SetDateTime.h"

#include <cstdio>

namespace ct::cli {

namespace {

using tests::Outcome;

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
    explicit Session(const Context& context)
        : view(context.settings), device(context.transports, context.clock, context.pump),
          frame(device, view, beeper, context.pump)
    {
        device.SetTrace(context.trace);
    }

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
    int done() const { return done_; }

private:
    int cycles_;
    int done_ = 0;
};

class CliDidoView final : public tests::IDidoView {
public:
    CliDidoView(Output& out, const std::array<bool, 4>& outputsChecked, int cycles)
        : out_(out), outputs_(outputsChecked), limit_(cycles)
    {
    }

    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { limit_.CycleDone(state); }
    bool OutputChecked(int output) override { return outputs_[static_cast<std::size_t>(output)]; }
    void ShowInputs(const std::string& states) override { out_.Item("cycle", "inputs", states); }
    void ResetInputsAndOutputs() override {}

    int cycles() const { return limit_.done(); }

private:
    Output& out_;
    std::array<bool, 4> outputs_;
    CycleLimit limit_;
};

class CliPollingView final : public tests::IPollingView {
public:
    CliPollingView(Output& out, int cycles) : out_(out), limit_(cycles) {}

    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState& state) override { limit_.CycleDone(state); }
    void ShowPollDate(const std::string&) override {}
    void ShowPollRecord(const std::string& text) override { out_.Item("record", "text", text); }

    int cycles() const { return limit_.done(); }

private:
    Output& out_;
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

void ShowCardTypes(Output& out, const modules::CardTypeWords& words)
{
    out.Field("types", CardKindNames(words.cardType), FieldStyle::KeyValue);
    out.Field("delay", words.delay);
    out.Field("green", (words.mode & modules::ModeGreen) ? 1 : 0);
}

class CliControllerIdView final : public modules::IControllerIdView {
public:
    explicit CliControllerIdView(Output& out) : out_(out) {}
    void ShowControllerId(const std::string& id) override { out_.Field("id", id); }
    void ShowControllerSerial(const std::string& serial) override { out_.Field("serial", serial); }

private:
    Output& out_;
};

// The receive fields are not printed, only what the pages take from a reply.
class CliG6View final : public modules::IG6View {
public:
    explicit CliG6View(Output& out) : out_(out) {}
    void ShowReply(const std::string&) override {}
    void ShowSerial(const std::string& serial) override { out_.Field("serial", serial); }
    void SelectModuleId(int id) override { out_.Field("id", std::to_string(id)); }
    void ShowCardTypes(const modules::CardTypeWords& words) override { cli::ShowCardTypes(out_, words); }

private:
    Output& out_;
};

class CliG4View final : public modules::IG4View {
public:
    explicit CliG4View(Output& out) : out_(out) {}
    void ShowReply(const std::string&) override {}
    void ShowSerial(const std::string& serial) override { out_.Field("serial", serial); }

private:
    Output& out_;
};

// The closing of an operation whose command text may have been refused for
// its length before anything was opened.
int Report(Output& out, Outcome outcome, const std::string& commandText = {})
{
    if (outcome != Outcome::TooLong)
        return out.Finish(outcome);
    return out.Refuse("command text of " + std::to_string(commandText.size()) + " characters is longer than the "
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

int RunSend(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    s.device.Settings = ctx.settings;
    if (!s.device.OpenLink())
        return ctx.out.FinishStatus(ExitConnectError);
    const bool ok = s.device.Transact(inv.framing, inv.text);
    s.device.CloseLink();
    if (!ok)
        return ctx.out.FinishStatus(ExitCommandError);
    ctx.out.Field("reply", s.device.ReplyText());
    return ctx.out.FinishStatus(ExitOk);
}

int RunConnect(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    tests::ControllerIdentity identity;
    CliConnectView view(inv.at);
    tests::RunConnect(s.frame, identity, view);
    if (view.answered) {
        ctx.out.Field("version", view.version);
        ctx.out.Field("serial", view.serial);
    }
    return ctx.out.Finish(FromStatus(s.view.LastMessage()));
}

int RunSetTime(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    NoTitleView titles;
    tests::SystemLocalClock localClock;
    std::string digits;
    const Outcome outcome = tests::RunSetDateTime(s.frame, titles, localClock, inv.deviceId, &digits);
    if (!digits.empty())
        ctx.out.Field("time", digits);
    return ctx.out.Finish(outcome);
}

int RunSimple(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    NoTitleView titles;
    switch (inv.command) {
    case Command::Alarm:
        return ctx.out.Finish(tests::RunAlarmTest(s.frame, titles, inv.deviceId, inv.alarmNumber));
    case Command::FactoryReset:
        return ctx.out.Finish(tests::RunFactoryReset(s.frame, titles, inv.deviceId));
    default:
        return ctx.out.Finish(tests::RunReboot(s.frame, titles, inv.deviceId));
    }
}

// Runs until its cycle count or SIGINT/SIGTERM; then "JD" as the window's
// stop sends it.
int RunDido(const Invocation& inv, Context& ctx)
{
    InstallStopHandlers();
    Session s(ctx);
    tests::TestState state;
    CliDidoView view(ctx.out, inv.outputs, inv.cycles);
    const Outcome outcome = tests::ClickDidoTest(s.frame, state, inv.deviceId, view);
    if (ctx.out.json())
        ctx.out.Field("cycles", view.cycles());
    return ctx.out.Finish(outcome);
}

int RunPoll(const Invocation& inv, Context& ctx)
{
    InstallStopHandlers();
    Session s(ctx);
    tests::TestState state;
    CliPollingView view(ctx.out, inv.cycles);
    const Outcome outcome = tests::ClickPollingTest(s.frame, state, inv.deviceId, view);
    if (ctx.out.json()) {
        ctx.out.Field("cycles", view.cycles());
        ctx.out.Field("records", ctx.out.itemsShown());
    }
    return ctx.out.Finish(outcome);
}

int RunSetSpeed(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    NoTitleView titles;
    const Outcome outcome = tests::RunSetLineSpeed(s.frame, titles, inv.deviceId, inv.speed);
    // The tool follows the controller to its new line, as the window does.
    if (outcome == Outcome::CommandOk)
        ctx.settings.ComBaudRate = tests::LineSpeedSettings(inv.speed);
    ctx.out.Field("settings", ctx.settings.ComBaudRate);
    return ctx.out.Finish(outcome);
}

int RunConsole(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    const auto show = [&ctx](const std::string& reply) { ctx.out.Field("reply", reply); };
    if (inv.command == Command::ControllerCommand)
        return Report(ctx.out, tests::RunControllerCommand(s.frame, inv.deviceId, inv.text, show),
                      inv.deviceId + inv.text);
    return Report(ctx.out,
                  tests::RunConsoleModuleCommand(s.frame, inv.deviceId, inv.typeIndex, inv.moduleId, inv.text, show),
                  modules::WrapModuleCommand(inv.deviceId, inv.typeIndex, inv.moduleId, inv.text));
}

int RunControllerIdCommand(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    CliControllerIdView view(ctx.out);
    const std::string bySerial = std::string(link::cmd::AnyControllerId) + link::cmd::IdBySerial + inv.serial;
    switch (inv.command) {
    case Command::ControllerIdBySerial:
        return Report(ctx.out, modules::RunGetControllerId(s.frame, std::string(), true, inv.serial, view), bySerial);
    case Command::SetControllerId:
        return Report(ctx.out, modules::RunSetControllerIdBySerial(s.frame, inv.serial, inv.newId),
                      bySerial + inv.newId);
    default:
        return Report(ctx.out, modules::RunGetControllerId(s.frame, inv.deviceId, false, std::string(), view));
    }
}

int RunG6(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    CliG6View view(ctx.out);
    const std::string& id = inv.deviceId;
    switch (inv.command) {
    case Command::G6Serial:
        return Report(ctx.out, modules::RunG6ReadSerial(s.frame, id, std::stoi(inv.moduleId), view));
    case Command::G6Id:
        return Report(ctx.out, modules::RunG6ReadId(s.frame, id, inv.serial, view),
                      id + link::cmd::G6ReadIdBySerial + inv.serial);
    case Command::G6SetId: {
        const unsigned newId = static_cast<unsigned>(std::stoi(inv.newId));
        return Report(ctx.out, modules::RunG6SetId(s.frame, id, inv.serial, static_cast<int>(newId), view),
                      id + link::cmd::G6SetIdBySerial + inv.serial + inv.serial + modules::Hex4(newId) + "0000");
    }
    case Command::G6CardType:
        return Report(ctx.out, modules::RunG6GetCardType(s.frame, id, std::stoi(inv.moduleId), view));
    default:
        return Report(ctx.out, modules::RunG6SetCardType(s.frame, id, std::stoi(inv.moduleId),
                                                         modules::WordsToWrite(inv.cardChoice), view));
    }
}

int RunG4(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    CliG4View view(ctx.out);
    if (inv.command == Command::G4Serial)
        return Report(ctx.out, modules::RunG4ReadSerial(s.frame, inv.deviceId, inv.typeIndex, inv.moduleId, view));
    const int newId = std::stoi(inv.newId);
    return Report(ctx.out, modules::RunG4SetId(s.frame, inv.deviceId, inv.typeIndex, inv.serial, newId, view),
                  modules::WrapModuleCommand(inv.deviceId, inv.typeIndex, std::string(),
                                             link::cmd::G4SetId + inv.serial + std::to_string(newId)));
}

int RunSetModel(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    NoTitleView titles;
    return Report(ctx.out,
                  firmware::RunSetModelName(s.frame, titles, inv.deviceId, inv.modelName, inv.modelVersion),
                  inv.deviceId + link::cmd::SetModelName + firmware::ModelNameField(inv.modelName)
                      + (inv.modelVersion ? firmware::TrimControls(*inv.modelVersion) : std::string()));
}

// First a short exchange of its own reads the model and version ("DB") for
// the model check; a file that cannot be read, a model the file was not
// built for or a kind without a loader then end it with nothing more sent.
int RunUpgrade(const Invocation& inv, Context& ctx)
{
    // The version panel as Connect fills it: the model check compares the
    // file's header with it.
    std::string versionPanel;
    {
        Session s(ctx);
        s.device.Settings = ctx.settings;
        if (!s.device.OpenLink())
            return ctx.out.Finish(Outcome::ConnectError);
        const bool described = s.device.TransactCrc(inv.deviceId + link::cmd::Describe)
                               && s.device.ReplyLength() == link::cmd::DescribeReplyLength;
        if (described) {
            const std::string& reply = s.device.ReplyText();
            versionPanel = link::ReplyField(reply, 8, 12) + "  " + link::ReplyField(reply, 20, 4);
        }
        s.device.CloseLink();
        if (!described) {
            std::fputs("no model read: no valid reply to \"DB\"\n", stderr);
            return ctx.out.Finish(Outcome::CommandError);
        }
    }

    firmware::FirmwareImage image;
    switch (firmware::LoadFirmwareImage(inv.file, inv.kind, versionPanel, image)) {
    case firmware::LoadResult::CannotOpen:
        return ctx.out.End(ExitCommandError, "command-error", "Load firmware file error!");
    case firmware::LoadResult::ModelMismatch:
        return ctx.out.End(ExitCommandError, "command-error", "Firmware file format model error!");
    case firmware::LoadResult::Ok:
        break;
    }
    // The window would open the link only to end with "Command error!".
    if (firmware::LoaderFor(inv.kind).loader == firmware::Loader::None) {
        std::fprintf(stderr, "no boot loader for kind %d\n", inv.kind);
        return ctx.out.Finish(Outcome::CommandError);
    }

    Session s(ctx);
    UpgradeProgress view(StandardErrorIsTerminal());
    const Outcome outcome = firmware::RunFirmwareUpgrade(s.frame, inv.kind, inv.deviceId, image, view);
    view.Finish();
    if (outcome == Outcome::CommandOk)
        ctx.out.Field("blocks", image.ImageBlockCount);
    return ctx.out.Finish(outcome);
}

}  // namespace

int Execute(const Invocation& inv, Context& ctx)
{
    ctx.out.Begin(inv.name, ctx.line);
    switch (inv.command) {
    case Command::Send:
        return RunSend(inv, ctx);
    case Command::Connect:
        return RunConnect(inv, ctx);
    case Command::SetTime:
        return RunSetTime(inv, ctx);
    case Command::Alarm:
    case Command::FactoryReset:
    case Command::Reboot:
        return RunSimple(inv, ctx);
    case Command::Dido:
        return RunDido(inv, ctx);
    case Command::Poll:
        return RunPoll(inv, ctx);
    case Command::SetSpeed:
        return RunSetSpeed(inv, ctx);
    case Command::ControllerCommand:
    case Command::ModuleCommand:
        return RunConsole(inv, ctx);
    case Command::ControllerId:
    case Command::ControllerIdBySerial:
    case Command::SetControllerId:
        return RunControllerIdCommand(inv, ctx);
    case Command::G6Serial:
    case Command::G6Id:
    case Command::G6SetId:
    case Command::G6CardType:
    case Command::G6SetCardType:
        return RunG6(inv, ctx);
    case Command::G4Serial:
    case Command::G4SetId:
        return RunG4(inv, ctx);
    case Command::SetModel:
        return RunSetModel(inv, ctx);
    case Command::Upgrade:
        return RunUpgrade(inv, ctx);
    case Command::Ports:
        return ListPorts(ctx.out);
    case Command::Batch:
        break;
    }
    return ctx.out.Refuse("a batch cannot run inside a batch");
}

}  // namespace ct::cli

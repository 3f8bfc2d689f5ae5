#include "SubCommands.h"

#include "ContinuousViews.h"
#include "Discover.h"
#include "Ports.h"
#include "Session.h"
#include "StopSignal.h"
#include "UpgradeProgress.h"

#include "firmware/FirmwareImage.h"
#include "firmware/ModelName.h"
#include "firmware/Upgrade.h"
#include "link/ControllerInterface.h"
#include "modules/ControllerId.h"
#include "modules/G4Module.h"
#include "modules/ModuleCommand.h"
#include "tests/AlarmResetReboot.h"
#include "tests/CommandConsole.h"
#include "tests/Connect.h"
#include "tests/SetDateTime.h"

#include <cstdio>

namespace ct::cli {

namespace {

using tests::Outcome;

class NoTitleView final : public tests::ITitleView {
public:
    void ShowTitle(tests::Title) override {}
};

class CliConnectView final : public tests::IConnectView {
public:
    CliConnectView(int at, const link::Link& device) : device_(device)
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
    // The "DB" reply is the link's last one here: its fields for scripts.
    void ShowVersion(const std::string& text) override
    {
        version = text;
        const std::string& reply = device_.ReplyText();
        model = link::ReplyField(reply, 8, 12);
        model.erase(model.find_last_not_of(' ') + 1);
        versionNumber = link::ReplyField(reply, 20, 4);
    }
    void ShowSerial(const std::string& text) override { serial = text; }

    // The panels are emptied once the controller answered the connect.
    bool answered = false;
    std::string version;
    std::string serial;
    std::string model;
    std::string versionNumber;

private:
    const link::Link& device_;
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
    if (!s.device.OpenLink()) {
        ReportOpenError(s.device.LastOpenError());
        return ctx.out.FinishStatus(ExitConnectError);
    }
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
    CliConnectView view(inv.at, s.device);
    tests::RunConnect(s.frame, identity, view);
    if (view.answered) {
        // The panels as lines; for scripts the values alone.
        ctx.out.Field("version", view.version, FieldStyle::PlainOnly);
        ctx.out.Field("serial", view.serial, FieldStyle::PlainOnly);
        ctx.out.Field("id", identity.DeviceID, FieldStyle::JsonOnly);
        ctx.out.Field("serial", identity.DeviceSN, FieldStyle::JsonOnly);
        ctx.out.Field("model", view.model, FieldStyle::JsonOnly);
        ctx.out.Field("version", view.versionNumber, FieldStyle::JsonOnly);
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

// Runs until its cycle count or a stop request; then "JD" as the window's
// stop sends it.
int RunDido(const Invocation& inv, Context& ctx)
{
    Session s(ctx, Run::Continuous);
    tests::TestState state;
    CycleLimit limit(inv.cycles);
    CliDidoView view(ctx.out, inv.outputs, limit);
    const Outcome outcome = tests::ClickDidoTest(s.frame, state, inv.deviceId, view);
    return limit.Finish(ctx.out, outcome, inv.name);
}

int RunPoll(const Invocation& inv, Context& ctx)
{
    Session s(ctx, Run::Continuous);
    tests::TestState state;
    CycleLimit limit(inv.cycles);
    CliPollingView view(ctx.out, s.device, limit);
    const Outcome outcome = tests::ClickPollingTest(s.frame, state, inv.deviceId, view);
    if (outcome == Outcome::CommandOk)
        ctx.out.Field("records", ctx.out.itemsShown(), FieldStyle::JsonOnly);
    return limit.Finish(ctx.out, outcome, inv.name);
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
        return ctx.out.Finish(tests::RunControllerCommand(s.frame, inv.deviceId, inv.text, show));
    return ctx.out.Finish(
        tests::RunConsoleModuleCommand(s.frame, inv.deviceId, inv.typeIndex, inv.moduleId, inv.text, show));
}

int RunControllerIdCommand(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    CliControllerIdView view(ctx.out);
    switch (inv.command) {
    case Command::ControllerIdBySerial:
        return ctx.out.Finish(modules::RunGetControllerId(s.frame, std::string(), true, inv.serial, view));
    case Command::SetControllerId:
        return ctx.out.Finish(modules::RunSetControllerIdBySerial(s.frame, inv.serial, inv.newId));
    default:
        return ctx.out.Finish(modules::RunGetControllerId(s.frame, inv.deviceId, false, std::string(), view));
    }
}

int RunG6(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    CliG6View view(ctx.out);
    const std::string& id = inv.deviceId;
    switch (inv.command) {
    case Command::G6Serial:
        return ctx.out.Finish(modules::RunG6ReadSerial(s.frame, id, std::stoi(inv.moduleId), view));
    case Command::G6Id:
        return ctx.out.Finish(modules::RunG6ReadId(s.frame, id, inv.serial, view));
    case Command::G6SetId:
        return ctx.out.Finish(modules::RunG6SetId(s.frame, id, inv.serial, std::stoi(inv.newId), view));
    case Command::G6CardType:
        return ctx.out.Finish(modules::RunG6GetCardType(s.frame, id, std::stoi(inv.moduleId), view));
    default:
        return ctx.out.Finish(modules::RunG6SetCardType(s.frame, id, std::stoi(inv.moduleId),
                                                        modules::WordsToWrite(inv.cardChoice), view));
    }
}

int RunG4(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    CliG4View view(ctx.out);
    if (inv.command == Command::G4Serial)
        return ctx.out.Finish(modules::RunG4ReadSerial(s.frame, inv.deviceId, inv.typeIndex, inv.moduleId, view));
    return ctx.out.Finish(
        modules::RunG4SetId(s.frame, inv.deviceId, inv.typeIndex, inv.serial, std::stoi(inv.newId), view));
}

int RunSetModel(const Invocation& inv, Context& ctx)
{
    Session s(ctx);
    NoTitleView titles;
    return ctx.out.Finish(
        firmware::RunSetModelName(s.frame, titles, inv.deviceId, inv.modelName, inv.modelVersion));
}

// The loaders whose model check compares the file with the controller's
// model (1, 2, 5 and 4); those of kinds 3 and 6 look at the file alone.
bool ModelCheckReadsModel(int kind)
{
    return kind == 1 || kind == 2 || kind == 4 || kind == 5;
}

// The version panel as Connect fills it, for the model check: from --model,
// or read with "DB". Nothing, with the ending given, when the upgrade cannot
// go on.
std::optional<std::string> UpgradeModel(const Invocation& inv, Context& ctx, int& ending)
{
    if (inv.upgradeModel)
        return firmware::ModelNameField(*inv.upgradeModel);
    Session s(ctx);
    s.device.Settings = ctx.settings;
    if (!s.device.OpenLink()) {
        ReportOpenError(s.device.LastOpenError());
        ending = ctx.out.Finish(Outcome::ConnectError);
        return std::nullopt;
    }
    const bool described = s.device.TransactCrc(inv.deviceId + link::cmd::Describe)
                           && s.device.ReplyLength() == link::cmd::DescribeReplyLength;
    std::string panel;
    if (described) {
        const std::string& reply = s.device.ReplyText();
        panel = link::ReplyField(reply, 8, 12) + "  " + link::ReplyField(reply, 20, 4);
    }
    s.device.CloseLink();
    if (described || !ModelCheckReadsModel(inv.kind))
        return panel;
    // A controller left in its boot loader by a failed upgrade answers no
    // "DB", and only a new upgrade brings it back.
    std::fputs("controller-cli: no model read: no valid reply to \"DB\" (a controller left in its boot loader "
               "gives none); to upgrade it anyway, give its model: upgrade FILE --kind N --model NAME\n",
               stderr);
    ending = ctx.out.Finish(Outcome::CommandError);
    return std::nullopt;
}

// First the model for the check: --model, or a short exchange of its own
// ("DB"); a file that cannot be read, a model the file was not built for or a
// kind without a loader then end it with nothing more sent.
int RunUpgrade(const Invocation& inv, Context& ctx)
{
    int ending = ExitOk;
    const std::optional<std::string> versionPanel = UpgradeModel(inv, ctx, ending);
    if (!versionPanel)
        return ending;

    firmware::FirmwareImage image;
    switch (firmware::LoadFirmwareImage(inv.file, inv.kind, *versionPanel, image)) {
    case firmware::LoadResult::CannotOpen:
        return ctx.out.End(ExitCommandError, "command-error", "Load firmware file error!");
    case firmware::LoadResult::NoImage:
        std::fputs("no image after the file's 16-byte header\n", stderr);
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

    UpgradeProgress view(StandardErrorIsTerminal());
    Outcome outcome = Outcome::CommandError;
    try {
        Session s(ctx);
        outcome = firmware::RunFirmwareUpgrade(s.frame, inv.kind, inv.deviceId, image, view);
    } catch (const OperationStopped&) {
        // The session and its link are closed by now.
        view.Finish();
        return ctx.out.End(ExitStopped, "stopped",
                           std::string("stopped by ") + StopCause() + " " + view.Position()
                               + "; the controller may wait in its boot loader: run the upgrade again");
    }
    view.Finish();
    if (outcome == Outcome::CommandOk)
        ctx.out.Field("blocks", image.ImageBlockCount);
    return ctx.out.Finish(outcome);
}

int Dispatch(const Invocation& inv, Context& ctx)
{
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
        return inv.probe ? ProbePorts(inv, ctx, AvailablePorts()) : ListPorts(ctx.out);
    case Command::Discover:
        return RunDiscover(inv, ctx);
    case Command::Batch:
        break;
    case Command::Fleet:
        return ctx.out.Refuse("fleet runs from the command line only");
    }
    return ctx.out.Refuse("a batch cannot run inside a batch");
}

}  // namespace

int Execute(const Invocation& inv, Context& ctx)
{
    ctx.out.Begin(inv.name, ctx.line);
    if (const auto refusal = TooLongRefusal(inv))
        return ctx.out.Refuse(*refusal);
    try {
        return Dispatch(inv, ctx);
    } catch (const OperationStopped&) {
        // Thrown out of a wait: the stack unwound through the session, whose
        // link closed on its way.
        return ctx.out.End(ExitStopped, "stopped", std::string("stopped by ") + StopCause() + "; the link is closed");
    }
}

}  // namespace ct::cli

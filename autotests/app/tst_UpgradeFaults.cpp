// The firmware upgrade of the hidden Firmware upgrade page through the real
// window against the substitute controller's boot loaders on the fake link,
// where the loaders' pauses and the time-outs cost no wall time, with every fault
// in every phase: the reply faults of the 512-byte loader's CRC frames per
// command, the per-block faults of the 256- and 64-byte loaders, and a
// controller that is not there. Each case ends with the message the upgrade
// owes its user, the window idle, enabled, with the default cursor and the
// link closed; a failed upgrade has sent nothing past the phase that failed
// and never the start command, a successful one has left the image in flash.
#include "app/Catalogue.h"
#include "app/Module.h"
#include "sim/ControllerSim.h"
#include "support/FaultColumns.h"
#include "support/FirmwareFile.h"
#include "support/WindowRig.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

using ct::app::TfrmModule;
using ct::sim::LoaderFault;
using ct::sim::LoaderKind;
using ct::testing::Column;
using ct::testing::ReplyFaults;
using ct::testing::Trouble;
using ct::testing::FakeLine;
using ct::testing::WriteFirmware;
using ct::testing::WindowRig;
namespace txt = ct::app::txt;

using LoaderFaults = std::vector<LoaderFault>;

namespace {

// How the window comes to its loader.
enum class Route {
    Kind3ByChoice,  // the 512-byte loader picked in cmbLoader, for "KX405NT-G4" images
    Kind6ByModel,   // the 512-byte loader the controller's model names
    Block256,
    Block64,
};

struct RouteInfo {
    Route route;
    const char* name;
    int loaderIndex;  // in cmbLoader
    int kind;
    LoaderKind simLoader;
    const char* model;
    const char* header;
    int payloadSize;  // one block of the 512-byte loader, two of the others
    int blockSize;
};

const std::array<RouteInfo, 4> Routes = {{
    {Route::Kind3ByChoice, "512-byte loader chosen", 1, 3, LoaderKind::Block512, "KX410NT4-SG4", "KX405NT-G4", 300, 512},
    {Route::Kind6ByModel, "512-byte loader by model", 0, 6, LoaderKind::Block512, "KX450NT4-SG5", "KX450NT-G5", 300,
     512},
    {Route::Block256, "256-byte loader", 3, 1, LoaderKind::Block256, "KX410NT4-SG4", "KX410NT4-SG4", 300, 256},
    {Route::Block64, "64-byte loader", 4, 4, LoaderKind::Block64, "KX410NT4-SG4", "KX410NT", 100, 64},
}};

const RouteInfo& InfoOf(Route route)
{
    return *std::find_if(Routes.begin(), Routes.end(), [route](const RouteInfo& r) { return r.route == route; });
}

enum class Phase { Enter, Program, Verify, Start };

const char* PhaseName(Phase phase)
{
    switch (phase) {
    case Phase::Enter: return "enter";
    case Phase::Program: return "program";
    case Phase::Verify: return "verify";
    case Phase::Start: return "start";
    }
    return "";
}

// The 512-byte loader's command codes, after the ID, by phase.
struct CrcCommand {
    Phase phase;
    const char* code;
};
constexpr std::array<CrcCommand, 4> CrcCommands = {{
    {Phase::Enter, "Zx"},
    {Phase::Program, "Zp"},
    {Phase::Verify, "Zv"},
    {Phase::Start, "Zr"},
}};

QByteArray Payload(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + 5) & 0xFF);
    return bytes;
}

// The payload as the flash holds it once programmed: whole blocks, the last
// one filled up with 0xFF.
QByteArray Flashed(const RouteInfo& route)
{
    QByteArray bytes = Payload(route.payloadSize);
    const int blocks = (route.payloadSize + route.blockSize - 1) / route.blockSize;
    bytes.append(QByteArray(blocks * route.blockSize - bytes.size(), char(0xFF)));
    return bytes;
}

std::string HexOf(const QByteArray& bytes)
{
    return bytes.toHex().toUpper().toStdString();
}

// The reply text of the 512-byte loader to a phase's command of controller
// `id`, with the one block of the image in flash.
std::string CrcReplyText(const std::string& id, Phase phase)
{
    const std::string code = CrcCommands[static_cast<std::size_t>(phase)].code;
    if (phase != Phase::Verify)
        return id + code;
    return id + code + HexOf(Flashed(InfoOf(Route::Kind3ByChoice)).left(512));
}

const std::string DefaultId = "0001";

// The controller's ID: the substitute controller's own, unless lower-case
// CRC characters would leave the phase's reply unchanged; then the first ID
// whose reply has letters in its CRC.
std::string IdFor(Phase phase, Trouble trouble)
{
    if (trouble != Trouble::LowerCaseCrc || ct::testing::ReplyCrcHasLetters(CrcReplyText(DefaultId, phase)))
        return DefaultId;
    for (int n = 2; n <= 9999; ++n) {
        const std::string id = QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0')).toStdString();
        if (ct::testing::ReplyCrcHasLetters(CrcReplyText(id, phase)))
            return id;
    }
    return DefaultId;
}

struct Expected {
    int message;
    // The last phase the controller hears a command of.
    Phase lastPhase;
    // How many times the faulted command is sent; -1 where timing decides.
    int attempts;
};

constexpr int Attempts = 5;

// What a reply fault on the 512-byte loader's command of `phase` leaves of
// the upgrade. A transaction alone decides every step but the read-back,
// which also compares the data at reply positions 8 to 1031.
Expected ExpectedFor(Phase phase, Trouble trouble)
{
    const Expected ok{txt::CommandOk, Phase::Start, 1};
    const bool retried = phase == Phase::Program || phase == Phase::Verify;
    switch (trouble) {
    case Trouble::Silence:
    case Trouble::WrongCrc:
    case Trouble::LowerCaseCrc:
        // A start command without an answer still ends well.
        if (phase == Phase::Start)
            return ok;
        return {txt::CommandError, phase, retried ? Attempts : 1};
    case Trouble::LateReply:
        switch (phase) {
        case Phase::Enter: return {txt::CommandError, Phase::Enter, 1};
        // The second attempt reads the first one's reply. The later ones
        // stay queued before the read-back's, which then gets an
        // acknowledgement without data.
        case Phase::Program: return {txt::CommandError, Phase::Verify, 2};
        case Phase::Verify: return {txt::CommandOk, Phase::Start, 2};
        case Phase::Start: return ok;
        }
        break;
    case Trouble::NulInside:
        // It takes the read-back's last digit.
        if (phase == Phase::Verify)
            return {txt::CommandError, Phase::Verify, 1};
        return ok;
    case Trouble::SplitBytes:
        if (phase == Phase::Verify)
            return {txt::CommandError, Phase::Verify, Attempts};
        return ok;
    case Trouble::WrongLength:
    case Trouble::ExtraBytes:
    case Trouble::NoiseBefore:
    case Trouble::None:
    case Trouble::Refused:
        break;
    }
    return ok;
}

// The phase a command the controller heard belongs to; nothing for one the
// upgrade does not send.
std::optional<Phase> PhaseOf(const RouteInfo& route, const std::string& text)
{
    // Only the enter commands of the 64-byte loader carry the ID.
    const bool withId = route.simLoader != LoaderKind::Block64
                        || (!text.empty() && std::isdigit(static_cast<unsigned char>(text.front())));
    if (withId && text.size() < 5)
        return std::nullopt;
    const std::string code = withId ? text.substr(4) : text;
    if (code.empty())
        return std::nullopt;
    if (route.simLoader == LoaderKind::Block512) {
        for (const CrcCommand& c : CrcCommands) {
            if (code.rfind(c.code, 0) == 0)
                return c.phase;
        }
        return std::nullopt;
    }
    if (code.rfind("Zx", 0) == 0 || code == "A")
        return Phase::Enter;
    switch (code.front()) {
    // One erase of everything before the 64-byte loader's blocks; one per
    // two blocks on the 256-byte loader.
    case 'E': return route.simLoader == LoaderKind::Block64 ? Phase::Enter : Phase::Program;
    case 'P': return Phase::Program;
    case 'R': return Phase::Verify;
    case 'X': return code == "X" ? std::optional<Phase>(Phase::Start) : std::nullopt;
    default: return std::nullopt;
    }
}

// The block commands of the XOR loaders: `letter` and the address of block r.
std::string BlockCommand(const RouteInfo& route, const std::string& id, char letter, int r)
{
    const std::string address = QStringLiteral("%1").arg(r * route.blockSize, 4, 16, QLatin1Char('0')).toStdString();
    return (route.simLoader == LoaderKind::Block64 ? std::string() : id) + letter + address;
}

int CountStartingWith(const std::vector<std::string>& commands, const std::string& prefix)
{
    return int(std::count_if(commands.begin(), commands.end(),
                             [&prefix](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

struct Row {
    QString name;
    Route route;
    QString code;  // the 512-byte loader's command the reply fault is for
    Trouble trouble;
    LoaderFaults loaderFaults;
    std::string id;
    Expected expected;
    // The command whose attempts are counted, ID included.
    QString attemptsOf;
};

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    const auto add = [&rows](const RouteInfo& route, const QString& what, const QString& code, Trouble trouble,
                             const LoaderFaults& faults, const std::string& id, const Expected& expected,
                             const QString& attemptsOf) {
        QString name = QStringLiteral("%1, %2").arg(QLatin1String(route.name), what);
        if (id != DefaultId)
            name += QStringLiteral(" (controller %1)").arg(QString::fromStdString(id));
        name += QStringLiteral(": %1").arg(QLatin1String(ct::testing::MessageName(expected.message)));
        if (expected.message == txt::CommandError)
            name += QStringLiteral(" in %1").arg(QLatin1String(PhaseName(expected.lastPhase)));
        rows.push_back({name, route.route, code, trouble, faults, id, expected, attemptsOf});
    };
    const Expected ok{txt::CommandOk, Phase::Start, 1};

    const RouteInfo& chosen = InfoOf(Route::Kind3ByChoice);
    add(chosen, QStringLiteral("no fault"), {}, Trouble::None, {}, DefaultId, ok, {});
    for (const CrcCommand& command : CrcCommands) {
        for (const Column& column : ReplyFaults) {
            const std::string id = IdFor(command.phase, column.trouble);
            add(chosen, QStringLiteral("%1 %2").arg(QLatin1String(command.code), QLatin1String(column.name)),
                QLatin1String(command.code), column.trouble, {}, id, ExpectedFor(command.phase, column.trouble),
                QString::fromStdString(id) + QLatin1String(command.code));
        }
    }
    add(chosen, QStringLiteral("connection refused"), {}, Trouble::Refused, {}, DefaultId,
        {txt::ConnectError, Phase::Enter, -1}, {});

    // The other way to the same loader, with the pauses of its kind.
    const RouteInfo& byModel = InfoOf(Route::Kind6ByModel);
    add(byModel, QStringLiteral("no fault"), {}, Trouble::None, {}, DefaultId, ok, {});
    add(byModel, QStringLiteral("Zv late reply"), QStringLiteral("Zv"), Trouble::LateReply, {}, DefaultId,
        ExpectedFor(Phase::Verify, Trouble::LateReply), QString::fromStdString(DefaultId) + QLatin1String("Zv"));

    using K = LoaderFault::Kind;
    for (Route r : {Route::Block256, Route::Block64}) {
        const RouteInfo& route = InfoOf(r);
        const QString program0 = QString::fromStdString(BlockCommand(route, DefaultId, 'P', 0));
        const QString verify0 = QString::fromStdString(BlockCommand(route, DefaultId, 'R', 0));
        const QString program1 = QString::fromStdString(BlockCommand(route, DefaultId, 'P', 1));
        add(route, QStringLiteral("no fault"), {}, Trouble::None, {}, DefaultId, ok, {});
        // Four spoilt attempts leave the fifth.
        add(route, QStringLiteral("fail-program block 0 x4"), {}, Trouble::None, {{K::FailProgram, 0, 4}}, DefaultId,
            {txt::CommandOk, Phase::Start, Attempts}, program0);
        add(route, QStringLiteral("fail-program block 0 x5"), {}, Trouble::None, {{K::FailProgram, 0, 5}}, DefaultId,
            {txt::CommandError, Phase::Program, Attempts}, program0);
        add(route, QStringLiteral("fail-program block 0 always"), {}, Trouble::None, {{K::FailProgram, 0, -1}},
            DefaultId, {txt::CommandError, Phase::Program, Attempts}, program0);
        add(route, QStringLiteral("fail-verify block 0 x4"), {}, Trouble::None, {{K::FailVerify, 0, 4}}, DefaultId,
            {txt::CommandOk, Phase::Start, Attempts}, verify0);
        add(route, QStringLiteral("fail-verify block 0 x5"), {}, Trouble::None, {{K::FailVerify, 0, 5}}, DefaultId,
            {txt::CommandError, Phase::Verify, Attempts}, verify0);
        add(route, QStringLiteral("fail-verify block 0 always"), {}, Trouble::None, {{K::FailVerify, 0, -1}},
            DefaultId, {txt::CommandError, Phase::Verify, Attempts}, verify0);
        // A read-back that arrived is compared once, not asked for again.
        add(route, QStringLiteral("lower-verify block 0"), {}, Trouble::None, {{K::LowerCaseVerify, 0, -1}},
            DefaultId, {txt::CommandError, Phase::Verify, 1}, verify0);
        add(route, QStringLiteral("silent from block 1"), {}, Trouble::None, {{K::SilentFrom, 1, -1}}, DefaultId,
            {txt::CommandError, Phase::Program, Attempts}, program1);
    }
    return rows;
}

}  // namespace

Q_DECLARE_METATYPE(Route)
Q_DECLARE_METATYPE(Phase)
Q_DECLARE_METATYPE(LoaderFaults)

class tst_UpgradeFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void upgrade_faultyLoader_endsAsOwedWithWindowIdle_data();
    void upgrade_faultyLoader_endsAsOwedWithWindowIdle();

private:
    void ChooseFile(TfrmModule& w, const QString& path)
    {
        QTimer::singleShot(0, this, [&w, path] {
            w.LoadDialog()->selectFile(path);
            static_cast<QDialog*>(w.LoadDialog())->accept();
        });
        w.mnuFirmwareFileClick();
    }
};

void tst_UpgradeFaults::initTestCase()
{
    const std::vector<Row> rows = Rows();
    const auto successes = std::count_if(rows.begin(), rows.end(),
                                         [](const Row& r) { return r.expected.message == txt::CommandOk; });
    qInfo("upgrade faults: %d cases, %d of them on the 512-byte loader's %d commands x %d reply faults; %d end "
          "well",
          int(rows.size()), int(CrcCommands.size() * ReplyFaults.size()), int(CrcCommands.size()),
          int(ReplyFaults.size()), int(successes));
}

void tst_UpgradeFaults::cleanup()
{
    ct::testing::DropOverrideCursors();
}

void tst_UpgradeFaults::upgrade_faultyLoader_endsAsOwedWithWindowIdle_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QString>("code");
    QTest::addColumn<Trouble>("trouble");
    QTest::addColumn<LoaderFaults>("loaderFaults");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("message");
    QTest::addColumn<Phase>("lastPhase");
    QTest::addColumn<QString>("attemptsOf");
    QTest::addColumn<int>("attempts");
    for (const Row& row : Rows()) {
        QTest::newRow(qPrintable(row.name)) << row.route << row.code << row.trouble << row.loaderFaults
                                            << QString::fromStdString(row.id) << row.expected.message
                                            << row.expected.lastPhase << row.attemptsOf << row.expected.attempts;
    }
}

void tst_UpgradeFaults::upgrade_faultyLoader_endsAsOwedWithWindowIdle()
{
    QFETCH(Route, route);
    QFETCH(QString, code);
    QFETCH(Trouble, trouble);
    QFETCH(LoaderFaults, loaderFaults);
    QFETCH(QString, id);
    QFETCH(int, message);
    QFETCH(Phase, lastPhase);
    QFETCH(QString, attemptsOf);
    QFETCH(int, attempts);
    const RouteInfo& info = InfoOf(route);
    const std::string deviceId = id.toStdString();

    ct::sim::ControllerConfig config;
    config.id = deviceId;
    config.model = info.model;
    config.loader = info.simLoader;
    config.loaderFaults = loaderFaults;
    FakeLine line({config});
    WindowRig rig(line);
    TfrmModule& w = *rig.window;
    w.LoadDialog()->setOption(QFileDialog::DontUseNativeDialog);
    // Any address: the fake line is behind every one.
    rig.PointAtClosedPort();
    if (trouble == Trouble::Refused) {
        line.device.failTcpOpen = true;
    } else {
        // The ID for the loader's commands, and the model in the version panel.
        QTest::mouseClick(w.btnConnect, Qt::LeftButton);
        QCOMPARE(w.pnMsg->text(), rig.Text(txt::CommandOk));
        QCOMPARE(w.Identity().DeviceID, deviceId);
        line.sim.ClearCommands();
        if (trouble != Trouble::None)
            line.sim.InjectFault(ct::testing::FaultFor(trouble, code.toStdString()));
    }
    const QByteArray payload = Payload(info.payloadSize);
    const QString path = WriteFirmware(rig.dir_, QStringLiteral("fw.KXB"), info.header, payload);
    QVERIFY(!path.isEmpty());
    ChooseFile(w, path);
    QCOMPARE(w.FirmwareFile(), path);
    w.cmbLoader->setCurrentIndex(info.loaderIndex);
    QCOMPARE(w.UpgradeKind(), info.kind);

    QTest::mouseClick(w.btnFirmware, Qt::LeftButton);

    ct::testing::VerifyWindowIdle(rig, w, message);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(w.btnFirmware->isEnabled());

    if (trouble == Trouble::Refused)
        return;
    const std::vector<std::string> heard = line.sim.Commands();
    QVERIFY(!heard.empty());
    Phase reached = Phase::Enter;
    for (const std::string& command : heard) {
        const std::optional<Phase> phase = PhaseOf(info, command);
        QVERIFY2(phase.has_value(), command.c_str());
        reached = std::max(reached, *phase);
    }
    QCOMPARE(PhaseName(reached), PhaseName(lastPhase));
    if (attempts >= 0 && !attemptsOf.isEmpty())
        QCOMPARE(CountStartingWith(heard, attemptsOf.toStdString()), attempts);

    const QByteArray flashed = Flashed(info);
    const int blocks = flashed.size() / info.blockSize;
    if (message != txt::CommandOk) {
        QCOMPARE(line.sim.LoaderStarts(), 0);
        // A 512-byte loader that did not acknowledge its enter command
        // hears nothing more.
        if (info.simLoader == LoaderKind::Block512 && lastPhase == Phase::Enter)
            QCOMPARE(int(heard.size()), 1);
        return;
    }
    QCOMPARE(line.sim.LoaderStarts(), 1);
    QVERIFY(!line.sim.InLoader());
    const std::vector<std::uint8_t> flash = line.sim.Flash(0, std::size_t(flashed.size()));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(flash.data()), int(flash.size())), flashed);
    QCOMPARE(w.Image().ImageBlockCount, blocks);
    QCOMPARE(w.pbProgram->value(), blocks);
    QCOMPARE(w.pbVerify->value(), blocks);
}

QTEST_MAIN(tst_UpgradeFaults)
#include "tst_UpgradeFaults.moc"

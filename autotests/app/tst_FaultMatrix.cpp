// Every operation of the Basic test, Command test, Controller, G6 Module,
// G4 Module and Model Name pages, and Connect,
// against every fault the substitute controller puts into its replies (and a
// controller that is not there), through the real window over the fake link,
// where the time-outs of the silent and late replies cost no wall time.
// Each case ends with the message the operation owes its user, and with the
// window back in the user's hands: idle, enabled, the default cursor, the
// link closed, the continuous tests' controls and the Command test tab back.
#include "app/Catalogue.h"
#include "app/Lamp.h"
#include "app/Module.h"
#include "sim/ControllerModel.h"
#include "sim/ControllerSim.h"
#include "support/FaultColumns.h"
#include "support/WindowRig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <string>
#include <vector>

using ct::testing::Column;
using ct::testing::CountOf;
using ct::testing::FakeLine;
using ct::testing::Trouble;
using ct::testing::WindowRig;
namespace txt = ct::app::txt;

namespace {

enum class Op {
    Connect, SetDate, Alarm, Initial, Reboot, Set19200, Set115200, Command, ModuleCommand, Dido, Pooling,
    CtrlId, CtrlIdBySn, SetCtrlBySn, G6Serial, G6Id, G6SetId, G6GetCardType, G6SetCardType, G4Serial, G4SetId,
    ModelName,
};

// How an operation judges its replies.
enum class Judge {
    Connect,     // its own three steps
    Length,      // a checked reply of the one length (or two) it accepts
    AnyLength,   // a checked reply of any length
    Continuous,  // ends "Command ok." whatever its transactions gave
};

struct Operation {
    Op op;
    const char* name;
    Judge judge;
    // The codes (the text after the ID) of every command it sends; each gets
    // the fault.
    std::vector<std::string> codes;
    // The command, after the ID, whose reply decides it, for a one-shot
    // operation.
    std::string decisive;
    // Sent after "0000" whatever the window's DeviceID.
    bool anyController = false;
};

const std::string DefaultId = "0000";
const std::string ConsoleCommand = "DB";

const std::vector<Operation>& Operations()
{
    static const std::vector<Operation> all = {
        {Op::Connect, "connect", Judge::Connect, {"AC", "DB", "AS"}, "AC"},
        {Op::SetDate, "set date", Judge::Length, {"AA"}, "AA20240301075959"},
        {Op::Alarm, "alarm", Judge::Length, {"JF"}, "JF3"},
        {Op::Initial, "factory reset", Judge::Length, {"AR01"}, "AR01"},
        {Op::Reboot, "reboot", Judge::Length, {"AR00"}, "AR00"},
        {Op::Set19200, "set 19200", Judge::Length, {"AE001002"}, "AE001002"},
        {Op::Set115200, "set 115200", Judge::Length, {"AE001400"}, "AE001400"},
        {Op::Command, "console", Judge::AnyLength, {ConsoleCommand}, ConsoleCommand},
        {Op::ModuleCommand, "module console", Judge::AnyLength, {"DD"}, "DDH1B"},
        {Op::Dido, "DIDO test", Judge::Continuous, {"JC", "DG0", "JD"}, {}},
        {Op::Pooling, "polling test", Judge::Continuous, {"PI", "IB"}, {}},
        {Op::CtrlId, "controller ID", Judge::Length, {"AS"}, "AS"},
        {Op::CtrlIdBySn, "controller ID by S/N", Judge::Length, {"AV"}, "AV16030001", true},
        {Op::SetCtrlBySn, "set controller ID", Judge::Length, {"AV"}, "AV160300010001", true},
        {Op::G6Serial, "G6 serial", Judge::Length, {"DR05"}, "DR050006880000010001"},
        {Op::G6Id, "G6 ID", Judge::Length, {"DR05"}, "DR0500088400000216030001"},
        {Op::G6SetId, "G6 set ID", Judge::Length, {"DR05"}, "DR05001084000002160300011603000100010000"},
        {Op::G6GetCardType, "G6 card type", Judge::Length, {"DR05"}, "DR050006880002030001"},
        {Op::G6SetCardType, "G6 set card type", Judge::Length, {"DR05"}, "DR05000E8800020300010041000A00030000"},
        {Op::G4Serial, "G4 serial", Judge::Length, {"DD"}, "DDH1S"},
        // Any checked reply sets the ID.
        {Op::G4SetId, "G4 set ID", Judge::AnyLength, {"DD"}, "DDH0C160300011"},
        // The code Connect reads the serial number with: its fault goes in
        // after any Connect a case needs.
        {Op::ModelName, "model name", Judge::Length, {"AS"}, "ASKX410NT4-SG4"},
    };
    return all;
}

// Every reply fault, after a case without one and before a controller that
// is not there.
const std::vector<Column>& Columns()
{
    static const std::vector<Column> all = [] {
        std::vector<Column> columns{{Trouble::None, "no fault"}};
        columns.insert(columns.end(), ct::testing::ReplyFaults.begin(), ct::testing::ReplyFaults.end());
        columns.push_back({Trouble::Refused, "connection refused"});
        return columns;
    }();
    return all;
}

ct::sim::ControllerConfig SimConfig(const std::string& id)
{
    ct::sim::ControllerConfig config;
    config.id = id;
    // Lit lamps, so that the DIDO test's end has something to put out.
    config.inputs = "10000001";
    return config;
}

// Whether the reply of controller `id` to `code` has hex letters in its CRC,
// i.e. whether writing them in lower case changes the frame at all.
bool CrcHasLetters(const std::string& id, const std::string& code, bool anyController = false)
{
    ct::sim::ControllerModel model(SimConfig(id));
    const auto reply = model.Answer((anyController ? DefaultId : id) + code);
    return reply && ct::testing::ReplyCrcHasLetters(*reply);
}

// The controller ID for a case: "0000", the window's own before any Connect,
// unless lower-case CRC characters would change nothing in the decisive
// reply; then the first ID whose reply has letters in its CRC, which the
// window learns from a Connect before the fault is injected.
std::string IdFor(const Operation& operation, Trouble trouble)
{
    if (trouble != Trouble::LowerCaseCrc || operation.decisive.empty() || operation.op == Op::Connect
        || CrcHasLetters(DefaultId, operation.decisive, operation.anyController))
        return DefaultId;
    for (int n = 1; n <= 9999; ++n) {
        const std::string id = QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0')).toStdString();
        if (CrcHasLetters(id, operation.decisive, operation.anyController))
            return id;
    }
    return DefaultId;
}

// What a fault leaves of a reply for the tool.
enum class Effect { Intact, Lost, Longer };

Effect EffectOf(Trouble trouble, const std::string& id, const std::string& code, bool anyController = false)
{
    switch (trouble) {
    case Trouble::Silence:
    case Trouble::WrongCrc:
    case Trouble::LateReply:
        return Effect::Lost;
    case Trouble::LowerCaseCrc:
        return CrcHasLetters(id, code, anyController) ? Effect::Lost : Effect::Intact;
    case Trouble::WrongLength:
    case Trouble::ExtraBytes:
        return Effect::Longer;
    default:
        return Effect::Intact;
    }
}

int ExpectedMessage(const Operation& operation, Trouble trouble, const std::string& id)
{
    if (trouble == Trouble::Refused)
        return txt::ConnectError;
    switch (operation.judge) {
    case Judge::Continuous:
        return txt::CommandOk;
    case Judge::Length:
        return EffectOf(trouble, id, operation.decisive, operation.anyController) == Effect::Intact
                   ? txt::CommandOk
                   : txt::CommandError;
    case Judge::AnyLength:
        return EffectOf(trouble, id, operation.decisive, operation.anyController) == Effect::Lost
                   ? txt::CommandError
                   : txt::CommandOk;
    case Judge::Connect:
        break;
    }
    // The first attempt's reply comes while the second attempt waits and is
    // taken as its answer; the "DB" then gets no 29-byte reply in time.
    if (trouble == Trouble::LateReply)
        return txt::CommandError;
    if (EffectOf(trouble, id, "AC") != Effect::Intact)
        return txt::ConnectError;
    // A serial number that does not come still leaves the controller connected.
    return EffectOf(trouble, id, "DB") == Effect::Intact ? txt::CommandOk : txt::CommandError;
}

}  // namespace

Q_DECLARE_METATYPE(Op)

class tst_FaultMatrix : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void operation_faultyController_endsAsOwedWithWindowIdle_data();
    void operation_faultyController_endsAsOwedWithWindowIdle();
};

void tst_FaultMatrix::initTestCase()
{
    qInfo("fault matrix: %d operations x %d faults = %d cases", int(Operations().size()), int(Columns().size()),
          int(Operations().size() * Columns().size()));
}

void tst_FaultMatrix::cleanup()
{
    ct::testing::DropOverrideCursors();
}

void tst_FaultMatrix::operation_faultyController_endsAsOwedWithWindowIdle_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<Trouble>("trouble");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("message");

    for (const Operation& operation : Operations()) {
        for (const Column& column : Columns()) {
            const std::string id = IdFor(operation, column.trouble);
            QString name = QStringLiteral("%1, %2").arg(QLatin1String(operation.name), QLatin1String(column.name));
            if (id != DefaultId)
                name += QStringLiteral(" (controller %1)").arg(QString::fromStdString(id));
            const int message = ExpectedMessage(operation, column.trouble, id);
            name += QStringLiteral(": %1").arg(QLatin1String(ct::testing::MessageName(message)));
            QTest::newRow(qPrintable(name)) << operation.op << column.trouble << QString::fromStdString(id)
                                            << message;
        }
    }
}

void tst_FaultMatrix::operation_faultyController_endsAsOwedWithWindowIdle()
{
    QFETCH(Op, op);
    QFETCH(Trouble, trouble);
    QFETCH(QString, id);
    QFETCH(int, message);
    const std::string deviceId = id.toStdString();
    const Operation& operation =
        *std::find_if(Operations().begin(), Operations().end(), [op](const Operation& o) { return o.op == op; });

    FakeLine line({SimConfig(deviceId)});
    WindowRig rig(line);
    ct::app::TfrmModule& w = *rig.window;
    // Any address: the fake line is behind every one.
    rig.PointAtClosedPort();
    if (trouble == Trouble::Refused) {
        line.device.failTcpOpen = true;
    } else {
        if (deviceId != DefaultId) {
            QTest::mouseClick(w.btnConnect, Qt::LeftButton);
            QCOMPARE(w.Identity().DeviceID, deviceId);
            line.sim.ClearCommands();
        }
        if (trouble != Trouble::None) {
            for (const std::string& code : operation.codes)
                line.sim.InjectFault(ct::testing::FaultFor(trouble, code));
        }
    }

    QPushButton* button = nullptr;
    switch (op) {
    case Op::Connect: button = w.btnConnect; break;
    case Op::SetDate: button = w.btnSetDate; break;
    case Op::Alarm:
        w.cmbAlarm->setCurrentIndex(3);
        button = w.btnAlarm;
        break;
    case Op::Initial: button = w.btnInitial; break;
    case Op::Reboot: button = w.btnReboot; break;
    case Op::Set19200: button = w.btnSet19200; break;
    case Op::Set115200: button = w.btnSet115200; break;
    case Op::Command:
        w.pcMain->setCurrentWidget(w.tsCommand);
        w.edCommandSend->setText(QString::fromStdString(ConsoleCommand));
        button = w.btnCommand;
        break;
    case Op::ModuleCommand:
        w.pcMain->setCurrentWidget(w.tsCommand);
        w.cmbModuleType->setCurrentIndex(2);
        w.cmbModuleId->setCurrentIndex(0);
        w.edModuleCommandSend->setText(QStringLiteral("B"));
        button = w.btnModuleCommand;
        break;
    case Op::Dido:
        w.chkDO1->setChecked(true);
        button = w.btnDIDO;
        break;
    case Op::Pooling: button = w.btnPooling; break;
    case Op::CtrlId: button = w.btnGetCtrlID; break;
    case Op::CtrlIdBySn:
        w.rbCtrlBySN->setChecked(true);
        button = w.btnGetCtrlID;
        break;
    case Op::SetCtrlBySn: button = w.btnSetCtrlBySN; break;
    case Op::G6Serial: button = w.btnG6SnId; break;
    case Op::G6Id:
        w.rbSN->setChecked(true);
        button = w.btnG6SnId;
        break;
    case Op::G6SetId: button = w.btnG6SetId; break;
    case Op::G6GetCardType: button = w.btnG6GetCardType; break;
    case Op::G6SetCardType: button = w.btnG6SetCardType; break;
    case Op::G4Serial: button = w.btnG4GetSn; break;
    case Op::G4SetId: button = w.btnG4SetId; break;
    case Op::ModelName: button = w.btnSetNo; break;
    }

    // A continuous test runs inside its first click's handler: the second
    // click, which stops it, comes from here, once the controller has heard a
    // few cycles, or one when its replies take time-outs.
    const bool continuous = operation.judge == Judge::Continuous;
    const std::string cycleCommand = deviceId + (op == Op::Dido ? "DG0" : "PI");
    QTimer stopper;
    QElapsedTimer running;
    bool stopClicked = false;
    connect(&stopper, &QTimer::timeout, this, [&] {
        if (stopClicked || !w.TestRunning())
            return;
        if (!running.isValid())
            running.start();
        const int cycles = CountOf(line.sim.Commands(), cycleCommand);
        if (cycles >= 3 || (cycles >= 1 && running.elapsed() >= 1500)) {
            stopClicked = true;
            QTest::mouseClick(button, Qt::LeftButton);
        }
    });
    if (continuous)
        stopper.start(20);

    QTest::mouseClick(button, Qt::LeftButton);
    stopper.stop();

    ct::testing::VerifyWindowIdle(rig, w, message);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!w.TestActive());
    QVERIFY(!w.TestRunning());
    QCOMPARE(w.btnDIDO->text(), rig.Text(txt::DidoTest));
    QCOMPARE(w.btnPooling->text(), rig.Text(txt::PoolingTest));
    QVERIFY(w.pcMain->isTabVisible(w.pcMain->indexOf(w.tsCommand)));
    for (QPushButton* b : {w.btnConnect, w.btnSetDate, w.btnAlarm, w.btnInitial, w.btnReboot, w.btnDIDO,
                           w.btnPooling, w.btnSet19200, w.btnSet115200, w.btnCommand, w.btnModuleCommand})
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));

    if (op == Op::Dido) {
        for (ct::app::Lamp* lamp : {w.shDI1, w.shDI2, w.shDI3, w.shDI4, w.shDI5, w.shDI6, w.shDI7, w.shDI8})
            QCOMPARE(lamp->colour(), QColor(Qt::white));
        // A test that never had the link never reaches its end, which is
        // where the boxes are cleared.
        QCOMPARE(w.chkDO1->isChecked(), trouble == Trouble::Refused);
        for (QCheckBox* box : {w.chkDO2, w.chkDO3, w.chkDO4})
            QVERIFY(!box->isChecked());
    }

    if (trouble == Trouble::Refused)
        return;
    const std::vector<std::string> heard = line.sim.Commands();
    if (continuous) {
        QVERIFY(CountOf(heard, cycleCommand) >= 1);
        if (op == Op::Dido) {
            QVERIFY(CountOf(heard, deviceId + "JC00110002") >= 1);
            QCOMPARE(CountOf(heard, deviceId + "JD"), 1);
            QCOMPARE(heard.back(), deviceId + "JD");
        }
    } else if (op == Op::Connect) {
        const int attempts = message == txt::ConnectError ? 3 : trouble == Trouble::LateReply ? 2 : 1;
        QCOMPARE(CountOf(heard, deviceId + "AC"), attempts);
    } else {
        // One request, never repeated.
        QCOMPARE(int(heard.size()), 1);
        const std::string prefix = operation.anyController ? DefaultId : deviceId;
        QVERIFY2(heard.front() == prefix + operation.decisive || operation.op == Op::SetDate,
                 heard.front().c_str());
        QVERIFY2(heard.front().rfind(prefix + operation.codes.front(), 0) == 0, heard.front().c_str());
    }
}

QTEST_MAIN(tst_FaultMatrix)
#include "tst_FaultMatrix.moc"

// The Basic test and Command test pages driven through the real widgets
// against the substitute controller: the one-command operations, the two
// continuous tests with everything else blocked while they hold the link,
// closing the window during a test, the line speed switches over TCP and a
// pseudo-terminal, the raw console and the clock panel.
//
// A continuous test runs inside its button's click handler, so whatever the
// test does while it runs is scheduled beforehand on a timer and in every
// pause (Meanwhile).
#include "app/Lamp.h"
#include "support/WindowRig.h"
#include "tests/PollingTest.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

using ct::app::TfrmModule;
using ct::sim::Fault;
using ct::sim::FaultKind;
using ct::testing::CountOf;
using ct::testing::SpinUntil;
using ct::testing::Via;
using ct::testing::WindowRig;
namespace txt = ct::app::txt;
using namespace std::chrono_literals;

namespace {

// Runs `tick` every few milliseconds while it lives.
class Meanwhile {
public:
    Meanwhile(WindowRig& rig, const std::function<void()>& tick) : pump_(rig.skippingPump)
    {
        QObject::connect(&timer_, &QTimer::timeout, tick);
        timer_.start(5);
        pump_.onPause = tick;
    }
    ~Meanwhile() { pump_.onPause = nullptr; }

private:
    QTimer timer_;
    ct::testing::PauseSkippingQtPump& pump_;
};

ct::sim::ControllerConfig AtId0000()
{
    ct::sim::ControllerConfig config;
    config.id = "0000";  // the window's DeviceID before any Connect
    return config;
}

std::vector<ct::app::Lamp*> InputLamps(const TfrmModule& w)
{
    return {w.shDI1, w.shDI2, w.shDI3, w.shDI4, w.shDI5, w.shDI6, w.shDI7, w.shDI8};
}

std::vector<QCheckBox*> OutputBoxes(const TfrmModule& w)
{
    return {w.chkDO1, w.chkDO2, w.chkDO3, w.chkDO4};
}

bool CommandTabVisible(const TfrmModule& w)
{
    return w.pcMain->isTabVisible(w.pcMain->indexOf(w.tsCommand));
}

}  // namespace

class tst_TestPage : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void oneShot_clicked_sendsItsCommandAndEnds_data();
    void oneShot_clicked_sendsItsCommandAndEnds();
    void setDate_clicked_sendsThePcTimeAfterThePause();

    void dido_running_drivesOutputsShowsInputsAndStopsWithJd();
    void dido_running_blocksEveryOtherOperation();
    void dido_clickDuringFinalExchange_ignored();
    void dido_controllerSilentMidTest_endsOk();
    void polling_recordsQueued_eachShownThenAcknowledgedOnce();
    void continuous_languageSwitchedMeanwhile_captionsFollow();
    void continuous_windowClosed_stopsTestThenCloses();
    void continuous_linkRefused_restoresEverything();

    void speedSwitch_answered_followsOnlyOnSuccess_data();
    void speedSwitch_answered_followsOnlyOnSuccess();
    void speedSwitch_overPty_nextOperationTalksAtNewSpeed();
    void localSpeed_clicked_setsDropDownOnly();

    void console_controllerCommand_showsReplyAndStoresLink();
    void console_moduleCommand_wrapsTypeAndId();
    void console_tooLong_refusedBeforeAnythingIsOpened_data();
    void console_tooLong_refusedBeforeAnythingIsOpened();

    void clock_ticks_showsPcTimeWithSeparators();

    void screenshots_testRunningAndConsoleReply_written();

private:
    std::unique_ptr<WindowRig> rig_;
    TfrmModule* w_ = nullptr;
};

void tst_TestPage::init()
{
    rig_ = std::make_unique<WindowRig>();
    w_ = rig_->window.get();
    QVERIFY(rig_->Show());
}

void tst_TestPage::cleanup()
{
    w_ = nullptr;
    rig_.reset();
}

// --- One-command operations ----------------------------------------------------

void tst_TestPage::oneShot_clicked_sendsItsCommandAndEnds_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<bool>("shortAck");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("title");
    QTest::addColumn<bool>("ok");

    for (int alarm = 0; alarm < 7; ++alarm)
        QTest::addRow("alarm %d", alarm) << "btnAlarm" << alarm << false << QStringLiteral("0000JF%1").arg(alarm)
                                         << int(txt::AlarmTest) << true;
    QTest::newRow("alarm, 12-byte reply") << "btnAlarm" << 2 << true << "0000JF2" << int(txt::AlarmTest) << true;
    QTest::newRow("factory reset") << "btnInitial" << 0 << false << "0000AR01" << int(txt::SetFactory) << true;
    QTest::newRow("reboot") << "btnReboot" << 0 << false << "0000AR00" << int(txt::SetReboot) << true;
}

void tst_TestPage::oneShot_clicked_sendsItsCommandAndEnds()
{
    QFETCH(QString, button);
    QFETCH(int, alarm);
    QFETCH(bool, shortAck);
    QFETCH(QString, command);
    QFETCH(int, title);
    QFETCH(bool, ok);
    ct::sim::ControllerConfig config = AtId0000();
    config.shortAck = shortAck;
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->cmbAlarm->setCurrentIndex(alarm);
    QStringList shown;
    Meanwhile watch(*rig_, [&] {
        if (shown.isEmpty() || shown.last() != w_->pnMsg->text())
            shown << w_->pnMsg->text();
    });

    w_->findChild<QPushButton*>(button)->click();

    QCOMPARE(rig_->Commands(), std::vector<std::string>{command.toStdString()});
    QCOMPARE(w_->pnMsg->text(), rig_->Text(ok ? txt::CommandOk : txt::CommandError));
    QVERIFY(shown.contains(rig_->Text(title)));
    QCOMPARE(w_->cmbAlarm->currentIndex(), alarm);
    QVERIFY(!w_->LinkOpen());
    if (button == QLatin1String("btnAlarm"))
        QCOMPARE(rig_->sim->Config().alarm, alarm);
    if (button == QLatin1String("btnInitial"))
        QCOMPARE(rig_->sim->FactoryResets(), 1);
    if (button == QLatin1String("btnReboot"))
        QCOMPARE(rig_->sim->Reboots(), 1);
}

void tst_TestPage::setDate_clicked_sendsThePcTimeAfterThePause()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    const QDateTime before = QDateTime::currentDateTime();

    w_->btnSetDate->click();

    const std::vector<std::string> commands = rig_->Commands();
    QCOMPARE(commands.size(), std::size_t(1));
    const QString sent = QString::fromStdString(commands[0]);
    QVERIFY2(QRegularExpression(QStringLiteral("^0000AA\\d{14}$")).match(sent).hasMatch(), qPrintable(sent));
    const QDateTime at = QDateTime::fromString(sent.mid(6), QStringLiteral("yyyyMMddHHmmss"));
    QVERIFY(at.isValid());
    // Read after the 100 ms pause, whole seconds.
    QVERIFY(at >= before.addMSecs(100 - before.time().msec() - 1000));
    QVERIFY(at <= QDateTime::currentDateTime());
    QCOMPARE(rig_->sim->ControllerTime().substr(0, 8), sent.mid(6, 8).toStdString());
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
}

// --- Continuous tests ------------------------------------------------------------

void tst_TestPage::dido_running_drivesOutputsShowsInputsAndStopsWithJd()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.inputs = "1020000A";
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->chkDO1->setChecked(true);
    w_->chkDO3->setChecked(true);

    bool stopped = false;
    bool sawRunning = false;
    std::vector<QColor> lampsWhileRunning;
    Meanwhile stop(*rig_, [&] {
        if (stopped || CountOf(rig_->Commands(), "0000DG0") < 3)
            return;
        sawRunning = w_->TestRunning() && w_->btnDIDO->text() == rig_->Text(txt::CancelTest)
                     && w_->pnMsg->text() == rig_->Text(txt::DidoTest) && !CommandTabVisible(*w_)
                     && w_->WindowEnabled() && w_->tmrBusy->isActive();
        for (ct::app::Lamp* lamp : InputLamps(*w_))
            lampsWhileRunning.push_back(lamp->colour());
        stopped = true;
        w_->btnDIDO->click();
    });

    w_->btnDIDO->click();

    QVERIFY(stopped);
    QVERIFY(sawRunning);
    const QColor Y(Qt::yellow);
    const QColor W(Qt::white);
    QCOMPARE(lampsWhileRunning, (std::vector<QColor>{Y, W, W, W, W, W, W, W}));
    const std::vector<std::string> commands = rig_->Commands();
    // Every cycle: the checked outputs in order, then the inputs; "JD" once, last.
    for (std::size_t i = 0; i + 1 < commands.size(); i += 3) {
        QCOMPARE(commands[i], std::string("0000JC00110002"));
        QCOMPARE(commands[i + 1], std::string("0000JC00310002"));
        QCOMPARE(commands[i + 2], std::string("0000DG0"));
    }
    QCOMPARE(commands.size() % 3, std::size_t(1));
    QCOMPARE(commands.back(), std::string("0000JD"));
    QCOMPARE(CountOf(commands, "0000JD"), 1);
    for (ct::app::Lamp* lamp : InputLamps(*w_))
        QCOMPARE(lamp->colour(), W);
    for (QCheckBox* box : OutputBoxes(*w_))
        QVERIFY(!box->isChecked());
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->btnDIDO->text(), rig_->Text(txt::DidoTest));
    QVERIFY(CommandTabVisible(*w_));
    QVERIFY(!w_->TestActive() && !w_->Busy() && !w_->LinkOpen());
    QVERIFY(!w_->pcMain->isTabVisible(w_->pcMain->indexOf(w_->tsFunction)));
    QVERIFY(!w_->pcMain->isTabVisible(w_->pcMain->indexOf(w_->tsFirmware)));
}

void tst_TestPage::dido_running_blocksEveryOtherOperation()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    const QList<QPushButton*> buttons = w_->findChildren<QPushButton*>();
    bool clicked = false;
    QStringList reachable;
    Meanwhile clickEverything(*rig_, [&] {
        if (clicked || CountOf(rig_->Commands(), "0000DG0") < 2)
            return;
        clicked = true;
        for (QPushButton* button : buttons) {
            if (button == w_->btnDIDO || button->window() != w_)
                continue;
            if (button->isEnabled())
                reachable << button->objectName();
            // A real click, on every button, shown or not.
            QTest::mouseClick(button, Qt::LeftButton);
        }
        w_->mnuFirmwareFile->trigger();
        QTest::keyClick(w_, Qt::Key_Return);
        w_->btnDIDO->click();
    });

    w_->btnDIDO->click();

    QVERIFY(clicked);
    reachable.sort();
    QCOMPARE(reachable, (QStringList{QStringLiteral("btn115200"), QStringLiteral("btn19200")}));
    // Nothing but the test's own commands reached the controller.
    for (const std::string& command : rig_->Commands())
        QVERIFY2(command == "0000DG0" || command == "0000JD", command.c_str());
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    for (QPushButton* button : buttons) {
        if (button->window() == w_)
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    }
    // The firmware item is hidden, and so never enabled, in the standard window.
    QVERIFY(!w_->mnuFirmwareFile->isVisible() || w_->mnuFirmwareFile->isEnabled());
}

void tst_TestPage::dido_clickDuringFinalExchange_ignored()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    Fault slowEnd;
    slowEnd.kind = FaultKind::Delay;
    slowEnd.command = "JD";
    slowEnd.delay = 400ms;
    rig_->sim->InjectFault(slowEnd);

    enum { Starting, Stopping, Ending, Done } phase = Starting;
    Meanwhile drive(*rig_, [&] {
        if (phase == Starting && CountOf(rig_->Commands(), "0000DG0") >= 1) {
            phase = Stopping;
            w_->btnDIDO->click();
        } else if (phase == Stopping && CountOf(rig_->Commands(), "0000JD") == 1) {
            phase = Ending;
            // The window is the user's while "JD" waits for its reply.
            QTest::mouseClick(w_->btnDIDO, Qt::LeftButton);
            QTest::mouseClick(w_->btnDIDO, Qt::LeftButton);
            phase = Done;
        }
    });

    w_->btnDIDO->click();
    QTest::qWait(200);

    QCOMPARE(int(phase), int(Done));
    const std::vector<std::string> commands = rig_->Commands();
    QCOMPARE(commands.back(), std::string("0000JD"));
    QCOMPARE(CountOf(commands, "0000JD"), 1);
    QVERIFY(!w_->TestActive() && !w_->LinkOpen());
    QCOMPARE(w_->btnDIDO->text(), rig_->Text(txt::DidoTest));
}

void tst_TestPage::dido_controllerSilentMidTest_endsOk()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.inputs = "11111111";
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    bool silenced = false;
    bool stopped = false;
    std::size_t heardAtSilence = 0;
    Meanwhile drive(*rig_, [&] {
        const std::vector<std::string> commands = rig_->Commands();
        if (!silenced && CountOf(commands, "0000DG0") >= 2) {
            Fault silence;
            silence.kind = FaultKind::NoAnswer;
            silence.times = -1;
            rig_->sim->InjectFault(silence);
            silenced = true;
            heardAtSilence = commands.size();
        } else if (silenced && !stopped && commands.size() >= heardAtSilence + 2) {
            // Two unanswered polls: the lamps keep the last answer.
            QCOMPARE(w_->shDI5->colour(), QColor(Qt::yellow));
            stopped = true;
            w_->btnDIDO->click();
        }
    });

    w_->btnDIDO->click();

    QVERIFY(stopped);
    QCOMPARE(rig_->Commands().back(), std::string("0000JD"));
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->shDI5->colour(), QColor(Qt::white));
    QVERIFY(!w_->TestActive() && !w_->LinkOpen());
}

void tst_TestPage::polling_recordsQueued_eachShownThenAcknowledgedOnce()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.records = {{'1', "20240301075959", "0012", "12345"}, {'7', "20231231235958", "ABCD", "x y z"}};
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    QVERIFY(rig_->sim->SetControllerTime("20240301080509"));
    QStringList records;
    bool stopped = false;
    Meanwhile drive(*rig_, [&] {
        if (records.isEmpty() || records.last() != w_->pnPoolingData->text())
            records << w_->pnPoolingData->text();
        if (!stopped && CountOf(rig_->Commands(), "0000PI") >= 5) {
            stopped = true;
            w_->btnPooling->click();
        }
    });

    w_->btnPooling->click();

    QVERIFY(stopped);
    const std::vector<std::string> commands = rig_->Commands();
    QCOMPARE(CountOf(commands, "0000IB"), 2);
    // Each acknowledgement follows the poll that carried its record.
    QCOMPARE(commands[0], std::string("0000PI"));
    QCOMPARE(commands[1], std::string("0000IB"));
    QCOMPARE(commands[2], std::string("0000PI"));
    QCOMPARE(commands[3], std::string("0000IB"));
    QCOMPARE(commands.back(), std::string("0000PI"));
    QVERIFY(records.contains(QStringLiteral("[1] 2024/03/01  07:59:59 (0012) [12345]")));
    QCOMPARE(w_->pnPoolingData->text(), QStringLiteral("[7] 2023/12/31  23:59:58 (ABCD) [x y z]"));
    QVERIFY2(QRegularExpression(QStringLiteral("^2024/03/01  08:05:\\d\\d$")).match(w_->pnPoolingDate->text()).hasMatch(),
             qPrintable(w_->pnPoolingDate->text()));
    QVERIFY(rig_->sim->Config().records.empty());
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->btnPooling->text(), rig_->Text(txt::PoolingTest));
    QVERIFY(w_->btnDIDO->isEnabled() && w_->btnConnect->isEnabled());
}

void tst_TestPage::continuous_languageSwitchedMeanwhile_captionsFollow()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    QString captionMeanwhile;
    bool stopped = false;
    Meanwhile drive(*rig_, [&] {
        if (stopped || rig_->Commands().empty())
            return;
        w_->mnuTraditional->trigger();
        captionMeanwhile = w_->btnPooling->text();
        stopped = true;
        w_->btnPooling->click();
    });

    w_->btnPooling->click();

    QCOMPARE(captionMeanwhile, rig_->catalogue.text(txt::CancelTest, ct::app::LangTraditional));
    QCOMPARE(w_->btnPooling->text(), rig_->catalogue.text(txt::PoolingTest, ct::app::LangTraditional));
}

void tst_TestPage::continuous_windowClosed_stopsTestThenCloses()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    w_->chkDO2->setChecked(true);
    bool closeAsked = false;
    bool visibleAfterClose = false;
    Meanwhile drive(*rig_, [&] {
        if (closeAsked || CountOf(rig_->Commands(), "0000DG0") < 1)
            return;
        closeAsked = true;
        w_->close();
        visibleAfterClose = w_->isVisible();
    });

    w_->btnDIDO->click();

    QVERIFY(closeAsked);
    QVERIFY(visibleAfterClose);  // held until the test has ended
    QCOMPARE(rig_->Commands().back(), std::string("0000JD"));
    QVERIFY(!w_->LinkOpen());
    QVERIFY(SpinUntil([&] { return !w_->isVisible(); }));
    QVERIFY(!w_->chkDO2->isChecked());
}

void tst_TestPage::continuous_linkRefused_restoresEverything()
{
    rig_->PointAtClosedPort();
    for (QPushButton* button : {w_->btnDIDO, w_->btnPooling}) {
        const QString caption = button->text();
        button->click();
        QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::ConnectError));
        QCOMPARE(button->text(), caption);
        QVERIFY(!w_->TestRunning() && !w_->TestActive());
        QVERIFY(CommandTabVisible(*w_));
        for (QPushButton* other : {w_->btnConnect, w_->btnReboot, w_->btnInitial, w_->btnSetDate, w_->btnAlarm,
                                   w_->btnDIDO, w_->btnPooling, w_->btnSet19200, w_->btnCommand})
            QVERIFY2(other->isEnabled(), qPrintable(other->objectName()));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
}

// --- Line speed ------------------------------------------------------------------

void tst_TestPage::speedSwitch_answered_followsOnlyOnSuccess_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("item");
    QTest::newRow("19200 answered") << "btnSet19200" << false << "0000AE001002" << "19200,e,8,1" << 5;
    QTest::newRow("115200 answered") << "btnSet115200" << false << "0000AE001400" << "115200,n,8,1" << 10;
    QTest::newRow("19200 unanswered") << "btnSet19200" << true << "0000AE001002" << "9600,n,8,1" << 2;
}

// Over TCP, where the serial setting changes on the COM tab all the same.
void tst_TestPage::speedSwitch_answered_followsOnlyOnSuccess()
{
    QFETCH(QString, button);
    QFETCH(bool, silent);
    QFETCH(QString, command);
    QFETCH(QString, setting);
    QFETCH(int, item);
    ct::sim::ControllerConfig config = AtId0000();
    config.line = "9600,n,8,1";
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->cmbBaudrate->setCurrentIndex(2);
    if (silent) {
        Fault silence;
        silence.kind = FaultKind::NoAnswer;
        rig_->sim->InjectFault(silence);
    }

    w_->findChild<QPushButton*>(button)->click();

    QCOMPARE(rig_->Commands(), std::vector<std::string>{command.toStdString()});
    QCOMPARE(w_->pnMsg->text(), rig_->Text(silent ? txt::CommandError : txt::CommandOk));
    QCOMPARE(w_->cmbBaudrate->currentText(), setting);
    QCOMPARE(w_->cmbBaudrate->currentIndex(), item);
}

void tst_TestPage::speedSwitch_overPty_nextOperationTalksAtNewSpeed()
{
    QVERIFY(rig_->StartSim(Via::Pty, AtId0000()));
    w_->btnSet19200->click();
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    QCOMPARE(rig_->sim->Config().line, std::string("19200,e,8,1"));
    QCOMPARE(w_->cmbBaudrate->currentText(), QStringLiteral("19200,e,8,1"));

    // The next operation opens the terminal at 19200 and is heard.
    w_->btnAlarm->click();
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));

    // Back to 115200 on the tool's side alone: the controller no longer hears it.
    w_->btn115200->click();
    rig_->sim->ClearCommands();
    w_->btnAlarm->click();
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandError));
    QVERIFY(rig_->Commands().empty());
}

void tst_TestPage::localSpeed_clicked_setsDropDownOnly()
{
    const QString message = w_->pnMsg->text();
    QTest::mouseClick(w_->btn19200, Qt::LeftButton);
    QCOMPARE(w_->cmbBaudrate->currentIndex(), 5);
    QCOMPARE(w_->cmbBaudrate->currentText(), QStringLiteral("19200,e,8,1"));
    QTest::mouseClick(w_->btn115200, Qt::LeftButton);
    QCOMPARE(w_->cmbBaudrate->currentIndex(), 10);
    QCOMPARE(w_->cmbBaudrate->currentText(), QStringLiteral("115200,n,8,1"));
    QCOMPARE(w_->pnMsg->text(), message);
    QVERIFY(rig_->beeper.frequencies.empty());
    QVERIFY(!QFile::exists(rig_->dir_.filePath(QStringLiteral("settings.ini"))));
}

// --- Raw console -----------------------------------------------------------------

void tst_TestPage::console_controllerCommand_showsReplyAndStoresLink()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    w_->pcMain->setCurrentWidget(w_->tsCommand);
    w_->edCommandSend->setText(QStringLiteral("AS"));

    QTest::mouseClick(w_->btnCommand, Qt::LeftButton);

    QCOMPARE(rig_->Commands(), std::vector<std::string>{"0000AS"});
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    const QString reply = w_->edCommandRecv->text();
    // The whole frame: start byte, text, EOT, four check characters, CR.
    QCOMPARE(reply.size(), 21);
    QCOMPARE(reply.front(), QChar(0x03));
    QCOMPARE(reply.mid(1, 6), QStringLiteral("0000AS"));
    QCOMPARE(reply.mid(7, 8), QStringLiteral("16030001"));
    QCOMPARE(reply.at(15), QChar(0x04));
    QCOMPARE(reply.back(), QChar('\r'));
    // Printable characters after the control bytes stay visible.
    QVERIFY(w_->edCommandRecv->displayText().contains(QStringLiteral("16030001")));
    QCOMPARE(rig_->Stored().link.LinkType, ct::link::LinkTypeNet);

    // A failed command leaves the field as it was.
    Fault silence;
    silence.kind = FaultKind::NoAnswer;
    rig_->sim->InjectFault(silence);
    w_->edCommandSend->clear();
    QTest::mouseClick(w_->btnCommand, Qt::LeftButton);
    QCOMPARE(rig_->Commands().back(), std::string("0000"));
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandError));
    QCOMPARE(w_->edCommandRecv->text(), reply);
}

void tst_TestPage::console_moduleCommand_wrapsTypeAndId()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.g4Modules = {{'H', 1, "16030001"}, {'E', 8, "87654321"}};
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->pcMain->setCurrentWidget(w_->tsCommand);
    QCOMPARE(w_->cmbModuleType->currentText(), QStringLiteral("KXRB5/KX77"));

    // The created values: type H, module 1, text "B".
    QTest::mouseClick(w_->btnModuleCommand, Qt::LeftButton);
    QCOMPARE(rig_->Commands().back(), std::string("0000DDH1B"));

    w_->cmbModuleType->setCurrentIndex(5);
    w_->cmbModuleId->setCurrentIndex(7);
    w_->edModuleCommandSend->setText(QStringLiteral("S"));
    QTest::mouseClick(w_->btnModuleCommand, Qt::LeftButton);
    QCOMPARE(rig_->Commands().back(), std::string("0000DDE8S"));
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    QVERIFY(w_->edModuleCommandRecv->text().contains(QStringLiteral("87654321")));
    // Module commands leave the stored settings alone.
    QVERIFY(!QFile::exists(rig_->dir_.filePath(QStringLiteral("settings.ini"))));
}

void tst_TestPage::console_tooLong_refusedBeforeAnythingIsOpened_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("typed");
    QTest::addColumn<bool>("refused");
    // "0000" + typed: 1493 characters fit one request.
    QTest::newRow("controller, fits") << "btnCommand" << 1489 << false;
    QTest::newRow("controller, one over") << "btnCommand" << 1490 << true;
    QTest::newRow("controller, huge") << "btnCommand" << 100000 << true;
    // "0000DDH1" + typed.
    QTest::newRow("module, fits") << "btnModuleCommand" << 1485 << false;
    QTest::newRow("module, one over") << "btnModuleCommand" << 1486 << true;
}

void tst_TestPage::console_tooLong_refusedBeforeAnythingIsOpened()
{
    QFETCH(QString, button);
    QFETCH(int, typed);
    QFETCH(bool, refused);
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    QLineEdit* field = button == QLatin1String("btnCommand") ? w_->edCommandSend : w_->edModuleCommandSend;
    field->setText(QString(typed, QChar('X')));
    QStringList shown;
    Meanwhile watch(*rig_, [&] { shown << w_->pnMsg->text(); });

    w_->findChild<QPushButton*>(button)->click();

    if (refused) {
        QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandTooLong));
        QVERIFY(rig_->beeper.frequencies.empty());
        QVERIFY(!shown.contains(rig_->Text(txt::Connecting)));
        QCOMPARE(rig_->transports.opens, 0);
    } else {
        // Sent and heard whole.
        QVERIFY(shown.contains(rig_->Text(txt::Connecting)));
        QCOMPARE(int(rig_->Commands().at(0).size()), 1493);
        QVERIFY(w_->pnMsg->text() != rig_->Text(txt::CommandTooLong));
    }
    QVERIFY(!w_->LinkOpen());
}

// --- Clock -----------------------------------------------------------------------

void tst_TestPage::clock_ticks_showsPcTimeWithSeparators()
{
    const QLocale system = QLocale::system();
    const QString date = QString::fromStdString(
        ct::tests::FormatSeparator(system.dateFormat(QLocale::ShortFormat).toStdString(), "/"));
    const QString time = QString::fromStdString(
        ct::tests::FormatSeparator(system.timeFormat(QLocale::ShortFormat).toStdString(), ":"));
    const QString initial = w_->pnSetDate->text();
    QVERIFY(SpinUntil([&] { return w_->pnSetDate->text() != initial; }, 3000));
    const QString pattern = QStringLiteral("^\\d{4}%1\\d{2}%1\\d{2} \\d{2}%2\\d{2}%2\\d{2}$")
                                .arg(QRegularExpression::escape(date), QRegularExpression::escape(time));
    QVERIFY2(QRegularExpression(pattern).match(w_->pnSetDate->text()).hasMatch(), qPrintable(w_->pnSetDate->text()));
    QCOMPARE(w_->pnSetDate->text().left(4), QString::number(QDate::currentDate().year()));
}

// --- Pictures ----------------------------------------------------------------------

// screenshots/test-<language>.png: a DIDO test running with two inputs
// active; screenshots/console-<language>.png: a reply in the console.
void tst_TestPage::screenshots_testRunningAndConsoleReply_written()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.inputs = "10000001";
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots"));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    const struct {
        QAction* item;
        const char* name;
    } languages[] = {{w_->mnuEnglish, "en"}, {w_->mnuSimplified, "zh-hans"}, {w_->mnuTraditional, "zh-hant"}};
    for (const auto& language : languages) {
        language.item->trigger();
        w_->pcMain->setCurrentWidget(w_->tsTest);
        w_->chkDO2->setChecked(true);
        rig_->sim->ClearCommands();
        bool saved = false;
        Meanwhile grab(*rig_, [&] {
            if (saved || CountOf(rig_->Commands(), "0000DG0") < 2)
                return;
            saved = true;
            QVERIFY(w_->grab().save(folder.filePath(QStringLiteral("test-%1.png").arg(QLatin1String(language.name)))));
            w_->btnDIDO->click();
        });
        w_->btnDIDO->click();
        QVERIFY(saved);

        w_->pcMain->setCurrentWidget(w_->tsCommand);
        w_->edCommandSend->setText(QStringLiteral("AS"));
        w_->btnCommand->click();
        QVERIFY(w_->grab().save(folder.filePath(QStringLiteral("console-%1.png").arg(QLatin1String(language.name)))));
    }
}

QTEST_MAIN(tst_TestPage)
#include "tst_TestPage.moc"

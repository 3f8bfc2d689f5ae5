// The window's shell at its edges: the keyboard's Tab order on each page and
// the buttons Enter may press, the serial-port list (the first port found
// when none is stored, refilled when it opens), and the About box while a
// continuous test holds the link.
#include "support/WindowRig.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QtTest>

#include <memory>

using ct::app::TfrmModule;
using ct::testing::CountOf;
using ct::testing::Via;
using ct::testing::WindowRig;

namespace {

// The window with a settings file and a port list of the test's choosing.
struct PortRig {
    PortRig(const QByteArray& ini, const QStringList& found) : ports(found)
    {
        if (!ini.isEmpty()) {
            QFile file(dir.filePath(QStringLiteral("settings.ini")));
            if (file.open(QIODevice::WriteOnly))
                file.write(ini);
        }
        window = std::make_unique<TfrmModule>(
            catalogue, ct::app::ModuleServices{transports, clock, pump, beeper, store, [this] { return ports; }});
    }

    QTemporaryDir dir;
    ct::app::SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    ct::app::Catalogue catalogue;
    ct::testing::RecordingBeeper beeper;
    ct::link::NativeTransportFactory transports;
    ct::link::SteadyClock clock;
    ct::app::QtEventPump pump;
    QStringList ports;
    std::unique_ptr<TfrmModule> window;
};

// The name of the control that holds the focus (a drop-down's, for its edit
// field).
QString FocusName()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && qobject_cast<QComboBox*>(focus->parentWidget()) != nullptr)
        focus = focus->parentWidget();
    if (focus != nullptr && qobject_cast<QTabWidget*>(focus->parentWidget()) != nullptr)
        focus = focus->parentWidget();
    return focus != nullptr ? focus->objectName() : QString();
}

}  // namespace

class tst_WindowShell : public QObject {
    Q_OBJECT

private slots:
    void tab_fromTabBar_followsTheScreen_data();
    void tab_fromTabBar_followsTheScreen();
    void enter_noButtonButConnectIsDefault();

    void ports_noneStored_firstFoundOnThisSystem_data();
    void ports_noneStored_firstFoundOnThisSystem();
    void ports_listOpened_refilledTextKept();

    void about_duringContinuousTest_blockedThenBack_data();
    void about_duringContinuousTest_blockedThenBack();
};

void tst_WindowShell::tab_fromTabBar_followsTheScreen_data()
{
    // From the tab bar of the connection pages or of the page named; a tab
    // bar is named after its page control. Past the page's last control Tab
    // goes on to the top of the window.
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("connection") << QString()
                                << QStringList{"cmbPort", "btn19200", "cmbBaudrate", "btn115200", "btnConnect",
                                               "pcMain"};
    QTest::newRow("Basic test") << "tsTest"
                                << QStringList{"btnSetDate", "cmbAlarm",    "btnAlarm",  "btnDIDO",
                                               "chkDO1",     "chkDO2",      "chkDO3",    "chkDO4",
                                               "btnPooling", "btnSet19200", "btnReboot", "btnSet115200",
                                               "btnInitial", "pcPort"};
    // Tab stops at the checked radio button of a pair only.
    QTest::newRow("Controller") << "tsSetCtrl"
                                << QStringList{"rbCtrlByID",     "edCtrlByID",  "edCtrlBySN", "btnGetCtrlID",
                                               "btnSetCtrlBySN", "edSetCtrlID", "pcPort"};
    QTest::newRow("G6") << "tsSetG6"
                        << QStringList{"rbID",           "cmbG6Id",          "edG6Sn",
                                       "btnG6SnId",      "btnG6SetId",       "cmbG6SetId",
                                       "edSameCard",     "chkGreenMode",     "chkResetMode",
                                       "chkCardTypeA",   "chkCardTypeABlock", "chkCardTypeB",
                                       "chkCardTypeBG",  "chkCardType15693", "chkCardType7Byte",
                                       "btnG6SetCardType", "btnG6GetCardType", "edG6Recv", "pcPort"};
    QTest::newRow("G4") << "tsSetG4"
                        << QStringList{"cmbG4Type", "cmbG4Id",    "btnG4GetSn", "btnG4SetId",
                                       "edG4Sn",    "cmbG4SetId", "edG4Recv",   "pcPort"};
    QTest::newRow("Command") << "tsCommand"
                             << QStringList{"edCommandSend",       "edCommandRecv",       "btnCommand",
                                            "cmbModuleType",       "cmbModuleId",         "edModuleCommandSend",
                                            "edModuleCommandRecv", "btnModuleCommand",    "pcPort"};
}

void tst_WindowShell::tab_fromTabBar_followsTheScreen()
{
    QFETCH(QString, page);
    QFETCH(QStringList, order);
    WindowRig rig;
    TfrmModule* w = rig.window.get();
    QVERIFY(rig.Show());
    QTabWidget* tabs = page.isEmpty() ? w->pcPort : w->pcMain;
    if (!page.isEmpty())
        tabs->setCurrentWidget(w->findChild<QWidget*>(page));
    tabs->setFocus();

    QStringList reached;
    for (int i = 0; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << FocusName();
    }
    QCOMPARE(reached, order);
}

void tst_WindowShell::enter_noButtonButConnectIsDefault()
{
    WindowRig rig;
    for (QPushButton* button : rig.window->findChildren<QPushButton*>()) {
        if (button->window() != rig.window.get())
            continue;
        QCOMPARE(button->isDefault(), button == rig.window->btnConnect);
        QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
    }
}

void tst_WindowShell::ports_noneStored_firstFoundOnThisSystem_data()
{
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("shown");
#ifdef Q_OS_WIN
    const QString firstFound = QStringLiteral("COM1");
#else
    const QString firstFound = QStringLiteral("ttyUSB0");
#endif
    QTest::newRow("none stored") << QStringList{" ttyUSB0", "ttyS0"} << QByteArray() << firstFound;
    QTest::newRow("none stored, none found") << QStringList{} << QByteArray() << "COM1";
    QTest::newRow("stored") << QStringList{"ttyUSB0"} << QByteArray("ComPortName=ttyS3\n") << "ttyS3";
    QTest::newRow("COM1 stored") << QStringList{"ttyUSB0"} << QByteArray("ComPortName=COM1\n") << "COM1";
}

void tst_WindowShell::ports_noneStored_firstFoundOnThisSystem()
{
    QFETCH(QStringList, found);
    QFETCH(QByteArray, ini);
    QFETCH(QString, shown);
    PortRig rig(ini, found);

    QCOMPARE(rig.window->cmbPort->currentText(), shown);
    // What a save from the NET page stores for the COM page.
    QCOMPARE(QString::fromStdString(rig.window->CurrentLinkSettings().ComPortName), shown);
}

void tst_WindowShell::ports_listOpened_refilledTextKept()
{
    PortRig rig({}, {QStringLiteral("ttyS0")});
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    rig.window->cmbPort->setEditText(QStringLiteral("/dev/typed"));
    rig.ports << QStringLiteral("ttyUSB0");

    rig.window->cmbPort->showPopup();
    QStringList items;
    for (int i = 0; i < rig.window->cmbPort->count(); ++i)
        items << rig.window->cmbPort->itemText(i);
    rig.window->cmbPort->hidePopup();

    QCOMPARE(items, (QStringList{"ttyS0", "ttyUSB0"}));
    QCOMPARE(rig.window->cmbPort->currentText(), QStringLiteral("/dev/typed"));
}

void tst_WindowShell::about_duringContinuousTest_blockedThenBack_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("DIDO") << "btnDIDO";
    QTest::newRow("polling") << "btnPooling";
}

void tst_WindowShell::about_duringContinuousTest_blockedThenBack()
{
    QFETCH(QString, button);
    WindowRig rig;
    TfrmModule* w = rig.window.get();
    QVERIFY(rig.Show());
    ct::sim::ControllerConfig config;
    config.id = "0000";
    QVERIFY(rig.StartSim(Via::Tcp, config));
    auto* test = w->findChild<QPushButton*>(button);
    const std::string poll = button == QLatin1String("btnDIDO") ? "0000DG0" : "0000PI";

    bool aboutOffered = true;
    int pollsAfterAbout = -1;
    QTimer watch;
    int pollsAtAbout = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const int polls = CountOf(rig.Commands(), poll);
        if (pollsAtAbout == 0 && polls >= 2) {
            aboutOffered = w->mnuAbout->isEnabled();
            pollsAtAbout = polls;
            // Would block here in its own event loop if it opened.
            QTimer::singleShot(500, [] {
                if (QWidget* box = QApplication::activeModalWidget())
                    box->close();
            });
            w->mnuAbout->trigger();
        } else if (pollsAtAbout != 0 && pollsAfterAbout < 0 && polls >= pollsAtAbout + 2) {
            pollsAfterAbout = polls - pollsAtAbout;
            test->click();
        }
    });
    watch.start(5);

    test->click();

    QVERIFY(!aboutOffered);
    QVERIFY(pollsAfterAbout >= 2);
    QVERIFY(w->mnuAbout->isEnabled());
}

QTEST_MAIN(tst_WindowShell)
#include "tst_WindowShell.moc"

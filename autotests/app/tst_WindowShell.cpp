// The window's shell at its edges: Tab's order on each page, the serial-port
// list (the first port found when none is stored, asked anew when it opens),
// and About while a continuous test holds the link.
#include "support/WindowRig.h"

#include <QAction>
#include <QPushButton>
#include <QtTest>

using ct::app::TfrmModule;
using ct::testing::WindowRig;

class tst_WindowShell : public QObject {
    Q_OBJECT

private slots:
    void tab_fromTabBar_followsTheScreen_data();
    void tab_fromTabBar_followsTheScreen();
    void ports_listedAtStartAndOnOpening_shownPortAsStoredOrFirstFound_data();
    void ports_listedAtStartAndOnOpening_shownPortAsStoredOrFirstFound();
    void about_duringContinuousTest_blockedThenBack();
};

void tst_WindowShell::tab_fromTabBar_followsTheScreen_data()
{
    // From the tab bar of the connection pages or of the page named (a tab bar
    // by its page control's name); past the page's last control, on to the top.
    // The G6 page nests a group box in a group box, the Command page has two.
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("order");
    QTest::newRow("connection") << "" << "cmbPort btn19200 cmbBaudrate btn115200 btnConnect pcMain";
    QTest::newRow("Basic test") << "tsTest" << "btnSetDate cmbAlarm btnAlarm btnDIDO chkDO1 chkDO2 chkDO3 chkDO4 "
                                               "btnPooling btnSet19200 btnReboot btnSet115200 btnInitial pcPort";
    QTest::newRow("G6") << "tsSetG6" << "rbID cmbG6Id edG6Sn btnG6SnId btnG6SetId cmbG6SetId edSameCard chkGreenMode "
                                        "chkResetMode chkCardTypeA chkCardTypeABlock chkCardTypeB chkCardTypeBG "
                                        "chkCardType15693 chkCardType7Byte btnG6SetCardType btnG6GetCardType edG6Recv pcPort";
    QTest::newRow("Command") << "tsCommand" << "edCommandSend edCommandRecv btnCommand cmbModuleType cmbModuleId "
                                               "edModuleCommandSend edModuleCommandRecv btnModuleCommand pcPort";
}

void tst_WindowShell::tab_fromTabBar_followsTheScreen()
{
    QFETCH(QString, page);
    QFETCH(QString, order);
    WindowRig rig;
    QVERIFY(rig.Show());
    QTabWidget* tabs = page.isEmpty() ? rig.window->pcPort : rig.window->pcMain;
    if (!page.isEmpty())
        tabs->setCurrentWidget(rig.window->findChild<QWidget*>(page));
    tabs->setFocus();
    QStringList reached;
    while (reached.size() < order.count(' ') + 1) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // A drop-down's edit field and a tab bar by the control they belong to.
        QWidget* focus = QApplication::focusWidget();
        const bool part = qobject_cast<QComboBox*>(focus->parent()) || qobject_cast<QTabWidget*>(focus->parent());
        reached << (part ? focus->parentWidget() : focus)->objectName();
    }
    QCOMPARE(reached.join(' '), order);
}

void tst_WindowShell::ports_listedAtStartAndOnOpening_shownPortAsStoredOrFirstFound_data()
{
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("shown");
#ifdef Q_OS_WIN
    QTest::newRow("none stored") << QStringList{" COM3", "COM4"} << QByteArray() << "COM1";
#else
    QTest::newRow("none stored") << QStringList{" ttyUSB0", "ttyS0"} << QByteArray() << "ttyUSB0";
#endif
    QTest::newRow("none stored, none found") << QStringList{} << QByteArray() << "COM1";
    QTest::newRow("stored") << QStringList{"ttyUSB0"} << QByteArray("ComPortName=ttyS3\n") << "ttyS3";
    QTest::newRow("COM1 stored") << QStringList{"ttyUSB0"} << QByteArray("ComPortName=COM1\n") << "COM1";
}

void tst_WindowShell::ports_listedAtStartAndOnOpening_shownPortAsStoredOrFirstFound()
{
    QFETCH(QStringList, found);
    QFETCH(QByteArray, ini);
    QFETCH(QString, shown);
    WindowRig plain;  // its catalogue, beeper and directory
    QFile file(plain.dir_.filePath(QStringLiteral("ports.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size());
    file.close();
    ct::app::SettingsStore store(file.fileName());
    ct::link::NativeTransportFactory transports;
    ct::link::SteadyClock clock;
    ct::app::QtEventPump pump;
    TfrmModule w(plain.catalogue, {transports, clock, pump, plain.beeper, store, [&] { return found; }});
    QCOMPARE(w.cmbPort->currentText(), shown);
    // What a save from the NET page stores for the COM page.
    QCOMPARE(QString::fromStdString(w.CurrentLinkSettings().ComPortName), shown);

    found << QStringLiteral("ttyACM0");  // plugged in after start-up
    w.cmbPort->showPopup();
    QStringList items;
    for (int i = 0; i < w.cmbPort->count(); ++i)
        items << w.cmbPort->itemText(i);
    w.cmbPort->hidePopup();
    QCOMPARE(items, ct::app::BuildPortList(found));
    QCOMPARE(w.cmbPort->currentText(), shown);
}

void tst_WindowShell::about_duringContinuousTest_blockedThenBack()
{
    WindowRig rig;
    ct::sim::ControllerConfig config;
    config.id = "0000";
    QVERIFY(rig.Show() && rig.StartSim(ct::testing::Via::Tcp, config));
    bool offered = true;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (rig.window->TestRunning() && ct::testing::CountOf(rig.Commands(), "0000DG0") >= 2) {
            offered = rig.window->mnuAbout->isEnabled();
            rig.window->btnDIDO->click();
        }
    });
    watch.start(5);
    rig.window->btnDIDO->click();
    QVERIFY(!offered);
    QVERIFY(rig.window->mnuAbout->isEnabled());
}

QTEST_MAIN(tst_WindowShell)
#include "tst_WindowShell.moc"

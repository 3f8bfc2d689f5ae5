// The window's Tools menu on the fake line: Find controller finds the
// controller alone on the COM page's port at its line setting, takes that
// setting and its ID into the window and connects to it.
#include "support/WindowRig.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

using ct::testing::FakeLine;
using ct::testing::WindowRig;

class tst_ToolsMenu : public QObject {
    Q_OBJECT

private slots:
    void findController_aloneAt19200OnNetPage_setsComPageAndIdThenConnects();
};

void tst_ToolsMenu::findController_aloneAt19200OnNetPage_setsComPageAndIdThenConnects()
{
    ct::sim::ControllerConfig config;
    config.id = "0012";
    config.line = "19200,e,8,1";
    FakeLine line({config});
    line.serialSpeedMatters = true;
    WindowRig rig(line);
    ct::app::TfrmModule& w = *rig.window;
    w.cmbPort->setEditText(QStringLiteral("ttyUSB7"));
    w.cmbBaudrate->setEditText(QStringLiteral("9600,n,8,1"));
    // The NET page active: the search still goes to the COM page's port.
    w.pcPort->setCurrentWidget(w.tsNet);

    w.mnuFindController->trigger();

    QCOMPARE(w.cmbBaudrate->currentText(), QStringLiteral("19200,e,8,1"));
    QCOMPARE(w.pcPort->currentWidget(), w.tsCom);
    QCOMPARE(w.sbID->value(), 12);
    QCOMPARE(w.Identity().DeviceID, std::string("0012"));
    QCOMPARE(w.pnVER->text(), QStringLiteral("KX410NT4-SG4  0520"));
    QCOMPARE(line.device.serialPort, std::string("ttyUSB7"));
    // Heard: the search at 19200 (the three at 115200 were not), then Connect.
    QCOMPARE(line.sim.Commands(), (std::vector<std::string>{"0000AC", "0012DB", "0012AS", "0012AC", "0012DB",
                                                             "0012AS"}));
    QCOMPARE(rig.beeper.frequencies, (std::vector<int>{ct::link::HighBeepHz, ct::link::HighBeepHz}));
    QCOMPARE(rig.Stored().link.ComBaudRate, std::string("19200,e,8,1"));
}

QTEST_MAIN(tst_ToolsMenu)
#include "tst_ToolsMenu.moc"

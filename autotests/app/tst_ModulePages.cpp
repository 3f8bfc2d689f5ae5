// The Controller, G6 Module and G4 Module pages driven through the real
// widgets against the substitute controller: the command texts of the start
// values, what each reply changes on the page, write-then-read round trips,
// an absent module and a serial number too long for one request.
#include "support/WindowRig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

using ct::app::TfrmModule;
using ct::testing::Via;
using ct::testing::WindowRig;
namespace txt = ct::app::txt;

namespace {

ct::sim::ControllerConfig AtId0000()
{
    ct::sim::ControllerConfig config;
    config.id = "0000";  // the window's DeviceID before any Connect
    return config;
}

}  // namespace

class tst_ModulePages : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controller_readById_fillsIdAndSerial();
    void controller_bySerial_alwaysAddressedAs0000AndDeviceIdKept();
    void controller_unknownSerial_fieldsKept();

    void g6_startValues_sendTheFiveCommands();
    void g6_readIdBySerial_selectsReportedId();
    void g6_cardTypes_writtenThenRead_data();
    void g6_cardTypes_writtenThenRead();
    void g6_absentModule_commandErrorPageKept();

    void g4_startValues_readAndSetId();
    void g4_serialTooLong_refused();

private:
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    QString Message() const { return w_->pnMsg->text(); }

    std::unique_ptr<WindowRig> rig_;
    TfrmModule* w_ = nullptr;
};

void tst_ModulePages::init()
{
    rig_ = std::make_unique<WindowRig>();
    w_ = rig_->window.get();
    QVERIFY(rig_->Show());
}

void tst_ModulePages::cleanup()
{
    w_ = nullptr;
    rig_.reset();
}

// --- Controller page ---------------------------------------------------------------

void tst_ModulePages::controller_readById_fillsIdAndSerial()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.serial = "12345678";
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->pcMain->setCurrentWidget(w_->tsSetCtrl);
    w_->edCtrlByID->setText(QStringLiteral("9999"));

    Click(w_->btnGetCtrlID);

    QCOMPARE(rig_->Commands(), std::vector<std::string>{"0000AS"});
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->edCtrlByID->text(), QStringLiteral("0000"));
    QCOMPARE(w_->edCtrlBySN->text(), QStringLiteral("12345678"));
}

void tst_ModulePages::controller_bySerial_alwaysAddressedAs0000AndDeviceIdKept()
{
    ct::sim::ControllerConfig config;
    config.id = "0005";
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->sbID->setValue(5);
    Click(w_->btnConnect);
    QCOMPARE(w_->Identity().DeviceID, std::string("0005"));
    rig_->sim->ClearCommands();
    w_->pcMain->setCurrentWidget(w_->tsSetCtrl);

    w_->rbCtrlBySN->setChecked(true);
    Click(w_->btnGetCtrlID);
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->edCtrlByID->text(), QStringLiteral("0005"));

    // Sent as typed, not padded: this controller takes four characters only.
    w_->edSetCtrlID->setText(QStringLiteral("12"));
    Click(w_->btnSetCtrlBySN);
    QCOMPARE(Message(), rig_->Text(txt::CommandError));
    w_->edSetCtrlID->setText(QStringLiteral("0012"));
    Click(w_->btnSetCtrlBySN);
    QCOMPARE(rig_->Commands(),
             (std::vector<std::string>{"0000AV16030001", "0000AV1603000112", "0000AV160300010012"}));
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(rig_->sim->Config().id, std::string("0012"));
    // The window goes on addressing the ID Connect found.
    QCOMPARE(w_->Identity().DeviceID, std::string("0005"));
    QCOMPARE(w_->edCtrlByID->text(), QStringLiteral("0005"));
}

void tst_ModulePages::controller_unknownSerial_fieldsKept()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    w_->rbCtrlBySN->setChecked(true);
    w_->edCtrlBySN->setText(QStringLiteral("99999999"));
    w_->edCtrlByID->setText(QStringLiteral("0042"));

    Click(w_->btnGetCtrlID);

    QCOMPARE(rig_->Commands(), std::vector<std::string>{"0000AV99999999"});
    QCOMPARE(Message(), rig_->Text(txt::CommandError));
    QCOMPARE(w_->edCtrlByID->text(), QStringLiteral("0042"));
}

// --- G6 page -----------------------------------------------------------------------

void tst_ModulePages::g6_startValues_sendTheFiveCommands()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    w_->pcMain->setCurrentWidget(w_->tsSetG6);
    w_->edG6Sn->clear();

    Click(w_->btnG6SnId);  // by ID, module 1
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->edG6Sn->text(), QStringLiteral("16030001"));
    QVERIFY(w_->edG6Recv->text().contains(QStringLiteral("16030001")));
    w_->rbSN->setChecked(true);
    Click(w_->btnG6SnId);
    Click(w_->btnG6SetId);
    Click(w_->btnG6GetCardType);
    Click(w_->btnG6SetCardType);

    QCOMPARE(rig_->Commands(), (std::vector<std::string>{
                                   "0000DR050006880000010001",
                                   "0000DR0500088400000216030001",
                                   "0000DR05001084000002160300011603000100010000",
                                   "0000DR050006880002030001",
                                   "0000DR05000E8800020300010041000A00030000",
                               }));
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    // The module answered with its settings: the page shows them.
    QVERIFY(w_->chkCardTypeA->isChecked() && w_->chkCardTypeBG->isChecked());
    QVERIFY(!w_->chkCardTypeB->isChecked());
    QCOMPARE(w_->edSameCard->text(), QStringLiteral("10"));
}

void tst_ModulePages::g6_readIdBySerial_selectsReportedId()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.g6Modules = {{6, "16030099", 0x0041, 0x000A, 0x0003}};
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->rbSN->setChecked(true);
    w_->edG6Sn->setText(QStringLiteral("16030099"));

    Click(w_->btnG6SnId);

    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->cmbG6Id->currentIndex(), 6);
    // Later commands address the module found.
    Click(w_->btnG6GetCardType);
    QCOMPARE(rig_->Commands().back(), std::string("0000DR050006880002030006"));
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
}

void tst_ModulePages::g6_cardTypes_writtenThenRead_data()
{
    QTest::addColumn<QString>("delay");
    QTest::addColumn<QString>("sentWords");
    QTest::addColumn<QString>("shownDelay");
    QTest::addColumn<bool>("boxesAsSet");
    QTest::addColumn<bool>("green");
    // Boxes set: ABlock, 15693, B; green off; reset on.
    QTest::newRow("delay 999") << "999" << "003203E70002" << "999" << true << false;
    QTest::newRow("delay -1") << "-1" << "0032FFFF0002" << "65535" << true << false;
    QTest::newRow("delay 0") << "0" << "003200000002" << "0" << true << false;
    // Not a decimal integer: the fixed words, whatever the boxes say.
    QTest::newRow("delay 1a") << "1a" << "0000000A0001" << "10" << false << true;
    QTest::newRow("delay empty") << "" << "0000000A0001" << "10" << false << true;
}

void tst_ModulePages::g6_cardTypes_writtenThenRead()
{
    QFETCH(QString, delay);
    QFETCH(QString, sentWords);
    QFETCH(QString, shownDelay);
    QFETCH(bool, boxesAsSet);
    QFETCH(bool, green);
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    w_->pcMain->setCurrentWidget(w_->tsSetG6);
    const auto setBoxes = [this](bool a, bool block, bool seven, bool iso, bool b, bool bg) {
        w_->chkCardTypeA->setChecked(a);
        w_->chkCardTypeABlock->setChecked(block);
        w_->chkCardType7Byte->setChecked(seven);
        w_->chkCardType15693->setChecked(iso);
        w_->chkCardTypeB->setChecked(b);
        w_->chkCardTypeBG->setChecked(bg);
    };
    setBoxes(false, true, false, true, true, false);
    w_->chkGreenMode->setChecked(false);
    w_->chkResetMode->setChecked(true);
    w_->edSameCard->setText(delay);

    Click(w_->btnG6SetCardType);
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(QString::fromStdString(rig_->Commands().back()),
             QStringLiteral("0000DR05000E880002030001") + sentWords + QStringLiteral("0000"));

    // Read back onto a page that shows something else.
    setBoxes(true, false, true, false, false, true);
    w_->edSameCard->setText(QStringLiteral("77"));
    w_->chkGreenMode->setChecked(!green);
    w_->chkResetMode->setChecked(false);
    Click(w_->btnG6GetCardType);

    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->edSameCard->text(), shownDelay);
    QCOMPARE(w_->chkCardTypeA->isChecked(), false);
    QCOMPARE(w_->chkCardTypeABlock->isChecked(), boxesAsSet);
    QCOMPARE(w_->chkCardType7Byte->isChecked(), false);
    QCOMPARE(w_->chkCardType15693->isChecked(), boxesAsSet);
    QCOMPARE(w_->chkCardTypeB->isChecked(), boxesAsSet);
    QCOMPARE(w_->chkCardTypeBG->isChecked(), false);
    QCOMPARE(w_->chkGreenMode->isChecked(), green);
    // Never changed by a reply.
    QCOMPARE(w_->chkResetMode->isChecked(), false);
}

void tst_ModulePages::g6_absentModule_commandErrorPageKept()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    w_->cmbG6Id->setCurrentIndex(5);
    w_->edG6Recv->setText(QStringLiteral("before"));
    w_->edSameCard->setText(QStringLiteral("33"));

    Click(w_->btnG6GetCardType);

    QCOMPARE(rig_->Commands(), std::vector<std::string>{"0000DR050006880002030005"});
    QCOMPARE(Message(), rig_->Text(txt::CommandError));
    QCOMPARE(w_->edG6Recv->text(), QStringLiteral("before"));
    QCOMPARE(w_->edSameCard->text(), QStringLiteral("33"));
    QVERIFY(!w_->LinkOpen() && !w_->Busy());
}

// --- G4 page -----------------------------------------------------------------------

void tst_ModulePages::g4_startValues_readAndSetId()
{
    ct::sim::ControllerConfig config = AtId0000();
    config.g4Modules = {{'H', 1, "12345678"}};
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->pcMain->setCurrentWidget(w_->tsSetG4);
    QCOMPARE(w_->cmbG4Type->currentText(), QStringLiteral("KXRB5/BS/BQ"));

    Click(w_->btnG4GetSn);
    QCOMPARE(rig_->Commands().back(), std::string("0000DDH1S"));
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->edG4Sn->text(), QStringLiteral("12345678"));
    QCOMPARE(w_->edG4Recv->text().size(), 24);

    w_->cmbG4SetId->setCurrentIndex(3);
    Click(w_->btnG4SetId);
    QCOMPARE(rig_->Commands().back(), std::string("0000DDH0C123456784"));
    QCOMPARE(Message(), rig_->Text(txt::CommandOk));

    // Found at its new ID, gone from the old one.
    w_->cmbG4Id->setCurrentIndex(4);
    w_->edG4Sn->clear();
    Click(w_->btnG4GetSn);
    QCOMPARE(w_->edG4Sn->text(), QStringLiteral("12345678"));
    w_->cmbG4Id->setCurrentIndex(1);
    Click(w_->btnG4GetSn);
    QCOMPARE(Message(), rig_->Text(txt::CommandError));
}

void tst_ModulePages::g4_serialTooLong_refused()
{
    QVERIFY(rig_->StartSim(Via::Tcp, AtId0000()));
    w_->edG4Sn->setText(QString(1490, QChar('1')));
    w_->edG4Recv->setText(QStringLiteral("before"));

    Click(w_->btnG4SetId);

    QCOMPARE(Message(), rig_->Text(txt::CommandTooLong));
    QCOMPARE(w_->edG4Recv->text(), QStringLiteral("before"));
    QCOMPARE(rig_->transports.opens, 0);
    QVERIFY(rig_->beeper.frequencies.empty());
}

QTEST_MAIN(tst_ModulePages)
#include "tst_ModulePages.moc"

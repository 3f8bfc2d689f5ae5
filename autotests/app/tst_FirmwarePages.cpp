// The hidden Firmware upgrade and Model Name pages driven through their real
// widgets against the substitute controller: choosing the file, the two
// failures of loading it, an upgrade with the loader the service user picks
// and with the one the model tells, a kind without a loader, the window
// painting and blinking through the long pauses, and the model name.
#include "app/Lamp.h"
#include "app/Widgets.h"
#include "support/FirmwareFile.h"
#include "support/WindowRig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <set>
#include <string>
#include <vector>

using ct::app::TfrmModule;
using ct::testing::Pauses;
using ct::testing::Via;
using ct::testing::WriteFirmware;
using ct::testing::WindowRig;
namespace txt = ct::app::txt;

namespace {

QByteArray Payload(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

}  // namespace

class tst_FirmwarePages : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileMenu_fileChosen_storedShownAndHeaderInMessage();
    void upgrade_fileProblems_messageRedLampLowBeepNothingOpened_data();
    void upgrade_fileProblems_messageRedLampLowBeepNothingOpened();
    void upgrade_chosenLoader_flashHoldsImageAndWindowKeptPainting();
    void upgrade_kindWithoutLoader_commandErrorNothingSent();
    void modelName_buttonsFillFields_setSendsTwelveCharacters();

private:
    void MakeRig(Pauses pauses);
    // Connect, so that the version panel shows the controller's model.
    void ConnectTo(const ct::sim::ControllerConfig& config);
    // File -> Firmware file, and the file chosen in the dialog.
    void ChooseFile(const QString& path)
    {
        QTimer::singleShot(0, this, [this, path] {
            w_->dlgLoad->selectFile(path);
            static_cast<QDialog*>(w_->dlgLoad)->accept();
        });
        w_->mnuFirmwareFileClick();
    }

    std::unique_ptr<WindowRig> rig_;
    TfrmModule* w_ = nullptr;
};

void tst_FirmwarePages::init()
{
    MakeRig(Pauses::Skipped);
}

void tst_FirmwarePages::MakeRig(Pauses pauses)
{
    w_ = nullptr;
    rig_.reset();
    rig_ = std::make_unique<WindowRig>(pauses);
    w_ = rig_->window.get();
    w_->dlgLoad->setOption(QFileDialog::DontUseNativeDialog);
    QVERIFY(rig_->Show());
}

void tst_FirmwarePages::cleanup()
{
    w_ = nullptr;
    rig_.reset();
}

void tst_FirmwarePages::ConnectTo(const ct::sim::ControllerConfig& config)
{
    QVERIFY(rig_->StartSim(Via::Tcp, config));
    w_->sbID->setValue(std::stoi(config.id));
    QTest::mouseClick(w_->btnConnect, Qt::LeftButton);
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    rig_->sim->ClearCommands();
    rig_->transports.opens = 0;
    rig_->transports.written.clear();
    rig_->beeper.frequencies.clear();
}

void tst_FirmwarePages::fileMenu_fileChosen_storedShownAndHeaderInMessage()
{
    const QString path = WriteFirmware(rig_->dir_, QStringLiteral("new.KXB"), "KX410NT4-SG4", Payload(100));
    w_->pbProgram->setValue(50);
    ChooseFile(path);

    QCOMPARE(w_->FirmwareFile(), path);
    QCOMPARE(w_->pnFile->text(), path);
    QCOMPARE(w_->pnMsg->text(), QStringLiteral("KX410NT4-SG4"));
    QCOMPARE(w_->pbProgram->value(), 0);
    QCOMPARE(rig_->Stored().firmwareFile, path);

    // Cancelled: nothing changes.
    QTimer::singleShot(0, this, [this] { w_->dlgLoad->reject(); });
    w_->pnMsg->setText(QStringLiteral("kept"));
    w_->mnuFirmwareFileClick();
    QCOMPARE(w_->FirmwareFile(), path);
    QCOMPARE(w_->pnMsg->text(), QStringLiteral("kept"));
}

void tst_FirmwarePages::upgrade_fileProblems_messageRedLampLowBeepNothingOpened_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("message");
    QTest::newRow("gone since it was chosen") << "gone.KXB" << int(txt::LoadFirmwareError);
    QTest::newRow("another model") << "other.KXB" << int(txt::FirmwareModelError);
    QTest::newRow("lower-case header") << "lower.KXB" << int(txt::FirmwareModelError);
    QTest::newRow("no image after the header") << "empty.KXB" << int(txt::LoadFirmwareError);
}

void tst_FirmwarePages::upgrade_fileProblems_messageRedLampLowBeepNothingOpened()
{
    QFETCH(QString, file);
    QFETCH(int, message);
    WriteFirmware(rig_->dir_, QStringLiteral("other.KXB"), "KX420NT4-SG4", Payload(600));
    WriteFirmware(rig_->dir_, QStringLiteral("lower.KXB"), "kx410nt4-sg4", Payload(600));
    WriteFirmware(rig_->dir_, QStringLiteral("gone.KXB"), "KX410NT4-SG4", Payload(600));
    WriteFirmware(rig_->dir_, QStringLiteral("empty.KXB"), "KX410NT4-SG4", {});
    ct::sim::ControllerConfig config;
    config.loader = ct::sim::LoaderKind::Block256;
    ConnectTo(config);
    w_->cmbLoader->setCurrentIndex(3);  // the 256-byte loader
    ChooseFile(rig_->dir_.filePath(file));
    QFile::remove(rig_->dir_.filePath(QStringLiteral("gone.KXB")));

    QTest::mouseClick(w_->btnFirmware, Qt::LeftButton);

    QCOMPARE(w_->pnMsg->text(), rig_->Text(message));
    QCOMPARE(w_->shComm->colour(), QColor(Qt::red));
    QCOMPARE(rig_->beeper.frequencies, std::vector<int>{ct::link::LowBeepHz});
    QCOMPARE(rig_->transports.opens, 0);
    QVERIFY(!w_->LinkOpen() && w_->WindowEnabled());
}

void tst_FirmwarePages::upgrade_chosenLoader_flashHoldsImageAndWindowKeptPainting()
{
    // The blinking is seen only in pauses that take their time.
    MakeRig(Pauses::Real);
    ct::sim::ControllerConfig config;
    config.loader = ct::sim::LoaderKind::Block256;
    ConnectTo(config);
    // The model check of the 256-byte loader: the controller's own model.
    const QByteArray payload = Payload(3 * 256 + 10);
    const QString path = WriteFirmware(rig_->dir_, QStringLiteral("fw.KXB"), "KX410NT4-SG4", payload);
    ChooseFile(path);
    w_->cmbLoader->setCurrentIndex(3);
    QCOMPARE(w_->UpgradeKind(), 1);

    std::set<QString> messages;
    std::set<QRgb> lampColours;
    bool inputEverAllowed = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        messages.insert(w_->pnMsg->text());
        lampColours.insert(w_->shComm->colour().rgb());
        inputEverAllowed = inputEverAllowed || w_->WindowEnabled();
    });
    watch.start(20);

    QTest::mouseClick(w_->btnFirmware, Qt::LeftButton);
    watch.stop();

    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));
    QCOMPARE(w_->Image().ImageBlockCount, 4);
    const std::vector<std::uint8_t> flash = rig_->sim->Flash(0, 4 * 256);
    QByteArray expected = payload;
    expected.append(QByteArray(4 * 256 - payload.size(), char(0xFF)));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(flash.data()), int(flash.size())), expected);
    QCOMPARE(rig_->sim->LoaderStarts(), 1);
    QCOMPARE(w_->pbProgram->maximum(), 4);
    QCOMPARE(w_->pbVerify->maximum(), 4);
    QCOMPARE(w_->pbProgram->value(), 4);
    QCOMPARE(w_->pbVerify->value(), 4);
    for (int entry : {txt::Programming, txt::Verifying, txt::Upgrading})
        QVERIFY2(messages.count(rig_->Text(entry)) == 1, qPrintable(rig_->Text(entry)));
    // Through the 2 s after the start command the lamp went on blinking and
    // input stayed blocked.
    QVERIFY(lampColours.count(QColor(Qt::red).rgb()) == 1 && lampColours.count(QColor(Qt::yellow).rgb()) == 1);
    QVERIFY(!inputEverAllowed);
    QVERIFY(!w_->LinkOpen() && w_->WindowEnabled());
}

void tst_FirmwarePages::upgrade_kindWithoutLoader_commandErrorNothingSent()
{
    ConnectTo(ct::sim::ControllerConfig{});
    const QString path = WriteFirmware(rig_->dir_, QStringLiteral("any.KXB"), "ANYTHING", Payload(10));
    ChooseFile(path);
    // Connected, identified (kind 7), a model that names no loader, none chosen.
    QCOMPARE(w_->UpgradeKind(), 7);

    QTest::mouseClick(w_->btnFirmware, Qt::LeftButton);

    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandError));
    QVERIFY(rig_->transports.written.empty());
    QCOMPARE(rig_->sim->LoaderEntries(), 0);
}

void tst_FirmwarePages::modelName_buttonsFillFields_setSendsTwelveCharacters()
{
    ConnectTo(ct::sim::ControllerConfig{});
    QTest::mouseClick(w_->btnKX430, Qt::LeftButton);
    QCOMPARE(w_->edModelName->text(), QStringLiteral("KX430-NT-4R"));
    QTest::mouseClick(w_->btnG3, Qt::LeftButton);
    QCOMPARE(w_->edSetVer->text(), QStringLiteral("0495"));
    QVERIFY(!w_->chkChangeVer->isChecked());

    QTest::mouseClick(w_->btnSetNo, Qt::LeftButton);
    QCOMPARE(rig_->Commands().back(), std::string("0001ASKX430-NT-4R "));
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));

    w_->chkChangeVer->setChecked(true);
    // Longer than can be typed, with blanks around: trimmed, then cut.
    ct::app::SetFieldText(w_->edModelName, QStringLiteral("  KX450NT4-SG5 \t"));
    QTest::mouseClick(w_->btnSetNo, Qt::LeftButton);
    QCOMPARE(rig_->Commands().back(), std::string("0001ASKX450NT4-SG50495"));
    QCOMPARE(w_->pnMsg->text(), rig_->Text(txt::CommandOk));

    // Connect shows what was written; the model names the 512-byte loader.
    QTest::mouseClick(w_->btnConnect, Qt::LeftButton);
    QCOMPARE(w_->pnVER->text(), QStringLiteral("KX450NT4-SG5  0495"));
    QCOMPARE(w_->UpgradeKind(), 6);
}

QTEST_MAIN(tst_FirmwarePages)
#include "tst_FirmwarePages.moc"

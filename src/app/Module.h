// The main window `frmModule`: every control of the tool under its own name
// (member and objectName alike), the menu, the two timers, the file dialog,
// the language switch and the frame around every operation. It owns all
// run-time state: the link and its settings, the language, the identity of
// the connected controller.
//
// Creation loads the stored settings and fills the port list (FormCreate);
// the first show labels the window in its language (FormShow). Transports,
// clock, event pump, beeper and settings store are handed in, so that tests
// run the real window against a substitute controller, silently, with a
// settings file of their own.
#pragma once

#include "app/Catalogue.h"
#include "app/SettingsStore.h"
#include "firmware/FirmwareImage.h"
#include "link/Link.h"
#include "link/OperationFrame.h"
#include "tests/Connect.h"
#include "tests/ContinuousTest.h"
#include "tests/LineSpeed.h"
#include "tests/Operation.h"
#include "tests/SetDateTime.h"

#include <QMainWindow>

#include <functional>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;
class QTimer;

namespace ct::link {
class IClock;
class IEventPump;
class ITransportFactory;
}  // namespace ct::link

namespace ct::app {

class Lamp;
class TfrmFrameMonitor;

// What the window works with; all must outlive it.
struct ModuleServices {
    link::ITransportFactory& transports;
    link::IClock& clock;
    link::IEventPump& pump;
    link::IBeeper& beeper;
    SettingsStore& settings;
    // The serial ports present, asked at creation and each time the port
    // list opens.
    std::function<QStringList()> listPorts = SystemPortNames;
};

class TfrmModule final : public QMainWindow,
                         public link::IStatusView,
                         public tests::IConnectView,
                         public tests::ITitleView {
    Q_OBJECT
public:
    TfrmModule(const Catalogue& catalogue, const ModuleServices& services, QWidget* parent = nullptr);
    ~TfrmModule() override;

    // The current language's text of a catalogue entry.
    QString text(int entry) const;
    int LanguageIndex() const { return languageIndex_; }
    const QString& LanguageName() const { return languageName_; }

    const tests::ControllerIdentity& Identity() const { return identity_; }
    // The in-memory link settings (loaded at creation, refreshed from the
    // active connection page by every operation and by SaveLinkSettings).
    const link::LinkSettings& CurrentLinkSettings() const { return link_.Settings; }
    const QString& FirmwareFile() const { return firmwareFile_; }
    const firmware::FirmwareImage& Image() const { return image_; }
    // The controller kind whose loader an upgrade uses: the kind Connect
    // found if it has a loader, else the service user's choice in cmbLoader,
    // else the kind the connected model takes.
    int UpgradeKind() const;
    // Reads the firmware file for `kind`; on failure its message, the red
    // lamp and the low beep.
    bool LoadFirmwareImage(int kind);

    // The operation frame.
    bool BeginOperation() { return frame_.BeginOperation(); }
    void EndConnectError() { frame_.EndConnectError(); }
    void EndCommandOk() { frame_.EndCommandOk(); }
    void EndCommandError() { frame_.EndCommandError(); }
    void SetBusy(bool on) { frame_.SetBusy(on); }
    // True from the start of an operation to its end.
    bool Busy() const { return frame_.Running(); }
    bool LinkOpen() const { return link_.IsOpen(); }

    // Re-labels the whole window in the current language.
    void applyLanguage();

    // The continuous tests' stop flag: true while the DIDO or the polling
    // loop runs.
    bool TestRunning() const { return test_.TestRunning; }
    // From the click that starts a continuous test to its last restored
    // control.
    bool TestActive() const { return test_.Active; }
    // While a continuous test holds the link: its button says "Cancel test",
    // every other device operation (Connect, every operation button, the
    // firmware file item) and the About box are blocked, and only the pages
    // that need no link of their own keep their tabs. LeaveTest undoes it all.
    void EnterTest(QPushButton* button, int captionEntry);
    void LeaveTest();

    // tests::ITitleView
    void ShowTitle(tests::Title title) override;

    // link::IStatusView
    void SetBusyCursor(bool busy) override;
    // A disabled window takes no mouse, keyboard or shortcut input, yet looks
    // and paints as before: nothing greys out while an operation runs.
    void SetWindowEnabled(bool enabled) override;
    bool WindowEnabled() const { return !inputBlocked_; }
    void SetBusyTimerRunning(bool running) override;
    void SetLamp(link::Lamp colour) override;
    void ShowStatus(link::StatusMessage message) override;
    link::LinkSettings ActiveLinkSettings() override;
    void OperationEnded() override;

    // tests::IConnectView
    std::string IdCaption() override;
    void ShowCountdown(int n) override;
    void ClearIdentityPanels() override;
    void SetIdPosition(int position) override;
    // Takes the active connection page into the in-memory link settings and
    // stores all of them.
    void SaveLinkSettings() override;
    void ShowVersion(const std::string& text) override;
    void ShowSerial(const std::string& text) override;

public slots:
    void btnConnectClick();
    void sbIDChange();
    void tmrBusyTimer();
    void tmrClockTimer();

    void mnuEnglishClick();
    void mnuSimplifiedClick();
    void mnuTraditionalClick();
    void mnuAboutClick();
    void mnuExitClick();
    void mnuFirmwareFileClick();
    void mnuFindControllerClick();
    void mnuFrameMonitorClick();

    void btn19200Click();
    void btn115200Click();
    void btnDIDOClick();
    void btnSetDateClick();
    void btnAlarmClick();
    void btnInitialClick();
    void btnRebootClick();
    void btnPoolingClick();
    void btnSet19200Click();
    void btnSet115200Click();
    void btnCommandClick();
    void btnModuleCommandClick();
    void btnGetCtrlIDClick();
    void btnSetCtrlBySNClick();
    void btnG6SnIdClick();
    void btnG6SetIdClick();
    void btnG6SetCardTypeClick();
    void btnG6GetCardTypeClick();
    void btnG4GetSnClick();
    void btnG4SetIdClick();
    void btnFirmwareClick();
    void btnSetNoClick();
    void btnG4Click();
    void btnG3Click();
    void btnG1Click();
    void btnKX400Click();
    void btnKX405Click();
    void btnKX410Click();
    void btnKX420Click();
    void btnKX430Click();
    void btnKX450Click();
    void btnKX460Click();
    void btnKX470Click();

public:
    // Top area.
    QLabel* pnMsg = nullptr;
    Lamp* shComm = nullptr;
    QLabel* pnVER = nullptr;
    QLabel* pnSN = nullptr;
    QTabWidget* pcPort = nullptr;
    QWidget* tsCom = nullptr;
    QLabel* lblPort = nullptr;
    QComboBox* cmbPort = nullptr;
    QLabel* lblSpeed = nullptr;
    QComboBox* cmbBaudrate = nullptr;
    QPushButton* btn19200 = nullptr;
    QPushButton* btn115200 = nullptr;
    QWidget* tsNet = nullptr;
    QLabel* lblIP = nullptr;
    QLineEdit* edIP = nullptr;
    QLabel* lblNetPort = nullptr;
    QLineEdit* edPort = nullptr;
    QLabel* lblID = nullptr;
    QLabel* pnID = nullptr;
    QScrollBar* sbID = nullptr;
    QPushButton* btnConnect = nullptr;
    QTabWidget* pcMain = nullptr;

    // Basic test page.
    QWidget* tsTest = nullptr;
    QLabel* lblDI1 = nullptr;
    QLabel* lblDI2 = nullptr;
    QLabel* lblDI3 = nullptr;
    QLabel* lblDI4 = nullptr;
    QLabel* lblDI5 = nullptr;
    QLabel* lblDI6 = nullptr;
    QLabel* lblDI7 = nullptr;
    QLabel* lblDI8 = nullptr;
    Lamp* shDI1 = nullptr;
    Lamp* shDI2 = nullptr;
    Lamp* shDI3 = nullptr;
    Lamp* shDI4 = nullptr;
    Lamp* shDI5 = nullptr;
    Lamp* shDI6 = nullptr;
    Lamp* shDI7 = nullptr;
    Lamp* shDI8 = nullptr;
    QPushButton* btnInitial = nullptr;
    QPushButton* btnDIDO = nullptr;
    QCheckBox* chkDO1 = nullptr;
    QCheckBox* chkDO2 = nullptr;
    QCheckBox* chkDO3 = nullptr;
    QCheckBox* chkDO4 = nullptr;
    QPushButton* btnReboot = nullptr;
    QLabel* pnSetDate = nullptr;
    QPushButton* btnSetDate = nullptr;
    QPushButton* btnAlarm = nullptr;
    QComboBox* cmbAlarm = nullptr;
    QPushButton* btnPooling = nullptr;
    QLabel* pnPoolingDate = nullptr;
    QLabel* pnPoolingData = nullptr;
    QPushButton* btnSet19200 = nullptr;
    QPushButton* btnSet115200 = nullptr;

    // Controller page.
    QWidget* tsSetCtrl = nullptr;
    QGroupBox* gbSetCtrl = nullptr;
    QLabel* lblSetCtrlID = nullptr;
    QRadioButton* rbCtrlByID = nullptr;
    QRadioButton* rbCtrlBySN = nullptr;
    QLineEdit* edCtrlBySN = nullptr;
    QPushButton* btnGetCtrlID = nullptr;
    QPushButton* btnSetCtrlBySN = nullptr;
    QLineEdit* edCtrlByID = nullptr;
    QLineEdit* edSetCtrlID = nullptr;

    // Function test page (empty).
    QWidget* tsFunction = nullptr;

    // Firmware upgrade page.
    QWidget* tsFirmware = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* pnFile = nullptr;
    QProgressBar* pbProgram = nullptr;
    QProgressBar* pbVerify = nullptr;
    QLabel* Panel2 = nullptr;
    QPushButton* btnFirmware = nullptr;
    QPlainTextEdit* moFirmwareNote = nullptr;
    QLabel* pnFirmwareNote = nullptr;
    QLabel* Panel3 = nullptr;
    QComboBox* cmbLoader = nullptr;  // the service user's choice of boot loader

    // G6 Module page.
    QWidget* tsSetG6 = nullptr;
    QGroupBox* gbSetG6 = nullptr;
    QLabel* lblG6Recv = nullptr;
    QLabel* lblSetG6Id = nullptr;
    QLineEdit* edG6Recv = nullptr;
    QComboBox* cmbG6Id = nullptr;
    QRadioButton* rbID = nullptr;
    QRadioButton* rbSN = nullptr;
    QLineEdit* edG6Sn = nullptr;
    QPushButton* btnG6SnId = nullptr;
    QPushButton* btnG6SetId = nullptr;
    QComboBox* cmbG6SetId = nullptr;
    QGroupBox* gbSetCardTypeByID = nullptr;
    QLabel* lblSameCard = nullptr;
    QLabel* lblSameCardDelayMs = nullptr;
    QLabel* lblCardTypeMIC = nullptr;
    QLineEdit* edSameCard = nullptr;
    QCheckBox* chkGreenMode = nullptr;
    QCheckBox* chkResetMode = nullptr;
    QCheckBox* chkCardTypeBG = nullptr;
    QCheckBox* chkCardType15693 = nullptr;
    QCheckBox* chkCardTypeB = nullptr;
    QCheckBox* chkCardTypeABlock = nullptr;
    QCheckBox* chkCardTypeA = nullptr;
    QCheckBox* chkCardType7Byte = nullptr;
    QPushButton* btnG6GetCardType = nullptr;
    QPushButton* btnG6SetCardType = nullptr;

    // G4 Module page.
    QWidget* tsSetG4 = nullptr;
    QGroupBox* gbSetG4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* lblSetG4ID = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* lblG4Recv = nullptr;
    QComboBox* cmbG4Type = nullptr;
    QComboBox* cmbG4Id = nullptr;
    QPushButton* btnG4SetId = nullptr;
    QComboBox* cmbG4SetId = nullptr;
    QLineEdit* edG4Sn = nullptr;
    QPushButton* btnG4GetSn = nullptr;
    QLineEdit* edG4Recv = nullptr;

    // Model Name page.
    QWidget* tsName = nullptr;
    QGroupBox* gbSetName = nullptr;
    QLabel* lblModelName = nullptr;
    QPushButton* btnSetNo = nullptr;
    QCheckBox* chkChangeVer = nullptr;
    QLineEdit* edSetVer = nullptr;
    QPushButton* btnG4 = nullptr;
    QPushButton* btnG3 = nullptr;
    QPushButton* btnG1 = nullptr;
    QPushButton* btnKX430 = nullptr;
    QPushButton* btnKX470 = nullptr;
    QPushButton* btnKX450 = nullptr;
    QPushButton* btnKX460 = nullptr;
    QPushButton* btnKX405 = nullptr;
    QPushButton* btnKX420 = nullptr;
    QPushButton* btnKX410 = nullptr;
    QPushButton* btnKX400 = nullptr;
    QLineEdit* edModelName = nullptr;

    // Command test page.
    QWidget* tsCommand = nullptr;
    QGroupBox* gbController = nullptr;
    QLabel* lblCommandRecv = nullptr;
    QLabel* lblCommandSend = nullptr;
    QPushButton* btnCommand = nullptr;
    QLineEdit* edCommandRecv = nullptr;
    QLineEdit* edCommandSend = nullptr;
    QGroupBox* gbModule = nullptr;
    QLabel* lblModuleCommandSend = nullptr;
    QLabel* lblModuleCommandRecv = nullptr;
    QLabel* lblModuleType = nullptr;
    QLabel* lblModuleId = nullptr;
    QLineEdit* edModuleCommandSend = nullptr;
    QLineEdit* edModuleCommandRecv = nullptr;
    QPushButton* btnModuleCommand = nullptr;
    QComboBox* cmbModuleType = nullptr;
    QComboBox* cmbModuleId = nullptr;

    // Menu.
    QMenuBar* mnuMain = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuFirmwareFile = nullptr;
    QAction* mnuLine1 = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuLanguage = nullptr;
    QAction* mnuEnglish = nullptr;
    QAction* mnuSimplified = nullptr;
    QAction* mnuTraditional = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuFindController = nullptr;
    // The frame monitor's item and window (made at its first opening).
    QAction* mnuFrameMonitor = nullptr;
    TfrmFrameMonitor* frmFrameMonitor = nullptr;

    QTimer* tmrBusy = nullptr;
    QTimer* tmrClock = nullptr;
    QFileDialog* dlgLoad = nullptr;  // made by LoadDialog at its first use
    // The firmware file dialog. Made at its first use: making it (its icons
    // above all) took an eighth of the window's start-up.
    QFileDialog* LoadDialog();

protected:
    void showEvent(QShowEvent* event) override;
    // A close asked for while an operation runs is held until it has ended.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateTopArea(QWidget* client);
    void CreateMenu();
    void CreateToolsMenu(const QFont& menuFont);
    void CreateTestPage();
    void CreateControllerPage();
    void CreateFirmwarePage();
    void CreateG6Page();
    void CreateG4Page();
    void CreateNamePage();
    void CreateCommandPage();
    void FormCreate();
    void FormShow();
    void SelectLanguage(int index, const QString& name);
    void EnterPressed();
    // The active connection page's fields into `settings`.
    void CopyActivePage(link::LinkSettings& settings) const;
    // What the status frame does not show: a command text refused as too
    // long, with the room there was for what was typed (by default the whole
    // command, for operations whose fields are capped far below it).
    void ShowRefusal(tests::Outcome outcome, std::size_t typedRoom = tests::RoomAfter(0));
    void SelectLine(tests::LineSpeed speed);
    // The module ID the G6 commands address.
    int G6ModuleId() const;
    // The console's reply into its receive field.
    void ShowReplyIn(QLineEdit* field, const std::string& reply);

    const Catalogue& catalogue_;
    link::IEventPump& pump_;
    link::IBeeper& beeper_;
    SettingsStore& settings_;
    std::function<QStringList()> listPorts_;
    link::Link link_;
    link::OperationFrame frame_;

    tests::ControllerIdentity identity_;
    tests::TestState test_;
    tests::SystemLocalClock localClock_;
    QPushButton* testButton_ = nullptr;
    int testCaption_ = 0;
    std::vector<QWidget*> blockedByTest_;
    int g6ReportedId_ = 0;
    QString firmwareFile_;
    firmware::FirmwareImage image_;
    QString languageName_;
    int languageIndex_ = LangEnglish;
    bool shown_ = false;
    bool busyCursor_ = false;
    bool inputBlocked_ = false;
    bool closePending_ = false;
};

}  // namespace ct::app

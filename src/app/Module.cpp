#include "app/Module.h"

#include "app/Fonts.h"
#include "app/FrameMonitor.h"
#include "app/Lamp.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/ProgramVersion.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

namespace ct::app {

using namespace layout;

namespace {

constexpr int ClientWidth = 680;
constexpr int ClientHeight = 614;

// A colour stored as 0x00BBGGRR.
QColor FromStoredColour(unsigned bgr)
{
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

#define CT_NAMED(member) member, #member

}  // namespace

TfrmModule::TfrmModule(const Catalogue& catalogue, const ModuleServices& services, QWidget* parent)
    : QMainWindow(parent),
      catalogue_(catalogue),
      pump_(services.pump),
      beeper_(services.beeper),
      settings_(services.settings),
      listPorts_(services.listPorts),
      link_(services.transports, services.clock, services.pump),
      frame_(link_, *this, services.beeper, services.pump)
{
    setObjectName(QStringLiteral("frmModule"));
    setWindowTitle(QStringLiteral("KX410/420/450-G7 Test Tools"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(OwnFont(SansSerif, 13));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(ClientWidth, ClientHeight);
    SetBackground(client, QPalette::Window, ButtonFace());
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    CreateTopArea(client);
    CreateTestPage();
    CreateControllerPage();
    CreateFirmwarePage();
    CreateG6Page();
    CreateG4Page();
    CreateNamePage();
    CreateCommandPage();
    for (QWidget* hidden : {tsFunction, tsFirmware, tsName})
        HidePage(pcMain, hidden);
    pcMain->setCurrentWidget(tsTest);
    OrderTabsByScreen(client);
    CreateMenu();

    tmrBusy = new QTimer(this);
    tmrBusy->setObjectName(QStringLiteral("tmrBusy"));
    tmrBusy->setInterval(link::BusyBlinkMs);
    connect(tmrBusy, &QTimer::timeout, this, &TfrmModule::tmrBusyTimer);

    tmrClock = new QTimer(this);
    tmrClock->setObjectName(QStringLiteral("tmrClock"));
    tmrClock->setInterval(500);
    connect(tmrClock, &QTimer::timeout, this, &TfrmModule::tmrClockTimer);

    // The window has no dialog's default button: Enter anywhere in it starts
    // Connect, except on a push button, which Enter presses.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        enter->setContext(Qt::WindowShortcut);
        connect(enter, &QShortcut::activated, this, &TfrmModule::EnterPressed);
    }

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
    tmrClock->start();
}

TfrmModule::~TfrmModule()
{
    // Before the link it watches goes.
    delete frmFrameMonitor;
    SetBusyCursor(false);
    SetWindowEnabled(true);
}

QFileDialog* TfrmModule::LoadDialog()
{
    if (dlgLoad == nullptr) {
        dlgLoad = new QFileDialog(this);
        dlgLoad->setObjectName(QStringLiteral("dlgLoad"));
        dlgLoad->setFileMode(QFileDialog::ExistingFile);
        dlgLoad->setNameFilter(QStringLiteral("Firmware files (*.KXB)"));
    }
    return dlgLoad;
}

QString TfrmModule::text(int entry) const
{
    return catalogue_.text(entry, languageIndex_);
}

void TfrmModule::CreateMenu()
{
    mnuMain = menuBar();
    mnuMain->setObjectName(QStringLiteral("mnuMain"));
    // Menus keep the desktop's menu size in every language, so the window's
    // outer height never changes.
    const QFont menuFont = OwnFont(SansSerif, 13);
    mnuMain->setFont(menuFont);

    mnuFile = mnuMain->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->setFont(menuFont);
    mnuFirmwareFile = mnuFile->addAction(QStringLiteral("&Firmware file"));
    mnuFirmwareFile->setObjectName(QStringLiteral("mnuFirmwareFile"));
    mnuFirmwareFile->setVisible(false);
    connect(mnuFirmwareFile, &QAction::triggered, this, &TfrmModule::mnuFirmwareFileClick);
    mnuLine1 = mnuFile->addSeparator();
    mnuLine1->setObjectName(QStringLiteral("mnuLine1"));
    mnuLine1->setVisible(false);
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &TfrmModule::mnuExitClick);

    mnuLanguage = mnuMain->addMenu(QStringLiteral("Language"));
    mnuLanguage->setObjectName(QStringLiteral("mnuLanguage"));
    mnuLanguage->setFont(menuFont);
    const auto language = [this](QAction*& member, const char* name, const char* caption,
                                 void (TfrmModule::*handler)()) {
        member = mnuLanguage->addAction(QString::fromLatin1(caption));
        member->setObjectName(QLatin1String(name));
        member->setCheckable(true);
        connect(member, &QAction::triggered, this, handler);
    };
    language(CT_NAMED(mnuEnglish), "English", &TfrmModule::mnuEnglishClick);
    language(CT_NAMED(mnuSimplified), "Simplified Chinese", &TfrmModule::mnuSimplifiedClick);
    language(CT_NAMED(mnuTraditional), "Traditional Chinese", &TfrmModule::mnuTraditionalClick);

    mnuAbout = mnuMain->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(mnuAbout, &QAction::triggered, this, &TfrmModule::mnuAboutClick);

    CreateToolsMenu(menuFont);
    mnuFrameMonitor = mnuTools->addAction(QStringLiteral("Frame monitor"));
    mnuFrameMonitor->setObjectName(QStringLiteral("mnuFrameMonitor"));
    connect(mnuFrameMonitor, &QAction::triggered, this, &TfrmModule::mnuFrameMonitorClick);

    // Chinese captions fall back to a CJK font with a taller line, which would
    // grow the bar, and the window with it, by a pixel. The bar keeps the
    // height of its tallest language from the start.
    int height = mnuMain->sizeHint().height();
    for (int language : {LangEnglish, LangSimplified, LangTraditional}) {
        mnuFile->setTitle(catalogue_.text(txt::MenuFile, language));
        mnuLanguage->setTitle(catalogue_.text(txt::MenuLanguage, language));
        mnuAbout->setText(catalogue_.text(txt::MenuAbout, language));
        mnuTools->setTitle(catalogue_.text(txt::MenuTools, language));
        height = std::max(height, mnuMain->sizeHint().height());
    }
    mnuFile->setTitle(QStringLiteral("File"));
    mnuLanguage->setTitle(QStringLiteral("Language"));
    mnuAbout->setText(QStringLiteral("&About"));
    mnuTools->setTitle(QStringLiteral("&Tools"));
    mnuMain->setFixedHeight(height);
}

// --- Creation, show, language ---------------------------------------------

void TfrmModule::FormCreate()
{
    const StoredSettings stored = settings_.Load();
    identity_ = tests::ControllerIdentity{};
    link_.Settings = stored.link;
    firmwareFile_ = stored.firmwareFile;
    languageName_ = stored.languageName;
    languageIndex_ = stored.languageIndex;

    const QStringList found = listPorts_();
    cmbPort->clear();
    cmbPort->addItems(BuildPortList(found));
    cmbPort->setCurrentIndex(0);
#ifndef Q_OS_WIN
    // "COM1" names no device here: without a stored port, the first one the
    // system lists, which the next save then stores.
    if (!stored.comPortStored && !found.isEmpty())
        link_.Settings.ComPortName = cmbPort->itemText(0).toStdString();
#endif
    cmbPort->setEditText(QString::fromStdString(link_.Settings.ComPortName));
    cmbBaudrate->setEditText(QString::fromStdString(link_.Settings.ComBaudRate));
    SetFieldText(edIP, QString::fromStdString(link_.Settings.NetIP));
    SetFieldText(edPort, QString::fromStdString(link_.Settings.NetPort));
    pnFile->setText(firmwareFile_);

    pcPort->setCurrentWidget(link_.Settings.LinkType == link::LinkTypeCom ? tsCom : tsNet);
}

void TfrmModule::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmModule::FormShow()
{
    applyLanguage();
}

void TfrmModule::applyLanguage()
{
    using namespace txt;
    const LanguageFont& language = catalogue_.font(languageIndex_);
    setFont(WindowFont(language, font()));
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, FromStoredColour(language.colour));
    setPalette(palette);

    mnuEnglish->setChecked(languageIndex_ == LangEnglish);
    mnuSimplified->setChecked(languageIndex_ == LangSimplified);
    mnuTraditional->setChecked(languageIndex_ == LangTraditional);

    setWindowTitle(text(Title));

    mnuLanguage->setTitle(text(MenuLanguage));
    // Each language's own name, whatever the current language.
    mnuEnglish->setText(catalogue_.text(MenuLanguages, LangEnglish));
    mnuSimplified->setText(catalogue_.text(MenuLanguages, LangSimplified));
    mnuTraditional->setText(catalogue_.text(MenuLanguages, LangTraditional));
    mnuFile->setTitle(text(MenuFile));
    mnuFirmwareFile->setText(text(MenuFirmwareFile));
    mnuAbout->setText(text(MenuAbout));
    mnuExit->setText(text(MenuExit));
    mnuTools->setTitle(text(MenuTools));
    mnuFindController->setText(text(FindController));
    mnuFrameMonitor->setText(text(FrameMonitor));
    if (frmFrameMonitor)
        frmFrameMonitor->applyLanguage(languageIndex_, font());

    SetTabText(pcPort, tsNet, text(Net));
    SetTabText(pcPort, tsCom, text(Com));
    lblPort->setText(text(Port));
    lblNetPort->setText(text(Port));
    lblSpeed->setText(text(Speed));

    SetTabText(pcMain, tsTest, text(BasicTest));
    SetTabText(pcMain, tsCommand, text(CommandTestTab));
    SetTabText(pcMain, tsFunction, text(FunctionTest));
    SetTabText(pcMain, tsFirmware, text(FirmwareUpgrade));
    SetTabText(pcMain, tsName, text(ModelName));
    SetTabText(pcMain, tsSetCtrl, text(Controller));
    SetTabText(pcMain, tsSetG6, text(G6Module));
    SetTabText(pcMain, tsSetG4, text(G4Module));

    gbSetName->setTitle(text(SetModelName));
    lblModelName->setText(text(UserModelName));
    chkChangeVer->setText(text(ChangeVersion));
    btnSetNo->setText(text(SetModelName));

    btnDIDO->setText(text(DidoTest));
    btnPooling->setText(text(PoolingTest));
    btnInitial->setText(text(SetFactory));
    btnReboot->setText(text(SetReboot));
    btnSetDate->setText(text(SetDateTime));
    btnAlarm->setText(text(AlarmTest));
    btnSet115200->setText(text(SetBaud115200));
    btnSet19200->setText(text(SetBaud19200));
    if (testButton_)
        testButton_->setText(text(CancelTest));

    pnMsg->setText(text(StartConnect));

    gbController->setTitle(text(ControllerCommandTest));
    gbModule->setTitle(text(ModuleCommandTest));
    lblCommandSend->setText(text(SendCommand));
    lblModuleCommandSend->setText(text(SendCommand));
    lblCommandRecv->setText(text(ReceiveData));
    lblModuleCommandRecv->setText(text(ReceiveData));
    btnCommand->setText(text(CommandTest));
    btnModuleCommand->setText(text(CommandTest));
    lblModuleType->setText(text(Type));

    pnFirmwareNote->setText(text(Note));
    moFirmwareNote->setPlainText(text(FirmwareNote));
    btnFirmware->setText(text(FirmwareLoad));

    gbSetCtrl->setTitle(text(SetController));
    btnGetCtrlID->setText(text(GetSnOrId));
    btnSetCtrlBySN->setText(text(SetIdBySn));
    lblSetCtrlID->setText(text(SetId));

    gbSetG6->setTitle(text(SetReaderDido));
    btnG6SnId->setText(text(GetSnOrId));
    btnG6SetId->setText(text(SetIdBySn));
    lblSetG6Id->setText(text(SetId));
    gbSetCardTypeByID->setTitle(text(SetCardTypeById));
    btnG6SetCardType->setText(text(SetCardType));
    btnG6GetCardType->setText(text(GetCardType));
    lblG6Recv->setText(text(ReceiveDataG));

    gbSetG4->setTitle(text(SetReaderDido));
    btnG4SetId->setText(text(SetIdBySn));
    btnG4GetSn->setText(text(GetSnOrId));
    lblSetG4ID->setText(text(SetId));
    lblG4Recv->setText(text(ReceiveDataG));
}

void TfrmModule::SelectLanguage(int index, const QString& name)
{
    languageIndex_ = index;
    languageName_ = name;
    settings_.SaveLanguage(languageName_);
    applyLanguage();
}

void TfrmModule::mnuEnglishClick()
{
    SelectLanguage(LangEnglish, QStringLiteral("English"));
}

void TfrmModule::mnuSimplifiedClick()
{
    SelectLanguage(LangSimplified, QStringLiteral("ChineseGB"));
}

void TfrmModule::mnuTraditionalClick()
{
    SelectLanguage(LangTraditional, QStringLiteral("ChineseBIG5"));
}

void TfrmModule::mnuAboutClick()
{
    QMessageBox box(QMessageBox::NoIcon, text(txt::About), text(txt::AboutText), QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("aboutBox"));
    // The program name as typed, the same in every language.
    box.setInformativeText(QStringLiteral("controller-tools ") + QString::fromLatin1(ct::ProgramVersion()));
    box.exec();
}

void TfrmModule::mnuFrameMonitorClick()
{
    if (frmFrameMonitor == nullptr) {
        frmFrameMonitor = new TfrmFrameMonitor(catalogue_, link_, this);
        frmFrameMonitor->applyLanguage(languageIndex_, font());
    }
    frmFrameMonitor->show();
    frmFrameMonitor->raise();
    frmFrameMonitor->activateWindow();
}

void TfrmModule::mnuExitClick()
{
    close();
}

void TfrmModule::closeEvent(QCloseEvent* event)
{
    // Closed now, the window would vanish while its operation goes on unseen,
    // for as long as a dead host takes to refuse the connection.
    if (Busy()) {
        closePending_ = true;
        // A continuous test ends its cycle, sends what ends it and closes
        // the link; then the window closes.
        test_.TestRunning = false;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TfrmModule::OperationEnded()
{
    if (!closePending_)
        return;
    closePending_ = false;
    // After the click handler has returned: it may still write its results.
    QTimer::singleShot(0, this, &QWidget::close);
}

void TfrmModule::EnterPressed()
{
    if (auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget()))
        focused->click();
    else
        btnConnect->click();
}

// --- Operation frame --------------------------------------------------------

void TfrmModule::SetBusyCursor(bool busy)
{
    // The override cursors stack; the window's hourglass is one state.
    if (busy == busyCursor_)
        return;
    busyCursor_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmModule::SetWindowEnabled(bool enabled)
{
    // Input is filtered rather than every control disabled: disabling would
    // grey out and repaint the whole window twice per operation, and take the
    // keyboard focus away.
    if (enabled == !inputBlocked_)
        return;
    inputBlocked_ = !enabled;
    if (inputBlocked_)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool TfrmModule::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        break;
    default:
        return false;
    }
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this)
        return false;
    // An accepted shortcut override keeps the menu mnemonics and Enter from
    // firing.
    event->accept();
    return true;
}

void TfrmModule::SetBusyTimerRunning(bool running)
{
    if (running)
        tmrBusy->start();
    else
        tmrBusy->stop();
}

void TfrmModule::SetLamp(link::Lamp colour)
{
    shComm->setColour(colour == link::Lamp::Yellow ? Yellow : Red);
}

void TfrmModule::ShowStatus(link::StatusMessage message)
{
    switch (message) {
    case link::StatusMessage::Connecting: pnMsg->setText(text(txt::Connecting)); break;
    case link::StatusMessage::ConnectError: pnMsg->setText(text(txt::ConnectError)); break;
    case link::StatusMessage::CommandOk: pnMsg->setText(text(txt::CommandOk)); break;
    case link::StatusMessage::CommandError: pnMsg->setText(text(txt::CommandError)); break;
    }
}

void TfrmModule::CopyActivePage(link::LinkSettings& settings) const
{
    if (pcPort->currentWidget() == tsCom) {
        settings.LinkType = link::LinkTypeCom;
        settings.ComPortName = cmbPort->currentText().toStdString();
        settings.ComBaudRate = cmbBaudrate->currentText().toStdString();
    } else {
        settings.LinkType = link::LinkTypeNet;
        settings.NetIP = edIP->text().toStdString();
        settings.NetPort = edPort->text().toStdString();
    }
}

link::LinkSettings TfrmModule::ActiveLinkSettings()
{
    link::LinkSettings settings = link_.Settings;
    CopyActivePage(settings);
    return settings;
}

void TfrmModule::SaveLinkSettings()
{
    CopyActivePage(link_.Settings);
    settings_.SaveLinkSettings(link_.Settings);
}

void TfrmModule::tmrBusyTimer()
{
    frame_.BusyTimerTick();
}

}  // namespace ct::app

#include "app/Module.h"

#include "app/Fonts.h"
#include "app/Lamp.h"
#include "link/Clock.h"
#include "link/EventPump.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>

namespace ct::app {

namespace {

const QString SansSerif = QStringLiteral("MS Sans Serif");
const QString ArialBlack = QStringLiteral("Arial Black");
const QString ArialNarrow = QStringLiteral("Arial Narrow");

constexpr int ClientWidth = 680;
constexpr int ClientHeight = 614;

// The system colours of the layout. Button face and highlight follow the
// desktop's palette; active caption and grey text have no palette role and
// take the classic desktop values.
QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }
QColor Highlight() { return QApplication::palette().color(QPalette::Highlight); }
const QColor ActiveCaption(10, 36, 106);
const QColor GreyText(128, 128, 128);
const QColor SkyBlue(0xA6, 0xCA, 0xF0);
const QColor Red(Qt::red);
const QColor Yellow(Qt::yellow);
const QColor White(Qt::white);

// A colour stored as 0x00BBGGRR.
QColor FromStoredColour(unsigned bgr)
{
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8) & 0xFFu),
                  static_cast<int>((bgr >> 16) & 0xFFu));
}

#define CT_NAMED(member) member, #member

template <class W>
W* Create(W*& member, const char* name, QWidget* parent, const QRect& rect)
{
    member = new W(parent);
    member->setObjectName(QLatin1String(name));
    member->setGeometry(rect);
    return member;
}

// Background and text colour of one control, kept whatever the window's
// palette becomes. Every colour group gets them: the controls keep their
// colours while the window is blocked.
void SetColours(QWidget* widget, const QColor& background, const QColor& foreground)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, foreground);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetBackground(QWidget* widget, QPalette::ColorRole role, const QColor& background)
{
    QPalette palette = widget->palette();
    palette.setColor(role, background);
    widget->setPalette(palette);
}

enum class Bevel { Raised, Lowered };

QLabel* Panel(QLabel*& member, const char* name, QWidget* parent, const QRect& rect,
              const QString& caption, Bevel bevel, const QColor& background,
              const QColor& foreground, const QFont& font)
{
    Create(member, name, parent, rect);
    member->setFrameStyle(QFrame::Panel | (bevel == Bevel::Raised ? QFrame::Raised : QFrame::Sunken));
    member->setLineWidth(1);
    member->setAlignment(Qt::AlignCenter);
    member->setText(caption);
    member->setFont(font);
    SetColours(member, background, foreground);
    return member;
}

QLabel* Label(QLabel*& member, const char* name, QWidget* parent, const QRect& rect,
              const QString& caption, Qt::Alignment alignment = Qt::AlignLeft)
{
    Create(member, name, parent, rect);
    member->setText(caption);
    member->setAlignment(alignment | Qt::AlignVCenter);
    return member;
}

QLineEdit* Edit(QLineEdit*& member, const char* name, QWidget* parent, const QRect& rect,
                const QString& text, int maxLength = 0)
{
    Create(member, name, parent, rect);
    if (maxLength > 0)
        member->setMaxLength(maxLength);
    member->setText(text);
    return member;
}

// A reply field: shows what came back, cannot be typed into.
QLineEdit* ReplyBox(QLineEdit*& member, const char* name, QWidget* parent, const QRect& rect)
{
    Edit(member, name, parent, rect, QString());
    member->setReadOnly(true);
    SetBackground(member, QPalette::Base, SkyBlue);
    return member;
}

// Editable drop-downs keep what is typed as their text only; the list stays
// as it is.
QComboBox* Combo(QComboBox*& member, const char* name, QWidget* parent, const QRect& rect,
                 const QStringList& items, int selected, bool editable)
{
    Create(member, name, parent, rect);
    member->setEditable(editable);
    if (editable)
        member->setInsertPolicy(QComboBox::NoInsert);
    member->addItems(items);
    member->setCurrentIndex(selected);
    return member;
}

// A check box or radio button with its caption and state.
template <class Button>
Button* Checkable(Button*& member, const char* name, QWidget* parent, const QRect& rect,
                  const QString& caption, bool checked)
{
    Create(member, name, parent, rect);
    member->setText(caption);
    member->setChecked(checked);
    return member;
}

QGroupBox* Group(QGroupBox*& member, const char* name, QWidget* parent, const QRect& rect,
                 const QString& title)
{
    Create(member, name, parent, rect);
    member->setTitle(title);
    return member;
}

QWidget* Page(QWidget*& member, const char* name, QTabWidget* tabs, const QString& caption)
{
    member = new QWidget;
    member->setObjectName(QLatin1String(name));
    tabs->addTab(member, caption);
    return member;
}

void SetTabText(QTabWidget* tabs, QWidget* page, const QString& text)
{
    tabs->setTabText(tabs->indexOf(page), text);
}

QProgressBar* Progress(QProgressBar*& member, const char* name, QWidget* parent, const QRect& rect)
{
    Create(member, name, parent, rect);
    member->setRange(0, 100);
    member->setValue(0);
    member->setTextVisible(false);
    return member;
}

Lamp* MakeLamp(Lamp*& member, const char* name, QWidget* parent, const QRect& rect,
               const QColor& colour)
{
    Create(member, name, parent, rect);
    member->setColour(colour);
    return member;
}

QFont ButtonFont() { return OwnFont(SansSerif, 19, true); }

}  // namespace

TfrmModule::TfrmModule(const Catalogue& catalogue, const ModuleServices& services, QWidget* parent)
    : QMainWindow(parent),
      catalogue_(catalogue),
      clock_(services.clock),
      pump_(services.pump),
      settings_(services.settings),
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
        pcMain->setTabVisible(pcMain->indexOf(hidden), false);
    pcMain->setCurrentWidget(tsTest);
    CreateMenu();

    tmrBusy = new QTimer(this);
    tmrBusy->setObjectName(QStringLiteral("tmrBusy"));
    tmrBusy->setInterval(link::BusyBlinkMs);
    connect(tmrBusy, &QTimer::timeout, this, &TfrmModule::tmrBusyTimer);

    tmrClock = new QTimer(this);
    tmrClock->setObjectName(QStringLiteral("tmrClock"));
    tmrClock->setInterval(500);
    connect(tmrClock, &QTimer::timeout, this, &TfrmModule::tmrClockTimer);

    dlgLoad = new QFileDialog(this);
    dlgLoad->setObjectName(QStringLiteral("dlgLoad"));
    dlgLoad->setFileMode(QFileDialog::ExistingFile);
    dlgLoad->setNameFilter(QStringLiteral("Firmware files (*.KXB)"));

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
    SetBusyCursor(false);
    SetWindowEnabled(true);
}

QString TfrmModule::text(int entry) const
{
    return catalogue_.text(entry, languageIndex_);
}

// --- Layout ---------------------------------------------------------------

void TfrmModule::CreateTopArea(QWidget* client)
{
    Panel(CT_NAMED(pnMsg), client, {8, 4, 665, 40}, QStringLiteral("Start Scan Controller"),
          Bevel::Lowered, ActiveCaption, Yellow, OwnFont(SansSerif, 19, true));
    MakeLamp(CT_NAMED(shComm), pnMsg, {626, 8, 23, 20}, Red);

    const QFont identityFont = OwnFont(ArialNarrow, 35, true);
    Panel(CT_NAMED(pnVER), client, {8, 48, 329, 49}, QString(), Bevel::Lowered, Highlight(), Yellow,
          identityFont);
    Panel(CT_NAMED(pnSN), client, {344, 48, 329, 49}, QString(), Bevel::Lowered, Highlight(), Yellow,
          identityFont);

    Create(CT_NAMED(pcPort), client, {8, 104, 329, 105});
    Page(CT_NAMED(tsCom), pcPort, QStringLiteral("COM"));
    Label(CT_NAMED(lblPort), tsCom, {2, 8, 56, 22}, QStringLiteral("Port:"), Qt::AlignRight);
    Combo(CT_NAMED(cmbPort), tsCom, {60, 7, 140, 24}, {QStringLiteral("COM1")}, 0, true);
    Label(CT_NAMED(lblSpeed), tsCom, {2, 40, 56, 22}, QStringLiteral("Speed:"), Qt::AlignRight);
    Combo(CT_NAMED(cmbBaudrate), tsCom, {60, 39, 140, 24},
          {QStringLiteral("4800,n,8,1"), QStringLiteral("4800,e,8,1"), QStringLiteral("9600,n,8,1"),
           QStringLiteral("9600,e,8,1"), QStringLiteral("19200,n,8,1"), QStringLiteral("19200,e,8,1"),
           QStringLiteral("38400,n,8,1"), QStringLiteral("38400,e,8,1"), QStringLiteral("57600,n,8,1"),
           QStringLiteral("57600,e,8,1"), QStringLiteral("115200,n,8,1"),
           QStringLiteral("115200,e,8,1"), QStringLiteral("230400,n,8,1"),
           QStringLiteral("230400,e,8,1"), QStringLiteral("460800,n,8,1"),
           QStringLiteral("460800,e,8,1"), QStringLiteral("921600,n,8,1"),
           QStringLiteral("921600,e,8,1")},
          10, true);
    Create(CT_NAMED(btn19200), tsCom, {204, 6, 114, 26})->setText(QStringLiteral("19200,e,8,1"));
    connect(btn19200, &QPushButton::clicked, this, &TfrmModule::btn19200Click);
    Create(CT_NAMED(btn115200), tsCom, {204, 38, 114, 26})->setText(QStringLiteral("115200,n,8,1"));
    connect(btn115200, &QPushButton::clicked, this, &TfrmModule::btn115200Click);

    Page(CT_NAMED(tsNet), pcPort, QStringLiteral("NET"));
    Label(CT_NAMED(lblIP), tsNet, {2, 8, 56, 22}, QStringLiteral("IP:"), Qt::AlignRight);
    Edit(CT_NAMED(edIP), tsNet, {60, 7, 140, 24}, QString::fromLatin1(link::DefaultNetIP), 15);
    Label(CT_NAMED(lblNetPort), tsNet, {2, 40, 56, 22}, QStringLiteral("Port:"), Qt::AlignRight);
    Edit(CT_NAMED(edPort), tsNet, {60, 39, 70, 24}, QStringLiteral("5001"));

    Label(CT_NAMED(lblID), client, {344, 99, 65, 25}, QStringLiteral("ID:"), Qt::AlignRight);
    Panel(CT_NAMED(pnID), client, {416, 100, 47, 25}, QStringLiteral("0000"), Bevel::Lowered, SkyBlue,
          Qt::black, OwnFont(SansSerif, 16));
    Create(CT_NAMED(sbID), client, {464, 101, 209, 23});
    sbID->setOrientation(Qt::Horizontal);
    sbID->setRange(0, 9999);
    sbID->setSingleStep(1);
    sbID->setPageStep(10);
    connect(sbID, &QScrollBar::valueChanged, this, &TfrmModule::sbIDChange);

    Create(CT_NAMED(btnConnect), client, {344, 128, 327, 81});
    btnConnect->setText(QStringLiteral("Connect device"));
    btnConnect->setFont(ButtonFont());
    btnConnect->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    btnConnect->setIconSize(QSize(32, 32));
    btnConnect->setDefault(true);
    connect(btnConnect, &QPushButton::clicked, this, &TfrmModule::btnConnectClick);

    Create(CT_NAMED(pcMain), client, {8, 213, 668, 404});
}

void TfrmModule::CreateTestPage()
{
    QWidget* page = Page(CT_NAMED(tsTest), pcMain, QStringLiteral("Basic test"));
    const QFont diFont = OwnFont(ArialBlack, 19);

    QLabel** diLabels[] = {&lblDI1, &lblDI2, &lblDI3, &lblDI4, &lblDI5, &lblDI6, &lblDI7, &lblDI8};
    Lamp** diLamps[] = {&shDI1, &shDI2, &shDI3, &shDI4, &shDI5, &shDI6, &shDI7, &shDI8};
    for (int i = 0; i < 8; ++i) {
        const int column = i % 4;
        const int top = i < 4 ? 116 : 156;
        const QString number = QString::number(i + 1);
        Label(*diLabels[i], qPrintable(QStringLiteral("lblDI") + number), page,
              {32 + 80 * column, top, 41, 29}, QStringLiteral("DI") + number)
            ->setFont(diFont);
        MakeLamp(*diLamps[i], qPrintable(QStringLiteral("shDI") + number), page,
                 {2 + 80 * column, top + 2, 23, 25}, White);
    }

    const auto button = [this, page](QPushButton*& member, const char* name, const QRect& rect,
                                     const char* caption, void (TfrmModule::*handler)()) {
        Create(member, name, page, rect);
        member->setText(QString::fromLatin1(caption));
        member->setFont(ButtonFont());
        connect(member, &QPushButton::clicked, this, handler);
    };
    button(CT_NAMED(btnInitial), {328, 331, 329, 30}, "System initial", &TfrmModule::btnInitialClick);
    button(CT_NAMED(btnDIDO), {328, 120, 329, 97}, "DIDO test", &TfrmModule::btnDIDOClick);
    button(CT_NAMED(btnReboot), {328, 296, 329, 30}, "System reboot", &TfrmModule::btnRebootClick);
    button(CT_NAMED(btnSetDate), {328, 6, 329, 51}, "Set date time", &TfrmModule::btnSetDateClick);
    button(CT_NAMED(btnAlarm), {328, 62, 329, 51}, "Alarm test", &TfrmModule::btnAlarmClick);
    button(CT_NAMED(btnPooling), {328, 224, 329, 65}, "Pooling data test",
           &TfrmModule::btnPoolingClick);

    Checkable(CT_NAMED(chkDO1), page, {2, 184, 81, 40}, QStringLiteral("DO1"), false)->setFont(diFont);
    Checkable(CT_NAMED(chkDO2), page, {82, 184, 81, 40}, QStringLiteral("DO2"), false)->setFont(diFont);
    Checkable(CT_NAMED(chkDO3), page, {162, 184, 83, 40}, QStringLiteral("DO3"), false)->setFont(diFont);
    Checkable(CT_NAMED(chkDO4), page, {240, 184, 85, 40}, QStringLiteral("DO4"), false)->setFont(diFont);

    Panel(CT_NAMED(pnSetDate), page, {0, 10, 321, 47}, QStringLiteral("2001/01/01 12:00:00"),
          Bevel::Raised, GreyText, White, OwnFont(SansSerif, 24, true));
    Combo(CT_NAMED(cmbAlarm), page, {0, 66, 321, 37},
          {QStringLiteral("Alarm Off"), QStringLiteral("Steal Alarm"), QStringLiteral("Help Alarm"),
           QStringLiteral("Fire Alarm"), QStringLiteral("Gas Alarm"), QStringLiteral("Forced Alarm"),
           QStringLiteral("Duress Alarm")},
          0, false);
    cmbAlarm->setFont(OwnFont(SansSerif, 24, true));
    SetColours(cmbAlarm, Highlight(), Yellow);
    Panel(CT_NAMED(pnPoolingDate), page, {0, 226, 321, 31}, QStringLiteral("2001/01/01 12:00:00"),
          Bevel::Raised, Highlight(), Yellow, OwnFont(SansSerif, 16, true));
    Panel(CT_NAMED(pnPoolingData), page, {0, 258, 321, 31}, QString(), Bevel::Raised, Highlight(),
          Yellow, OwnFont(SansSerif, 13, true));

    Create(CT_NAMED(btnSet19200), page, {0, 296, 321, 30})
        ->setText(QStringLiteral("Set Baudrate 19200,e,8,1"));
    connect(btnSet19200, &QPushButton::clicked, this, &TfrmModule::btnSet19200Click);
    Create(CT_NAMED(btnSet115200), page, {0, 331, 321, 30})
        ->setText(QStringLiteral("Set Baudrate 115200,n,8,1"));
    connect(btnSet115200, &QPushButton::clicked, this, &TfrmModule::btnSet115200Click);
}

void TfrmModule::CreateControllerPage()
{
    Page(CT_NAMED(tsSetCtrl), pcMain, QStringLiteral("Controller"));
    QGroupBox* box = Group(CT_NAMED(gbSetCtrl), tsSetCtrl, {0, 0, 657, 361},
                           QStringLiteral("Set Controller"));
    Label(CT_NAMED(lblSetCtrlID), box, {328, 72, 65, 25}, QStringLiteral("Set ID:"));
    Checkable(CT_NAMED(rbCtrlByID), box, {16, 24, 49, 25}, QStringLiteral("ID:"), true);
    Checkable(CT_NAMED(rbCtrlBySN), box, {160, 24, 57, 25}, QStringLiteral("S/N:"), false);
    Edit(CT_NAMED(edCtrlBySN), box, {216, 24, 81, 24}, QStringLiteral("16030001"), 8);
    Create(CT_NAMED(btnGetCtrlID), box, {328, 16, 321, 41})->setText(QStringLiteral("Get S/N or ID"));
    btnGetCtrlID->setFont(ButtonFont());
    connect(btnGetCtrlID, &QPushButton::clicked, this, &TfrmModule::btnGetCtrlIDClick);
    Create(CT_NAMED(btnSetCtrlBySN), box, {8, 64, 313, 41})->setText(QStringLiteral("Set ID by S/N"));
    btnSetCtrlBySN->setFont(ButtonFont());
    connect(btnSetCtrlBySN, &QPushButton::clicked, this, &TfrmModule::btnSetCtrlBySNClick);
    Edit(CT_NAMED(edCtrlByID), box, {64, 24, 49, 24}, QStringLiteral("0001"), 4);
    Edit(CT_NAMED(edSetCtrlID), box, {400, 72, 49, 24}, QStringLiteral("0001"), 4);
}

void TfrmModule::CreateFirmwarePage()
{
    Page(CT_NAMED(tsFunction), pcMain, QStringLiteral("Function test"));
    QWidget* page = Page(CT_NAMED(tsFirmware), pcMain, QStringLiteral("Firmware upgrade"));

    const QFont fileFont = OwnFont(SansSerif, 16);
    const QString hint = QStringLiteral("Fimeware filename");
    Panel(CT_NAMED(Panel1), page, {7, 208, 114, 33}, QStringLiteral("Program"), Bevel::Raised,
          Highlight(), Yellow, fileFont)
        ->setToolTip(hint);
    Panel(CT_NAMED(pnFile), page, {120, 168, 529, 33}, QString(), Bevel::Raised, Highlight(), Yellow,
          fileFont)
        ->setToolTip(hint);
    Progress(CT_NAMED(pbProgram), page, {120, 208, 529, 33});
    Progress(CT_NAMED(pbVerify), page, {120, 248, 529, 33});
    Panel(CT_NAMED(Panel2), page, {7, 248, 114, 33}, QStringLiteral("Verify"), Bevel::Raised,
          Highlight(), Yellow, fileFont)
        ->setToolTip(hint);
    Create(CT_NAMED(btnFirmware), page, {8, 288, 641, 73})->setText(QStringLiteral("Firmware load"));
    btnFirmware->setFont(ButtonFont());
    connect(btnFirmware, &QPushButton::clicked, this, &TfrmModule::btnFirmwareClick);

    Create(CT_NAMED(moFirmwareNote), page, {9, 48, 641, 105});
    moFirmwareNote->setReadOnly(true);
    moFirmwareNote->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    moFirmwareNote->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    moFirmwareNote->setFont(OwnFont(SansSerif, 19, true));
    SetColours(moFirmwareNote, Red, White);

    Panel(CT_NAMED(pnFirmwareNote), page, {8, 8, 641, 41}, QStringLiteral("Note !"), Bevel::Raised,
          Red, Yellow, OwnFont(SansSerif, 24, true));
    Panel(CT_NAMED(Panel3), page, {8, 168, 113, 33}, QStringLiteral("Firmware file"), Bevel::Raised,
          Highlight(), Yellow, fileFont)
        ->setToolTip(hint);
}

void TfrmModule::CreateG6Page()
{
    Page(CT_NAMED(tsSetG6), pcMain, QStringLiteral("G6 Module"));
    QGroupBox* box = Group(CT_NAMED(gbSetG6), tsSetG6, {0, 0, 657, 361},
                           QStringLiteral("Set Reader / DIDO"));
    const QStringList ids0to8 = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                 QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
                                 QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")};
    const QStringList ids1to8 = ids0to8.mid(1);

    Label(CT_NAMED(lblG6Recv), box, {8, 333, 137, 22}, QStringLiteral("Receive Data :"));
    Label(CT_NAMED(lblSetG6Id), box, {328, 72, 65, 25}, QStringLiteral("Set ID:"));
    ReplyBox(CT_NAMED(edG6Recv), box, {152, 332, 497, 24});
    Combo(CT_NAMED(cmbG6Id), box, {64, 24, 49, 24}, ids0to8, 1, false);
    Checkable(CT_NAMED(rbID), box, {16, 24, 49, 25}, QStringLiteral("ID:"), true);
    Checkable(CT_NAMED(rbSN), box, {160, 24, 57, 25}, QStringLiteral("S/N:"), false);
    Edit(CT_NAMED(edG6Sn), box, {216, 24, 81, 24}, QStringLiteral("16030001"), 8);
    Create(CT_NAMED(btnG6SnId), box, {328, 16, 321, 41})->setText(QStringLiteral("Get S/N or Get ID"));
    btnG6SnId->setFont(ButtonFont());
    connect(btnG6SnId, &QPushButton::clicked, this, &TfrmModule::btnG6SnIdClick);
    Create(CT_NAMED(btnG6SetId), box, {8, 64, 313, 41})->setText(QStringLiteral("Set ID by S/N"));
    btnG6SetId->setFont(ButtonFont());
    connect(btnG6SetId, &QPushButton::clicked, this, &TfrmModule::btnG6SetIdClick);
    Combo(CT_NAMED(cmbG6SetId), box, {400, 72, 49, 24}, ids1to8, 0, false);

    QGroupBox* cards = Group(CT_NAMED(gbSetCardTypeByID), box, {8, 120, 641, 153},
                             QStringLiteral("Set Card Type by ID"));
    Label(CT_NAMED(lblSameCard), cards, {16, 16, 159, 25}, QStringLiteral("Same Card Delay:"));
    Label(CT_NAMED(lblSameCardDelayMs), cards, {238, 16, 56, 25}, QStringLiteral("x100ms"));
    Label(CT_NAMED(lblCardTypeMIC), cards, {72, 48, 104, 24}, QStringLiteral("Card Type:"));
    Edit(CT_NAMED(edSameCard), cards, {182, 18, 49, 24}, QStringLiteral("10"), 3);
    Checkable(CT_NAMED(chkGreenMode), cards, {301, 16, 112, 25}, QStringLiteral("Green Mode"), true);
    Checkable(CT_NAMED(chkResetMode), cards, {420, 16, 80, 25}, QStringLiteral("Reset"), true);
    Checkable(CT_NAMED(chkCardTypeBG), cards, {397, 50, 80, 25}, QStringLiteral("GUID(B)"), true);
    Checkable(CT_NAMED(chkCardType15693), cards, {476, 50, 88, 25}, QStringLiteral("ISO15693"), false);
    Checkable(CT_NAMED(chkCardTypeB), cards, {325, 50, 72, 25}, QStringLiteral("UID(B)"), false);
    Checkable(CT_NAMED(chkCardTypeABlock), cards, {254, 50, 72, 25}, QStringLiteral("Block"), false);
    Checkable(CT_NAMED(chkCardTypeA), cards, {183, 50, 72, 25}, QStringLiteral("UID(A)"), true);
    Checkable(CT_NAMED(chkCardType7Byte), cards, {182, 74, 72, 25}, QStringLiteral("7 Byte"), false);
    Create(CT_NAMED(btnG6GetCardType), cards, {320, 104, 313, 41})
        ->setText(QStringLiteral("Get Card Type"));
    btnG6GetCardType->setFont(ButtonFont());
    connect(btnG6GetCardType, &QPushButton::clicked, this, &TfrmModule::btnG6GetCardTypeClick);
    Create(CT_NAMED(btnG6SetCardType), cards, {8, 104, 305, 41})
        ->setText(QStringLiteral("Set Card Type"));
    btnG6SetCardType->setFont(ButtonFont());
    connect(btnG6SetCardType, &QPushButton::clicked, this, &TfrmModule::btnG6SetCardTypeClick);
}

void TfrmModule::CreateG4Page()
{
    Page(CT_NAMED(tsSetG4), pcMain, QStringLiteral("G4 Module"));
    QGroupBox* box = Group(CT_NAMED(gbSetG4), tsSetG4, {0, 0, 657, 361},
                           QStringLiteral("Set Reader / DIDO"));
    Label(CT_NAMED(Label5), box, {8, 26, 49, 22}, QStringLiteral("Type:"));
    Label(CT_NAMED(Label6), box, {232, 26, 33, 22}, QStringLiteral("ID:"));
    Label(CT_NAMED(lblSetG4ID), box, {504, 80, 65, 25}, QStringLiteral("Set ID:"));
    Label(CT_NAMED(Label8), box, {336, 82, 49, 22}, QStringLiteral("S/N:"));
    Label(CT_NAMED(lblG4Recv), box, {8, 333, 137, 22}, QStringLiteral("Receive Data :"));
    Combo(CT_NAMED(cmbG4Type), box, {64, 24, 169, 24},
          {QStringLiteral("KXRA1/A5/C5"), QStringLiteral("KXIO-1A/16"), QStringLiteral("KXRB5/BS/BQ"),
           QStringLiteral("KXRH5/H6/HQ/HE"), QStringLiteral("KXRM5/MQ/ME"), QStringLiteral("KXPRINT")},
          2, false);
    Combo(CT_NAMED(cmbG4Id), box, {272, 24, 41, 24},
          {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
           QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
           QStringLiteral("8")},
          1, false);
    Create(CT_NAMED(btnG4SetId), box, {8, 72, 313, 41})->setText(QStringLiteral("Set ID by S/N"));
    btnG4SetId->setFont(ButtonFont());
    connect(btnG4SetId, &QPushButton::clicked, this, &TfrmModule::btnG4SetIdClick);
    Combo(CT_NAMED(cmbG4SetId), box, {576, 80, 49, 24},
          {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
           QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")},
          0, false);
    Edit(CT_NAMED(edG4Sn), box, {400, 80, 81, 24}, QStringLiteral("16030001"));
    Create(CT_NAMED(btnG4GetSn), box, {336, 16, 313, 41})->setText(QStringLiteral("Get S/N by ID"));
    btnG4GetSn->setFont(ButtonFont());
    connect(btnG4GetSn, &QPushButton::clicked, this, &TfrmModule::btnG4GetSnClick);
    ReplyBox(CT_NAMED(edG4Recv), box, {152, 332, 497, 24});
}

void TfrmModule::CreateNamePage()
{
    Page(CT_NAMED(tsName), pcMain, QStringLiteral("Model Name"));
    QGroupBox* box = Group(CT_NAMED(gbSetName), tsName, {0, 0, 657, 337},
                           QStringLiteral("Set Model Name"));
    box->setVisible(false);

    Label(CT_NAMED(lblModelName), box, {128, 21, 193, 36}, QStringLiteral("Model Name :"))
        ->setFont(OwnFont(SansSerif, 16, true));
    Create(CT_NAMED(btnSetNo), box, {10, 160, 639, 65})->setText(QStringLiteral("Set Model Name"));
    btnSetNo->setFont(ButtonFont());
    connect(btnSetNo, &QPushButton::clicked, this, &TfrmModule::btnSetNoClick);
    Checkable(CT_NAMED(chkChangeVer), box, {16, 128, 161, 25}, QStringLiteral("Change Version"), false);
    Edit(CT_NAMED(edSetVer), box, {192, 128, 57, 28}, QStringLiteral("0503"), 4);
    edSetVer->setFont(OwnFont(SansSerif, 16, true));
    SetColours(edSetVer, Highlight(), White);

    const auto button = [this, box](QPushButton*& member, const char* name, const QRect& rect,
                                    const char* caption, void (TfrmModule::*handler)()) {
        Create(member, name, box, rect)->setText(QString::fromLatin1(caption));
        connect(member, &QPushButton::clicked, this, handler);
    };
    button(CT_NAMED(btnG4), {264, 126, 121, 27}, "0503", &TfrmModule::btnG4Click);
    button(CT_NAMED(btnG3), {392, 126, 121, 27}, "0495", &TfrmModule::btnG3Click);
    button(CT_NAMED(btnG1), {520, 126, 121, 27}, "0298", &TfrmModule::btnG1Click);
    button(CT_NAMED(btnKX430), {488, 94, 153, 27}, "KX430", &TfrmModule::btnKX430Click);
    button(CT_NAMED(btnKX470), {488, 62, 153, 27}, "KX470", &TfrmModule::btnKX470Click);
    button(CT_NAMED(btnKX450), {328, 62, 153, 27}, "KX450", &TfrmModule::btnKX450Click);
    button(CT_NAMED(btnKX460), {328, 94, 153, 27}, "KX460", &TfrmModule::btnKX460Click);
    button(CT_NAMED(btnKX405), {168, 94, 153, 27}, "KX405", &TfrmModule::btnKX405Click);
    button(CT_NAMED(btnKX420), {168, 62, 153, 27}, "KX420", &TfrmModule::btnKX420Click);
    button(CT_NAMED(btnKX410), {8, 62, 153, 27}, "KX410", &TfrmModule::btnKX410Click);
    button(CT_NAMED(btnKX400), {8, 94, 153, 27}, "KX400", &TfrmModule::btnKX400Click);

    Edit(CT_NAMED(edModelName), box, {328, 24, 225, 32}, QStringLiteral("KX410NT4-SG4"), 12);
    edModelName->setFont(OwnFont(SansSerif, 19, true));
    SetColours(edModelName, Highlight(), White);
}

void TfrmModule::CreateCommandPage()
{
    Page(CT_NAMED(tsCommand), pcMain, QStringLiteral("Command test"));

    QGroupBox* controller = Group(CT_NAMED(gbController), tsCommand, {0, 0, 657, 177},
                                  QStringLiteral("Controller command test"));
    Label(CT_NAMED(lblCommandRecv), controller, {8, 61, 137, 22}, QStringLiteral("Receive Data :"));
    Label(CT_NAMED(lblCommandSend), controller, {24, 26, 121, 25}, QStringLiteral("Send Command :"));
    Create(CT_NAMED(btnCommand), controller, {8, 96, 641, 65})->setText(QStringLiteral("Test command"));
    btnCommand->setFont(ButtonFont());
    connect(btnCommand, &QPushButton::clicked, this, &TfrmModule::btnCommandClick);
    ReplyBox(CT_NAMED(edCommandRecv), controller, {152, 60, 497, 24});
    Edit(CT_NAMED(edCommandSend), controller, {152, 24, 497, 24}, QStringLiteral("AB"));

    QGroupBox* module = Group(CT_NAMED(gbModule), tsCommand, {0, 184, 657, 177},
                              QStringLiteral("Module command test"));
    Label(CT_NAMED(lblModuleCommandSend), module, {272, 26, 121, 25}, QStringLiteral("Send Command :"));
    Label(CT_NAMED(lblModuleCommandRecv), module, {8, 61, 137, 22}, QStringLiteral("Receive Data :"));
    Label(CT_NAMED(lblModuleType), module, {8, 26, 49, 22}, QStringLiteral("Type:"));
    Label(CT_NAMED(lblModuleId), module, {192, 26, 33, 22}, QStringLiteral("ID:"));
    Edit(CT_NAMED(edModuleCommandSend), module, {400, 24, 249, 24}, QStringLiteral("B"));
    ReplyBox(CT_NAMED(edModuleCommandRecv), module, {152, 60, 497, 24});
    Create(CT_NAMED(btnModuleCommand), module, {8, 96, 641, 65})
        ->setText(QStringLiteral("Test command"));
    btnModuleCommand->setFont(ButtonFont());
    connect(btnModuleCommand, &QPushButton::clicked, this, &TfrmModule::btnModuleCommandClick);
    Combo(CT_NAMED(cmbModuleType), module, {64, 24, 129, 24},
          {QStringLiteral("KXRA1/A5/C5"), QStringLiteral("KXIO-1A/16"), QStringLiteral("KXRB5/KX77"),
           QStringLiteral("KXRH5/H6"), QStringLiteral("KXRM5"), QStringLiteral("KXPRINT")},
          2, false);
    Combo(CT_NAMED(cmbModuleId), module, {232, 24, 41, 24},
          {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
           QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")},
          0, false);
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

    cmbPort->clear();
    cmbPort->addItems(BuildPortList(SystemPortNames()));
    cmbPort->setCurrentIndex(0);
    cmbPort->setEditText(QString::fromStdString(link_.Settings.ComPortName));
    cmbBaudrate->setEditText(QString::fromStdString(link_.Settings.ComBaudRate));
    edIP->setText(QString::fromStdString(link_.Settings.NetIP));
    edPort->setText(QString::fromStdString(link_.Settings.NetPort));
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
    box.exec();
}

void TfrmModule::mnuExitClick()
{
    close();
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

// --- Connect ----------------------------------------------------------------

void TfrmModule::btnConnectClick()
{
    tests::RunConnect(frame_, clock_, identity_, *this);
}

void TfrmModule::sbIDChange()
{
    pnID->setText(QString::asprintf("%04d", sbID->value()));
}

std::string TfrmModule::IdCaption()
{
    return pnID->text().toStdString();
}

void TfrmModule::ShowCountdown(int n)
{
    pnMsg->setText(text(txt::Connecting) + QString::asprintf(" ( %d )", n));
    pump_.ProcessEvents();
}

void TfrmModule::ClearIdentityPanels()
{
    pnVER->clear();
    pnSN->clear();
}

void TfrmModule::SetIdPosition(int position)
{
    sbID->setValue(position);
}

// Reply fields are 8-bit text: one character per byte.
void TfrmModule::ShowVersion(const std::string& text)
{
    pnVER->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TfrmModule::ShowSerial(const std::string& text)
{
    pnSN->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

// --- Clock ------------------------------------------------------------------

void TfrmModule::tmrClockTimer()
{
    pnSetDate->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}

// --- Operations of the pages ------------------------------------------------
// Each runs inside the operation frame; they are filled in one by one.

void TfrmModule::mnuFirmwareFileClick() {}
void TfrmModule::btn19200Click() {}
void TfrmModule::btn115200Click() {}
void TfrmModule::btnDIDOClick() {}
void TfrmModule::btnSetDateClick() {}
void TfrmModule::btnAlarmClick() {}
void TfrmModule::btnInitialClick() {}
void TfrmModule::btnRebootClick() {}
void TfrmModule::btnPoolingClick() {}
void TfrmModule::btnSet19200Click() {}
void TfrmModule::btnSet115200Click() {}
void TfrmModule::btnCommandClick() {}
void TfrmModule::btnModuleCommandClick() {}
void TfrmModule::btnGetCtrlIDClick() {}
void TfrmModule::btnSetCtrlBySNClick() {}
void TfrmModule::btnG6SnIdClick() {}
void TfrmModule::btnG6SetIdClick() {}
void TfrmModule::btnG6SetCardTypeClick() {}
void TfrmModule::btnG6GetCardTypeClick() {}
void TfrmModule::btnG4GetSnClick() {}
void TfrmModule::btnG4SetIdClick() {}
void TfrmModule::btnFirmwareClick() {}
void TfrmModule::btnSetNoClick() {}
void TfrmModule::btnG4Click() {}
void TfrmModule::btnG3Click() {}
void TfrmModule::btnG1Click() {}
void TfrmModule::btnKX400Click() {}
void TfrmModule::btnKX405Click() {}
void TfrmModule::btnKX410Click() {}
void TfrmModule::btnKX420Click() {}
void TfrmModule::btnKX430Click() {}
void TfrmModule::btnKX450Click() {}
void TfrmModule::btnKX460Click() {}
void TfrmModule::btnKX470Click() {}

}  // namespace ct::app

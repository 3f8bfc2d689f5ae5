// The top of the window: the message panel with the link lamp, the version
// and serial panels, the connection pages tsCom and tsNet, the ID selector
// and Connect.
#include "app/Fonts.h"
#include "app/Module.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "link/EventPump.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>

namespace ct::app {

using namespace layout;

void TfrmModule::CreateTopArea(QWidget* client)
{
    MakePanel(*this, CT_SLOT(pnMsg), client, {8, 4, 665, 40}, QStringLiteral("Start Scan Controller"),
              {Bevel::Lowered, ActiveCaption, Yellow, OwnFont(SansSerif, 19, true)});
    MakeLamp(*this, CT_SLOT(shComm), pnMsg, {626, 8, 23, 20}, Red);

    const PanelLook identity{Bevel::Lowered, Highlight(), Yellow, OwnFont(ArialNarrow, 35, true)};
    MakePanel(*this, CT_SLOT(pnVER), client, {8, 48, 329, 49}, QString(), identity);
    MakePanel(*this, CT_SLOT(pnSN), client, {344, 48, 329, 49}, QString(), identity);

    MakeControl(*this, CT_SLOT(pcPort), client, {8, 104, 329, 105});
    MakePage(*this, CT_SLOT(tsCom), pcPort, "COM");
    BuildControls(*this, tsCom, {
        LabelRow{CT_SLOT(lblPort), {2, 8, 56, 22}, "Port:", Font::Window, Qt::AlignRight},
    });
    // A USB adapter plugged in after start-up shows up when the list opens.
    auto* ports = new RefilledComboBox;
    ports->items = [this] { return BuildPortList(listPorts_()); };
    BuildCombo(*this, tsCom, ComboRow{CT_SLOT(cmbPort), {60, 7, 140, 24}, {QStringLiteral("COM1")}, 0, true}, ports);
    BuildControls(*this, tsCom, {
        LabelRow{CT_SLOT(lblSpeed), {2, 40, 56, 22}, "Speed:", Font::Window, Qt::AlignRight},
        ComboRow{CT_SLOT(cmbBaudrate), {60, 39, 140, 24},
                 {QStringLiteral("4800,n,8,1"), QStringLiteral("4800,e,8,1"), QStringLiteral("9600,n,8,1"),
                  QStringLiteral("9600,e,8,1"), QStringLiteral("19200,n,8,1"), QStringLiteral("19200,e,8,1"),
                  QStringLiteral("38400,n,8,1"), QStringLiteral("38400,e,8,1"), QStringLiteral("57600,n,8,1"),
                  QStringLiteral("57600,e,8,1"), QStringLiteral("115200,n,8,1"), QStringLiteral("115200,e,8,1"),
                  QStringLiteral("230400,n,8,1"), QStringLiteral("230400,e,8,1"), QStringLiteral("460800,n,8,1"),
                  QStringLiteral("460800,e,8,1"), QStringLiteral("921600,n,8,1"), QStringLiteral("921600,e,8,1")},
                 10, true},
        ButtonRow{CT_SLOT(btn19200), {204, 6, 114, 26}, "19200,e,8,1", &TfrmModule::btn19200Click, Font::Window},
        ButtonRow{CT_SLOT(btn115200), {204, 38, 114, 26}, "115200,n,8,1", &TfrmModule::btn115200Click,
                  Font::Window},
    });

    MakePage(*this, CT_SLOT(tsNet), pcPort, "NET");
    BuildControls(*this, tsNet, {
        LabelRow{CT_SLOT(lblIP), {2, 8, 56, 22}, "IP:", Font::Window, Qt::AlignRight},
        EditRow{CT_SLOT(edIP), {60, 7, 140, 24}, link::DefaultNetIP, 15},
        LabelRow{CT_SLOT(lblNetPort), {2, 40, 56, 22}, "Port:", Font::Window, Qt::AlignRight},
        EditRow{CT_SLOT(edPort), {60, 39, 70, 24}, "5001"},
    });

    BuildControls(*this, client, {
        LabelRow{CT_SLOT(lblID), {344, 99, 65, 25}, "ID:", Font::Window, Qt::AlignRight},
    });
    MakePanel(*this, CT_SLOT(pnID), client, {416, 100, 47, 25}, QStringLiteral("0000"),
              {Bevel::Lowered, SkyBlue, Qt::black, OwnFont(SansSerif, 16)});
    MakeControl(*this, CT_SLOT(sbID), client, {464, 101, 209, 23});
    sbID->setOrientation(Qt::Horizontal);
    sbID->setRange(0, 9999);
    sbID->setSingleStep(1);
    sbID->setPageStep(10);
    connect(sbID, &QScrollBar::valueChanged, this, &TfrmModule::sbIDChange);

    BuildControls(*this, client, {
        ButtonRow{CT_SLOT(btnConnect), {344, 128, 327, 81}, "Connect device", &TfrmModule::btnConnectClick},
    });
    btnConnect->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    btnConnect->setIconSize(QSize(32, 32));
    btnConnect->setDefault(true);

    MakeControl(*this, CT_SLOT(pcMain), client, {8, 213, 668, 404});
}

void TfrmModule::btnConnectClick()
{
    tests::RunConnect(frame_, identity_, *this);
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
    pnVER->setText(FromBytes(text));
}

void TfrmModule::ShowSerial(const std::string& text)
{
    pnSN->setText(FromBytes(text));
}

void TfrmModule::btn19200Click()
{
    SelectLine(tests::LineSpeed::Baud19200);
}

void TfrmModule::btn115200Click()
{
    SelectLine(tests::LineSpeed::Baud115200);
}

void TfrmModule::SelectLine(tests::LineSpeed speed)
{
    // Positions of the two settings in the fixed list.
    constexpr int Item19200 = 5;
    constexpr int Item115200 = 10;
    cmbBaudrate->setEditText(QString::fromLatin1(tests::LineSpeedSettings(speed)));
    cmbBaudrate->setCurrentIndex(speed == tests::LineSpeed::Baud19200 ? Item19200 : Item115200);
}

}  // namespace ct::app

// The hidden pages "Function test" tsFunction (empty) and "Firmware upgrade"
// tsFirmware: the firmware file, its progress bars and the upgrade button.
// Their tabs never show; the handlers run when their buttons are pressed.
#include "app/Fonts.h"
#include "app/Module.h"
#include "app/PageBuilder.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

namespace ct::app {

using namespace layout;

namespace {

void MakeProgress(TfrmModule& window, Slot<QProgressBar> slot, QWidget* parent, const QRect& rect)
{
    QProgressBar* bar = MakeControl(window, slot, parent, rect);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
}

}  // namespace

void TfrmModule::CreateFirmwarePage()
{
    MakePage(*this, CT_SLOT(tsFunction), pcMain, "Function test");
    QWidget* page = MakePage(*this, CT_SLOT(tsFirmware), pcMain, "Firmware upgrade");

    const PanelLook file{Bevel::Raised, Highlight(), Yellow, OwnFont(SansSerif, 16)};
    const QString hint = QStringLiteral("Fimeware filename");
    MakePanel(*this, CT_SLOT(Panel1), page, {7, 208, 114, 33}, QStringLiteral("Program"), file)->setToolTip(hint);
    MakePanel(*this, CT_SLOT(pnFile), page, {120, 168, 529, 33}, QString(), file)->setToolTip(hint);
    MakeProgress(*this, CT_SLOT(pbProgram), page, {120, 208, 529, 33});
    MakeProgress(*this, CT_SLOT(pbVerify), page, {120, 248, 529, 33});
    MakePanel(*this, CT_SLOT(Panel2), page, {7, 248, 114, 33}, QStringLiteral("Verify"), file)->setToolTip(hint);
    BuildControls(*this, page, {
        ButtonRow{CT_SLOT(btnFirmware), {8, 288, 641, 73}, "Firmware load", &TfrmModule::btnFirmwareClick},
    });

    MakeControl(*this, CT_SLOT(moFirmwareNote), page, {9, 48, 641, 105});
    moFirmwareNote->setReadOnly(true);
    moFirmwareNote->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    moFirmwareNote->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    moFirmwareNote->setFont(OwnFont(SansSerif, 19, true));
    SetColours(moFirmwareNote, Red, White);

    MakePanel(*this, CT_SLOT(pnFirmwareNote), page, {8, 8, 641, 41}, QStringLiteral("Note !"),
              {Bevel::Raised, Red, Yellow, OwnFont(SansSerif, 24, true)});
    MakePanel(*this, CT_SLOT(Panel3), page, {8, 168, 113, 33}, QStringLiteral("Firmware file"), file)
        ->setToolTip(hint);
}

void TfrmModule::mnuFirmwareFileClick() {}
void TfrmModule::btnFirmwareClick() {}

}  // namespace ct::app

// The hidden pages "Function test" tsFunction (empty) and "Firmware upgrade"
// tsFirmware: the firmware file, its progress bars and the upgrade button.
// Their tabs never show; the handlers run when their buttons are pressed.
#include "app/Fonts.h"
#include "app/Module.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "firmware/Upgrade.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

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
    // Beside the note's caption: which loader the controller runs, where
    // its model does not tell.
    BuildControls(*this, pnFirmwareNote, {
        ComboRow{CT_SLOT(cmbLoader), {452, 8, 181, 25},
                 {QStringLiteral("Loader by model"), QStringLiteral("512-byte loader (3)"),
                  QStringLiteral("512-byte loader (6)"), QStringLiteral("256-byte loader"),
                  QStringLiteral("64-byte loader")},
                 0},
    });
    // Not the note's red and yellow: it is a control, not part of the warning.
    cmbLoader->setFont(OwnFont(SansSerif, 10));
    SetColours(cmbLoader, White, Qt::black);
}

namespace {

class UpgradeView final : public firmware::IUpgradeView {
public:
    explicit UpgradeView(TfrmModule& w) : w_(w) {}
    void ShowTitle(tests::Title title) override { w_.ShowTitle(title); }
    void ShowCountdown(int n) override { w_.ShowCountdown(n); }
    // A maximum of 0 would turn the bar into a busy indicator.
    void SetProgramRange(int maximum) override { w_.pbProgram->setRange(0, std::max(maximum, 1)); }
    void SetProgramPosition(int position) override { w_.pbProgram->setValue(position); }
    void SetVerifyRange(int maximum) override { w_.pbVerify->setRange(0, std::max(maximum, 1)); }
    void SetVerifyPosition(int position) override { w_.pbVerify->setValue(position); }

private:
    TfrmModule& w_;
};

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

}  // namespace

int TfrmModule::UpgradeKind() const
{
    if (firmware::LoaderFor(identity_.ControllerKind).loader != firmware::Loader::None)
        return identity_.ControllerKind;
    // By the position in cmbLoader; 0 leaves it to the model.
    static constexpr int Chosen[] = {0, 3, 6, 1, 4};
    const int index = cmbLoader->currentIndex();
    if (index > 0 && index < int(std::size(Chosen)))
        return Chosen[index];
    const int byModel = firmware::LoaderKindForModel(ToBytes(pnVER->text()));
    return byModel != 0 ? byModel : identity_.ControllerKind;
}

bool TfrmModule::LoadFirmwareImage(int kind)
{
    const firmware::LoadResult result =
        firmware::LoadFirmwareImage(Utf8(firmwareFile_), kind, ToBytes(pnVER->text()), image_);
    if (result == firmware::LoadResult::Ok)
        return true;
    pnMsg->setText(text(result == firmware::LoadResult::ModelMismatch ? txt::FirmwareModelError
                                                                      : txt::LoadFirmwareError));
    SetLamp(link::Lamp::Red);
    beeper_.Beep(link::LowBeepHz, link::BeepMs);
    return false;
}

void TfrmModule::mnuFirmwareFileClick()
{
    if (dlgLoad->exec() != QDialog::Accepted || dlgLoad->selectedFiles().isEmpty())
        return;
    pbProgram->setValue(0);
    pbVerify->setValue(0);
    firmwareFile_ = dlgLoad->selectedFiles().constFirst();
    settings_.SaveFirmwareFile(firmwareFile_);
    pnFile->setText(firmwareFile_);
    // A file that cannot be read shows nothing here; the upgrade will say so.
    if (const std::optional<std::string> header = firmware::ReadHeaderText(Utf8(firmwareFile_)))
        pnMsg->setText(FromBytes(*header));
}

void TfrmModule::btnFirmwareClick()
{
    pbProgram->setValue(0);
    pbVerify->setValue(0);
    const int kind = UpgradeKind();
    if (!LoadFirmwareImage(kind))
        return;
    UpgradeView view(*this);
    firmware::RunFirmwareUpgrade(frame_, kind, identity_.DeviceID, image_, view);
}


}  // namespace ct::app

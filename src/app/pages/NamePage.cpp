// The hidden "Model Name" page tsName: a model designation and version
// written into the controller. Its tab and its group box never show; the
// handlers run when their buttons are pressed.
#include "app/Fonts.h"
#include "app/Module.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "firmware/ModelName.h"

#include <QGroupBox>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <optional>
#include <string>

namespace ct::app {

using namespace layout;

void TfrmModule::CreateNamePage()
{
    MakePage(*this, CT_SLOT(tsName), pcMain, "Model Name");
    QGroupBox* box = MakeGroup(*this, CT_SLOT(gbSetName), tsName, {0, 0, 657, 337}, "Set Model Name");
    box->setVisible(false);

    BuildControls(*this, box, {
        LabelRow{CT_SLOT(lblModelName), {128, 21, 193, 36}, "Model Name :"},
        ButtonRow{CT_SLOT(btnSetNo), {10, 160, 639, 65}, "Set Model Name", &TfrmModule::btnSetNoClick},
        CheckRow{CT_SLOT(chkChangeVer), {16, 128, 161, 25}, "Change Version"},
        EditRow{CT_SLOT(edSetVer), {192, 128, 57, 28}, "0503", 4},
        ButtonRow{CT_SLOT(btnG4), {264, 126, 121, 27}, "0503", &TfrmModule::btnG4Click, Font::Window},
        ButtonRow{CT_SLOT(btnG3), {392, 126, 121, 27}, "0495", &TfrmModule::btnG3Click, Font::Window},
        ButtonRow{CT_SLOT(btnG1), {520, 126, 121, 27}, "0298", &TfrmModule::btnG1Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX430), {488, 94, 153, 27}, "KX430", &TfrmModule::btnKX430Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX470), {488, 62, 153, 27}, "KX470", &TfrmModule::btnKX470Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX450), {328, 62, 153, 27}, "KX450", &TfrmModule::btnKX450Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX460), {328, 94, 153, 27}, "KX460", &TfrmModule::btnKX460Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX405), {168, 94, 153, 27}, "KX405", &TfrmModule::btnKX405Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX420), {168, 62, 153, 27}, "KX420", &TfrmModule::btnKX420Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX410), {8, 62, 153, 27}, "KX410", &TfrmModule::btnKX410Click, Font::Window},
        ButtonRow{CT_SLOT(btnKX400), {8, 94, 153, 27}, "KX400", &TfrmModule::btnKX400Click, Font::Window},
        EditRow{CT_SLOT(edModelName), {328, 24, 225, 32}, "KX410NT4-SG4", 12},
    });
    lblModelName->setFont(OwnFont(SansSerif, 16, true));
    edSetVer->setFont(OwnFont(SansSerif, 16, true));
    SetColours(edSetVer, Highlight(), White);
    edModelName->setFont(OwnFont(SansSerif, 19, true));
    SetColours(edModelName, Highlight(), White);
}

void TfrmModule::btnSetNoClick()
{
    const std::optional<std::string> version =
        chkChangeVer->isChecked() ? std::optional<std::string>(ToBytes(edSetVer->text())) : std::nullopt;
    ShowRefusal(firmware::RunSetModelName(frame_, *this, identity_.DeviceID, ToBytes(edModelName->text()), version));
}

// The model and version buttons only fill their fields.
void TfrmModule::btnKX410Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[0].model)); }
void TfrmModule::btnKX420Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[1].model)); }
void TfrmModule::btnKX450Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[2].model)); }
void TfrmModule::btnKX470Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[3].model)); }
void TfrmModule::btnKX400Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[4].model)); }
void TfrmModule::btnKX405Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[5].model)); }
void TfrmModule::btnKX460Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[6].model)); }
void TfrmModule::btnKX430Click() { SetFieldText(edModelName, QString::fromLatin1(firmware::ModelButtons[7].model)); }
void TfrmModule::btnG4Click() { SetFieldText(edSetVer, QString::fromLatin1(firmware::VersionButtons[0])); }
void TfrmModule::btnG3Click() { SetFieldText(edSetVer, QString::fromLatin1(firmware::VersionButtons[1])); }
void TfrmModule::btnG1Click() { SetFieldText(edSetVer, QString::fromLatin1(firmware::VersionButtons[2])); }

}  // namespace ct::app

// The "Command test" page tsCommand: any typed command sent to the
// controller, or wrapped for a module behind it, and the raw reply.
#include "app/Module.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "modules/ModuleCommand.h"
#include "tests/CommandConsole.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <string>

namespace ct::app {

using namespace layout;

void TfrmModule::CreateCommandPage()
{
    MakePage(*this, CT_SLOT(tsCommand), pcMain, "Command test");

    QGroupBox* controller = MakeGroup(*this, CT_SLOT(gbController), tsCommand, {0, 0, 657, 177},
                                      "Controller command test");
    BuildControls(*this, controller, {
        LabelRow{CT_SLOT(lblCommandRecv), {8, 61, 137, 22}, "Receive Data :"},
        LabelRow{CT_SLOT(lblCommandSend), {24, 26, 121, 25}, "Send Command :"},
        ButtonRow{CT_SLOT(btnCommand), {8, 96, 641, 65}, "Test command", &TfrmModule::btnCommandClick},
        ReplyRow{CT_SLOT(edCommandRecv), {152, 60, 497, 24}},
        EditRow{CT_SLOT(edCommandSend), {152, 24, 497, 24}, "AB"},
    });

    QGroupBox* module = MakeGroup(*this, CT_SLOT(gbModule), tsCommand, {0, 184, 657, 177},
                                  "Module command test");
    BuildControls(*this, module, {
        LabelRow{CT_SLOT(lblModuleCommandSend), {272, 26, 121, 25}, "Send Command :"},
        LabelRow{CT_SLOT(lblModuleCommandRecv), {8, 61, 137, 22}, "Receive Data :"},
        LabelRow{CT_SLOT(lblModuleType), {8, 26, 49, 22}, "Type:"},
        LabelRow{CT_SLOT(lblModuleId), {192, 26, 33, 22}, "ID:"},
        EditRow{CT_SLOT(edModuleCommandSend), {400, 24, 249, 24}, "B"},
        ReplyRow{CT_SLOT(edModuleCommandRecv), {152, 60, 497, 24}},
        ButtonRow{CT_SLOT(btnModuleCommand), {8, 96, 641, 65}, "Test command",
                  &TfrmModule::btnModuleCommandClick},
        ComboRow{CT_SLOT(cmbModuleType), {64, 24, 129, 24},
                 {QStringLiteral("KXRA1/A5/C5"), QStringLiteral("KXIO-1A/16"), QStringLiteral("KXRB5/KX77"),
                  QStringLiteral("KXRH5/H6"), QStringLiteral("KXRM5"), QStringLiteral("KXPRINT")},
                 2},
        ComboRow{CT_SLOT(cmbModuleId), {232, 24, 41, 24}, IdItems(1), 0},
    });
}

void TfrmModule::btnCommandClick()
{
    const tests::Outcome outcome = tests::RunControllerCommand(
        frame_, identity_.DeviceID, ToBytes(edCommandSend->text()),
        [this](const std::string& reply) { ShowReplyIn(edCommandRecv, reply); });
    if (outcome == tests::Outcome::CommandOk)
        SaveLinkSettings();
    ShowRefusal(outcome, tests::RoomAfter(identity_.DeviceID.size()));
}

void TfrmModule::btnModuleCommandClick()
{
    const int type = cmbModuleType->currentIndex();
    const std::string moduleId = ToBytes(cmbModuleId->currentText());
    const tests::Outcome outcome = tests::RunConsoleModuleCommand(
        frame_, identity_.DeviceID, type, moduleId, ToBytes(edModuleCommandSend->text()),
        [this](const std::string& reply) { ShowReplyIn(edModuleCommandRecv, reply); });
    ShowRefusal(outcome,
                tests::RoomAfter(modules::WrapModuleCommand(identity_.DeviceID, type, moduleId, {}).size()));
}

void TfrmModule::ShowReplyIn(QLineEdit* field, const std::string& reply)
{
    SetFieldText(field, FromBytes(reply));
}

void TfrmModule::ShowRefusal(tests::Outcome outcome, std::size_t typedRoom)
{
    if (outcome == tests::Outcome::TooLong)
        pnMsg->setText(text(txt::CommandTooLong).arg(typedRoom));
}

}  // namespace ct::app

// The "Controller" page tsSetCtrl: a controller's ID found from its serial
// number, and a new ID given by serial number.
#include "app/Module.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "modules/ControllerId.h"

#include <QLineEdit>
#include <QRadioButton>

namespace ct::app {

using namespace layout;

void TfrmModule::CreateControllerPage()
{
    MakePage(*this, CT_SLOT(tsSetCtrl), pcMain, "Controller");
    QGroupBox* box = MakeGroup(*this, CT_SLOT(gbSetCtrl), tsSetCtrl, {0, 0, 657, 361}, "Set Controller");
    BuildControls(*this, box, {
        LabelRow{CT_SLOT(lblSetCtrlID), {328, 72, 65, 25}, "Set ID:"},
        RadioRow{CT_SLOT(rbCtrlByID), {16, 24, 49, 25}, "ID:", true},
        RadioRow{CT_SLOT(rbCtrlBySN), {160, 24, 57, 25}, "S/N:"},
        EditRow{CT_SLOT(edCtrlBySN), {216, 24, 81, 24}, "16030001", 8},
        ButtonRow{CT_SLOT(btnGetCtrlID), {328, 16, 321, 41}, "Get S/N or ID", &TfrmModule::btnGetCtrlIDClick},
        ButtonRow{CT_SLOT(btnSetCtrlBySN), {8, 64, 313, 41}, "Set ID by S/N", &TfrmModule::btnSetCtrlBySNClick},
        EditRow{CT_SLOT(edCtrlByID), {64, 24, 49, 24}, "0001", 4},
        EditRow{CT_SLOT(edSetCtrlID), {400, 72, 49, 24}, "0001", 4},
    });
}

namespace {

class ControllerIdView final : public modules::IControllerIdView {
public:
    explicit ControllerIdView(TfrmModule& w) : w_(w) {}
    void ShowControllerId(const std::string& id) override { SetFieldText(w_.edCtrlByID, FromBytes(id)); }
    void ShowControllerSerial(const std::string& serial) override
    {
        SetFieldText(w_.edCtrlBySN, FromBytes(serial));
    }

private:
    TfrmModule& w_;
};

}  // namespace

void TfrmModule::btnGetCtrlIDClick()
{
    ControllerIdView view(*this);
    ShowRefusal(modules::RunGetControllerId(frame_, identity_.DeviceID, rbCtrlBySN->isChecked(),
                                            ToBytes(edCtrlBySN->text()), view));
}

void TfrmModule::btnSetCtrlBySNClick()
{
    ShowRefusal(modules::RunSetControllerIdBySerial(frame_, ToBytes(edCtrlBySN->text()), ToBytes(edSetCtrlID->text())));
}

}  // namespace ct::app

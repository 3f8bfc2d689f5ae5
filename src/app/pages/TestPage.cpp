// The "Basic test" page tsTest: the controller's clock, alarm, inputs and
// outputs, event polling, line speed, factory reset and reboot.
#include "app/Fonts.h"
#include "app/Module.h"
#include "app/PageBuilder.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>

namespace ct::app {

using namespace layout;

void TfrmModule::CreateTestPage()
{
    QWidget* page = MakePage(*this, CT_SLOT(tsTest), pcMain, "Basic test");

    const PanelLook clock{Bevel::Raised, GreyText, White, OwnFont(SansSerif, 24, true)};
    const PanelLook pooling{Bevel::Raised, Highlight(), Yellow, OwnFont(SansSerif, 16, true)};
    const PanelLook record{Bevel::Raised, Highlight(), Yellow, OwnFont(SansSerif, 13, true)};
    BuildControls(*this, page, {
        LabelRow{CT_SLOT(lblDI4), {272, 116, 41, 29}, "DI4", Font::Digital},
        LabelRow{CT_SLOT(lblDI3), {192, 116, 41, 29}, "DI3", Font::Digital},
        LabelRow{CT_SLOT(lblDI2), {112, 116, 41, 29}, "DI2", Font::Digital},
        LabelRow{CT_SLOT(lblDI1), {32, 116, 41, 29}, "DI1", Font::Digital},
        LampRow{CT_SLOT(shDI1), {2, 118, 23, 25}},
        LampRow{CT_SLOT(shDI2), {82, 118, 23, 25}},
        LampRow{CT_SLOT(shDI3), {162, 118, 23, 25}},
        LampRow{CT_SLOT(shDI4), {242, 118, 23, 25}},
        LabelRow{CT_SLOT(lblDI8), {272, 156, 41, 29}, "DI8", Font::Digital},
        LabelRow{CT_SLOT(lblDI7), {192, 156, 41, 29}, "DI7", Font::Digital},
        LabelRow{CT_SLOT(lblDI6), {112, 156, 41, 29}, "DI6", Font::Digital},
        LabelRow{CT_SLOT(lblDI5), {32, 156, 41, 29}, "DI5", Font::Digital},
        LampRow{CT_SLOT(shDI5), {2, 158, 23, 25}},
        LampRow{CT_SLOT(shDI6), {82, 158, 23, 25}},
        LampRow{CT_SLOT(shDI7), {162, 158, 23, 25}},
        LampRow{CT_SLOT(shDI8), {242, 158, 23, 25}},
        ButtonRow{CT_SLOT(btnInitial), {328, 331, 329, 30}, "System initial", &TfrmModule::btnInitialClick},
        ButtonRow{CT_SLOT(btnDIDO), {328, 120, 329, 97}, "DIDO test", &TfrmModule::btnDIDOClick},
        CheckRow{CT_SLOT(chkDO1), {2, 184, 81, 40}, "DO1", false, Font::Digital},
        CheckRow{CT_SLOT(chkDO2), {82, 184, 81, 40}, "DO2", false, Font::Digital},
        CheckRow{CT_SLOT(chkDO3), {162, 184, 83, 40}, "DO3", false, Font::Digital},
        CheckRow{CT_SLOT(chkDO4), {240, 184, 85, 40}, "DO4", false, Font::Digital},
        ButtonRow{CT_SLOT(btnReboot), {328, 296, 329, 30}, "System reboot", &TfrmModule::btnRebootClick},
        PanelRow{CT_SLOT(pnSetDate), {0, 10, 321, 47}, "2001/01/01 12:00:00", clock},
        ButtonRow{CT_SLOT(btnSetDate), {328, 6, 329, 51}, "Set date time", &TfrmModule::btnSetDateClick},
        ButtonRow{CT_SLOT(btnAlarm), {328, 62, 329, 51}, "Alarm test", &TfrmModule::btnAlarmClick},
        ComboRow{CT_SLOT(cmbAlarm), {0, 66, 321, 37},
                 {QStringLiteral("Alarm Off"), QStringLiteral("Steal Alarm"), QStringLiteral("Help Alarm"),
                  QStringLiteral("Fire Alarm"), QStringLiteral("Gas Alarm"), QStringLiteral("Forced Alarm"),
                  QStringLiteral("Duress Alarm")},
                 0},
        ButtonRow{CT_SLOT(btnPooling), {328, 224, 329, 65}, "Pooling data test", &TfrmModule::btnPoolingClick},
        PanelRow{CT_SLOT(pnPoolingDate), {0, 226, 321, 31}, "2001/01/01 12:00:00", pooling},
        PanelRow{CT_SLOT(pnPoolingData), {0, 258, 321, 31}, "", record},
        ButtonRow{CT_SLOT(btnSet19200), {0, 296, 321, 30}, "Set Baudrate 19200,e,8,1",
                  &TfrmModule::btnSet19200Click, Font::Window},
        ButtonRow{CT_SLOT(btnSet115200), {0, 331, 321, 30}, "Set Baudrate 115200,n,8,1",
                  &TfrmModule::btnSet115200Click, Font::Window},
    });
    cmbAlarm->setFont(OwnFont(SansSerif, 24, true));
    SetColours(cmbAlarm, Highlight(), Yellow);
}

void TfrmModule::tmrClockTimer()
{
    pnSetDate->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}

// The operations of this page run inside the operation frame; they are
// filled in one by one.
void TfrmModule::btnDIDOClick() {}
void TfrmModule::btnSetDateClick() {}
void TfrmModule::btnAlarmClick() {}
void TfrmModule::btnInitialClick() {}
void TfrmModule::btnRebootClick() {}
void TfrmModule::btnPoolingClick() {}
void TfrmModule::btnSet19200Click() {}
void TfrmModule::btnSet115200Click() {}

}  // namespace ct::app

// The "Basic test" page tsTest: the controller's clock, alarm, inputs and
// outputs, event polling, line speed, factory reset and reboot.
#include "app/Fonts.h"
#include "app/Module.h"
#include "app/PageBuilder.h"

#include "app/Lamp.h"
#include "app/Widgets.h"
#include "link/ControllerInterface.h"
#include "tests/AlarmResetReboot.h"
#include "tests/DidoTest.h"
#include "tests/LineSpeed.h"
#include "tests/PollingTest.h"
#include "tests/SetDateTime.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

#include <array>

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
    const QLocale system = QLocale::system();
    const std::string dateSeparator =
        tests::FormatSeparator(system.dateFormat(QLocale::ShortFormat).toStdString(), "/");
    const std::string timeSeparator =
        tests::FormatSeparator(system.timeFormat(QLocale::ShortFormat).toStdString(), ":");
    pnSetDate->setText(
        QString::fromStdString(tests::ClockDisplayText(localClock_.Now(), dateSeparator, timeSeparator)));
}

namespace {

// The window as the views of the two continuous tests.
class DidoView final : public tests::IDidoView {
public:
    explicit DidoView(TfrmModule& w) : w_(w) {}
    void ShowTitle(tests::Title title) override { w_.ShowTitle(title); }
    void EnterTest() override { w_.EnterTest(w_.btnDIDO, txt::DidoTest); }
    void LeaveTest() override { w_.LeaveTest(); }
    bool OutputChecked(int output) override { return Boxes()[output]->isChecked(); }
    void ShowInputs(const std::string& states) override
    {
        for (int k = 0; k < link::cmd::InputCount; ++k)
            Lamps()[k]->setColour(tests::InputActive(states[static_cast<std::size_t>(k)]) ? Yellow : White);
    }
    void ResetInputsAndOutputs() override
    {
        for (Lamp* lamp : Lamps())
            lamp->setColour(White);
        for (QCheckBox* box : Boxes())
            box->setChecked(false);
    }

private:
    std::array<Lamp*, link::cmd::InputCount> Lamps() const
    {
        return {w_.shDI1, w_.shDI2, w_.shDI3, w_.shDI4, w_.shDI5, w_.shDI6, w_.shDI7, w_.shDI8};
    }
    std::array<QCheckBox*, link::cmd::OutputCount> Boxes() const
    {
        return {w_.chkDO1, w_.chkDO2, w_.chkDO3, w_.chkDO4};
    }
    TfrmModule& w_;
};

class PollingView final : public tests::IPollingView {
public:
    explicit PollingView(TfrmModule& w) : w_(w) {}
    void ShowTitle(tests::Title title) override { w_.ShowTitle(title); }
    void EnterTest() override { w_.EnterTest(w_.btnPooling, txt::PoolingTest); }
    void LeaveTest() override { w_.LeaveTest(); }
    void ShowPollDate(const std::string& text) override { w_.pnPoolingDate->setText(FromBytes(text)); }
    void ShowPollRecord(const std::string& text) override { w_.pnPoolingData->setText(FromBytes(text)); }

private:
    TfrmModule& w_;
};

}  // namespace

void TfrmModule::EnterTest(QPushButton* button, int captionEntry)
{
    testButton_ = button;
    testCaption_ = captionEntry;
    button->setText(text(txt::CancelTest));
    // The loop holds the link with the window in the user's hands: anything
    // else that would open it is out of reach until the loop has ended.
    for (QPushButton* other : findChildren<QPushButton*>()) {
        // The file dialog's own buttons are not the window's.
        if (other == button || other == btn19200 || other == btn115200 || !other->isEnabled()
            || other->window() != this)
            continue;
        other->setEnabled(false);
        blockedByTest_.push_back(other);
    }
    mnuFirmwareFile->setEnabled(false);
    mnuFindController->setEnabled(false);
    // The modal box would hold the loop inside its own event loop: no frame
    // would go out until it is closed.
    mnuAbout->setEnabled(false);
    for (QWidget* page : {tsFunction, tsCommand, tsFirmware})
        HidePage(pcMain, page);
}

void TfrmModule::LeaveTest()
{
    for (QWidget* blocked : blockedByTest_)
        blocked->setEnabled(true);
    blockedByTest_.clear();
    mnuFirmwareFile->setEnabled(true);
    mnuFindController->setEnabled(true);
    mnuAbout->setEnabled(true);
    ShowPage(pcMain, tsCommand);
    // The caption in the language of now, which may have changed meanwhile.
    testButton_->setText(text(testCaption_));
    testButton_ = nullptr;
}

void TfrmModule::ShowTitle(tests::Title title)
{
    static constexpr int Entries[] = {txt::SetDateTime,   txt::AlarmTest,   txt::SetFactory,  txt::SetReboot,
                                      txt::SetBaud19200,  txt::SetBaud115200, txt::DidoTest,  txt::SetModelName,
                                      txt::Programming,   txt::Verifying,   txt::Upgrading};
    pnMsg->setText(text(Entries[static_cast<int>(title)]));
}

void TfrmModule::btnDIDOClick()
{
    DidoView view(*this);
    tests::ClickDidoTest(frame_, test_, identity_.DeviceID, view);
}

void TfrmModule::btnPoolingClick()
{
    PollingView view(*this);
    tests::ClickPollingTest(frame_, test_, identity_.DeviceID, view);
}

void TfrmModule::btnSetDateClick()
{
    tests::RunSetDateTime(frame_, *this, localClock_, identity_.DeviceID);
}

void TfrmModule::btnAlarmClick()
{
    tests::RunAlarmTest(frame_, *this, identity_.DeviceID, cmbAlarm->currentIndex());
}

void TfrmModule::btnInitialClick()
{
    tests::RunFactoryReset(frame_, *this, identity_.DeviceID);
}

void TfrmModule::btnRebootClick()
{
    tests::RunReboot(frame_, *this, identity_.DeviceID);
}

void TfrmModule::btnSet19200Click()
{
    // The local side follows only once the controller has answered at the
    // old speed and the link is closed.
    if (tests::RunSetLineSpeed(frame_, *this, identity_.DeviceID, tests::LineSpeed::Baud19200)
        == tests::Outcome::CommandOk)
        SelectLine(tests::LineSpeed::Baud19200);
}

void TfrmModule::btnSet115200Click()
{
    if (tests::RunSetLineSpeed(frame_, *this, identity_.DeviceID, tests::LineSpeed::Baud115200)
        == tests::Outcome::CommandOk)
        SelectLine(tests::LineSpeed::Baud115200);
}

}  // namespace ct::app

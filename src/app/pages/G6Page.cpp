// The "G6 Module" page tsSetG6: a G6 reader module's serial number and ID, a
// new ID by serial number, and the card types it accepts with its same-card
// delay and mode flags.
#include "app/Module.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "modules/G6Module.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace ct::app {

using namespace layout;

void TfrmModule::CreateG6Page()
{
    MakePage(*this, CT_SLOT(tsSetG6), pcMain, "G6 Module");
    QGroupBox* box = MakeGroup(*this, CT_SLOT(gbSetG6), tsSetG6, {0, 0, 657, 361}, "Set Reader / DIDO");
    BuildControls(*this, box, {
        LabelRow{CT_SLOT(lblG6Recv), {8, 333, 137, 22}, "Receive Data :"},
        LabelRow{CT_SLOT(lblSetG6Id), {328, 72, 65, 25}, "Set ID:"},
        ReplyRow{CT_SLOT(edG6Recv), {152, 332, 497, 24}},
        ComboRow{CT_SLOT(cmbG6Id), {64, 24, 49, 24}, IdItems(0), 1},
        RadioRow{CT_SLOT(rbID), {16, 24, 49, 25}, "ID:", true},
        RadioRow{CT_SLOT(rbSN), {160, 24, 57, 25}, "S/N:"},
        EditRow{CT_SLOT(edG6Sn), {216, 24, 81, 24}, "16030001", 8},
        ButtonRow{CT_SLOT(btnG6SnId), {328, 16, 321, 41}, "Get S/N or Get ID", &TfrmModule::btnG6SnIdClick},
        ButtonRow{CT_SLOT(btnG6SetId), {8, 64, 313, 41}, "Set ID by S/N", &TfrmModule::btnG6SetIdClick},
        ComboRow{CT_SLOT(cmbG6SetId), {400, 72, 49, 24}, IdItems(1), 0},
    });

    QGroupBox* cards = MakeGroup(*this, CT_SLOT(gbSetCardTypeByID), box, {8, 120, 641, 153},
                                 "Set Card Type by ID");
    BuildControls(*this, cards, {
        LabelRow{CT_SLOT(lblSameCard), {16, 16, 159, 25}, "Same Card Delay:"},
        LabelRow{CT_SLOT(lblSameCardDelayMs), {238, 16, 56, 25}, "x100ms"},
        LabelRow{CT_SLOT(lblCardTypeMIC), {72, 48, 104, 24}, "Card Type:"},
        EditRow{CT_SLOT(edSameCard), {182, 18, 49, 24}, "10", 3},
        CheckRow{CT_SLOT(chkGreenMode), {301, 16, 112, 25}, "Green Mode", true},
        CheckRow{CT_SLOT(chkResetMode), {420, 16, 80, 25}, "Reset", true},
        CheckRow{CT_SLOT(chkCardTypeBG), {397, 50, 80, 25}, "GUID(B)", true},
        CheckRow{CT_SLOT(chkCardType15693), {476, 50, 88, 25}, "ISO15693"},
        CheckRow{CT_SLOT(chkCardTypeB), {325, 50, 72, 25}, "UID(B)"},
        CheckRow{CT_SLOT(chkCardTypeABlock), {254, 50, 72, 25}, "Block"},
        CheckRow{CT_SLOT(chkCardTypeA), {183, 50, 72, 25}, "UID(A)", true},
        CheckRow{CT_SLOT(chkCardType7Byte), {182, 74, 72, 25}, "7 Byte"},
        ButtonRow{CT_SLOT(btnG6GetCardType), {320, 104, 313, 41}, "Get Card Type",
                  &TfrmModule::btnG6GetCardTypeClick},
        ButtonRow{CT_SLOT(btnG6SetCardType), {8, 104, 305, 41}, "Set Card Type",
                  &TfrmModule::btnG6SetCardTypeClick},
    });
}

namespace {

struct KindBox {
    QCheckBox* TfrmModule::*box;
    std::uint16_t bit;
};
constexpr KindBox KindBoxes[] = {
    {&TfrmModule::chkCardTypeA, modules::CardUidA},         {&TfrmModule::chkCardTypeABlock, modules::CardBlock},
    {&TfrmModule::chkCardType7Byte, modules::Card7Byte},    {&TfrmModule::chkCardType15693, modules::CardIso15693},
    {&TfrmModule::chkCardTypeB, modules::CardUidB},         {&TfrmModule::chkCardTypeBG, modules::CardGuidB},
};

class G6View final : public modules::IG6View {
public:
    G6View(TfrmModule& w, int& reportedId) : w_(w), reportedId_(reportedId) {}
    void ShowReply(const std::string& replyText) override { SetFieldText(w_.edG6Recv, FromBytes(replyText)); }
    void ShowSerial(const std::string& serial) override { SetFieldText(w_.edG6Sn, FromBytes(serial)); }
    void SelectModuleId(int id) override
    {
        reportedId_ = id;
        // 9 is no item of the list: the drop-down is left without a selection.
        w_.cmbG6Id->setCurrentIndex(id < w_.cmbG6Id->count() ? id : -1);
    }
    void ShowCardTypes(const modules::CardTypeWords& words) override
    {
        SetFieldText(w_.edSameCard, QString::number(words.delay));
        for (const KindBox& kind : KindBoxes)
            (w_.*kind.box)->setChecked((words.cardType & kind.bit) != 0);
        w_.chkGreenMode->setChecked((words.mode & modules::ModeGreen) != 0);
    }

private:
    TfrmModule& w_;
    int& reportedId_;
};

}  // namespace

int TfrmModule::G6ModuleId() const
{
    // The drop-down loses its selection only when a module reported an ID
    // the list does not hold; that module answers to the ID it reported.
    return cmbG6Id->currentIndex() >= 0 ? cmbG6Id->currentIndex() : g6ReportedId_;
}

void TfrmModule::btnG6SnIdClick()
{
    G6View view(*this, g6ReportedId_);
    if (rbID->isChecked())
        ShowRefusal(modules::RunG6ReadSerial(frame_, identity_.DeviceID, G6ModuleId(), view));
    else
        ShowRefusal(modules::RunG6ReadId(frame_, identity_.DeviceID, ToBytes(edG6Sn->text()), view));
}

void TfrmModule::btnG6SetIdClick()
{
    G6View view(*this, g6ReportedId_);
    ShowRefusal(modules::RunG6SetId(frame_, identity_.DeviceID, ToBytes(edG6Sn->text()),
                                    cmbG6SetId->currentIndex() + 1, view));
}

void TfrmModule::btnG6SetCardTypeClick()
{
    // The words are taken from the controls before the link is opened.
    modules::CardTypeChoice choice;
    for (const KindBox& kind : KindBoxes) {
        if ((this->*kind.box)->isChecked())
            choice.kinds = static_cast<std::uint16_t>(choice.kinds | kind.bit);
    }
    choice.delayText = ToBytes(edSameCard->text());
    choice.green = chkGreenMode->isChecked();
    choice.reset = chkResetMode->isChecked();
    G6View view(*this, g6ReportedId_);
    ShowRefusal(modules::RunG6SetCardType(frame_, identity_.DeviceID, G6ModuleId(), modules::WordsToWrite(choice),
                                          view));
}

void TfrmModule::btnG6GetCardTypeClick()
{
    G6View view(*this, g6ReportedId_);
    ShowRefusal(modules::RunG6GetCardType(frame_, identity_.DeviceID, G6ModuleId(), view));
}

}  // namespace ct::app

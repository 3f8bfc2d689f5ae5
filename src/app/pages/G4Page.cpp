// The "G4 Module" page tsSetG4: a G4 module's serial number read by ID, and a
// new ID given by serial number, through the module command wrapping.
#include "app/Module.h"
#include "app/PageBuilder.h"
#include "app/Widgets.h"
#include "modules/G4Module.h"

#include <QComboBox>
#include <QLineEdit>

namespace ct::app {

using namespace layout;

void TfrmModule::CreateG4Page()
{
    MakePage(*this, CT_SLOT(tsSetG4), pcMain, "G4 Module");
    QGroupBox* box = MakeGroup(*this, CT_SLOT(gbSetG4), tsSetG4, {0, 0, 657, 361}, "Set Reader / DIDO");
    BuildControls(*this, box, {
        LabelRow{CT_SLOT(Label5), {8, 26, 49, 22}, "Type:"},
        LabelRow{CT_SLOT(Label6), {232, 26, 33, 22}, "ID:"},
        LabelRow{CT_SLOT(lblSetG4ID), {504, 80, 65, 25}, "Set ID:"},
        LabelRow{CT_SLOT(Label8), {336, 82, 49, 22}, "S/N:"},
        LabelRow{CT_SLOT(lblG4Recv), {8, 333, 137, 22}, "Receive Data :"},
        ComboRow{CT_SLOT(cmbG4Type), {64, 24, 169, 24},
                 {QStringLiteral("KXRA1/A5/C5"), QStringLiteral("KXIO-1A/16"), QStringLiteral("KXRB5/BS/BQ"),
                  QStringLiteral("KXRH5/H6/HQ/HE"), QStringLiteral("KXRM5/MQ/ME"), QStringLiteral("KXPRINT")},
                 2},
        ComboRow{CT_SLOT(cmbG4Id), {272, 24, 41, 24}, IdItems(0), 1},
        ButtonRow{CT_SLOT(btnG4SetId), {8, 72, 313, 41}, "Set ID by S/N", &TfrmModule::btnG4SetIdClick},
        ComboRow{CT_SLOT(cmbG4SetId), {576, 80, 49, 24}, IdItems(1), 0},
        EditRow{CT_SLOT(edG4Sn), {400, 80, 81, 24}, "16030001"},
        ButtonRow{CT_SLOT(btnG4GetSn), {336, 16, 313, 41}, "Get S/N by ID", &TfrmModule::btnG4GetSnClick},
        ReplyRow{CT_SLOT(edG4Recv), {152, 332, 497, 24}},
    });
}

namespace {

class G4View final : public modules::IG4View {
public:
    explicit G4View(TfrmModule& w) : w_(w) {}
    void ShowReply(const std::string& replyText) override { SetFieldText(w_.edG4Recv, FromBytes(replyText)); }
    void ShowSerial(const std::string& serial) override { SetFieldText(w_.edG4Sn, FromBytes(serial)); }

private:
    TfrmModule& w_;
};

}  // namespace

void TfrmModule::btnG4GetSnClick()
{
    G4View view(*this);
    ShowRefusal(modules::RunG4ReadSerial(frame_, identity_.DeviceID, cmbG4Type->currentIndex(),
                                         ToBytes(cmbG4Id->currentText()), view));
}

void TfrmModule::btnG4SetIdClick()
{
    G4View view(*this);
    const int type = cmbG4Type->currentIndex();
    const int newId = cmbG4SetId->currentIndex() + 1;
    ShowRefusal(modules::RunG4SetId(frame_, identity_.DeviceID, type, ToBytes(edG4Sn->text()), newId, view),
                tests::RoomAfter(modules::G4SetIdCommand(identity_.DeviceID, type, {}, newId).size()));
}

}  // namespace ct::app

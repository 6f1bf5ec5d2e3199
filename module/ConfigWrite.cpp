// "Set Module" from the Settings frame, and the frame filled from a configuration: the
// module's read-back and a loaded profile both come in as operator input would, so that the
// input rules run on every value.

#include "app/ComboBox.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "module/RadioModule.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

void TMainForm::Button2Click()
{
    Timer1->stop();
    // The frame is read as it stands, so a refused write leaves it untouched. A write that
    // goes ahead has read the boxes: a box whose text is no integer shows its minimum then,
    // and its change runs the input rules, as reading a box always does.
    if (Module->WriteConfig(FrameConfig())) {
        for (TSpinEdit *box : {DataW1, DataW2, DataW1TX, DataW2TX, Channel, Address_W})
            box->Value();
    }
}

ModuleConfig TMainForm::FrameConfig()
{
    ModuleConfig c;
    c.address1 = EditAddress1->text();
    c.dataW1 = DataW1->Peek();
    c.dataW2 = DataW2->Peek();
    c.dataW1TX = DataW1TX->Peek();
    c.dataW2TX = DataW2TX->Peek();
    c.channel = Channel->Peek();
    c.rateIndex = RFDataRate->ItemIndex();
    c.powerIndex = PowerCombo->ItemIndex();
    c.addressWidth = Address_W->Peek();
    c.address2 = EditAddress2->text();
    c.crcIndex = CRCRadioGroup->ItemIndex();
    c.shockBurst = ShockBurstBox->isChecked();
    c.dualChannel = DualChannelBox->isChecked();
    return c;
}

void TMainForm::ShowConfig(const ModuleConfig &c)
{
    // In this order: the width sets the payload limits before the payload widths arrive, and
    // the CRC choice sets them again afterwards.
    Channel->SetValue(c.channel);
    if (c.powerIndex >= 0) // a power code the list does not know leaves the selection
        PowerCombo->SetItemIndex(c.powerIndex);
    RFDataRate->SetItemIndex(c.rateIndex);
    // As text, not through the box's value: a dump's width of 0, 6 or 7 shows as it came.
    Address_W->SetText(QString::number(c.addressWidth));
    EditAddress1->setText(c.address1);
    EditAddress2->setText(c.address2);
    DataW1->SetValue(c.dataW1);
    DataW2->SetValue(c.dataW2);
    DataW1TX->SetValue(c.dataW1TX);
    DataW2TX->SetValue(c.dataW2TX);
    ShockBurstBox->setChecked(c.shockBurst);
    DualChannelBox->setChecked(c.dualChannel);
    CRCRadioGroup->SetItemIndex(c.crcIndex);
}

// The rule among the configuration inputs: the receive payload lengths of both data
// channels may not exceed the maximum data length, 64 bytes less the address bytes counted
// by the module (width div 4) and the CRC bytes.

#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "settings/StrToInt.h"

#include <QLineEdit>

void TMainForm::UpdateMaxDataLength()
{
    CrcBytes = CRCRadioGroup->ItemIndex() == 0 ? 1 : 2;
    // The width as typed, not the box's value: an emptied box is an error for the operator to
    // see (EConvertError), and the previous maximum stays.
    const int width = StrToInt(Address_W->Text());
    const int max = 64 - width / 4 - CrcBytes;
    MaxDataL->setText(QString::number(max));
    DataW1->SetMaxValue(max);
    DataW2->SetMaxValue(max);
    // Each clamp changes the box's text, which runs this rule once more; that pass finds
    // nothing left to clamp.
    if (DataW1->Value() > max)
        DataW1->SetValue(max);
    if (DataW2->Value() > max)
        DataW2->SetValue(max);
}

void TMainForm::DataW1Change()
{
    UpdateMaxDataLength();
}

void TMainForm::Address_WChange()
{
    UpdateMaxDataLength();
}

void TMainForm::CRCRadioGroupClick()
{
    UpdateMaxDataLength();
}

// The address fields take any text; Set Module checks Address 1 when it writes it.
void TMainForm::EditAddress1Change() {}

void TMainForm::EditAddress2Change() {}

// The maintenance buttons on the module core: Read Config with its reply time-out (Timer2 is
// the core's timer), Sleep, Reset, and the module speed change that moves the port along
// with the module.

#include "app/ComboBox.h"
#include "app/Radio.h"
#include "module/RadioModule.h"

#include <QTimer>

void TMainForm::Timer2Timer()
{
    Module->ReplyTimeout();
}

void TMainForm::ChangeSpeed()
{
    // A typed text, or a start on a speed the list does not hold, selects no entry: there is
    // no speed to ask the module for, so nothing is sent and the port stays as it is.
    const int i = Speed->ItemIndex();
    if (!Module->ChangeSpeed(i))
        return;
    BaudIndex = i;
    ApplyPortSettings();
}

void TMainForm::Button5Click()
{
    Timer1->stop();
    Module->ReadConfig();
}

void TMainForm::Button7Click()
{
    Module->Sleep();
}

void TMainForm::Button8Click()
{
    Timer1->stop();
    Module->Reset();
}

void TMainForm::SetClick()
{
    ChangeSpeed();
}

// The command channel: the module takes command letters while the programming line (RTS) is
// raised, and relays data over the air while it is lowered.

#include "app/Radio.h"
#include "serial/Radiocom.h"

#include <QCheckBox>

// The RTS box shows the line as last set, whatever the component answered (a closed port
// refuses the change, and the box still follows).
void TMainForm::ProgramModeOn()
{
    SerialConnector->SetRTSState(true);
    RTS->setChecked(true);
}

void TMainForm::ProgramModeOff()
{
    SerialConnector->SetRTSState(false);
    RTS->setChecked(false);
}

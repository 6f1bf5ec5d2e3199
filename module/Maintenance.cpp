// Module operations besides the configuration write: the configuration read request with its
// reply time-out, sleep and wake-up, reset, and the module speed change that moves the port
// along with the module.

#include "app/ComboBox.h"
#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"

#include <QCheckBox>
#include <QTimer>

namespace {

// How long the module gets to answer "R" with its dump.
constexpr int kReplyTimeoutMs = 500;
// The module wakes on any character and needs about 7 ms before it takes the next one.
constexpr int kWakeUpMs = 10;
// Reset only needs "X" to be through before the line falls.
constexpr int kResetMs = 2;
// Between the speed command and closing the port, so that the module has switched.
constexpr int kSpeedSwitchMs = 4;

// The module speed change, by entry of the Speed list. The log lines keep the wording the
// operators know, "33.600" for 38400 included.
struct SpeedEntry {
    const char *log;
    int code;
};
constexpr SpeedEntry kSpeeds[] = {
    {"Set BaudRate to 9.600", 1},  {"Set BaudRate to 19.200", 2},   {"Set BaudRate to 33.600", 4},
    {"Set BaudRate to 57.600", 8}, {"Set BaudRate to 115.000", 16},
};
constexpr int kSpeedCount = int(sizeof kSpeeds / sizeof kSpeeds[0]);

} // namespace

void TMainForm::ReadConfig()
{
    // One read at a time: its dump is still awaited, or is being taken in.
    if (ConfigReadActive)
        return;
    if (ModuleAsleep)
        WakeUp();
    ConfigByteCount = 0;
    ProgramModeOn();
    Pause(CommandDelay);
    SendText(QByteArrayLiteral("R"));
    Memo1->AddLine(QStringLiteral("Read Config"));
    // From here on the receive handler takes what arrives as the dump; the answer cannot be
    // handled before this operation has returned.
    ConfigReadActive = true;
    Pause(CommandDelay);
    ProgramModeOff();
    ConfigReplyPending = true;
    Timer2->setInterval(kReplyTimeoutMs);
    Timer2->start();
}

void TMainForm::Timer2Timer()
{
    Timer2->stop();
    if (ConfigReplyPending) {
        // No dump came: give up the read so that a new one is accepted.
        ConfigReadActive = false;
        Memo1->AddLine(QStringLiteral("Comm. Error!"));
        SetStatusPanel(0, QStringLiteral("Status: Not Detected"));
        Prompts::current()->beep();
    }
    ConfigReplyPending = false;
}

void TMainForm::WakeUp()
{
    Memo1->AddLine(QStringLiteral("Wake Up."));
    ModuleAsleep = false;
    // The line is low here (every command operation ends with it low): a sleeping module
    // wakes on any character and drops it, so "x" never reaches its interpreter.
    SendText(QByteArrayLiteral("x"));
    Pause(kWakeUpMs);
    SleepCheckBox->setChecked(false);
}

void TMainForm::SleepModule()
{
    // The Sleep button toggles.
    if (ModuleAsleep) {
        WakeUp();
        return;
    }
    Memo1->AddLine(QStringLiteral("Sleep."));
    ProgramModeOn();
    SendText(QByteArrayLiteral("S"));
    Pause(CommandDelay);
    ProgramModeOff();
    ModuleAsleep = true;
    SleepCheckBox->setChecked(true);
}

void TMainForm::ResetModule()
{
    // The sleep flag stays as it is: the console cannot tell what a reset did to a sleeping
    // module, and the next command operation wakes it anyway if the flag is set.
    ProgramModeOn();
    SendText(QByteArrayLiteral("X"));
    Memo1->AddLine(QStringLiteral("Reset"));
    Pause(kResetMs);
    ProgramModeOff();
}

void TMainForm::ChangeSpeed()
{
    // A typed text, or a start on a speed the list does not hold, selects no entry: there is
    // no speed to ask the module for, so nothing is sent and the port stays as it is.
    const int i = Speed->ItemIndex();
    if (i < 0 || i >= kSpeedCount)
        return;
    BaudIndex = i;
    // The module takes the command at the speed the port still has, and switches after it.
    OneByteCommand('B', kSpeeds[i].code, QLatin1String(kSpeeds[i].log), LogAt::BeforeLine);
    Pause(kSpeedSwitchMs);
    ApplyPortSettings();
}

void TMainForm::Button5Click()
{
    Timer1->stop();
    ReadConfig();
}

void TMainForm::Button7Click()
{
    SleepModule();
}

void TMainForm::Button8Click()
{
    Timer1->stop();
    ResetModule();
}

void TMainForm::SetClick()
{
    ChangeSpeed();
}

// The port of the main window: the settings read at construction, the one place that opens it
// (ApplyPortSettings), which device a COM name opens, and a device that goes away and comes
// back.

#include "app/AppLog.h"
#include "app/ComboBox.h"
#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "settings/IniFile.h"
#include "settings/PortSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>

// ---------------------------------------------------------------------------------------
// Settings and the port

void TMainForm::LoadSettings()
{
    CommandDelay = 4;
    {
        const IniFile ini(PortSettings::FilePath());
        const PortSettings s = PortSettings::Read(ini);
        PortIndex = s.PortIndex;
        BaudIndex = s.BaudIndex;
        PortDirectory::global().setExplicit(s.Devices);
        View = ViewOptions::Read(ini);
    }
    ApplyViewOptions();
    ConfigReadActive = false;
    UpdateMaxDataLength();
}

void TMainForm::ApplyPortSettings()
{
    // 1, 2: the link test starts over; RecDataNum and RecDataErr keep their texts.
    RecCount = 0;
    ErrCount = 0;
    ModuleAsleep = false;
    ContSend = false;
    // 3 to 5: the new port and speed are only recorded while the port is closed.
    SerialConnector->SetComStatus(false);
    SerialConnector->SetComPort(static_cast<ports>(uint8_t(PortIndex)));
    SerialConnector->SetBaudRate(static_cast<bauds>(uint8_t(BaudIndex + 7)));
    // The operator's own settings end any wait for a lost device.
    ReconnectTimer->stop();
    // 6 to 8. Indexes without a name show what the component really uses: it opens COM2 for
    // a port byte outside its table and runs at 9600 for a speed byte outside its table. A
    // simulated module says so beside the name.
    Speed->SetItemIndex(BaudIndex);
    PortTarget = PortDirectory::global().resolve(PortName());
    const QString portName =
        PortIndex >= 0 && PortIndex < 10 ? QString::fromLatin1(PortNames[PortIndex]) : PortName();
    SetStatusPanel(1, QStringLiteral("Serial Port: ") +
                          (PortTarget.isSimulated() || PortTarget.isNetwork()
                               ? PortDirectory::portLabel(portName, PortTarget)
                               : portName));
    const int speed = BaudIndex + 7;
    SetStatusPanel(2,
                   QStringLiteral("Baud Rate: ") +
                       (speed >= 0 && speed < 12 ? QLatin1String(BaudNames[speed])
                                                 : QString::fromLatin1(SerialConnector->ModeText())
                                                       .section(QLatin1Char(','), 0, 0)));
    // 9, 10
    SerialConnector->SetComStatus(true);
    if (!SerialConnector->Connected()) {
        qCInfo(lcApp) << "port not opened:" << SerialConnector->LastOpenError();
        Memo1->AddLine(SerialConnector->LastOpenError());
    } else if (!PortTarget.isSimulated()) {
        announcedSim_.clear();
    } else if (announcedSim_ != PortTarget.device) {
        // Nothing on the wire tells a simulated module from a real one: the log does.
        announcedSim_ = PortTarget.device;
        Memo1->AddLine(QStringLiteral("%1: %2 opened")
                           .arg(PortName(), PortDirectory::global().describe(PortTarget).first()));
    }
    SetStatusPanel(0, ModulePresent() ? QStringLiteral("Status: Present")
                                      : QStringLiteral("Status: Not Detected"));
    // 11: the module is in data mode after every opening.
    ProgramModeOff();
}

bool TMainForm::ModulePresent()
{
    // Nothing is asked of the module here; an unopened port is all that is known to fail.
    return SerialConnector->Connected();
}

QString TMainForm::PortName() const
{
    return QString::fromLatin1(SerialConnector->DeviceName());
}

void TMainForm::ChooseDevice(const QString &comName, const QString &entry)
{
    QMap<QString, QString> entries = PortDirectory::global().explicitEntries();
    entries.insert(comName, entry); // an empty entry is none
    PortDirectory::global().setExplicit(entries);
    ChosenDevices.insert(comName, entry);
}

// ---------------------------------------------------------------------------------------
// A device that goes away and comes back

void TMainForm::SerialConnectorDeviceLost()
{
    // The dead handle goes at once: an adapter plugged in again gets its old device name only
    // when no program holds the old one.
    SerialConnector->SetComStatus(false);
    Memo1->AddLine(PortDirectory::portLabel(PortName(), PortTarget) + QStringLiteral(": ") +
                   PortDirectory::lossText(PortTarget));
    SetStatusPanel(0, QStringLiteral("Status: Not Detected"));
    ReconnectTimer->start();
}

void TMainForm::ReconnectTimerTimer()
{
    // Between operations only: one under way when the device went ends with its own failure,
    // and nothing is sent again behind the operator's back (a continuous send, a file
    // transfer, a configuration read waiting for its reply, a modal window).
    if (ContSendLoops > 0 || FileSending || Timer2->isActive() || PortLent ||
        QApplication::activeModalWidget())
        return;
    // The same device, and only once it is there again (a look at its name, or a connection
    // its host has accepted, which never blocks; before the system's list is asked): a COM
    // name without an entry may meanwhile name another port.
    if (!PortDirectory::global().present(PortTarget) ||
        PortDirectory::global().resolve(PortName()).device != PortTarget.device)
        return;
    SerialConnector->SetComStatus(true);
    if (!SerialConnector->Connected())
        return; // not usable yet (the system may still be setting its permissions)
    ReconnectTimer->stop();
    Memo1->AddLine(PortDirectory::portLabel(PortName(), PortTarget) +
                   QStringLiteral(": reconnected"));
    SetStatusPanel(0, QStringLiteral("Status: Present"));
    ProgramModeOff();
    // A module that comes back is taken as awake: unplugged, it was powered off and on; over a
    // network it may have slept on, but the Reset's letter wakes it. A wake-up sent to an awake
    // module would go out over the radio as data.
    ModuleAsleep = false;
    SleepCheckBox->setChecked(false);
    // As at start-up: the module in a known state, the controls filled from its answer.
    FormShow();
}

// ---------------------------------------------------------------------------------------
// The port lent to the channel survey

QString TMainForm::LendPort()
{
    if (PortLent || !SerialConnector->Connected())
        return {};
    // The missed-packet timer would count the survey's time as lost packets.
    Timer1->stop();
    SerialConnector->SetComStatus(false);
    PortLent = true;
    return PortTarget.device;
}

void TMainForm::TakePortBack()
{
    if (!PortLent)
        return;
    PortLent = false;
    SerialConnector->SetComStatus(true);
    if (!SerialConnector->Connected()) {
        Memo1->AddLine(SerialConnector->LastOpenError());
        SetStatusPanel(0, QStringLiteral("Status: Not Detected"));
        return;
    }
    // The module is in data mode after every opening.
    ProgramModeOff();
}

bool TMainForm::RefusedForSurvey()
{
    if (!PortLent)
        return false;
    Prompts::current()->critical(
        this, QStringLiteral("Error!"),
        QStringLiteral("The Channel Survey is using the port: stop it, or wait until it has "
                       "ended."));
    return true;
}

// The command channel: the module takes command letters while the programming line (RTS) is
// raised, and relays data over the air while it is lowered.

#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "serial/Radiocom.h"

#include <QCheckBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

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

bool TMainForm::SendText(const QByteArray &text)
{
    const int sent = SerialConnector->SendBuffer(
        reinterpret_cast<const unsigned char *>(text.constData()), int(text.size()));
    if (sent == text.size())
        return false;
    // A closed port (-1) and a short write are the same failure to the operator.
    Memo1->AddLine(QStringLiteral("Comm. Error!"));
    SetStatusPanel(0, QStringLiteral("Status: Not Detected"));
    Prompts::current()->beep();
    return true;
}

void TMainForm::SendParameter(int value)
{
    SerialConnector->SendByte(static_cast<unsigned char>(value & 0xFF));
}

void TMainForm::Pause(int ms)
{
    // The module's interpreter needs these gaps; nothing else paces the command steps.
    QThread::msleep(static_cast<unsigned long>(ms));
}

void TMainForm::OneByteCommand(char letter, int parameter, const QString &log, LogAt at)
{
    if (at == LogAt::BeforeLine && !log.isEmpty())
        Memo1->AddLine(log);
    ProgramModeOn();
    SendText(QByteArray(1, letter));
    if (at == LogAt::AfterLetter && !log.isEmpty())
        Memo1->AddLine(log);
    Pause(CommandDelay);
    if (at == LogAt::AfterFirstWait && !log.isEmpty())
        Memo1->AddLine(log);
    SendParameter(parameter);
    Pause(CommandDelay);
    ProgramModeOff();
    Pause(CommandDelay);
}

void TMainForm::WireModuleEvents()
{
    On(Button2, &QPushButton::clicked, &TMainForm::Button2Click);
    On(Button5, &QPushButton::clicked, &TMainForm::Button5Click);
    On(Button7, &QPushButton::clicked, &TMainForm::Button7Click);
    On(Button8, &QPushButton::clicked, &TMainForm::Button8Click);
    On(Set, &QPushButton::clicked, &TMainForm::SetClick);
    // The reply time-out fires once per Read Config, which arms it again.
    Timer2->setSingleShot(true);
    On(Timer2, &QTimer::timeout, &TMainForm::Timer2Timer);
}

// The window's side of the module core: the command channel the rest of the window sends
// through, and what the core reports, shown the way the operator knows it (the log pane, the
// RTS and sleep boxes, the status bar with a beep, the error boxes).

#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "module/RadioModule.h"
#include "settings/Exception.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

void TMainForm::ProgramModeOn()
{
    Module->ProgramModeOn();
}

void TMainForm::ProgramModeOff()
{
    Module->ProgramModeOff();
}

bool TMainForm::SendText(const QByteArray &text)
{
    return Module->SendText(text);
}

void TMainForm::Pause(int ms)
{
    RadioModule::Pause(ms);
}

void TMainForm::moduleLog(const QString &line)
{
    Memo1->AddLine(line);
}

void TMainForm::moduleNotDetected()
{
    SetStatusPanel(0, QStringLiteral("Status: Not Detected"));
    Prompts::current()->beep();
}

void TMainForm::programmingLine(bool raised)
{
    RTS->setChecked(raised);
}

void TMainForm::moduleAsleep(bool asleep)
{
    SleepCheckBox->setChecked(asleep);
}

void TMainForm::writeRefused(const ModuleRefusal &refusal)
{
    // The console's own input errors come in a box of their own; a bad address pair is the
    // conversion error the application shows for any handler.
    if (refusal.kind == ModuleRefusal::Kind::Input)
        Prompts::current()->critical(nullptr, QStringLiteral("Error"), refusal.text);
    else
        ShowException(EConvertError(refusal.text));
}

void TMainForm::configRead(const ModuleConfig &config)
{
    ShowConfig(config);
}

void TMainForm::WireModuleEvents()
{
    Op(Button2, &QPushButton::clicked, &TMainForm::Button2Click);
    Op(Button5, &QPushButton::clicked, &TMainForm::Button5Click);
    Op(Button7, &QPushButton::clicked, &TMainForm::Button7Click);
    Op(Button8, &QPushButton::clicked, &TMainForm::Button8Click);
    Op(Set, &QPushButton::clicked, &TMainForm::SetClick);
    On(SaveProfile1, &QAction::triggered, &TMainForm::SaveProfile1Click);
    On(LoadProfile1, &QAction::triggered, &TMainForm::LoadProfile1Click);
}

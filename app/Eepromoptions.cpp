#include "app/Eepromoptions.h"

TOptionsForm *OptionsForm = nullptr;

TOptionsForm::TOptionsForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Communication Settings"));
}

#include "app/About.h"

TAboutForm *AboutForm = nullptr;

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Help"));
}

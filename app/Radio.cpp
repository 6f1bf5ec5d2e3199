#include "app/Radio.h"

TMainForm *MainForm = nullptr;

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("2.4GHz Radio Communication- Veltrane Ltd."));
}

#include "app/Writing.h"

TWritingForm *WritingForm = nullptr;

TWritingForm::TWritingForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("WritingForm"));
}

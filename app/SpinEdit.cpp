#include "app/SpinEdit.h"

#include "settings/StrToInt.h"

#include <QLineEdit>

TSpinEdit::TSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    setRange(minValue_, maxValue_);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    lastText_ = lineEdit()->text();
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { NoteText(); });
    connect(this, &QSpinBox::textChanged, this, [this] { NoteText(); });
}

QString TSpinEdit::Text() const
{
    return lineEdit()->text();
}

void TSpinEdit::SetText(const QString &text)
{
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
    NoteText();
}

int TSpinEdit::Value()
{
    int v = 0;
    if (TryStrToInt(Text(), v))
        return v;
    SetText(QString::number(minValue_));
    return minValue_;
}

int TSpinEdit::Peek() const
{
    int v = 0;
    return TryStrToInt(Text(), v) ? v : minValue_;
}

int TSpinEdit::CheckValue(int v) const
{
    // With a maximum below the minimum the minimum wins, as the box cannot show less.
    return qMax(minValue_, qMin(v, maxValue_));
}

void TSpinEdit::SetValue(int v)
{
    SetText(QString::number(CheckValue(v)));
}

void TSpinEdit::SetMinValue(int v)
{
    minValue_ = v;
    ApplyRange();
}

void TSpinEdit::SetMaxValue(int v)
{
    maxValue_ = v;
    ApplyRange();
}

void TSpinEdit::ApplyRange()
{
    // QSpinBox would drag the minimum down with a lower maximum; ours stays.
    setRange(minValue_, qMax(minValue_, maxValue_));
    NoteText();
}

QValidator::State TSpinEdit::validate(QString &, int &) const
{
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString &) const {}

int TSpinEdit::valueFromText(const QString &text) const
{
    int v = 0;
    return TryStrToInt(text, v) ? CheckValue(v) : minValue_;
}

QString TSpinEdit::textFromValue(int value) const
{
    return QString::number(value);
}

bool TSpinEdit::event(QEvent *e)
{
    const bool handled = QSpinBox::event(e);
    NoteText();
    return handled;
}

void TSpinEdit::NoteText()
{
    const QString now = lineEdit()->text();
    if (now == lastText_)
        return;
    lastText_ = now;
    emit Change();
}

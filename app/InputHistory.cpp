#include "app/InputHistory.h"

#include <QKeyEvent>
#include <QLineEdit>

InputHistory::InputHistory(QLineEdit *field) : QObject(field), field_(field)
{
    field->installEventFilter(this);
}

void InputHistory::Add(const QString &line)
{
    if (lines_.isEmpty() || lines_.last() != line)
        lines_.append(line);
    if (lines_.size() > MaxLines)
        lines_.removeFirst();
    at_ = lines_.size();
    draft_.clear();
}

void InputHistory::Up()
{
    qsizetype to = at_ - 1;
    if (at_ == lines_.size() && to >= 0 && lines_.at(to) == field_->text())
        --to;
    if (to < 0)
        return;
    if (at_ == lines_.size())
        draft_ = field_->text();
    at_ = to;
    field_->setText(lines_.at(at_));
}

void InputHistory::Down()
{
    if (at_ >= lines_.size())
        return;
    ++at_;
    field_->setText(at_ == lines_.size() ? draft_ : lines_.at(at_));
}

bool InputHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto *k = static_cast<QKeyEvent *>(event);
        if (k->modifiers() == Qt::NoModifier || k->modifiers() == Qt::KeypadModifier) {
            if (k->key() == Qt::Key_Up) {
                Up();
                return true;
            }
            if (k->key() == Qt::Key_Down) {
                Down();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

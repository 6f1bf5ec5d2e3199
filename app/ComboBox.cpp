#include "app/ComboBox.h"

#include <QLineEdit>

TComboBox::TComboBox(const QStringList &items, QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    addItems(items);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString &typed) {
        if (currentIndex() < 0)
            return;
        const int cursor = lineEdit()->cursorPosition();
        setCurrentIndex(-1);
        lineEdit()->setText(typed);
        lineEdit()->setCursorPosition(cursor);
    });
}

void TComboBox::SetItemIndex(int index)
{
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
    if (currentIndex() < 0)
        setEditText(QString());
}

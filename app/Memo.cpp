#include "app/Memo.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

TMemo::TMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // Nobody undoes a log; an undo stack would only grow with every line.
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TMemo::AddLine(const QString &line)
{
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    QString text = line;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    c.insertText(text);
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

QStringList TMemo::Lines() const
{
    QStringList out;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

void TMemo::Clear()
{
    clear();
}

#include "traffic/KeyPressFilter.h"

#include <QKeyEvent>

KeyPressFilter::KeyPressFilter(QObject *watched, Handler handler)
    : QObject(watched), handler_(std::move(handler))
{
    watched->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *k = static_cast<const QKeyEvent *>(event);
    char key = 0;
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        key = '\r';
    } else {
        const QString text = k->text();
        if (text.size() != 1 || text.at(0).unicode() == 0 || text.at(0).unicode() > 0xFF)
            return false;
        key = char(text.at(0).unicode());
    }
    handler_(key);
    return key == 0;
}

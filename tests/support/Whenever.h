#pragma once

// Runs step on the event loop every intervalMs until it returns true: the way a test acts
// while a handler of the window (a continuous send, a file transfer) holds the stack. The
// timer goes with context.

#include <QObject>
#include <QTimer>

#include <functional>

inline void whenever(QObject *context, const std::function<bool()> &step, int intervalMs = 1)
{
    auto *t = new QTimer(context);
    t->setInterval(intervalMs);
    QObject::connect(t, &QTimer::timeout, [t, step] {
        if (step()) {
            t->stop();
            t->deleteLater();
        }
    });
    t->start();
}

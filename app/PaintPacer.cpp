#include "app/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

PaintPacer::PaintPacer(QWidget *window) : QObject(window), window_(window), timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &PaintPacer::paint);
    window->installEventFilter(this);
}

void PaintPacer::paint()
{
    // Qt's repaint manager posts one request and waits for it: handing this one on runs the
    // paint of everything that changed meanwhile.
    emit aboutToPaint();
    releasing_ = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
    releasing_ = false;
    sincePaint_.start();
}

bool PaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window_ || event->type() != QEvent::UpdateRequest || releasing_)
        return QObject::eventFilter(watched, event);
    if (timer_->isActive())
        return true; // the paint to come takes this change too
    const qint64 gap = sincePaint_.isValid() ? sincePaint_.elapsed() : kStreamGapMs;
    // Changes that come while the last paint's gap still runs mean a stream.
    if (gap >= kStreamGapMs)
        busyFor_.invalidate();
    else if (!busyFor_.isValid())
        busyFor_.start();
    const int minGap =
        busyFor_.isValid() && busyFor_.elapsed() >= kStreamAfterMs ? kStreamGapMs : kQuickGapMs;
    timer_->start(int(std::max<qint64>(kGatherMs, minGap - gap)));
    return true; // painted when the timer runs
}

void PaintPacer::PaintNow()
{
    timer_->stop();
    paint();
}

PaintPacer *PaintPacer::of(const QWidget *window)
{
    return window->findChild<PaintPacer *>(QString(), Qt::FindDirectChildrenOnly);
}

#include "app/StampClock.h"

const StampClock &StampClock::program()
{
    static const StampClock clock;
    return clock;
}

StampClock::StampClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    steady_.start();
    startMs_ = now.toMSecsSinceEpoch();
    offsetSeconds_ = now.offsetFromUtc();
}

QDateTime StampClock::at(qint64 elapsedMs) const
{
    return QDateTime::fromMSecsSinceEpoch(startMs_ + elapsedMs, Qt::OffsetFromUTC, offsetSeconds_);
}

QString StampClock::iso(qint64 elapsedMs) const
{
    return at(elapsedMs).toString(Qt::ISODateWithMs);
}

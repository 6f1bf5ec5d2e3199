#include "app/StampClock.h"

#include <QDateTime>

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

QString StampClock::iso(qint64 elapsedMs) const
{
    return QDateTime::fromMSecsSinceEpoch(startMs_ + elapsedMs, Qt::OffsetFromUTC, offsetSeconds_)
        .toString(Qt::ISODateWithMs);
}

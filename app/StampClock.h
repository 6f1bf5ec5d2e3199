#pragma once

// Time stamps for the files the console writes (the pane record, the link report's CSV): the
// wall-clock time of the program's start moved on by the steady clock, so that stamps never go
// backwards when the system clock is set while a record runs, and stamps of the record and the
// report agree to the millisecond. Text is ISO 8601 with milliseconds and the offset from UTC
// the local time had at the start ("2026-12-08T17:33:42.914+01:00").

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

class StampClock {
public:
    // The program's clock, started at its first use.
    static const StampClock &program();

    // Milliseconds since the clock started.
    qint64 elapsed() const { return steady_.elapsed(); }
    QString iso(qint64 elapsedMs) const;
    // The wall-clock time of a stamp, in the local offset of the start.
    QDateTime at(qint64 elapsedMs) const;

private:
    StampClock();

    QElapsedTimer steady_;
    qint64 startMs_;    // wall clock at the start, since the epoch
    int offsetSeconds_; // local offset from UTC at the start
};

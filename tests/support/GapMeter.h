#pragma once

// How well the main thread answers: a timer on it ticks every few milliseconds, and the
// largest gap between two ticks is how long the windows could not have answered a click.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

class GapMeter : public QObject {
public:
    explicit GapMeter(int intervalMs = 5)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.nsecsElapsed();
            largest_ = std::max(largest_, now - last_);
            last_ = now;
            ++ticks_;
        });
    }
    void start()
    {
        clock_.start();
        last_ = 0;
        largest_ = 0;
        ticks_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double largestMs() const { return double(largest_) / 1e6; }
    int ticks() const { return ticks_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 largest_ = 0;
    int ticks_ = 0;
};

#pragma once

// Paces the repaints of one window. Received data changes the window hundreds of times a
// second (the pane, the counters), and Qt repaints the changed parts as soon as the events
// have run: a flood at 115200 bit/s cost more in paints than in the data's handling. The pacer
// lets changes gather for a few milliseconds and paints at most every kQuickGapMs; once
// changes have kept coming for a second (a stream of data, not the operator at work), at most
// every kStreamGapMs until the window has been quiet for a moment.
//
// It works on the window's update requests, so every change reaches the screen by the next
// paint; nothing is dropped and nothing is drawn twice. Synchronous paints (repaint(),
// grab()) are not affected. Whatever gathers changes of its own for the screen (a pane's
// lines) can hand them over at aboutToPaint(), so that they reach the screen with this paint
// and need no wake-up of their own.

#include <QElapsedTimer>
#include <QObject>

class QTimer;
class QWidget;

class PaintPacer : public QObject {
    Q_OBJECT
public:
    static constexpr int kGatherMs = 12;     // changes that come together are painted together
    static constexpr int kQuickGapMs = 33;   // about 30 paints a second
    static constexpr int kStreamGapMs = 100; // 10 a second while data streams in
    static constexpr int kStreamAfterMs = 1000;

    // Paces window, a top-level widget; the pacer is its child.
    explicit PaintPacer(QWidget *window);

    bool eventFilter(QObject *watched, QEvent *event) override;

    // The pacer of window, if it has one.
    static PaintPacer *of(const QWidget *window);

    // Paints what has changed now, without waiting for the pace: for what must be on the
    // screen before something else happens (a lamp before its packet leaves).
    void PaintNow();

signals:
    void aboutToPaint();

private:
    void paint();

    QWidget *window_;
    QTimer *timer_;
    QElapsedTimer sincePaint_;
    QElapsedTimer busyFor_; // since changes started to follow each paint at once
    bool releasing_ = false;
};

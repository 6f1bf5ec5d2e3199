#pragma once

// A check box that serves as an indicator lamp ("Rx", "Tx"). What it shows may last less than
// the time between two paints of the window: a packet is taken in one go, a short packet
// leaves in a few milliseconds, and the window paints at most every 33 ms (PaintPacer). A lamp
// lit since the last paint therefore shows lit in the next paint, whatever its tick says by
// then, and goes dark in the paint after; ShowNow() paints at once, for a lamp that must be
// seen before what it announces happens.

#include <QCheckBox>

class TLamp : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

    // Lit in the next paint, without a tick: something was handled in one go.
    void Blink();
    // Paints the window's changes now, this lamp's among them (a paced window's pending
    // paint included: it has nothing left to do then).
    void ShowNow();

protected:
    void checkStateSet() override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool litForPaint_ = false; // lit since the last paint
};

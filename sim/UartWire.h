#pragma once

// One direction of an asynchronous serial line, modelled bit by bit so that a receiver set to
// another speed than the sender garbles bytes the way a real UART does.
//
// The sender puts frames on the wire at its own rate: a start bit (low), eight data bits,
// least significant first, and a stop bit (high); the idle line is high, and bytes written
// back to back form one stream. The receiver hunts for a falling edge, checks the start bit
// half a bit later (a high level there is noise, and it hunts again), samples the data bits
// and the stop bit in the middle of each of its own bit times, and hands the byte over at the
// end of its stop bit. A low stop bit is a framing error; a zero byte with a framing error is
// a break. What is done with such bytes is the receiving side's business.
//
// Plain logic, no clock and no lock: the owner asks what is due and when.

#include "sim/SimTime.h"

#include <cstdint>
#include <deque>
#include <vector>

class UartWire {
public:
    struct Frame {
        SimNs start = 0;
        double bitNs = 0;
        uint8_t byte = 0;
        SimNs end() const;
    };
    struct Received {
        uint8_t byte = 0;
        SimNs at = 0; // end of the receiver's stop bit
        bool framingError = false;
        bool isBreak = false;
    };

    static double bitNsOf(int baud) { return 1e9 / double(baud); }

    // reportsSent: the owner takes every sent frame with takeSent() (for a trace); without
    // it, frames go as soon as the receiver is past them.
    explicit UartWire(int receiverBaud = 9600, bool reportsSent = true);

    // Sender. Queues one frame at bitNs a bit, starting when the line is free and not before
    // notBefore; returns its start.
    SimNs send(uint8_t byte, double bitNs, SimNs notBefore);
    // End of the last frame queued: the line is idle from then on.
    SimNs lineFreeAt() const { return lastEnd_; }
    // Frames that have not started by now: the sender's transmit buffer.
    int waitingAt(SimNs now) const;
    // Start of the index-th frame still waiting at now (kSimNever when there is none).
    SimNs startOfWaiting(int index, SimNs now) const;
    // Frames that have not ended by now (waiting, or on the wire).
    int unsentAt(SimNs now) const;
    // Discards the frames still waiting, returning their bytes in order; the frame on the
    // wire completes.
    std::vector<uint8_t> dropWaiting(SimNs now);

    // Frames whose stop bit has ended, each reported once, in order.
    SimNs nextSentDue() const;
    bool takeSent(SimNs now, Frame &frame);

    // Receiver.
    void setReceiverBaud(int baud) { rxBitNs_ = bitNsOf(baud); }
    // The receiver ignores the line before t (a port opened at t sees nothing earlier).
    void ignoreBefore(SimNs t);
    // When the receiver has next something to decide (kSimNever when the line stays idle).
    SimNs nextReceiveDue() const;
    // A time before which fewer than count bytes can have been received: the next decision's
    // time, and nine and a half of the receiver's bit times for each further byte (it hunts
    // for the next start bit only after sampling a stop bit), counting no more bytes than
    // frames are left. For an owner that needs the bytes only in batches.
    SimNs receiveDueBound(int count) const;
    // Decides the next frame due by now. True with a byte; false when the edge was noise.
    bool takeReceived(SimNs now, Received &out);

    // Level of the line at t: 1 high (idle or a one bit), 0 low.
    int level(SimNs t) const;
    // Frames still held (sent or waiting and not yet released).
    size_t framesHeld() const { return frames_.size(); }

private:
    SimNs nextEdge(SimNs from) const;
    void prune();

    std::deque<Frame> frames_;
    size_t unreported_ = 0; // index of the first frame takeSent() has not reported
    SimNs lastEnd_ = 0;
    SimNs huntFrom_ = 0; // the receiver looks for a falling edge at or after this
    double rxBitNs_;
    bool reportsSent_;
};

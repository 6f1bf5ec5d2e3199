#include "sim/SimCable.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t kRtsHistory = 1024;

} // namespace

// Only the port's own bytes are traced as they leave; the module's are traced as the port
// takes them in.
SimCable::SimCable(int moduleBaud)
    : down_(moduleBaud, true), up_(9600, false), moduleBaud_(moduleBaud)
{
}

void SimCable::openPort(SimNs now, bool rts, bool dtr)
{
    portOpen_ = true;
    input_.clear();
    unannounced_ = 0;
    quietAnnounce_ = kSimNever;
    rxArrived = txDone = wakeRequested = false;
    setRts(now, rts);
    dtr_ = dtr;
    // The port's UART starts listening now; a byte already half through is not seen whole.
    up_.ignoreBefore(now);
}

void SimCable::closePort(SimNs now)
{
    dropUnsent(now);
    portCtsFlow_ = false;
    input_.clear();
    unannounced_ = 0;
    quietAnnounce_ = kSimNever;
    // Closing a tty drops its modem lines.
    setRts(now, false);
    dtr_ = false;
    portOpen_ = false;
    portCv_.notify_all();
}

void SimCable::setPortBaud(int baud)
{
    portBaud_ = baud;
    up_.setReceiverBaud(baud);
}

void SimCable::setModuleBaud(int baud)
{
    moduleBaud_ = baud;
    down_.setReceiverBaud(baud);
}

void SimCable::setRts(SimNs now, bool raised)
{
    if (raised == rts())
        return;
    rtsChanges_.push_back({now, raised});
    // Keep a bounded history; changes the module has not been told of always stay.
    while (rtsChanges_.size() > kRtsHistory && rtsProcessed_ > 0) {
        rtsBase_ = rtsChanges_.front().raised;
        rtsChanges_.pop_front();
        --rtsProcessed_;
    }
}

bool SimCable::rts() const
{
    return rtsChanges_.empty() ? rtsBase_ : rtsChanges_.back().raised;
}

bool SimCable::rtsAt(SimNs t) const
{
    auto it = std::upper_bound(rtsChanges_.begin(), rtsChanges_.end(), t,
                               [](SimNs v, const RtsChange &c) { return v < c.time; });
    return it == rtsChanges_.begin() ? rtsBase_ : (it - 1)->raised;
}

SimNs SimCable::nextRtsChange() const
{
    return rtsProcessed_ < rtsChanges_.size() ? rtsChanges_[rtsProcessed_].time : kSimNever;
}

int SimCable::transmitRoom(SimNs now) const
{
    return std::max(0, kTransmitBuffer - down_.waitingAt(now) - int(held_.size()));
}

SimNs SimCable::roomFor(int bytes, SimNs now) const
{
    const int room = transmitRoom(now);
    if (bytes <= room)
        return now;
    if (!held_.empty())
        return kSimNever;
    // Each frame that starts makes room for one more byte.
    return down_.startOfWaiting(std::min(bytes, kTransmitBuffer) - room - 1, now);
}

void SimCable::portSend(uint8_t byte, SimNs now)
{
    if (transmitterHeld() || !held_.empty())
        held_.push_back(byte);
    else
        down_.send(byte, UartWire::bitNsOf(portBaud_), now);
}

int SimCable::unsent(SimNs now) const
{
    return down_.unsentAt(now) + int(held_.size());
}

SimNs SimCable::allSentAt() const
{
    return held_.empty() ? down_.lineFreeAt() : kSimNever;
}

int SimCable::dropUnsent(SimNs now)
{
    const int dropped = int(down_.dropWaiting(now).size() + held_.size());
    held_.clear();
    return dropped;
}

void SimCable::setPortCtsFlow(bool on, SimNs now)
{
    portCtsFlow_ = on;
    releaseHeld(now);
}

void SimCable::setCtsHeld(bool held, SimNs now)
{
    ctsHeld_ = held;
    releaseHeld(now);
}

void SimCable::releaseHeld(SimNs now)
{
    if (transmitterHeld()) {
        // The byte on the wire completes; the ones behind it wait for CTS.
        const std::vector<uint8_t> back = down_.dropWaiting(now);
        held_.insert(held_.begin(), back.begin(), back.end());
        return;
    }
    const double bitNs = UartWire::bitNsOf(portBaud_);
    for (uint8_t b : held_)
        down_.send(b, bitNs, now);
    held_.clear();
    portCv_.notify_all();
}

void SimCable::purge(SimNs now)
{
    dropUnsent(now);
    input_.clear();
    unannounced_ = 0;
    quietAnnounce_ = kSimNever;
}

void SimCable::moduleSend(const uint8_t *data, int length, SimNs notBefore)
{
    const double bitNs = UartWire::bitNsOf(moduleBaud_);
    for (int i = 0; i < length; ++i)
        up_.send(data[i], bitNs, notBefore);
}

SimNs SimCable::nextDue() const
{
    return std::min({down_.nextSentDue(), nextRtsChange(), down_.nextReceiveDue(),
                     up_.nextReceiveDue(), quietAnnounce_});
}

SimNs SimCable::wakeDue(int moduleTakes) const
{
    // The byte that fills the FIFO to its trigger level, or, when fewer are coming, the last:
    // its arrival starts the character time-out. Sent bytes only go to the trace.
    const SimNs toPort = up_.receiveDueBound(kRxTrigger - unannounced_);
    const SimNs toModule = down_.receiveDueBound(moduleTakes);
    return std::min({nextRtsChange(), toModule, toPort, quietAnnounce_});
}

void SimCable::step(SimNs now, Sink &sink)
{
    // Ties go in the order a real line would show them: the port has sent a byte before the
    // module takes it in.
    const SimNs sent = down_.nextSentDue();
    const SimNs edge = nextRtsChange();
    const SimNs toModule = down_.nextReceiveDue();
    const SimNs toPort = up_.nextReceiveDue();
    const SimNs first = std::min({sent, edge, toModule, toPort, quietAnnounce_});
    if (first > now)
        return;
    if (quietAnnounce_ == first && toPort > first) {
        announceArrival();
    } else if (sent == first) {
        UartWire::Frame f;
        if (down_.takeSent(now, f))
            record({f.end(), SimTraceEntry::Direction::ToModule, f.byte, rtsAt(f.end())});
    } else if (edge == first) {
        const RtsChange c = rtsChanges_[rtsProcessed_++];
        if (!c.raised)
            sink.rtsFell(c.time);
    } else if (toModule == first) {
        UartWire::Received r;
        if (down_.takeReceived(now, r))
            sink.serialByte(r.byte, r.at, rtsAt(r.at));
    } else {
        UartWire::Received r;
        // The port's line settings ignore breaks; a byte with a framing error passes as it
        // was sampled.
        if (up_.takeReceived(now, r) && portOpen_ && !r.isBreak) {
            if (input_.size() < size_t(kInputBuffer))
                input_.push_back(r.byte);
            record({r.at, SimTraceEntry::Direction::FromModule, r.byte, rtsAt(r.at)});
            if (++unannounced_ >= kRxTrigger)
                announceArrival();
            else
                quietAnnounce_ =
                    r.at + SimNs(std::llround(kRxQuietBits * UartWire::bitNsOf(portBaud_)));
        }
    }
}

void SimCable::announceArrival()
{
    unannounced_ = 0;
    quietAnnounce_ = kSimNever;
    rxArrived = true;
    portCv_.notify_all();
}

void SimCable::record(const SimTraceEntry &e)
{
    // Entries are handled nearly in time order; keep the trace strictly so.
    auto it = trace_.end();
    while (it != trace_.begin() && (it - 1)->time > e.time)
        --it;
    trace_.insert(it, e);
    if (trace_.size() > kTraceLimit)
        trace_.pop_front();
}

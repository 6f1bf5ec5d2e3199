#include "sim/UartWire.h"

#include <algorithm>
#include <cmath>

namespace {

// Bit k of a frame: 0 the start bit, 1 to 8 the data bits, 9 the stop bit.
int bitLevel(uint8_t byte, int k)
{
    if (k <= 0)
        return 0;
    if (k >= 9)
        return 1;
    return (byte >> (k - 1)) & 1;
}

SimNs offset(double bits, double bitNs)
{
    return SimNs(std::llround(bits * bitNs));
}

SimNs bitStart(const UartWire::Frame &f, int k)
{
    return f.start + offset(k, f.bitNs);
}

} // namespace

SimNs UartWire::Frame::end() const
{
    return start + offset(10, bitNs);
}

UartWire::UartWire(int receiverBaud, bool reportsSent)
    : rxBitNs_(bitNsOf(receiverBaud)), reportsSent_(reportsSent)
{
}

SimNs UartWire::send(uint8_t byte, double bitNs, SimNs notBefore)
{
    Frame f;
    f.start = std::max(notBefore, lastEnd_);
    f.bitNs = bitNs;
    f.byte = byte;
    frames_.push_back(f);
    lastEnd_ = f.end();
    return f.start;
}

int UartWire::waitingAt(SimNs now) const
{
    int n = 0;
    for (auto it = frames_.rbegin(); it != frames_.rend() && it->start > now; ++it)
        ++n;
    return n;
}

SimNs UartWire::startOfWaiting(int index, SimNs now) const
{
    const int waiting = waitingAt(now);
    if (index < 0 || index >= waiting)
        return kSimNever;
    return frames_[frames_.size() - size_t(waiting) + size_t(index)].start;
}

int UartWire::unsentAt(SimNs now) const
{
    int n = 0;
    for (auto it = frames_.rbegin(); it != frames_.rend() && it->end() > now; ++it)
        ++n;
    return n;
}

std::vector<uint8_t> UartWire::dropWaiting(SimNs now)
{
    std::vector<uint8_t> dropped;
    while (!frames_.empty() && frames_.back().start > now) {
        dropped.push_back(frames_.back().byte);
        frames_.pop_back();
    }
    unreported_ = std::min(unreported_, frames_.size());
    if (!dropped.empty())
        lastEnd_ = frames_.empty() ? std::min(lastEnd_, now) : frames_.back().end();
    std::reverse(dropped.begin(), dropped.end());
    return dropped;
}

SimNs UartWire::nextSentDue() const
{
    if (!reportsSent_)
        return kSimNever;
    return unreported_ < frames_.size() ? frames_[unreported_].end() : kSimNever;
}

bool UartWire::takeSent(SimNs now, Frame &frame)
{
    if (unreported_ >= frames_.size() || frames_[unreported_].end() > now)
        return false;
    frame = frames_[unreported_++];
    prune();
    return true;
}

void UartWire::ignoreBefore(SimNs t)
{
    huntFrom_ = std::max(huntFrom_, t);
    prune();
}

int UartWire::level(SimNs t) const
{
    // The last frame that starts at or before t.
    auto it = std::upper_bound(frames_.begin(), frames_.end(), t,
                               [](SimNs v, const Frame &f) { return v < f.start; });
    if (it == frames_.begin())
        return 1;
    const Frame &f = *(it - 1);
    if (t >= f.end())
        return 1;
    int k = int(double(t - f.start) / f.bitNs);
    k = std::clamp(k, 0, 9);
    // Agree with the rounded bit boundaries used for the edges.
    while (k < 9 && bitStart(f, k + 1) <= t)
        ++k;
    while (k > 0 && bitStart(f, k) > t)
        --k;
    return bitLevel(f.byte, k);
}

SimNs UartWire::nextEdge(SimNs from) const
{
    // Frames that end at or before from hold no edge at or after it.
    auto it = std::partition_point(frames_.begin(), frames_.end(),
                                   [from](const Frame &f) { return f.end() <= from; });
    for (; it != frames_.end(); ++it) {
        const Frame &f = *it;
        // The start bit always falls: before it the line is idle or in a stop bit.
        if (f.start >= from)
            return f.start;
        for (int k = 1; k <= 8; ++k) {
            if (bitLevel(f.byte, k - 1) == 1 && bitLevel(f.byte, k) == 0) {
                const SimNs e = bitStart(f, k);
                if (e >= from)
                    return e;
            }
        }
    }
    return kSimNever;
}

SimNs UartWire::nextReceiveDue() const
{
    const SimNs e = nextEdge(huntFrom_);
    return e == kSimNever ? kSimNever : e + offset(10, rxBitNs_);
}

SimNs UartWire::receiveDueBound(int count) const
{
    const SimNs first = nextReceiveDue();
    if (first == kSimNever || count <= 1)
        return first;
    const auto pending = std::partition_point(
        frames_.begin(), frames_.end(), [this](const Frame &f) { return f.end() <= huntFrom_; });
    const auto left = std::min<std::ptrdiff_t>(count, frames_.end() - pending);
    if (left <= 1)
        return first;
    return first + SimNs(double(left - 1) * 9.5 * rxBitNs_);
}

bool UartWire::takeReceived(SimNs now, Received &out)
{
    const SimNs e = nextEdge(huntFrom_);
    if (e == kSimNever || e + offset(10, rxBitNs_) > now)
        return false;
    auto sample = [&](int i) { return level(e + offset(i + 0.5, rxBitNs_)); };
    if (sample(0) != 0) {
        // The line is high again half a bit after the edge: no start bit, hunt on.
        huntFrom_ = e + 1;
        prune();
        return false;
    }
    uint8_t byte = 0;
    for (int i = 1; i <= 8; ++i)
        if (sample(i))
            byte |= uint8_t(1u << (i - 1));
    const bool stopLow = sample(9) == 0;
    out.byte = byte;
    out.at = e + offset(10, rxBitNs_);
    out.framingError = stopLow;
    out.isBreak = stopLow && byte == 0;
    // After the stop bit sample the receiver hunts for the next falling edge.
    huntFrom_ = e + offset(9.5, rxBitNs_) + 1;
    prune();
    return true;
}

void UartWire::prune()
{
    // A frame can go once the trace has had it (if there is one) and the receiver is past it.
    while (!frames_.empty() && (unreported_ > 0 || !reportsSent_) &&
           frames_.front().end() <= huntFrom_) {
        frames_.pop_front();
        if (unreported_ > 0)
            --unreported_;
    }
}

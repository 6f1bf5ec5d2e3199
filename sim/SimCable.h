#pragma once

// The serial cable between a port and a simulated module, with the port's end of it: the two
// directions of the line (each at its sender's speed, sampled at its receiver's speed), the
// port's modem lines as the module sees them, its transmit buffer and input queue, the line
// events a watcher waits for, and the trace of every byte that passes the port.
//
// The cable is plain logic driven by its module under the simulation's lock: the module asks
// nextDue() and lets step() handle one due item at a time, in time order, so that a byte and
// an RTS change are seen in the order they happened on the wire, whenever the simulation
// thread gets round to them.

#include "sim/SimTime.h"
#include "sim/UartWire.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <vector>

// One byte that passed the port. Both directions are stamped at the end of the byte's stop
// bit at the port (for a byte to the module: when the port's UART has sent it; for a byte from
// the module: when the port's UART has taken it in), with the RTS level at that instant.
struct SimTraceEntry {
    enum class Direction : uint8_t { ToModule, FromModule };
    SimNs time = 0;
    Direction direction = Direction::ToModule;
    uint8_t byte = 0;
    bool rts = false;
};

class SimCable {
public:
    // What the module is told about its serial side.
    class Sink {
    public:
        virtual void serialByte(uint8_t byte, SimNs at, bool rts) = 0;
        virtual void rtsFell(SimNs at) = 0;

    protected:
        ~Sink() = default;
    };

    static constexpr int kTransmitBuffer = 4096;  // port's transmit buffer, bytes
    static constexpr int kInputBuffer = 4096;     // port's input queue; later bytes are lost
    static constexpr size_t kTraceLimit = 200000; // oldest entries go first

    explicit SimCable(int moduleBaud);

    // The port's end.
    bool portOpen() const { return portOpen_; }
    void openPort(SimNs now, bool rts, bool dtr);
    // Never blocks: what waits in the transmit buffer is dropped, the byte on the wire ends.
    void closePort(SimNs now);
    void setPortBaud(int baud);
    int portBaud() const { return portBaud_; }
    void setRts(SimNs now, bool raised);
    bool rts() const;
    void setDtr(bool raised) { dtr_ = raised; }
    bool dtr() const { return dtr_; }
    // Room in the transmit buffer at now, and when `bytes` more would fit (kSimNever while
    // a held transmitter keeps the buffer full).
    int transmitRoom(SimNs now) const;
    SimNs roomFor(int bytes, SimNs now) const;
    void portSend(uint8_t byte, SimNs now);
    // Bytes sent by the port that have not left by now (their stop bit has not ended), and
    // when they all will have (kSimNever while the transmitter is held).
    int unsent(SimNs now) const;
    SimNs allSentAt() const;
    // Discards what has not started to leave; the byte on the wire completes. Returns the
    // count discarded.
    int dropUnsent(SimNs now);
    // Drops the input queue and the output that has not left.
    void purge(SimNs now);

    // Hardware flow control: with the port's CTS flow on, the module holding CTS low stops
    // the port's transmitter after the byte on the wire; what waits stays queued until CTS
    // rises again. Without CTS flow the port ignores the line.
    void setPortCtsFlow(bool on, SimNs now);
    void setCtsHeld(bool held, SimNs now);
    bool ctsHeld() const { return ctsHeld_; }
    std::deque<uint8_t> &input() { return input_; }

    // Line events for the port's watcher. All waits on the port (read, write room, line
    // events) use this condition with the simulation's lock. Arrivals are announced as a
    // port's UART announces them: when its receive FIFO holds kRxTrigger bytes, or when
    // kRxQuietBits bit times pass without a new byte (a 16550's trigger level and character
    // time-out, as Linux sets them). Announcing every byte would cost three thread wake-ups
    // per byte, which no real port asks of the program.
    static constexpr int kRxTrigger = 8;
    static constexpr int kRxQuietBits = 40;
    std::condition_variable &portCondition() { return portCv_; }
    bool rxArrived = false;
    bool txDone = false;
    bool wakeRequested = false;

    // The module's end.
    void setModuleBaud(int baud);
    void moduleSend(const uint8_t *data, int length, SimNs notBefore);
    // Drops what the module has queued but not yet started sending.
    void moduleDropWaiting(SimNs now) { up_.dropWaiting(now); }

    // Stepping. nextDue() is the next item due; wakeDue() the time the simulation must come
    // round next: for bytes towards the port their announcement (the port sees them only
    // then), for bytes towards the module the one after which it acts (moduleTakes bytes from
    // now; 1 when every byte may count), and every RTS change. Coming round for every byte
    // cost the simulation thread a wake-up each. Whoever looks at the trace steps the cable
    // up to the moment first.
    SimNs nextDue() const;
    SimNs wakeDue(int moduleTakes) const;
    void step(SimNs now, Sink &sink);

    std::vector<SimTraceEntry> trace() const { return {trace_.begin(), trace_.end()}; }
    void clearTrace() { trace_.clear(); }

private:
    bool rtsAt(SimNs t) const;
    SimNs nextRtsChange() const;
    void record(const SimTraceEntry &e);
    void announceArrival();

    UartWire down_; // port to module
    UartWire up_;   // module to port
    int portBaud_ = 9600;
    int moduleBaud_;
    bool portOpen_ = false;
    bool dtr_ = false;
    bool portCtsFlow_ = false;
    bool ctsHeld_ = false;
    std::deque<uint8_t> held_; // the port's bytes a held transmitter keeps back
    bool transmitterHeld() const { return portCtsFlow_ && ctsHeld_; }
    void releaseHeld(SimNs now);
    // RTS changes (time, level), oldest first; the module has been told of the first
    // rtsProcessed_ of them.
    struct RtsChange {
        SimNs time;
        bool raised;
    };
    std::deque<RtsChange> rtsChanges_;
    size_t rtsProcessed_ = 0;
    bool rtsBase_ = false; // level before the first kept change
    std::deque<uint8_t> input_;
    int unannounced_ = 0;             // bytes taken in since the last announced arrival
    SimNs quietAnnounce_ = kSimNever; // when the character time-out announces them
    std::deque<SimTraceEntry> trace_;
    std::condition_variable portCv_;
};

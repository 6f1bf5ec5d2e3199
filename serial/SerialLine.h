#pragma once

// What the serial component needs from an operating system, and nothing more: an exclusive
// open of a character device, line settings, reads and writes with time-outs, the input
// queue count, the modem lines, a wakeable wait for line events, purge and close.
//
// The interface is plain C++ so that the watcher's waiting and hand-over protocol can be
// judged by the thread sanitizer without Qt in the way. Three implementations exist: PosixLine
// (a real tty through termios), NetLine (a serial port served over TCP) and SimLine (a
// simulated radio module, sim/).
//
// Threads: waitEvent() runs on the watcher thread while the main thread reads, writes and
// drives the modem lines; wake() may be called from any thread. open(), configure() and
// close() run only while no watcher exists.

#include <cstdint>
#include <string>

// Line settings as the component's flow-control properties give them.
struct LineSettings {
    int baud = 9600;      // bit/s; always 8 data bits, no parity, 1 stop bit
    bool ctsFlow = false; // transmitter held while CTS is low
    enum class Dtr { Off, On, Handshake } dtr = Dtr::Off;
    enum class Rts { Off, On, Handshake, Toggle } rts = Rts::Off;
    bool dsrFlow = false;        // transmitter held while DSR is low
    bool dsrSensitivity = false; // input ignored while DSR is low

    // Where the output lines must stand right after the open, before anything else.
    bool rtsRaisedAtOpen() const { return rts == Rts::On || rts == Rts::Handshake; }
    bool dtrRaisedAtOpen() const { return dtr == Dtr::On || dtr == Dtr::Handshake; }
};

// Why an open failed, so that the operator can be told in his own terms.
enum class LineError {
    None,
    NoDevice,         // nothing of that name
    Busy,             // another program holds it
    PermissionDenied, // not allowed to open it
    NotATty,          // exists, but is no serial character device
    SettingsRefused,  // the driver refused the line settings
    Refused,          // a network port's host refused the connection
    Unreachable,      // a network port's host cannot be reached, or its name is unknown
    NoAnswer,         // a network port's host did not answer in time
    Io                // anything else
};

class SerialLine {
public:
    // Modem input bits as the component reports them.
    static constexpr unsigned CtsOn = 0x10;
    static constexpr unsigned DsrOn = 0x20;
    static constexpr unsigned RingOn = 0x40;
    static constexpr unsigned RlsdOn = 0x80;

    enum class Wait {
        Event, // a line event: bytes arrived, a write completed, a line changed
        Woken, // wake() was called
        Failed // the wait cannot go on (device gone); a further wait would fail again
    };

    virtual ~SerialLine() = default;

    // Opens the device exclusively and, before anything else, puts RTS and DTR where the
    // caller asks. Returns false and sets error()/errorText() on failure.
    virtual bool open(const std::string &device, bool rtsRaised, bool dtrRaised) = 0;
    // Speed, 8N1, raw, and the flow control. False when the driver refuses.
    virtual bool configure(const LineSettings &settings) = 0;
    // Puts back what the device had before the open; then closes it. Never blocks on
    // pending output: whoever closes lets it drain first (drainOutput). No watcher may be
    // waiting.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Writes up to length bytes and returns when they have left the port, not when the
    // driver has queued them: the module acts on a byte only once it has crossed the wire,
    // and the programming line must not move while one is on its way. Never sooner than the
    // bytes' own line time at the port's speed. Within timeoutMs (0 = no limit); the count is
    // what has left by then, the rest stays queued (a transmitter held by flow control).
    // -1 when the driver rejects the write outright. A completed write raises a line event
    // (transmit empty).
    virtual int write(const uint8_t *data, int length, int timeoutMs) = 0;
    // Bytes written but not yet gone from the port: the driver's output queue, and what an
    // adapter may still hold by the line time since they were written.
    virtual int unsentOutput() = 0;
    // Lets unsent output leave within timeoutMs, then discards what is still unsent; returns
    // the count discarded (0 when everything left).
    virtual int drainOutput(int timeoutMs) = 0;
    // Returns at once with the bytes already waiting (up to length); when none are waiting,
    // waits until length bytes have arrived or timeoutMs have passed. -1 when rejected.
    virtual int read(uint8_t *data, int length, int timeoutMs) = 0;
    // Bytes in the input queue, clearing any line-error state; -1 on failure.
    virtual int queuedInput() = 0;
    // Discards the input queue and the output that has not left. Bytes that have left are
    // beyond recall: on a pseudo-terminal, whose far end may not have read them yet, they
    // are not touched.
    virtual void purge() = 0;

    // Modem lines; false when the driver refuses (pseudo-terminals do).
    virtual bool modemInputs(unsigned &bits) = 0;
    // The line carries data and nothing else by its nature (a raw TCP port): there is no RTS
    // to drive, so nothing that needs the programming line can work on it. A driver that
    // merely refuses the modem-line calls is not data-only.
    virtual bool dataOnly() const { return false; }
    // What the operator should be told about this opening, once; empty for nothing.
    virtual std::string notice() const { return {}; }
    virtual bool setRts(bool raised) = 0;
    virtual bool setDtr(bool raised) = 0;

    // Blocks the watcher until a line event or wake(). Events are reported on arrival, not on
    // level: bytes left unread do not end the next wait again.
    virtual Wait waitEvent() = 0;
    // Takes, without waiting, the events recorded since the last wait: the watcher hands
    // them over with the one it holds, and the next wait reports only what comes after.
    // A lost line stays lost: the next wait still fails.
    virtual void takeEvents() = 0;
    virtual void wake() = 0;

    LineError error() const { return error_; }
    const std::string &errorText() const { return errorText_; }

protected:
    void setError(LineError e, std::string text)
    {
        error_ = e;
        errorText_ = std::move(text);
    }
    LineError error_ = LineError::None;
    std::string errorText_;
};

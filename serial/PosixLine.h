#pragma once

// A real tty through termios: exclusive open (TIOCEXCL and flock, since root ignores
// TIOCEXCL), raw 8N1, poll-bounded reads, writes that end when their bytes have left the
// port, and an epoll wait for the watcher that reports arrivals, not levels.

#include "serial/LineWatch.h"
#include "serial/SerialLine.h"

#include <chrono>
#include <termios.h>

class PosixLine : public SerialLine {
public:
    PosixLine() = default;
    ~PosixLine() override;

    bool open(const std::string &device, bool rtsRaised, bool dtrRaised) override;
    bool configure(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    int write(const uint8_t *data, int length, int timeoutMs) override;
    int unsentOutput() override;
    int drainOutput(int timeoutMs) override;
    int read(uint8_t *data, int length, int timeoutMs) override;
    int queuedInput() override;
    void purge() override;

    bool modemInputs(unsigned &bits) override;
    bool setRts(bool raised) override;
    bool setDtr(bool raised) override;

    Wait waitEvent() override;
    void takeEvents() override;
    void wake() override;

    // Speeds the driver knows; 0 when the value has no termios constant.
    static speed_t speedConstant(int baud);

private:
    using Clock = std::chrono::steady_clock;

    void closeDevice();
    // The driver's output queue (TIOCOUTQ): 0 on a pseudo-terminal, whose far end takes
    // every byte at once.
    int driverQueued() const;
    // Sleeps while output leaves, not past the deadline.
    void sleepWhileSending(bool limited, Clock::time_point deadline) const;
    void discardUnsent();
    bool setModemBit(int bit, bool raised);

    int fd_ = -1;
    LineWatch watch_;
    bool locked_ = false; // flock held
    bool haveSaved_ = false;
    // One byte's line time at the port's speed (start, eight data bits, stop), and when the
    // bytes written so far can all have left: neither the driver's queue count nor an
    // adapter's own buffer can make a byte leave faster than the line carries it.
    std::chrono::nanoseconds byteTime_{std::chrono::nanoseconds(1041667)};
    Clock::time_point lineFreeAt_{};
    struct termios saved_ {}; // the device's settings as found, put back at close
};

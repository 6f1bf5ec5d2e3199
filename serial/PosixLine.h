#pragma once

// A real tty through termios: exclusive open (TIOCEXCL and flock, since root ignores
// TIOCEXCL), raw 8N1, poll-bounded reads and writes, and an epoll wait for the watcher that
// reports arrivals, not levels.

#include "serial/SerialLine.h"

#include <atomic>
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
    int read(uint8_t *data, int length, int timeoutMs) override;
    int queuedInput() override;
    void purge() override;

    bool modemInputs(unsigned &bits) override;
    bool setRts(bool raised) override;
    bool setDtr(bool raised) override;

    Wait waitEvent() override;
    void wake() override;

    // Speeds the driver knows; 0 when the value has no termios constant.
    static speed_t speedConstant(int baud);

private:
    void closeDevice();
    bool setModemBit(int bit, bool raised);
    void signalEvent();

    int fd_ = -1;
    int epollFd_ = -1;
    int eventFd_ = -1;    // wake-ups and transmit-empty events
    bool locked_ = false; // flock held
    bool haveSaved_ = false;
    struct termios saved_ {}; // the device's settings as found, put back at close
    std::atomic<bool> txEmpty_{false};
    std::atomic<bool> lost_{false}; // hang-up seen: the device is gone for this opening
};

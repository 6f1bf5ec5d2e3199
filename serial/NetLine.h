#pragma once

// A serial port on another machine, reached over TCP: "rfc2217://HOST:PORT", a port served
// with the Telnet COM Port Control Option (RFC 2217, as ser2net serves it: speed, 8N1, flow
// control, RTS and DTR set from here), or "socket://HOST:PORT", a raw TCP port that carries
// data only. To the serial component it is one more line: reads and writes, the watcher's
// wakeable wait, speed, RTS, purge; its loss is a lost device.
//
// The programming line over a network: the client cannot see the far UART's queue, so a write
// is done when its bytes have left this machine and their line time at the port's speed has
// passed, and an RTS change goes out only after that (the component waits for unsentOutput()).
// A command wait is the time between the request to change and the next byte, both sent at
// once, so the far end sees it as long as the network delays both alike: the round trip is
// measured at the open, and one that varies more than a command wait can spare is told once.
//
// A server that never answers the modem-line requests (ser2net serving a pseudo-terminal,
// which refuses the calls) is treated as a pty is: the port opens, setRts() and setDtr() fail.
//
// Everything the server sends passes through ComPortOption, whose buffers are bounded, and
// into an input queue that stops reading the socket when full: a peer cannot grow memory.
//
// Threads: as PosixLine. The main thread reads, writes and drives the lines (only it touches
// the socket's input and the queue); the watcher waits on the socket and an eventfd.

#include "serial/ComPortOption.h"
#include "serial/LineWatch.h"
#include "serial/SerialLine.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class NetLine : public SerialLine {
public:
    NetLine() = default;
    ~NetLine() override;
    NetLine(const NetLine &) = delete;
    NetLine &operator=(const NetLine &) = delete;

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
    bool dataOnly() const override { return raw_; }
    std::string notice() const override { return notice_; }

    Wait waitEvent() override;
    void takeEvents() override;
    void wake() override;

    // Whether the device text names a network port ("rfc2217://" or "socket://").
    static bool isNetworkDevice(const std::string &device);
    // For the look for a lost port once a second, which must never block: starts, or looks
    // at, a connection attempt to the device's host. True once a connection stands; the next
    // open() of that device takes it over. A device never opened before is resolved here.
    static bool reachable(const std::string &device);

    // Round trips measured at the open, in milliseconds (0 when none was measured).
    double shortestRoundTripMs() const { return rttMinMs_; }
    double longestRoundTripMs() const { return rttMaxMs_; }

private:
    using Clock = std::chrono::steady_clock;

    void closeDevice();
    // Reads what the socket holds into the input queue, as far as it has room.
    void pump();
    // Sends all of wire; stops at the deadline when limited. The count sent, -1 when the
    // connection failed before anything went.
    int sendAll(const char *wire, int length, bool limited, Clock::time_point deadline);
    bool sendRequest(const std::string &request);
    // Pumps until done() holds, the peer goes or timeoutMs pass.
    bool await(const std::function<bool()> &done, int timeoutMs);
    bool setLine(uint8_t on, uint8_t off, bool raised);
    int socketUnsent() const;
    void measureRoundTrips();
    // Fails the open with an error of the connection, naming the server.
    bool fail(LineError error, const std::string &text);

    int fd_ = -1;
    LineWatch watch_;
    bool raw_ = false;
    bool peerGone_ = false; // the server closed the connection, or it failed
    std::string device_;
    std::string where_; // HOST:PORT, for the operator
    ComPortOption option_;
    std::vector<uint8_t> input_;
    size_t inputHead_ = 0;
    enum class Lines { Unknown, Answered, Unanswered } lines_ = Lines::Unknown;
    std::chrono::nanoseconds byteTime_{std::chrono::nanoseconds(1041667)};
    Clock::time_point lineFreeAt_{};
    double rttMinMs_ = 0;
    double rttMaxMs_ = 0;
    std::string notice_;
};

#pragma once

// The watcher's wait on one opening of a line that has a descriptor (a tty, a network
// connection): the descriptor on an epoll set, edge-triggered, so that new bytes end a wait and
// bytes left unread in the queue do not; and an eventfd beside it, which a close uses to wake
// the wait (closing a descriptor does not wake a poll in another thread) and a completed write
// to report the transmit-empty event. The device going away (the hang-up events given at
// start) ends the watching for this opening; the loss is reported once the bytes that came
// with it are announced.

#include "serial/SerialLine.h"

#include <atomic>
#include <cstdint>
#include <optional>

class LineWatch {
public:
    LineWatch() = default;
    ~LineWatch() { stop(); }
    LineWatch(const LineWatch &) = delete;
    LineWatch &operator=(const LineWatch &) = delete;

    // Watches fd for arrivals; hangUp holds the events that mean the device is gone. False
    // (errno set) when the epoll set or the eventfd cannot be made.
    bool start(int fd, uint32_t hangUp);
    void stop();
    // The device went away during this opening.
    bool lost() const { return lost_; }

    // SerialLine's waitEvent(), takeEvents() and wake().
    SerialLine::Wait wait();
    void take();
    void wake();
    // A write has completed: the wait reports it as an event.
    void transmitEmpty();

private:
    // One look at the events, waiting up to timeoutMs (-1: until there is one); none when it
    // ended with nothing to report.
    std::optional<SerialLine::Wait> collect(int timeoutMs);

    int fd_ = -1;
    int epollFd_ = -1;
    int eventFd_ = -1;
    uint32_t hangUp_ = 0;
    std::atomic<bool> txEmpty_{false};
    std::atomic<bool> lost_{false};
};

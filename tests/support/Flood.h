#pragma once

// A far end that floods a pseudo-terminal at a serial line's pace: 10 bits a byte at the
// given speed, written every millisecond on a thread of its own, byte i of the stream being
// pattern[i % pattern size]. When the window falls behind and the terminal's buffer fills,
// the rest waits and goes out as soon as there is room: lag() tells by how much.

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <unistd.h>

class Flood {
public:
    Flood(int fd, int bitsPerSecond, QByteArray pattern)
        : fd_(fd), bytesPerSecond_(bitsPerSecond / 10), pattern_(std::move(pattern))
    {
        thread_ = std::thread([this] { run(); });
    }
    ~Flood() { stop(); }
    Flood(const Flood &) = delete;
    Flood &operator=(const Flood &) = delete;

    // Ends the flood; returns the bytes sent.
    qint64 stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return sent_;
    }
    qint64 sent() const { return sent_; }
    // Bytes that were due but had not gone out when the flood last wrote.
    qint64 lag() const { return lag_; }
    // The first n bytes of the stream.
    QByteArray stream(qint64 n) const
    {
        QByteArray out;
        out.reserve(qsizetype(n));
        for (qint64 i = 0; i < n; ++i)
            out += pattern_.at(qsizetype(i % pattern_.size()));
        return out;
    }

private:
    void run()
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        char buf[4096];
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const auto us =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            const qint64 due = qint64(double(bytesPerSecond_) * double(us) / 1e6);
            const qint64 n = std::min<qint64>(due - sent_, qint64(sizeof buf));
            if (n <= 0)
                continue;
            for (qint64 i = 0; i < n; ++i)
                buf[i] = pattern_.at(qsizetype((sent_ + i) % pattern_.size()));
            const ssize_t w = ::write(fd_, buf, size_t(n));
            if (w > 0)
                sent_ += w;
            else if (w < 0 && errno != EAGAIN && errno != EINTR)
                break; // the terminal is gone
            lag_ = due - sent_;
        }
    }

    const int fd_;
    const int bytesPerSecond_;
    const QByteArray pattern_;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> sent_{0};
    std::atomic<qint64> lag_{0};
    std::thread thread_;
};

#pragma once

// A port on a simulated module as the tests drive it: opened with RTS and DTR low, bytes sent
// and waited for until they are through the wire, commands with the program's shape (RTS
// raised, the letter, the parameter bytes, RTS lowered), and reads that wait for a count.

#include "sim/SimLine.h"
#include "sim/SimModule.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QThread>

class SimTestPort {
public:
    // fresh: the module powers on with its documented configuration first.
    explicit SimTestPort(const QString &module, int baud = 9600, bool fresh = true)
        : line_(module.toStdString()), module_(SimModule::named(module))
    {
        if (fresh)
            module_->factoryReset();
        opened_ = line_.open("sim:" + module.toStdString(), false, false);
        setBaud(baud);
    }

    bool ok() const { return opened_; }
    SimLine &line() { return line_; }
    SimModule *module() const { return module_; }
    int baud() const { return baud_; }

    void setBaud(int baud)
    {
        baud_ = baud;
        configure();
    }
    // CTS flow control: a module holding CTS low holds the port's transmitter.
    void setCtsFlow(bool on)
    {
        ctsFlow_ = on;
        configure();
    }

    // Line time of n bytes at the port's speed, in microseconds, rounded up.
    qint64 lineUs(int bytes) const { return (qint64(bytes) * 10 * 1000000 + baud_ - 1) / baud_; }

    // Writes (the write returns when the bytes have left) and waits a little more, for the
    // module to act on them.
    void send(const QByteArray &bytes)
    {
        write(bytes);
        QThread::usleep(lineUs(bytes.size()) + 2000);
    }
    // Returns when the bytes have left, or after timeoutMs (0: no limit) with the count that
    // has.
    int write(const QByteArray &bytes, int timeoutMs = 0)
    {
        return line_.write(reinterpret_cast<const uint8_t *>(bytes.constData()), bytes.size(),
                           timeoutMs);
    }

    void command(char letter, const QByteArray &params = {})
    {
        line_.setRts(true);
        send(QByteArray(1, letter));
        if (!params.isEmpty())
            send(params);
        line_.setRts(false);
    }

    QByteArray dump()
    {
        line_.purge();
        command('R');
        return receive(20);
    }

    // Reads until `want` bytes have come or timeoutMs have passed.
    QByteArray receive(int want, int timeoutMs = 3000)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        uint8_t buf[256];
        while (got.size() < want && t.elapsed() < timeoutMs) {
            const int n = line_.read(buf, std::min<int>(int(sizeof buf), want - got.size()), 20);
            if (n > 0)
                got.append(reinterpret_cast<const char *>(buf), n);
        }
        return got;
    }
    // Everything that arrives within ms.
    QByteArray receiveFor(int ms) { return receive(1 << 20, ms); }

private:
    void configure()
    {
        LineSettings s;
        s.baud = baud_;
        s.ctsFlow = ctsFlow_;
        line_.configure(s);
    }

    SimLine line_;
    SimModule *module_;
    bool opened_ = false;
    int baud_ = 9600;
    bool ctsFlow_ = false;
};

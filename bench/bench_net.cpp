// Network ports: Set Module over rfc2217://localhost to ser2net serving a pseudo-terminal,
// next to the same on the pseudo-terminal itself and to the floor (the fixed waits and the line
// time of every byte), with the round trips measured at the open; and how long a byte written
// into the pseudo-terminal takes to reach the receive handler through ser2net, next to the
// same without it. A thread behind the pseudo-terminal plays the module: the bytes of one Set
// Module get the dump.

#include "bench/Bench.h"
#include "module/RadioModule.h"
#include "serial/NetLine.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "support/PtyPair.h"
#include "support/Ser2net.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <atomic>
#include <chrono>
#include <poll.h>
#include <thread>

namespace {

constexpr int kRuns = 20;
constexpr int kSamples = 200;
// Eight letters with their parameter, "A" with five address bytes, "R".
constexpr int kSetModuleBytes = 8 * 2 + 6 + 1;

QString ms(double v)
{
    return QString::number(v, 'f', 3) + QStringLiteral(" ms");
}

struct Done : ModuleReport {
    bool ended = false, answered = false;
    void moduleLog(const QString &) override {}
    void moduleNotDetected() override {}
    void programmingLine(bool) override {}
    void moduleAsleep(bool) override {}
    void writeRefused(const ModuleRefusal &) override {}
    void configRead(const ModuleConfig &) override {}
    void readEnded(bool a) override
    {
        ended = true;
        answered = a;
    }
};

// The module behind the pseudo-terminal: every Set Module's bytes, ending in "R", get a dump.
class Responder {
public:
    explicit Responder(int master) : master_(master), thread_([this] { run(); }) {}
    ~Responder()
    {
        stop_ = true;
        thread_.join();
    }

private:
    void run()
    {
        QByteArray dump("\x41\x02\x00\x00\xFF\xA0", 6);
        dump += QByteArray(10, char(0xE7)) + QByteArray(4, '\0');
        int count = 0;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                if (++count >= kSetModuleBytes && buf[i] == 'R') {
                    [[maybe_unused]] ssize_t w = ::write(master_, dump.constData(), 20);
                    count = 0;
                }
            }
        }
    }
    int master_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Figures {
    QString error;
    std::vector<double> setModule, latency;
    double rttMin = 0, rttMax = 0;
};

Figures measure(const QString &device, PtyPair &pty)
{
    Figures out;
    PortDirectory::global().setExplicit({{QStringLiteral("COM20"), device}});
    Done report;
    TRadioCom port;
    RadioModule core(port, report);
    using Clock = std::chrono::steady_clock;
    Clock::time_point arrived{};
    port.SetRtsFlowControl(RTSOff);
    port.SetComPort(COM20);
    port.SetBaudRate(br115200);
    port.SetOnReceive([&](int n) {
        if (core.ReadActive) {
            core.TakeDump(n);
            return;
        }
        unsigned char buf[64];
        if (n > 0 && port.ReceiveBuffer(buf, std::min(n, 64)) > 0)
            arrived = Clock::now();
    });
    port.SetComStatus(true);
    if (!port.Connected()) {
        out.error = port.LastOpenError();
        return out;
    }
    if (const auto *net = dynamic_cast<const NetLine *>(port.Line())) {
        out.rttMin = net->shortestRoundTripMs();
        out.rttMax = net->longestRoundTripMs();
    }
    core.ProgramModeOff();
    ModuleConfig c;
    c.address1 = QStringLiteral("E7E7E7E7E7");
    c.addressWidth = 5;
    {
        Responder module(pty.master());
        for (int run = 0; run < kRuns; ++run) {
            report = Done();
            QElapsedTimer clock;
            clock.start();
            core.WriteConfig(c);
            runUntil([&] { return report.ended; }, 2000);
            if (report.answered)
                out.setModule.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    for (int i = 0; i < kSamples; ++i) {
        arrived = {};
        const auto sent = Clock::now();
        pty.write("x");
        runUntil([&] { return arrived != Clock::time_point{}; }, 1000);
        if (arrived != Clock::time_point{})
            out.latency.push_back(
                std::chrono::duration<double, std::milli>(arrived - sent).count());
        runEventLoopFor(2);
    }
    port.SetComStatus(false);
    PortDirectory::global().setExplicit({});
    return out;
}

} // namespace

void benchNet(BenchTable &t)
{
    const QString s = QStringLiteral("net");
    if (Ser2net::program().isEmpty()) {
        t.row(s, QStringLiteral("ser2net"), QStringLiteral("not installed"));
        return;
    }
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly))
        t.row(s, QStringLiteral("load average over the last minute"),
              QString::fromLatin1(loadavg.readAll().split(' ').value(0)));
    PtyPair pty;
    const Figures local = measure(pty.path(), pty);
    Ser2net server(pty.path());
    if (!server.start()) {
        t.row(s, QStringLiteral("ser2net on a free port"), QStringLiteral("failed to start"));
        return;
    }
    const Figures net = measure(QStringLiteral("rfc2217://localhost:%1").arg(server.port()), pty);
    if (!local.error.isEmpty() || !net.error.isEmpty()) {
        t.row(s, QStringLiteral("open"), local.error + net.error);
        return;
    }
    // The fixed waits of one Set Module (8 exchanges of three, the address exchange of seven,
    // the wait before the read-back and the read's two), and the line time of its bytes and
    // the dump at 115200 bit/s.
    const double floor = 4.0 * (8 * 3 + 7 + 1 + 2) + (kSetModuleBytes + 20) * 10 * 1000.0 / 115200;
    const double localMedian = percentile(local.setModule, 50);
    const double netMedian = percentile(net.setModule, 50);
    // One exchange waits for an answer (the read-back); the rest goes one way.
    const double allowed = 1.1 * floor + net.rttMax;
    t.row(s, QStringLiteral("round trip at the open, rfc2217://localhost (ser2net)"),
          QStringLiteral("%1 to %2 ms").arg(net.rttMin, 0, 'f', 3).arg(net.rttMax, 0, 'f', 3));
    t.row(s, QStringLiteral("Set Module, click to read-back, 115200 bit/s, runs answered"),
          QStringLiteral("%1 + %2 of %3")
              .arg(local.setModule.size())
              .arg(net.setModule.size())
              .arg(kRuns),
          QStringLiteral("all"),
          int(local.setModule.size()) == kRuns && int(net.setModule.size()) == kRuns);
    t.row(s, QStringLiteral("  floor: fixed waits + line time of every byte"), ms(floor));
    t.row(s, QStringLiteral("  median on the pseudo-terminal itself"), ms(localMedian));
    t.row(s, QStringLiteral("  median through ser2net"), ms(netMedian),
          QStringLiteral("<= %1").arg(ms(allowed)), netMedian <= allowed);
    t.row(s, QStringLiteral("  99th percentile through ser2net"),
          ms(percentile(net.setModule, 99)));
    t.row(s, QStringLiteral("receive latency, pseudo-terminal itself, median / 99th"),
          QStringLiteral("%1 / %2")
              .arg(percentile(local.latency, 50), 0, 'f', 3)
              .arg(percentile(local.latency, 99), 0, 'f', 3));
    const double latency = percentile(net.latency, 50);
    t.row(s, QStringLiteral("receive latency through ser2net, median"), ms(latency),
          QStringLiteral("< 1 ms"), !net.latency.empty() && latency < 1.0);
    t.row(s, QStringLiteral("receive latency through ser2net, 99th percentile"),
          ms(percentile(net.latency, 99)));
}

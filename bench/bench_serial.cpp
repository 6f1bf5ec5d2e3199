// The serial component on a pseudo-terminal: what the watcher costs while idle, how fast an
// arriving byte reaches OnReceive on the main thread, and how long a close and reopen take.

#include "bench/Bench.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "support/PtyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

struct Station {
    explicit Station(const PtyPair &pty)
    {
        QMap<QString, QString> m = PortDirectory::global().explicitEntries();
        m.insert(QStringLiteral("COM20"), pty.path());
        PortDirectory::global().setExplicit(m);
        c.SetRtsFlowControl(RTSOff);
        c.SetComPort(COM20);
        c.SetComStatus(true);
    }
    TRadioCom c;
};

QString ms(double v)
{
    return QString::number(v, 'f', 3) + QStringLiteral(" ms");
}

} // namespace

void benchSerial(BenchTable &t)
{
    const QString s = QStringLiteral("serial");
    PtyPair pty;
    Station st(pty);
    if (!st.c.Connected()) {
        t.row(s, QStringLiteral("port open on a pseudo-terminal"), QStringLiteral("failed"));
        return;
    }

    // Idle: nothing arriving.
    const int idleMs = 10000;
    double cpu0 = cpuSecondsOfOtherThreads();
    runEventLoopFor(idleMs);
    double pct = (cpuSecondsOfOtherThreads() - cpu0) / (idleMs / 1000.0) * 100.0;
    t.row(s, QStringLiteral("watcher CPU, port open and idle for 10 s"),
          QString::number(pct, 'f', 3) + QStringLiteral(" %"), QStringLiteral("< 0.5 %"),
          pct < 0.5);

    // Idle with a partial packet left unread in the queue.
    int seen = 0;
    st.c.SetOnReceive([&seen](int) { ++seen; });
    pty.write("partial");
    runEventLoopFor(50);
    cpu0 = cpuSecondsOfOtherThreads();
    runEventLoopFor(idleMs);
    pct = (cpuSecondsOfOtherThreads() - cpu0) / (idleMs / 1000.0) * 100.0;
    t.row(s, QStringLiteral("watcher CPU, 7 bytes left unread for 10 s"),
          QString::number(pct, 'f', 3) + QStringLiteral(" %"), QStringLiteral("< 0.5 %"),
          pct < 0.5);
    unsigned char buf[64];
    st.c.ReceiveBuffer(buf, sizeof buf);

    // Latency: byte written on the master to OnReceive running on the main thread.
    std::vector<double> lat;
    Clock::time_point sent;
    bool got = false;
    st.c.SetOnReceive([&](int count) {
        if (count <= 0)
            return;
        st.c.ReceiveBuffer(buf, count);
        lat.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        got = true;
    });
    for (int i = 0; i < 1000; ++i) {
        got = false;
        sent = Clock::now();
        pty.write(QByteArray(1, char(i)));
        QElapsedTimer guard;
        guard.start();
        while (!got && guard.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    t.row(s, QStringLiteral("receive latency, median of 1000 bytes"), ms(percentile(lat, 50)),
          QStringLiteral("< 0.3 ms"), percentile(lat, 50) < 0.3);
    t.row(s, QStringLiteral("receive latency, 99th percentile"), ms(percentile(lat, 99)),
          QStringLiteral("< 2 ms"), percentile(lat, 99) < 2.0);

    // Close and reopen.
    std::vector<double> reopen;
    for (int i = 0; i < 200; ++i) {
        const auto a = Clock::now();
        st.c.SetComStatus(false);
        st.c.SetComStatus(true);
        reopen.push_back(std::chrono::duration<double, std::milli>(Clock::now() - a).count());
    }
    t.row(s, QStringLiteral("close and reopen, median of 200"), ms(percentile(reopen, 50)),
          QStringLiteral("< 5 ms"), percentile(reopen, 50) < 5.0);
}

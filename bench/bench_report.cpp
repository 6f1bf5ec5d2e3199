// The link report (QV_BENCH_REPORT_SECONDS, 600 unless set, for each of the two long runs):
//   - in this process: what the report's look at one received packet costs, numbered and not,
//     and what one refresh of the Link Report window costs with ten minutes of packets in it;
//   - two programs as in the soak, a numbered continuous send from one to the other, once
//     with the receiving program's Link Report window closed and once with it open: the
//     receiving program's CPU each time, and its memory after the first minute.

#include "app/LinkReportForm.h"
#include "app/StampClock.h"
#include "bench/Bench.h"
#include "traffic/LinkReport.h"

#include <QCoreApplication>

#include <ctime>

namespace {

double threadCpuNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

// CPU nanoseconds per call of received() for n 25-byte packets, one a read, numbered one
// after the other or all unnumbered.
double receiveCost(bool numbered, int n)
{
    QByteArray all;
    all.reserve(qsizetype(n) * 25);
    for (int i = 0; i < n; ++i)
        all += numbered ? TestPacket::numbered(i + 1, 25) : TestPacket::plain(25);
    LinkReport r;
    const double t0 = threadCpuNs();
    for (int i = 0; i < n; ++i)
        r.received(QByteArrayView(all).sliced(qsizetype(i) * 25, 25), i * 100);
    return (threadCpuNs() - t0) / n;
}

} // namespace

void benchReport(BenchTable &t)
{
    const QString s = QStringLiteral("report");
    const int seconds = qEnvironmentVariableIsSet("QV_BENCH_REPORT_SECONDS")
                            ? qEnvironmentVariableIntValue("QV_BENCH_REPORT_SECONDS")
                            : 600;

    const int n = 200000;
    t.row(s, QStringLiteral("report's look at a 25-byte packet, unnumbered"),
          QString::number(receiveCost(false, n), 'f', 0) + QStringLiteral(" ns"));
    t.row(s, QStringLiteral("report's look at a 25-byte packet, numbered"),
          QString::number(receiveCost(true, n), 'f', 0) + QStringLiteral(" ns"));

    {
        // Ten minutes of the continuous send with some loss, then the window once a second.
        LinkReport r;
        const qint64 start = StampClock::program().elapsed();
        for (int i = 0; i < 6000; ++i)
            if (i % 50 != 7)
                r.received(TestPacket::numbered(i + 1, 25), start + 100 * i);
        TLinkReportForm w(r);
        w.show();
        QCoreApplication::processEvents();
        const int refreshes = 200;
        const double t0 = threadCpuNs();
        for (int i = 0; i < refreshes; ++i) {
            w.Refresh();
            QCoreApplication::processEvents(); // the repaint
        }
        const double ms = (threadCpuNs() - t0) / refreshes / 1e6;
        t.row(s, QStringLiteral("window refresh and repaint, 6,000 packets in the report"),
              QString::number(ms, 'f', 2) + QStringLiteral(" ms"));
        t.row(s, QStringLiteral("  at its once a second: share of one core"),
              QString::number(ms / 10.0, 'f', 3) + QStringLiteral(" %"), QStringLiteral("< 1 %"),
              ms / 10.0 < 1.0);
    }

    const StationPair closed =
        runStationPair(seconds, QStringLiteral("send-numbered"), QStringLiteral("receive"));
    const StationPair open =
        runStationPair(seconds, QStringLiteral("send-numbered"), QStringLiteral("receive-window"));
    if (!closed.ok || !open.ok) {
        t.row(s, QStringLiteral("two stations ran"), QStringLiteral("failed"), {}, 0);
        return;
    }
    t.row(s, QStringLiteral("numbered continuous send between two programs, each run"),
          QStringLiteral("%1 s").arg(seconds));
    const double cpuClosed = closed.receiver.value("cpu_s") / seconds * 100.0;
    const double cpuOpen = open.receiver.value("cpu_s") / seconds * 100.0;
    t.row(s, QStringLiteral("receiver CPU, window closed"),
          QString::number(cpuClosed, 'f', 2) + QStringLiteral(" %"));
    t.row(s, QStringLiteral("receiver CPU, window open"),
          QString::number(cpuOpen, 'f', 2) + QStringLiteral(" %"));
    t.row(s, QStringLiteral("  the window's share of one core (open - closed)"),
          QString::number(cpuOpen - cpuClosed, 'f', 2) + QStringLiteral(" %"),
          QStringLiteral("< 1 %"), cpuOpen - cpuClosed < 1.0);
    const auto growth = [](const StationPair &p) {
        return p.receiver.value("rss_max") - p.receiver.value("rss_minute");
    };
    t.row(s, QStringLiteral("receiver memory growth after minute 1, window closed"),
          QString::number(growth(closed), 'f', 1) + QStringLiteral(" MiB"));
    t.row(s, QStringLiteral("receiver memory growth after minute 1, window open"),
          QString::number(growth(open), 'f', 1) + QStringLiteral(" MiB"));
    t.row(s, QStringLiteral("  the window's part of it (open - closed)"),
          QString::number(growth(open) - growth(closed), 'f', 1) + QStringLiteral(" MiB"),
          QStringLiteral("< 1 MiB"), growth(open) - growth(closed) < 1.0);
    for (const auto &[run, name] : {std::pair{&closed, "closed"}, std::pair{&open, "open"}}) {
        const double sent = run->sender.value("sent");
        const double numbered = run->receiver.value("numbered");
        const double lost = run->receiver.value("lost");
        t.row(s,
              QStringLiteral("packets sent / counted numbered / lost, window %1")
                  .arg(QLatin1String(name)),
              QStringLiteral("%1 / %2 / %3").arg(sent).arg(numbered).arg(lost),
              QStringLiteral("all, none lost"), sent > 0 && numbered == sent && lost == 0);
    }
}

// Module control against a simulated module at 115200 bit/s: how long "Set Module" takes from
// the click to the "OK" of its read-back, next to its floor (the fixed waits of the command
// steps plus the line time of every command byte, each of which is written and has left
// before its wait begins, and of the dump); and how close the idle gaps between the command
// bytes on the wire come to the CommandDelay asked for.

#include "app/Radio.h"
#include "bench/Bench.h"
#include "serial/Radiocom.h"
#include "sim/SimWorld.h"
#include "support/IsolatedSettings.h"
#include "support/SimStation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <vector>

namespace {

constexpr int kBaud = 115200;
constexpr int kBaudIndex = 4;
constexpr int kRuns = 40;

QString ms(double v)
{
    return QString::number(v, 'f', 3) + QStringLiteral(" ms");
}

// The fixed waits of one Set Module: eight one-byte exchanges of three waits, the address
// exchange of seven, the wait before the read-back and the read request's two.
double waitsMs(int commandDelay)
{
    return double(commandDelay) * (8 * 3 + 7 + 1 + 2);
}

} // namespace

void benchModule(BenchTable &t)
{
    const QString s = QStringLiteral("module");
    // The settings of the runs live in a temporary folder; the program's own stay untouched,
    // also for the sections that start the program after this one.
    struct ConfigHomeKept {
        const QByteArray value = qgetenv("XDG_CONFIG_HOME");
        const bool set = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        ~ConfigHomeKept()
        {
            if (set)
                qputenv("XDG_CONFIG_HOME", value);
            else
                qunsetenv("XDG_CONFIG_HOME");
        }
    } kept;
    // The waits are blocking sleeps: on a machine short of CPU the thread wakes late, and the
    // percentiles show it. The load says how far the figures can be trusted.
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly))
        t.row(s,
              QStringLiteral("load average over the last minute (CPUs: %1)")
                  .arg(QThread::idealThreadCount()),
              QString::fromLatin1(loadavg.readAll().split(' ').value(0)));
    {
        SimWorld::instance()->air().setName({});
        IsolatedSettings settings;
        SimStation station(settings, QStringLiteral("BENCH-MODULE"), kBaudIndex);
        TMainForm &f = station.f();
        if (!f.SerialConnector->Connected() ||
            f.StatusPanel(0) != QStringLiteral("Status: Present")) {
            t.row(s, QStringLiteral("window on sim:BENCH-MODULE"), QStringLiteral("failed"));
            return;
        }
        f.EditAddress1->setText(QStringLiteral("E7E7E7E7E7"));

        std::vector<double> durations, gaps;
        int unanswered = 0;
        for (int run = 0; run < kRuns; ++run) {
            station.module->clearTrace();
            QElapsedTimer clock;
            clock.start();
            f.Button2->click();
            // The receive handler clears the flag when it has decoded the dump and logged "OK".
            while (f.ConfigReadActive && clock.elapsed() < 2000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            if (f.ConfigReadActive) {
                ++unanswered;
                f.ConfigReadActive = false;
                continue;
            }
            durations.push_back(double(clock.nsecsElapsed()) / 1e6);

            // Idle line before each parameter byte: after its letter, or after the previous
            // address byte (stamps are stop-bit ends, so one byte time is the byte's own).
            // Letters come after a lowered line and are not counted.
            const std::vector<SimTraceEntry> sent = station.sent();
            for (size_t i = 1; i < sent.size(); ++i) {
                const bool parameter = (i < 16 && i % 2 == 1) || (i >= 17 && i <= 21);
                if (parameter)
                    gaps.push_back(double(sent[i].time - sent[i - 1].time) / 1e6 -
                                   10 * 1000.0 / kBaud);
            }
        }

        // Eight letters with their parameter, "A" with five, "R"; and the dump.
        const double lineMs = (8 * 2 + 6 + 1 + 20) * 10 * 1000.0 / kBaud;
        const double floor = waitsMs(f.CommandDelay) + lineMs;
        const double median = percentile(durations, 50);
        t.row(s, QStringLiteral("Set Module, click to read-back \"OK\", %1 bit/s").arg(kBaud),
              QString());
        t.row(s, QStringLiteral("  median of %1 runs").arg(kRuns), ms(median));
        t.row(s, QStringLiteral("  99th percentile"), ms(percentile(durations, 99)));
        t.row(s, QStringLiteral("  fastest run"), ms(percentile(durations, 0)));
        t.row(s, QStringLiteral("  floor: fixed waits + line time of every byte"), ms(floor));
        t.row(s, QStringLiteral("  median above the floor"),
              QString::number((median / floor - 1) * 100, 'f', 1) + QStringLiteral(" %"),
              QStringLiteral("< 5 %"), median < floor * 1.05 && unanswered == 0);
        t.row(s, QStringLiteral("  runs without an answer"), QString::number(unanswered),
              QStringLiteral("0"), unanswered == 0);

        const double asked = f.CommandDelay;
        const double gapMedian = percentile(gaps, 50);
        const double gap99 = percentile(gaps, 99);
        t.row(s, QStringLiteral("Idle line before a parameter byte, %1 gaps").arg(gaps.size()),
              QString());
        t.row(s, QStringLiteral("  median"), ms(gapMedian),
              QStringLiteral(">= %1, <= %2 ms").arg(asked).arg(asked * 1.05),
              gapMedian >= asked && gapMedian <= asked * 1.05);
        t.row(s, QStringLiteral("  99th percentile"), ms(gap99),
              QStringLiteral(">= %1, <= %2 ms").arg(asked).arg(asked * 1.25),
              gap99 >= asked && gap99 <= asked * 1.25);
        t.row(s, QStringLiteral("  shortest"), ms(percentile(gaps, 0)),
              QStringLiteral(">= %1 ms").arg(asked), percentile(gaps, 0) >= asked);
    }
}

// qv_bench [section...]: runs the named sections (all when none is named) and prints the
// table of figures.

#include "bench/Bench.h"
#include "traffic/ResponsivePause.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <ctime>
#include <unistd.h>

void benchSerial(BenchTable &t);
void benchApp(BenchTable &t);
void benchSim(BenchTable &t);
void benchModule(BenchTable &t);
void benchTraffic(BenchTable &t);
void benchSoak(BenchTable &t);
void benchFlood(BenchTable &t);
void benchFind(BenchTable &t);
void benchCli(BenchTable &t);
void benchReport(BenchTable &t);
void benchReconnect(BenchTable &t);
void benchNet(BenchTable &t);
void benchSurvey(BenchTable &t);
int runSoakStation(const QString &role, int seconds);

static const BenchEntry kSections[] = {
    {"serial", benchSerial},       {"app", benchApp},         {"sim", benchSim},
    {"module", benchModule},       {"traffic", benchTraffic}, {"soak", benchSoak},
    {"flood", benchFlood},         {"cli", benchCli},         {"report", benchReport},
    {"reconnect", benchReconnect}, {"net", benchNet},         {"find", benchFind},
    {"survey", benchSurvey},
};

double cpuSecondsOfThreads(const std::function<bool(const QString &tid)> &which)
{
    const long ticks = ::sysconf(_SC_CLK_TCK);
    double total = 0;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tasks) {
        if (!which(tid))
            continue;
        QFile f(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = f.readAll();
        const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            total += (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(ticks);
    }
    return total;
}

double cpuSecondsOfOtherThreads()
{
    const QString self = QString::number(::getpid());
    return cpuSecondsOfThreads([&self](const QString &tid) { return tid != self; });
}

// /proc counts in ticks of 10 ms: a tenth of a per cent of ten seconds is one tick.
double cpuSecondsOfProcess()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runUntil(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

double residentMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1
               ? fields.at(1).toDouble() * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0)
               : 0;
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    preciseTimers(); // before any thread starts, so that they all have it
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    if (wanted.size() == 3 && wanted.at(0) == QLatin1String("--station"))
        return runSoakStation(wanted.at(1), wanted.at(2).toInt());
    BenchTable table;
    BenchTable::header();
    for (const BenchEntry &e : kSections)
        if (wanted.isEmpty() || wanted.contains(QLatin1String(e.name)))
            e.run(table);
    return 0;
}

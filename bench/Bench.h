#pragma once

// The benchmark program prints one table: a row per figure, with its target and whether it
// met it. Figures are measured here, never by timed tests.

#include <QMap>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

class BenchTable {
public:
    // target: text shown as the aim ("< 1 ms"); met: -1 unknown, 0 missed, 1 met.
    void row(const QString &section, const QString &figure, const QString &value,
             const QString &target = {}, int met = -1)
    {
        rows_.push_back({section, figure, value, target,
                         met < 0 ? QString()
                         : met   ? QStringLiteral("yes")
                                 : QStringLiteral("NO")});
        std::printf("%-10s | %-58s | %14s | %-12s | %s\n", qPrintable(section), qPrintable(figure),
                    qPrintable(value), qPrintable(target), qPrintable(rows_.back().verdict));
        std::fflush(stdout);
    }
    static void header()
    {
        std::printf("%-10s | %-58s | %14s | %-12s | %s\n", "section", "figure", "value", "target",
                    "met");
        std::printf("%s\n", QString(112, QLatin1Char('-')).toLatin1().constData());
    }

private:
    struct Row {
        QString section, figure, value, target, verdict;
    };
    std::vector<Row> rows_;
};

// Sorted-sample statistics.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5));
    return v[i];
}

// Runs the event loop for ms milliseconds.
void runEventLoopFor(int ms);
// Runs the event loop until done() holds or limitMs pass; false on the limit.
bool runUntil(const std::function<bool()> &done, int limitMs);

// CPU seconds used by this process's threads that which picks by their id (/proc/self/task).
double cpuSecondsOfThreads(const std::function<bool(const QString &tid)> &which);
// CPU seconds used by this process's threads, all but the main one.
double cpuSecondsOfOtherThreads();
// CPU seconds used by the whole process, to the nanosecond.
double cpuSecondsOfProcess();
// Resident memory of the process in MiB.
double residentMiB();

// Two stations, each a program of its own (qv_bench --station ROLE SECONDS, see
// bench_soak.cpp), on an air of their own without loss: what each printed as key=value.
struct StationPair {
    QMap<QString, double> sender, receiver;
    bool ok = false;
};
StationPair runStationPair(int seconds, const QString &senderRole, const QString &receiverRole);

using BenchSection = std::function<void(BenchTable &)>;
struct BenchEntry {
    const char *name;
    BenchSection run;
};

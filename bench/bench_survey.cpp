// The channel survey on two simulated modules at 115200 bit/s: all 128 channels, 50 packets
// of 25 bytes each with a pace of 10 ms, next to its floor (per channel: both channel
// commands' bytes and waits at the same time, then each packet's line time and the pace, then
// the last packet's air and line time), and the CPU it took (the survey's threads and the
// simulated modules', a share of one core). Once on a quiet air and once in an office with
// busy Wi-Fi, where a lost last packet is waited for.

#include "bench/Bench.h"
#include "cli/Survey.h"
#include "sim/SimModule.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

namespace {

// CPU seconds of this process's threads of that name so far.
double cpuSecondsOfThreadsNamed(const QByteArray &name)
{
    return cpuSecondsOfThreads([&name](const QString &tid) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        return comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name;
    });
}

void surveyRun(BenchTable &t, const QString &label, const SimInterference &air)
{
    const QString s = QStringLiteral("survey");
    registerSimulatedModules();
    SimWorld::instance()->air().setName({});
    SimWorld::instance()->air().setInterference(air);
    Survey::Request r;
    for (const char *name : {"BENCH-SURVEY-TX", "BENCH-SURVEY-RX"})
        SimModule::named(QLatin1String(name))->factoryReset(115200);
    r.tx = {QStringLiteral("sim:BENCH-SURVEY-TX"), QStringLiteral("sim:BENCH-SURVEY-TX"), {}, {}};
    r.rx = {QStringLiteral("sim:BENCH-SURVEY-RX"), QStringLiteral("sim:BENCH-SURVEY-RX"), {}, {}};
    r.speedIndex = 4;
    for (int ch = 0; ch < 128; ++ch)
        r.channels << ch;
    r.packets = 50;
    r.paceMs = 10;

    Survey survey(r);
    QEventLoop loop;
    QObject::connect(&survey, &Survey::Finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    const double cpu0 = cpuSecondsOfProcess();
    const double sim0 = cpuSecondsOfThreadsNamed("qv-sim");
    clock.start();
    survey.Start();
    loop.exec();
    const double wallMs = double(clock.nsecsElapsed()) / 1e6;
    // The simulated modules stand in for hardware: their thread's share is told apart.
    const double sim = cpuSecondsOfThreadsNamed("qv-sim") - sim0;
    const double cpu = cpuSecondsOfProcess() - cpu0 - sim;
    SimWorld::instance()->air().setInterference(SimInterference());
    const Survey::Outcome &o = survey.Result();
    if (o.verdict != Survey::Verdict::Done || o.result.rows.size() != 128) {
        t.row(s, label, QStringLiteral("failed: ") + o.reason);
        return;
    }
    const double floor = Survey::FloorMs(r, o.width, o.tx->addressWidth);
    // Wall time from the start to both ports closed: the reads before and after included.
    t.row(s, label + QStringLiteral(": 128 channels x 50 packets"),
          QString::number(wallMs / 1000, 'f', 2) + QStringLiteral(" s"));
    t.row(s, QStringLiteral("  floor"),
          QString::number(floor / 1000, 'f', 2) + QStringLiteral(" s"));
    t.row(s, QStringLiteral("  wall / floor"),
          QString::number(wallMs / floor, 'f', 3) + QStringLiteral(" x"),
          QStringLiteral("<= 1.1 x"), wallMs <= 1.1 * floor);
    t.row(s, QStringLiteral("  CPU of the survey, share of one core"),
          QString::number(cpu / (wallMs / 1000) * 100, 'f', 2) + QStringLiteral(" %"),
          QStringLiteral("< 5 %"), cpu / (wallMs / 1000) < 0.05);
    t.row(s, QStringLiteral("  CPU of the simulated modules' thread"),
          QString::number(sim / (wallMs / 1000) * 100, 'f', 2) + QStringLiteral(" %"));
}

} // namespace

void benchSurvey(BenchTable &t)
{
    surveyRun(t, QStringLiteral("quiet air"), SimInterference());
    surveyRun(t, QStringLiteral("busy Wi-Fi 1, 6, 11"), SimInterference::wifi());
}

// quorvane-cli as the production line runs it: one "write PROFILE" process against a
// simulated module at 115200 bit/s, whole process from start to exit, next to the Set Module
// floor (the fixed waits plus the line time of the request and the dump) and the programmer's
// own start-up; twenty simulated modules programmed in a row by a shell loop; sixteen written
// with one command next to one alone, at 115200 and at 9600 bit/s; and a station's CPU while
// it waits with sixteen adapters plugged and done.

#include "bench/Bench.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <vector>

#include <unistd.h>

namespace {

constexpr int kRuns = 10;
constexpr int kModules = 20;

const QByteArray kProfile = "[Module]\nChannel=40\nPower=0 dBm\nDataRate=1 Mbps\n"
                            "AddressWidth=5\nAddress1=A1B2C3D4E5\nAddress2=C2C2C2C2C2\n"
                            "Data1RX=8\nData2RX=0\nData1TX=8\nData2TX=0\nCRC=16 bits\n"
                            "ShockBurst=On\nDualChannel=Off\n";

QString ms(double v)
{
    return QString::number(v, 'f', 1) + QStringLiteral(" ms");
}

// Milliseconds from the start of the process to its end; -1 when it failed.
double timed(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

constexpr int kTray = 16;
constexpr int kTrayRuns = 5;

// CPU seconds a process has used so far, from /proc (ticks of 10 ms); -1 when it is gone.
double cpuSecondsOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// Sixteen modules written with one command, next to one of them alone: medians of a few runs.
void tray(BenchTable &t, const QString &cli, const QString &profile, const QProcessEnvironment &env,
          const QString &prefix, int baud)
{
    const QString s = QStringLiteral("cli");
    const QString rate = QString::number(baud);
    QStringList all{"--baud", rate, "--quiet"};
    for (int i = 1; i <= kTray; ++i) {
        const QString port = QStringLiteral("sim:%1-%2").arg(prefix).arg(i);
        all << "--port" << port;
        // The modules keep their speed between runs; they power on at 9600.
        if (baud != 9600 &&
            timed(cli, {"--port", port, "--baud", "9600", "--quiet", "speed", rate}, env) < 0) {
            t.row(s, QStringLiteral("speed %1 on %2").arg(rate, port), QStringLiteral("failed"));
            return;
        }
    }
    all << "write" << profile;
    const QStringList one{
        "--port", QStringLiteral("sim:%1-1").arg(prefix), "--baud", rate, "--quiet", "write",
        profile};
    std::vector<double> alone, together;
    for (int run = 0; run < kTrayRuns; ++run) {
        alone.push_back(timed(cli, one, env));
        together.push_back(timed(cli, all, env));
    }
    const bool failed = percentile(alone, 0) < 0 || percentile(together, 0) < 0;
    const double a = percentile(alone, 50), m = percentile(together, 50);
    t.row(s, QStringLiteral("%1 modules with one command, sim at %2 bit/s").arg(kTray).arg(baud),
          failed ? QStringLiteral("failed") : ms(m));
    t.row(s, QStringLiteral("  one module alone (median of %1)").arg(kTrayRuns), ms(a));
    t.row(s, QStringLiteral("  %1 at once / one alone").arg(kTray),
          QString::number(m / a, 'f', 2) + QStringLiteral(" x"), QStringLiteral("<= 1.3 x"),
          !failed && m <= 1.3 * a);
}

// A station with sixteen adapters plugged in and programmed, then left waiting.
void stationIdle(BenchTable &t, const QString &cli, const QString &profile,
                 const QProcessEnvironment &env, const QString &home)
{
    const QString s = QStringLiteral("cli");
    const QString rack = QDir(home).filePath(QStringLiteral("rack"));
    QDir().mkpath(rack);
    for (int i = 1; i <= kTray; ++i)
        QFile::link(QStringLiteral("sim:IDLE-%1").arg(i),
                    QStringLiteral("%1/slot%2").arg(rack).arg(i));
    QProcess station;
    station.setProcessEnvironment(env);
    station.start(cli, {"--baud", "9600", "station", profile, "--devices", rack});
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.count("PASS ") < kTray && clock.elapsed() < 30000) {
        station.waitForReadyRead(1000);
        out += station.readAllStandardOutput();
    }
    if (out.count("PASS ") < kTray) {
        t.row(s, QStringLiteral("station, %1 adapters programmed").arg(kTray),
              QStringLiteral("failed"));
        station.kill();
        station.waitForFinished();
        return;
    }
    t.row(s, QStringLiteral("station: %1 adapters plugged in, all programmed").arg(kTray),
          ms(double(clock.elapsed())));
    QThread::msleep(1000); // the threads of the modules end
    constexpr int kIdleSeconds = 20;
    const double before = cpuSecondsOf(station.processId());
    QThread::sleep(kIdleSeconds);
    const double after = cpuSecondsOf(station.processId());
    const double share = (after - before) / kIdleSeconds * 100.0;
    t.row(s, QStringLiteral("  idle afterwards, %1 s, CPU of one core").arg(kIdleSeconds),
          before < 0 || after < 0 ? QStringLiteral("failed")
                                  : QString::number(share, 'f', 3) + QStringLiteral(" %"),
          QStringLiteral("< 0.1 %"), before >= 0 && after >= 0 && share < 0.1);
    station.terminate();
    station.waitForFinished(10000);
}

} // namespace

void benchCli(BenchTable &t)
{
    const QString s = QStringLiteral("cli");
    const QString cli = QStringLiteral(QV_CLI_PATH);
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    const QString profile = home.filePath(QStringLiteral("line.ini"));
    QFile f(profile);
    if (!f.open(QIODevice::WriteOnly) || f.write(kProfile) != kProfile.size()) {
        t.row(s, QStringLiteral("profile file"), QStringLiteral("failed"));
        return;
    }
    f.close();

    // The module keeps its speed between runs, as the programmer's runs need.
    if (timed(cli, {"--port", "sim:BENCH-CLI", "--baud", "9600", "--quiet", "speed", "115200"},
              env) < 0) {
        t.row(s, QStringLiteral("speed 115200 on sim:BENCH-CLI"), QStringLiteral("failed"));
        return;
    }
    std::vector<double> startups, writes;
    for (int run = 0; run < kRuns; ++run) {
        startups.push_back(timed(cli, {"--version"}, env));
        writes.push_back(
            timed(cli, {"--port", "sim:BENCH-CLI", "--baud", "115200", "--quiet", "write", profile},
                  env));
    }
    const bool failed = percentile(writes, 0) < 0 || percentile(startups, 0) < 0;
    const double startup = percentile(startups, 50);
    // Eight one-byte exchanges of three waits, the address exchange of seven, the wait before
    // the read-back and the read request's two; then "R" and the dump on the line.
    const double floor = 4.0 * (8 * 3 + 7 + 1 + 2) + (1 + 20) * 10 * 1000.0 / 115200;
    const double median = percentile(writes, 50);
    t.row(s, QStringLiteral("write PROFILE, whole process, sim at 115200 bit/s"), QString());
    t.row(s, QStringLiteral("  median of %1 runs").arg(kRuns),
          failed ? QStringLiteral("failed") : ms(median));
    t.row(s, QStringLiteral("  slowest run"), ms(percentile(writes, 100)));
    t.row(s, QStringLiteral("  start-up (--version, median)"), ms(startup));
    t.row(s, QStringLiteral("  Set Module floor"), ms(floor));
    t.row(s, QStringLiteral("  median / (floor + start-up)"),
          QString::number(median / (floor + startup), 'f', 2) + QStringLiteral(" x"),
          QStringLiteral("<= 1.2 x"), !failed && median <= 1.2 * (floor + startup));

    // Fresh modules power on at 9600 bit/s, the programmer's speed without settings.
    const QString loop =
        QStringLiteral("for i in $(seq %1); do \"$0\" --port sim:LINE-$i --quiet write \"$1\" "
                       ">/dev/null || exit 1; done")
            .arg(kModules);
    const double total = timed(QStringLiteral("/bin/sh"), {"-c", loop, cli, profile}, env);
    t.row(s, QStringLiteral("%1 modules in a row (shell loop, 9600 bit/s)").arg(kModules),
          total < 0 ? QStringLiteral("failed") : ms(total));
    t.row(s, QStringLiteral("  per module"), total < 0 ? QString() : ms(total / kModules));

    tray(t, cli, profile, env, QStringLiteral("TRAY-FAST"), 115200);
    tray(t, cli, profile, env, QStringLiteral("TRAY-SLOW"), 9600);
    stationIdle(t, cli, profile, env, home.path());
}

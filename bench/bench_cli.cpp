// quorvane-cli as the production line runs it: one "write PROFILE" process against a
// simulated module at 115200 bit/s, whole process from start to exit, next to the Set Module
// floor (the fixed waits plus the line time of the request and the dump) and the programmer's
// own start-up; and twenty simulated modules programmed in a row by a shell loop.

#include "bench/Bench.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <vector>

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
}

// The soak: two consoles, each a program of its own on its own simulated module, on one
// simulated air without loss. One runs the continuous send for a long time (QV_BENCH_SOAK_SECONDS,
// 1800 unless set), the other counts. Reported per program: resident memory growth, CPU share
// of one core; and packets received against packets sent.
//
// The bench starts itself twice in "station" mode (qv_bench --station ROLE SECONDS);
// each station is a main window as the program builds it, shown (so that it resets the module
// and reads its configuration) and driven through its buttons. Roles: "send" and "receive";
// "send-numbered" ticks "Numbered" first, "receive-window" opens the Link Report window.

#include "app/Radio.h"
#include "bench/Bench.h"
#include "sim/SimModule.h"
#include "sim/SimulatedModules.h"
#include "traffic/LinkReport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QMap<QString, double> parseReport(const QByteArray &out)
{
    QMap<QString, double> m;
    for (const QByteArray &line : out.split('\n'))
        for (const QByteArray &field : line.split(' ')) {
            const qsizetype eq = field.indexOf('=');
            if (eq > 0)
                m.insert(QString::fromLatin1(field.left(eq)), field.mid(eq + 1).toDouble());
        }
    return m;
}

} // namespace

// One station of the soak, in a process of its own.
int runSoakStation(const QString &role, int seconds)
{
    registerSimulatedModules();
    const bool sender = role.startsWith(QLatin1String("send"));
    const QString module = sender ? QStringLiteral("A") : QStringLiteral("B");
    {
        QFile ini(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Quorvane.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write(
            QStringLiteral("[Port]\nCOM=0\nBaud=0\n[Devices]\nCOM1=sim:%1\n").arg(module).toUtf8());
    }
    TMainForm form;
    MainForm = &form;
    form.show(); // Reset and Read Config: the controls take the module's payload widths
    form.Report->setNumbered(role == QLatin1String("send-numbered"));
    if (role == QLatin1String("receive-window"))
        form.LinkReport1->trigger();
    runFor(3000);

    const double rssStart = residentMiB();
    const double cpuStart = cpuSecondsOfProcess();
    double rssMax = rssStart;
    double rssMinute = 0; // after the first minute
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&rssMax] { rssMax = std::max(rssMax, residentMiB()); });
    sampler.start(5000);
    QTimer::singleShot(60000, &form, [&rssMinute] { rssMinute = residentMiB(); });

    if (sender) {
        QTimer::singleShot(seconds * 1000, &form, [&form] { form.Button9->click(); });
        QTimer::singleShot(0, &form, [&form] { form.Button4->click(); });
        // The click above runs the continuous send's loop until Stop; then a grace period
        // for the last packet to land at the other station.
        runFor(seconds * 1000 + 100);
        runFor(3000);
    } else {
        runFor(seconds * 1000 + 6000);
    }
    sampler.stop();
    rssMax = std::max(rssMax, residentMiB());
    SimModule *m = SimModule::named(module);
    std::printf("rss_start=%.2f rss_minute=%.2f rss_end=%.2f rss_max=%.2f cpu_s=%.3f sent=%llu "
                "heard=%llu count=%.0f numbered=%lld lost=%lld\n",
                rssStart, rssMinute, residentMiB(), rssMax, cpuSecondsOfProcess() - cpuStart,
                static_cast<unsigned long long>(m->packetsSent()),
                static_cast<unsigned long long>(m->packetsHeard()), double(form.RecCount),
                static_cast<long long>(form.Report->numberedCount()),
                static_cast<long long>(form.Report->lost()));
    std::fflush(stdout);
    MainForm = nullptr;
    return 0;
}

StationPair runStationPair(int seconds, const QString &senderRole, const QString &receiverRole)
{
    QTemporaryDir sendHome, receiveHome;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QV_TEST")); // the two programs must meet on the air
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QV_SIM_AIR"),
               QStringLiteral("soak-%1-%2").arg(::getpid()).arg(receiverRole));
    env.insert(QStringLiteral("QV_SIM_LOSS"), QStringLiteral("0"));
    const QString self = QCoreApplication::applicationFilePath();

    auto start = [&](QProcess &p, const QString &role, const QString &home) {
        QProcessEnvironment e = env;
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
        p.setProcessEnvironment(e);
        p.start(self, {QStringLiteral("--station"), role, QString::number(seconds)});
        p.waitForStarted();
    };
    QProcess receiver, sender;
    start(receiver, receiverRole, receiveHome.path());
    start(sender, senderRole, sendHome.path());
    const int limit = (seconds + 60) * 1000;
    sender.waitForFinished(limit);
    receiver.waitForFinished(limit);
    StationPair pair{parseReport(sender.readAllStandardOutput()),
                     parseReport(receiver.readAllStandardOutput())};
    pair.ok = pair.sender.contains(QStringLiteral("sent")) &&
              pair.receiver.contains(QStringLiteral("heard"));
    return pair;
}

void benchSoak(BenchTable &t)
{
    const QString s = QStringLiteral("soak");
    const int seconds = qEnvironmentVariableIsSet("QV_BENCH_SOAK_SECONDS")
                            ? qEnvironmentVariableIntValue("QV_BENCH_SOAK_SECONDS")
                            : 1800;
    const StationPair run =
        runStationPair(seconds, QStringLiteral("send"), QStringLiteral("receive"));
    if (!run.ok) {
        t.row(s, QStringLiteral("two stations ran"), QStringLiteral("failed"), {}, 0);
        return;
    }
    const QMap<QString, double> &a = run.sender;
    const QMap<QString, double> &b = run.receiver;
    const QString span = QStringLiteral("%1 s").arg(seconds);
    t.row(s, QStringLiteral("continuous send between two programs"), span);
    const double growA = a.value("rss_max") - a.value("rss_start");
    const double growB = b.value("rss_max") - b.value("rss_start");
    t.row(s, QStringLiteral("sender: resident memory growth (max over start)"),
          QString::number(growA, 'f', 1) + QStringLiteral(" MiB"), QStringLiteral("< 20 MB"),
          growA < 19.07);
    t.row(s, QStringLiteral("receiver: resident memory growth (max over start)"),
          QString::number(growB, 'f', 1) + QStringLiteral(" MiB"), QStringLiteral("< 20 MB"),
          growB < 19.07);
    const double cpuA = a.value("cpu_s") / seconds * 100.0;
    const double cpuB = b.value("cpu_s") / seconds * 100.0;
    t.row(s, QStringLiteral("sender: CPU, share of one core"),
          QString::number(cpuA, 'f', 2) + QStringLiteral(" %"), QStringLiteral("< 2 %"),
          cpuA < 2.0);
    t.row(s, QStringLiteral("receiver: CPU, share of one core"),
          QString::number(cpuB, 'f', 2) + QStringLiteral(" %"), QStringLiteral("< 3 %"),
          cpuB < 3.0);
    const double sent = a.value("sent"), heard = b.value("heard"), counted = b.value("count");
    t.row(s, QStringLiteral("packets sent / heard by the module / counted by the window"),
          QStringLiteral("%1 / %2 / %3").arg(sent).arg(heard).arg(counted),
          QStringLiteral("all equal"), sent > 0 && sent == heard && heard == counted);
}

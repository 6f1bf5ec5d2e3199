// The program itself: how long from process start to the main window's first painted frame,
// and how much resident memory it holds then. Each run is a fresh process started with
// QV_EXIT_AFTER_SHOW=1 (it reports both figures and ends), with its settings file in a
// temporary folder that maps COM1 to a pseudo-terminal, so every start opens a real tty.
// Then the text panes: appending must cost the same however many lines a pane holds.

#include "app/Memo.h"
#include "bench/Bench.h"
#include "support/PtyPair.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <vector>

void benchPanes(BenchTable &t);

void benchApp(BenchTable &t)
{
    const QString s = QStringLiteral("app");
    QTemporaryDir config;
    PtyPair pty;
    QFile ini(config.filePath(QStringLiteral("Quorvane.ini")));
    if (!ini.open(QIODevice::WriteOnly)) {
        t.row(s, QStringLiteral("settings file for the runs"), QStringLiteral("failed"));
        return;
    }
    ini.write(
        QStringLiteral("[Port]\nCOM=0\nBaud=2\n[Devices]\nCOM1=%1\n").arg(pty.path()).toUtf8());
    ini.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QV_EXIT_AFTER_SHOW"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());

    const QRegularExpression report(QStringLiteral("startup_ms=([0-9.]+) rss_mib=([0-9.]+)"));
    std::vector<double> selfMs, spawnMs, rss;
    const int runs = 15;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::SeparateChannels);
        QElapsedTimer clock;
        clock.start();
        p.start(QStringLiteral(QV_APP_PATH), {});
        QByteArray out;
        double seen = -1;
        while (p.waitForReadyRead(5000)) {
            out += p.readAllStandardOutput();
            if (out.contains('\n')) {
                seen = double(clock.nsecsElapsed()) / 1e6;
                break;
            }
        }
        p.waitForFinished(5000);
        const auto m = report.match(QString::fromUtf8(out));
        if (!m.hasMatch() || seen < 0)
            continue;
        selfMs.push_back(m.captured(1).toDouble());
        rss.push_back(m.captured(2).toDouble());
        spawnMs.push_back(seen);
    }
    if (selfMs.empty()) {
        t.row(s, QStringLiteral("program start with QV_EXIT_AFTER_SHOW"), QStringLiteral("failed"));
        return;
    }
    const auto ms = [](double v) { return QString::number(v, 'f', 1) + QStringLiteral(" ms"); };
    const double startMedian = percentile(selfMs, 50);
    t.row(s,
          QStringLiteral("start to first painted frame (10 ms ticks), median of %1")
              .arg(selfMs.size()),
          ms(startMedian), QStringLiteral("< 300 ms"), startMedian < 300);
    t.row(s, QStringLiteral("same, worst run"), ms(percentile(selfMs, 100)));
    t.row(s, QStringLiteral("spawn to the report read back, median"), ms(percentile(spawnMs, 50)));
    const double rssMedian = percentile(rss, 50);
    t.row(s, QStringLiteral("resident memory after start-up, median"),
          QString::number(rssMedian, 'f', 1) + QStringLiteral(" MiB"), QStringLiteral("< 80 MB"),
          rssMedian * 1.048576 < 80);
    benchPanes(t);
}

void benchPanes(BenchTable &t)
{
    const QString s = QStringLiteral("app");
    TMemo pane;
    pane.resize(340, 380);
    pane.show();
    QApplication::processEvents();
    const int lines = 100000;
    const int slice = 10000;
    std::vector<double> sliceMs;
    QElapsedTimer all;
    all.start();
    QElapsedTimer part;
    part.start();
    for (int i = 1; i <= lines; ++i) {
        pane.AddLine(
            QStringLiteral("abcdefghijklmnopqrstuvwzxyz1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        if (i % slice == 0) {
            QApplication::processEvents(); // let the pane lay out and paint as it would
            sliceMs.push_back(double(part.nsecsElapsed()) / 1e6);
            part.restart();
        }
    }
    const double total = double(all.nsecsElapsed()) / 1e6;
    t.row(s, QStringLiteral("text pane: 100,000 lines appended"),
          QString::number(total, 'f', 0) + QStringLiteral(" ms"), QStringLiteral("< 2000 ms"),
          total < 2000);
    // A pane keeps its last 10,000 lines: from the second slice on, every line added lets
    // the oldest go. Slices past the bound are compared with each other; the first only
    // fills the pane.
    const double growth = sliceMs.back() / sliceMs.at(1);
    t.row(s, QStringLiteral("text pane full: last 10,000 lines against the second"),
          QString::number(growth, 'f', 2) + QStringLiteral(" x"), QStringLiteral("< 2 x"),
          growth < 2);
    t.row(s, QStringLiteral("text pane: first 10,000 lines against the last"),
          QString::number(sliceMs.front() / sliceMs.back(), 'f', 2) + QStringLiteral(" x"));
}

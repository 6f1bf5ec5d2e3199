// Traffic between two stations: two main windows on simulated modules A and B in this
// process, on an air of their own.
//   - File sending at 115200 and at 9600 bit/s with W = 25, against the floor the sender
//     cannot beat: each packet's line time and its 10 ms pause (a write ends when its bytes
//     have left), and the last packet's line time at B before B can show it.
//   - A 100,000-line file: reading and splitting it, and echoing its lines into the "Sent"
//     pane one at a time as the sender does (an append, then the windows run).
//   - Fifty megabytes (fifty-byte lines, and nothing but line breaks): reading and counting,
//     the start, the heap held against the file's size, the largest gap of the windows while
//     it goes out, and how soon "&Abort" ends it; and the echo of a one-megabyte line.
//   - The continuous send for a while (QV_BENCH_CONTSEND_SECONDS, 600 unless set): resident
//     memory of the process, which holds both stations, and packets received against sent.

#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/Writing.h"
#include "bench/Bench.h"
#include "serial/Radiocom.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"
#include "support/GapMeter.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "traffic/Stations.h"
#include "traffic/TextFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 25;
constexpr int kBaud = 115200;

QString ms(double v, int decimals = 1)
{
    return QString::number(v, 'f', decimals) + QStringLiteral(" ms");
}

double lineTimeMs(qsizetype bytes, int baud = kBaud)
{
    return double(bytes) * 10.0 * 1000.0 / baud;
}

// Bytes the allocator has handed out and not had back, small blocks and mapped ones.
double heapInUseKiB()
{
    const struct mallinfo2 m = ::mallinfo2();
    return double(m.uordblks + m.hblkhd) / 1024.0;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

void fileThroughput(BenchTable &t, const IsolatedSettings &settings, const QTemporaryDir &dir,
                    int baudIndex, int baud)
{
    const QString s = QStringLiteral("traffic");
    // 150 lines of 10 to 70 characters: one to three packets each, most with filler.
    QByteArray file;
    QByteArray wire; // what must reach B's port
    qsizetype packets = 0;
    for (int i = 0; i < 150; ++i) {
        const QByteArray line = QByteArray("line ") + QByteArray::number(i) + ' ' +
                                QByteArray(5 + (i * 7) % 60, char('a' + i % 26));
        file += line + '\n';
        const QByteArray out = TextFile::fileLine(line);
        const int n = TextFile::packetCount(out.size(), kWidth);
        packets += n;
        for (int k = 0; k < n; ++k)
            wire += TextFile::packet(out, kWidth, k);
    }
    const QString path = dir.filePath(QStringLiteral("throughput.txt"));
    if (!writeFile(path, file)) {
        t.row(s, QStringLiteral("file for the throughput run"), QStringLiteral("failed"));
        return;
    }
    // What a blocking 10 ms pause really takes on this machine now: the sender's true floor.
    std::vector<double> pauses;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer p;
        p.start();
        QThread::msleep(10);
        pauses.push_back(double(p.nsecsElapsed()) / 1e6);
    }
    double pauseMean = 0;
    for (const double p : pauses)
        pauseMean += p / double(pauses.size());

    // Both windows on screen, as an operator has them. Their first show reads each module's
    // configuration; the answers are in before the file starts.
    TwoStations link(settings, QStringLiteral("BT"), kWidth, baudIndex);
    link.a->show();
    link.b->show();
    runUntil([&] { return !link.a->ConfigReadActive && !link.b->ConfigReadActive; }, 2000);
    link.a.module->clearTrace();
    link.b.module->clearTrace();

    // Measured at the receiving end: when the last byte has reached B's port. (B's window
    // runs on this same thread, so what its pane shows when is this process's business, not
    // the link's.)
    const SimNs start = simNow();
    link.a->SendTextFile(path);
    const double senderMs = double(simNow() - start) / 1e6;
    const bool complete =
        runUntil([&] { return link.b.dataReceived().size() >= wire.size(); }, 10000);
    const std::vector<SimTraceEntry> atB = link.b.module->trace();
    const double totalMs = atB.empty() ? 0 : double(atB.back().time - start) / 1e6;
    const bool whole = link.b.dataReceived() == wire;

    const double packetMs = lineTimeMs(kWidth, baud);
    const double floorMs = double(packets) * (packetMs + 10.0) + packetMs;
    const double bytes = double(packets) * kWidth;
    t.row(
        s,
        QStringLiteral("file, %1 lines in %2 packets of 25 at %3").arg(150).arg(packets).arg(baud),
        QString());
    t.row(s, QStringLiteral("  floor: line time + 10 ms a packet, + last at B"), ms(floorMs));
    t.row(s, QStringLiteral("  a 10 ms pause as slept here, mean of 50"), ms(pauseMean, 2));
    t.row(s, QStringLiteral("  sender busy"), ms(senderMs));
    t.row(s, QStringLiteral("  sender's own time a packet beyond line time and pause"),
          ms((senderMs - double(packets) * (pauseMean + packetMs)) / double(packets), 2));
    t.row(s, QStringLiteral("  until the last byte has reached B's port"), ms(totalMs));
    t.row(s, QStringLiteral("  payload throughput (bytes of packets)"),
          QString::number(bytes / totalMs * 1000.0, 'f', 0) + QStringLiteral(" B/s"));
    t.row(s, QStringLiteral("  throughput against the floor's"),
          QString::number(floorMs / totalMs * 100.0, 'f', 1) + QStringLiteral(" %"),
          QStringLiteral(">= 97 %"), complete && whole && floorMs / totalMs >= 0.97);
    t.row(s, QStringLiteral("  every byte reached B, in order"),
          whole ? QStringLiteral("yes") : QStringLiteral("no"), QStringLiteral("yes"), whole);
}

void bigFile(BenchTable &t, const IsolatedSettings &settings, const QTemporaryDir &dir)
{
    const QString s = QStringLiteral("traffic");
    const auto makeFile = [&](int lines, const QString &name) {
        QByteArray text;
        text.reserve(qsizetype(lines) * 48);
        for (int i = 0; i < lines; ++i)
            text += "line " + QByteArray::number(i) + " of a long text file, CR LF\r\n";
        const QString path = dir.filePath(name);
        return writeFile(path, text) ? path : QString();
    };
    const QString big = makeFile(100000, QStringLiteral("100k.txt"));
    if (big.isEmpty()) {
        t.row(s, QStringLiteral("file of 100,000 lines"), QStringLiteral("failed"));
        return;
    }
    std::vector<double> runs;
    qsizetype bigLines = 0;
    for (int r = 0; r < 5; ++r) {
        QElapsedTimer c;
        c.start();
        bigLines = TextFile::splitLines(TextFile::readAll(big)).size();
        runs.push_back(double(c.nsecsElapsed()) / 1e6);
    }
    const double bigMs = percentile(runs, 50);
    t.row(s, QStringLiteral("read and split 100,000 lines (median of 5)"), ms(bigMs),
          QStringLiteral("< 500 ms"), bigLines == 100000 && bigMs < 500);
    t.row(s, QStringLiteral("  per line"),
          QString::number(bigMs * 1000.0 / double(bigLines), 'f', 2) + QStringLiteral(" us"));

    // The echo as the sender does it: one line into "Sent", then the windows run once.
    TwoStations link(settings, QStringLiteral("BE"), kWidth);
    link.a->show();
    QCoreApplication::processEvents();
    const QList<QByteArray> lines = TextFile::splitLines(TextFile::readAll(big));
    // Slices of 1,000 lines; on a shared machine the quietest slice of each end of the file
    // tells the cost of an echo, the others tell about the neighbours.
    const int slice = 1000;
    std::vector<double> sliceUs;
    QElapsedTimer c;
    c.start();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        link.a->SentMemo->AddLine(QString::fromLatin1(lines.at(i)));
        QCoreApplication::processEvents();
        if ((i + 1) % slice == 0) {
            sliceUs.push_back(double(c.nsecsElapsed()) / 1e3 / slice);
            c.restart();
        }
    }
    const size_t ends = sliceUs.size() / 5; // 20,000 lines at each end
    const double first = *std::min_element(sliceUs.begin(), sliceUs.begin() + ends);
    const double last = *std::min_element(sliceUs.end() - ends, sliceUs.end());
    t.row(s, QStringLiteral("echo into Sent, a line, lines 1-20,000, quietest slice"),
          QString::number(first, 'f', 1) + QStringLiteral(" us"));
    t.row(s, QStringLiteral("echo into Sent, a line, lines 80,001-100,000, quietest"),
          QString::number(last, 'f', 1) + QStringLiteral(" us"));
    t.row(s, QStringLiteral("echo into Sent, a line, median of the 100 slices"),
          QString::number(percentile(sliceUs, 50), 'f', 1) + QStringLiteral(" us"));
    const double growth = last / first;
    t.row(s, QStringLiteral("  end of the file against its start"),
          QString::number(growth, 'f', 2) + QStringLiteral(" x"), QStringLiteral("< 1.5 x"),
          growth < 1.5);
    // The echo runs inside the pause after a line's last packet: it must fit well within it.
    const double worst = *std::max_element(sliceUs.begin(), sliceUs.end());
    t.row(s, QStringLiteral("  worst slice against the 10 ms pause it runs in"),
          QString::number(worst / 100.0, 'f', 1) + QStringLiteral(" %"), QStringLiteral("< 50 %"),
          worst < 5000);
}

void hugeFile(BenchTable &t, const IsolatedSettings &settings, const QTemporaryDir &dir)
{
    const QString s = QStringLiteral("traffic");
    struct Kind {
        const char *name;
        QByteArray line;
    };
    const Kind kinds[] = {
        {"50 MB of fifty-byte lines", "a line of a big file, fifty bytes with its break\n"},
        {"50 MB of line breaks", "\n"}};
    for (const Kind &k : kinds) {
        const QString path = dir.filePath(QStringLiteral("50MB.txt"));
        const qsizetype lines = (qsizetype(50) << 20) / k.line.size();
        if (!writeFile(path, k.line.repeated(lines))) {
            t.row(s, QString::fromLatin1(k.name), QStringLiteral("failed"));
            continue;
        }
        const double fileMB = double(lines * k.line.size()) / 1e6;
        QElapsedTimer c;
        double readMs = 0, countMs = 0;
        qsizetype counted = 0;
        {
            c.start();
            const QByteArray text = TextFile::readAll(path);
            readMs = double(c.nsecsElapsed()) / 1e6;
            c.restart();
            counted = TextFile::lineCount(text);
            countMs = double(c.nsecsElapsed()) / 1e6;
        }

        TwoStations link(settings, QStringLiteral("BH"), kWidth);
        link.a->show();
        link.b->show();
        QCoreApplication::processEvents();
        GapMeter gaps;
        double startMs = -1, heldMB = 0;
        QElapsedTimer sinceAbort;
        const double heapBefore = heapInUseKiB();
        QTimer watch;
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (startMs < 0 && link.a->SentMemo->Lines().size() > 1) {
                startMs = double(c.nsecsElapsed()) / 1e6;
                heldMB = (heapInUseKiB() - heapBefore) * 1024.0 / 1e6;
                gaps.start();
            }
            if (startMs >= 0 && link.a->SentMemo->Lines().size() > 200 && !sinceAbort.isValid()) {
                gaps.stop();
                sinceAbort.start();
                WritingForm->Button1->click();
                watch.stop();
            }
        });
        watch.start();
        c.restart();
        link.a->SendTextFile(path);
        const double abortMs = sinceAbort.isValid() ? double(sinceAbort.nsecsElapsed()) / 1e6 : -1;
        watch.stop();

        t.row(s, QStringLiteral("%1: read, count lines").arg(QLatin1String(k.name)),
              QStringLiteral("%1 + %2").arg(ms(readMs, 0), ms(countMs, 0)),
              QStringLiteral("< 1000 ms"), counted == lines && readMs + countMs < 1000);
        t.row(s, QStringLiteral("  from Send File to the first line's echo"), ms(startMs, 0),
              QStringLiteral("< 1000 ms"), startMs >= 0 && startMs < 1000);
        t.row(s, QStringLiteral("  heap held while it goes out, against the file"),
              QStringLiteral("%1 / %2 MB").arg(heldMB, 0, 'f', 1).arg(fileMB, 0, 'f', 1),
              QStringLiteral("< 1.25 x"), heldMB < 1.25 * fileMB);
        t.row(s, QStringLiteral("  largest gap of the windows over 200 lines"),
              ms(gaps.largestMs()), QStringLiteral("< 100 ms"), gaps.largestMs() < 100);
        t.row(s, QStringLiteral("  from \"&Abort\" to the transfer's end"), ms(abortMs),
              QStringLiteral("< 100 ms"), abortMs >= 0 && abortMs < 100);
        QFile::remove(path);
    }

    // The echo of a line of a megabyte, with the window on screen: it used to be laid out as
    // one line of the pane.
    TwoStations link(settings, QStringLiteral("BM"), kWidth);
    link.a->show();
    QCoreApplication::processEvents();
    QString big;
    for (int i = 0; big.size() < (1 << 20); ++i)
        big += QLatin1Char(char('a' + i % 26));
    QElapsedTimer c;
    c.start();
    link.a->SentMemo->AddLine(big);
    link.a->SentMemo->Lines();
    QCoreApplication::processEvents();
    link.a->SentMemo->AddLine(QStringLiteral("next"));
    link.a->SentMemo->Lines();
    QCoreApplication::processEvents();
    const double echoMs = double(c.nsecsElapsed()) / 1e6;
    t.row(s, QStringLiteral("echo of a one-megabyte line into Sent, and the next line"), ms(echoMs),
          QStringLiteral("< 100 ms"), echoMs < 100);
}

void continuousSend(BenchTable &t, const IsolatedSettings &settings)
{
    const QString s = QStringLiteral("traffic");
    bool ok = false;
    int seconds = qEnvironmentVariableIntValue("QV_BENCH_CONTSEND_SECONDS", &ok);
    if (!ok || seconds <= 0)
        seconds = 600;
    TwoStations link(settings, QStringLiteral("BC"), kWidth);
    // Passes take a little over 100 ms: B waits twice that before it counts a miss.
    link.b->WaitTime->SetValue(200);
    link.a->show();
    link.b->show();
    QCoreApplication::processEvents();
    std::vector<double> rss;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { rss.push_back(residentMiB()); });
    sample.start(1000);
    // Memory is taken from 10 s in, once both windows and the air have settled.
    double startRss = 0;
    double startHeapKiB = 0;
    QTimer::singleShot(std::min(10, seconds / 4) * 1000, &sample, [&] {
        // The modules' traces (a test aid, bounded) are left out of the heap figures.
        link.a.module->clearTrace();
        link.b.module->clearTrace();
        startRss = residentMiB();
        startHeapKiB = heapInUseKiB();
    });
    QTimer::singleShot(seconds * 1000, link.a.form.get(), [&] { link.a->Button9->click(); });
    QElapsedTimer clock;
    clock.start();
    link.a->Button4->click(); // until Stop
    const double ranS = double(clock.nsecsElapsed()) / 1e9;
    const int sent = int(link.a->SentMemo->Lines().size()) - 1;
    runUntil([&] { return link.b->RecCount >= float(sent); }, 2000);
    sample.stop();
    const double endRss = residentMiB();
    // What the panes hold is the operator's to clear; whatever stays after clearing them
    // would be a leak.
    for (Station *st : {&link.a, &link.b}) {
        (*st)->SentMemo->Clear();
        (*st)->RecMemo->Clear();
        (*st)->Memo1->Clear();
    }
    link.a.module->clearTrace();
    link.b.module->clearTrace();
    QCoreApplication::processEvents();
    const double endHeapKiB = heapInUseKiB();
    const double peak = rss.empty() ? endRss : *std::max_element(rss.begin(), rss.end());
    const int received = int(link.b->RecCount);

    t.row(s, QStringLiteral("continuous send, %1 s, 25-byte packets").arg(seconds), QString());
    t.row(s, QStringLiteral("  packets sent (A's Sent pane)"), QString::number(sent));
    t.row(s, QStringLiteral("  packets received (B's Rec. Data)"), QString::number(received),
          QStringLiteral("= sent"), received == sent);
    t.row(s, QStringLiteral("  missed packets counted at B, WaitTime 200 ms"),
          QString::number(double(link.b->ErrCount), 'f', 0));
    t.row(s, QStringLiteral("  mean time a pass"), ms(ranS * 1000.0 / std::max(sent, 1), 2),
          QStringLiteral(">= 100 ms"), ranS * 1000.0 / std::max(sent, 1) >= 100.0);
    t.row(s, QStringLiteral("  resident memory, both stations, after settling"),
          QString::number(startRss, 'f', 1) + QStringLiteral(" MiB"));
    t.row(s, QStringLiteral("  resident memory at the end (peak)"),
          QStringLiteral("%1 (%2) MiB").arg(endRss, 0, 'f', 1).arg(peak, 0, 'f', 1));
    const double growthKiB = (endRss - startRss) * 1024.0;
    t.row(s, QStringLiteral("  growth per 1,000 packets (panes hold every packet)"),
          QString::number(growthKiB / std::max(sent, 1) * 1000.0, 'f', 0) + QStringLiteral(" KiB"),
          QStringLiteral("< 1024 KiB"), growthKiB / std::max(sent, 1) * 1000.0 < 1024);
    const double heapGrowth = endHeapKiB - startHeapKiB;
    t.row(s, QStringLiteral("  heap in use, panes emptied, against after settling"),
          QString::number(heapGrowth, 'f', 0) + QStringLiteral(" KiB"), QStringLiteral("< 256 KiB"),
          heapGrowth < 256);
}

} // namespace

void benchTraffic(BenchTable &t)
{
    // The stations keep to an air of their own: a console running meanwhile is not disturbed.
    SimWorld::instance()->air().setName({});
    registerSimulatedModules();
    IsolatedSettings settings;
    RecordingPrompts prompts; // an unexpected error box must not wait for a click
    QTemporaryDir dir;
    TWritingForm writing;
    WritingForm = &writing;

    fileThroughput(t, settings, dir, 4, 115200);
    fileThroughput(t, settings, dir, 0, 9600);
    bigFile(t, settings, dir);
    hugeFile(t, settings, dir);
    continuousSend(t, settings);

    if (!prompts.messages.isEmpty())
        t.row(QStringLiteral("traffic"), QStringLiteral("error boxes during the runs"),
              prompts.texts().join(QStringLiteral("; ")), QStringLiteral("none"), 0);
    WritingForm = nullptr;
}

// A flood of received data for a while in each mode (QV_BENCH_FLOOD_SECONDS, 60 unless set):
// the far end of a pseudo-terminal sends without a pause at 115200 bit/s to a main window on
// screen, in data mode (payload width 0 in hexadecimal, width 25, and width 0 with a line
// break every second byte, the most lines a flood can make) and in dump mode (a Read Config
// pending all along, pressed again whenever it timed out). Reported per mode: the largest gap
// between the ticks of a 5 ms timer on the main thread, resident memory growth over the whole
// run and over its second half (a pane that kept everything would grow all along), CPU, and
// what the window took in against what was sent.
//
// The find section floods the same way with the find bar open over the Received pane and a
// match on every line, against the bar closed, in turns (QV_BENCH_FIND_ROUNDS pairs, 3 unless
// set): what the bar adds to the receive path's CPU.

#include "app/FindBar.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "bench/Bench.h"
#include "serial/Radiocom.h"
#include "support/Flood.h"
#include "support/GapMeter.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kBaud = 115200;

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Mode {
    const char *name;
    int width;
    bool hex;
    bool dump;
    QByteArray pattern;
    const char *find = nullptr; // opens the find bar on this text
    bool brief = false;         // only the CPU row
};

int floodSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("QV_BENCH_FLOOD_SECONDS", &ok);
    return ok && seconds > 0 ? seconds : 60;
}

struct FloodCost {
    double cpu;           // share of one core
    double notifications; // a second
};

FloodCost floodOneMode(BenchTable &t, const IsolatedSettings &settings, const Mode &mode,
                       int seconds)
{
    const QString s = QLatin1String(mode.brief ? "find" : "flood");
    PtyPair device;
    settings.write("[Port]\nCOM=0\nBaud=4\n[Devices]\nCOM1=" + device.path().toUtf8() + "\n");
    TMainForm form;
    MainForm = &form;
    form.show();
    // The first show's Read Config, answered with a module's power-on dump.
    QByteArray dump("\x41\x10\x02\x03\xFF\xA0", 6);
    dump += QByteArray(10, char(0xE7)) + QByteArray("\xC8\x00\xC8\x00", 4);
    device.write(dump);
    runFor(300);
    form.DataW1->SetValue(mode.width);
    form.CheckBox2->setChecked(mode.hex);
    form.RecMemo->Clear();
    if (mode.find) {
        form.FindBar1->Open(form.RecMemo);
        form.FindBar1->Pattern->setText(QLatin1String(mode.find));
    }
    runFor(200);

    QTimer again;
    again.setInterval(20);
    QObject::connect(&again, &QTimer::timeout, &form, [&form] {
        if (!form.ConfigReadActive)
            form.Button5->click();
    });
    std::vector<double> rss;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&rss] { rss.push_back(residentMiB()); });
    const double rssStart = residentMiB();
    const double cpuStart = cpuSecondsOfProcess();
    const uint64_t notesStart = form.SerialConnector->NotificationsDelivered();
    GapMeter gaps;
    gaps.start();
    sample.start(1000);
    Flood flood(device.master(), kBaud, mode.pattern);
    if (mode.dump)
        again.start();
    runFor(seconds * 1000);
    again.stop();
    const qint64 sent = flood.stop();
    const qint64 lag = flood.lag();
    gaps.stop();
    sample.stop();
    const double cpu = (cpuSecondsOfProcess() - cpuStart) / seconds * 100.0;
    const double notes =
        double(form.SerialConnector->NotificationsDelivered() - notesStart) / seconds;
    const double rssEnd = residentMiB();
    rss.push_back(rssEnd);
    const double peak = *std::max_element(rss.begin(), rss.end());
    const double half = rss.at(rss.size() / 2);
    const double secondHalf =
        *std::max_element(rss.begin() + qsizetype(rss.size() / 2), rss.end()) - half;
    runFor(500);
    const qsizetype paneLines = form.RecMemo->Lines().size();

    t.row(s, QStringLiteral("%1, %2 s at 115200").arg(QLatin1String(mode.name)).arg(seconds),
          QStringLiteral("%1 B").arg(sent));
    if (mode.brief) {
        t.row(s, QStringLiteral("  notifications a second; CPU, share of one core"),
              QStringLiteral("%1; %2 %").arg(notes, 0, 'f', 0).arg(cpu, 0, 'f', 1));
        if (mode.find)
            t.row(s, QStringLiteral("  matches counted, as the bar shows them"),
                  form.FindBar1->Count->text());
        MainForm = nullptr;
        return {cpu, notes};
    }
    t.row(s, QStringLiteral("  largest gap between the main thread's 5 ms ticks"),
          QString::number(gaps.largestMs(), 'f', 1) + QStringLiteral(" ms"),
          QStringLiteral("< 50 ms"), gaps.largestMs() < 50);
    t.row(s, QStringLiteral("  resident memory growth, peak over start"),
          QString::number(peak - rssStart, 'f', 1) + QStringLiteral(" MiB"),
          QStringLiteral("< 64 MiB"), peak - rssStart < 64);
    t.row(s, QStringLiteral("  resident memory growth in the second half"),
          QString::number(secondHalf, 'f', 1) + QStringLiteral(" MiB"),
          QStringLiteral("<= 0.5 MiB"), secondHalf <= 0.5);
    t.row(s, QStringLiteral("  notifications a second; CPU, share of one core"),
          QStringLiteral("%1; %2 %").arg(notes, 0, 'f', 0).arg(cpu, 0, 'f', 1));
    t.row(s, QStringLiteral("  bytes due but not yet taken by the port at the end"),
          QString::number(lag), QStringLiteral("< 4096"), lag < 4096);
    t.row(s, QStringLiteral("  lines in the Received pane"), QString::number(paneLines),
          QStringLiteral("<= %1").arg(TMemo::MaxLines), paneLines <= TMemo::MaxLines);
    MainForm = nullptr;
    return {cpu, notes};
}

} // namespace

void benchFlood(BenchTable &t)
{
    const int seconds = floodSeconds();
    IsolatedSettings settings;
    RecordingPrompts prompts; // an unexpected error box must not wait for a click
    const QByteArray text("0123456789abcdefghijklmnopqrstuvwxyz"); // no 0x41: no dump decoded
    const Mode modes[] = {
        {"data, W 0, hex", 0, true, false, text},
        {"data, W 25, text", 25, false, false, text},
        {"data, W 0, a line break every second byte", 0, false, false,
         "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n"},
        {"dump, Read Config pending", 0, false, true, text},
    };
    for (const Mode &m : modes)
        floodOneMode(t, settings, m, seconds);
    if (!prompts.messages.isEmpty())
        t.row(QStringLiteral("flood"), QStringLiteral("error boxes during the runs"),
              prompts.texts().join(QStringLiteral("; ")), QStringLiteral("none"), 0);
}

void benchFind(BenchTable &t)
{
    const int seconds = floodSeconds();
    bool ok = false;
    int rounds = qEnvironmentVariableIntValue("QV_BENCH_FIND_ROUNDS", &ok);
    if (!ok || rounds <= 0)
        rounds = 3;
    IsolatedSettings settings;
    RecordingPrompts prompts;
    // Every packet holds at least 25 bytes of this, so every line has a "k".
    const QByteArray letters("abcdefghijklmnopqrstuvwxy");
    const Mode closed{"W 25, find bar closed", 25, false, false, letters, nullptr, true};
    const Mode open{
        "W 25, find bar open, a match on every line", 25, false, false, letters, "k", true};
    FloodCost closedSum{0, 0};
    FloodCost openSum{0, 0};
    for (int i = 0; i < rounds; ++i) {
        const FloodCost c = floodOneMode(t, settings, closed, seconds);
        const FloodCost o = floodOneMode(t, settings, open, seconds);
        closedSum = {closedSum.cpu + c.cpu, closedSum.notifications + c.notifications};
        openSum = {openSum.cpu + o.cpu, openSum.notifications + o.notifications};
    }
    const double more = (openSum.cpu / closedSum.cpu - 1.0) * 100.0;
    t.row(QStringLiteral("find"),
          QStringLiteral("find bar open against closed, %1 rounds").arg(rounds),
          QStringLiteral("%1 %").arg(more, 0, 'f', 1), QStringLiteral("<= 5 %"), more <= 5.0);
    // The machine's load changes how many arrivals the watcher hands over one by one, and the
    // CPU follows them: the cost of one hand-over tells the bar's part apart from that.
    const double perNote =
        (openSum.cpu / openSum.notifications) / (closedSum.cpu / closedSum.notifications) * 100.0 -
        100.0;
    t.row(QStringLiteral("find"), QStringLiteral("  the same, CPU a notification"),
          QStringLiteral("%1 %").arg(perNote, 0, 'f', 1), QStringLiteral("<= 5 %"), perNote <= 5.0);
    if (!prompts.messages.isEmpty())
        t.row(QStringLiteral("find"), QStringLiteral("error boxes during the runs"),
              prompts.texts().join(QStringLiteral("; ")), QStringLiteral("none"), 0);
}

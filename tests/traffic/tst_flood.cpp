// A flood of received data: the far end of the pseudo-terminal behind COM1 sends without a
// pause at 115200 bit/s, in data mode (payload width 0 and 25, text and hexadecimal) and in
// dump mode (a Read Config pending, pressed again whenever it timed out). The window on screen
// keeps answering between the notifications, shows every byte it takes as data, and its
// "Received" pane keeps its last lines instead of growing without end. The minute-long run,
// with the figures, is the benchmark's "flood" section.

#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "support/Flood.h"
#include "support/GapMeter.h"
#include "support/IsolatedSettings.h"
#include "support/PtyStation.h"
#include "support/RecordingPrompts.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace PtyStationTools;

namespace {

constexpr int kBaud = 115200;
constexpr int kFloodMs = 3000;

// The "Received" pane in hexadecimal, each byte as a space and two digits.
QString hexOf(const QByteArray &bytes)
{
    QString s;
    for (const char c : bytes)
        s += QStringLiteral(" %1").arg(uint(uint8_t(c)), 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

} // namespace

class TestFlood : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;

    // The window as the operator has it, shown, its first Read Config answered.
    static void showAndSettle(PtyStation &s)
    {
        s.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.main.get()));
        s.device->write(powerOnDump());
        QTRY_VERIFY(!s.main->ConfigReadActive);
        QCOMPARE(s.log().last(), QStringLiteral("OK"));
    }

private slots:
    void init() { prompts_.clear(); }

    void flood_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<bool>("dump");
        QTest::addColumn<QByteArray>("pattern");
        const QByteArray text("0123456789abcdefghijklmnopqrstuvwxyz"); // no 0x41: no dump
        QTest::newRow("data, W 0, text") << 0 << false << false << text;
        QTest::newRow("data, W 0, hex") << 0 << true << false << text;
        QTest::newRow("data, W 25, text") << 25 << false << false << text;
        QTest::newRow("dump mode, Read Config pending") << 0 << false << true << text;
    }
    void flood()
    {
        QFETCH(int, width);
        QFETCH(bool, hex);
        QFETCH(bool, dump);
        QFETCH(QByteArray, pattern);
        PtyStation s(settings_, 4);
        TMainForm &f = *s.main;
        showAndSettle(s);
        f.DataW1->SetValue(width);
        f.CheckBox2->setChecked(hex);
        f.RecMemo->Clear();
        const qsizetype logged = s.log().size();

        // In dump mode a Read Config is pending all along: it is pressed again as soon as the
        // last one timed out.
        QTimer again;
        again.setInterval(20);
        connect(&again, &QTimer::timeout, &f, [&f] {
            if (!f.ConfigReadActive)
                f.Button5->click();
        });
        GapMeter gaps;
        gaps.start();
        Flood flood(s.device->master(), kBaud, pattern);
        if (dump) {
            f.Button5->click();
            again.start();
        }
        QTest::qWait(kFloodMs);
        again.stop();
        const qint64 sent = flood.stop();
        gaps.stop();
        qInfo("%lld bytes in %d ms; largest gap between the main thread's ticks %.1f ms; "
              "flood lag at the end %lld bytes",
              sent, kFloodMs, gaps.largestMs(), flood.lag());
        QVERIFY(sent > kBaud / 10 * kFloodMs / 1000 / 2);
        // The windows answered all along. What counts as fast enough is the benchmark's to
        // say; a pane laying out a line it cannot break, or a loop that never lets the events
        // run, shows here as seconds.
        QVERIFY2(gaps.largestMs() < 1000, qPrintable(QString::number(gaps.largestMs())));
        QVERIFY(f.RecMemo->Lines().size() <= TMemo::MaxLines);
        QVERIFY(prompts_.messages.isEmpty());

        if (dump) {
            // Each Read Config read its batches and timed out, as without a flood.
            QTRY_VERIFY(!f.ConfigReadActive);
            const QStringList log = s.log().mid(logged);
            QVERIFY(log.count(QStringLiteral("Read Config")) >= 2);
            QCOMPARE(log.count(QStringLiteral("Comm. Error!")),
                     log.count(QStringLiteral("Read Config")));
            return;
        }
        // Everything the window took is shown, in order; only what waits for a whole packet
        // may be missing.
        const QString all =
            hex ? hexOf(flood.stream(sent)) : QString::fromLatin1(flood.stream(sent));
        const int perByte = hex ? 3 : 1;
        QTRY_VERIFY(all.size() - f.RecMemo->Lines().join(QString()).size() <
                    qMax(width, 1) * perByte);
        QVERIFY(all.startsWith(f.RecMemo->Lines().join(QString())));
        QVERIFY(f.RecCount >= 1);
        QCOMPARE(s.log().size(), logged);
    }

    // A flood of short lines: the pane keeps its last lines, every one of them in order.
    void floodOfShortLines()
    {
        PtyStation s(settings_, 4);
        TMainForm &f = *s.main;
        showAndSettle(s);
        f.DataW1->SetValue(0);
        f.RecMemo->Clear();
        GapMeter gaps;
        gaps.start();
        Flood flood(s.device->master(), kBaud, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n");
        // Two bytes a line: the pane's bound is reached in under two seconds.
        QTest::qWait(kFloodMs);
        const qint64 sent = flood.stop();
        gaps.stop();
        QVERIFY(sent / 2 > TMemo::MaxLines);
        QVERIFY2(gaps.largestMs() < 1000, qPrintable(QString::number(gaps.largestMs())));
        QTRY_VERIFY(
            f.RecMemo->Lines().join(QString()).endsWith(QString::number((sent - 1) / 2 % 10)));
        const QStringList lines = f.RecMemo->Lines();
        QCOMPARE(lines.size(), TMemo::MaxLines);
        // Packets end where the notifications fell, so some lines are empty; the digits run
        // on without a gap.
        QString digits = lines.join(QString());
        QVERIFY(digits.size() > TMemo::MaxLines / 2);
        for (qsizetype i = 1; i < digits.size(); ++i)
            QCOMPARE(digits.at(i).digitValue(), (digits.at(i - 1).digitValue() + 1) % 10);
    }
};

QTEST_MAIN(TestFlood)
#include "tst_flood.moc"

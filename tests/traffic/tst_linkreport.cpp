// The link report: numbered test packets and how they are found in the received data, the
// counting of lost, duplicated and late packets, the CSV file; and on the simulated air, a
// known loss (QV_SIM_LOSS) and packets a test air repeats and reorders, with the report's
// window.

#include "Stations.h"
#include "app/LinkReportForm.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/StampClock.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "support/Spoken.h"
#include "support/TextFiles.h"
#include "traffic/LinkReport.h"
#include "traffic/TestPacket.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <mutex>

namespace {

const QByteArray kAlphabet("abcdefghijklmnopqrstuvwzxyz1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ");

QByteArray stream(const QList<int> &numbers, int width = 25)
{
    QByteArray out;
    for (const int n : numbers)
        out += TestPacket::numbered(n, width);
    return out;
}

// Packets on the air at a station's module, as a test air sends them: numbered ones of its
// receive width, in the order given; -1 is an unnumbered packet. They are heard 30 ms apart,
// each reaching the port well after the one before it has left: the window reads only whole
// widths, and a station kept busy while a stream of packets came in could read across a
// packet's start and hold the last header back until more bytes came.
void onTheAir(const Station &to, const QList<int> &numbers)
{
    const SimConfig c = to.module->config();
    const std::shared_ptr<SimWorld> world = SimWorld::instance();
    std::lock_guard<std::mutex> lock(world->lock());
    SimNs end = simNow() + kSimMilli;
    for (const int n : numbers) {
        const QByteArray payload =
            n < 0 ? TestPacket::plain(c.rx1Bytes()) : TestPacket::numbered(n, c.rx1Bytes());
        SimPacket p;
        p.channel = c.channel;
        p.oneMbit = c.oneMbit();
        p.addressWidth = c.addressWidth;
        p.address = c.address1;
        p.payload.assign(payload.begin(), payload.end());
        p.start = end - 300 * kSimMicro;
        p.end = end;
        end += 30 * kSimMilli;
        to.module->hear(p);
    }
}

} // namespace

class TestLinkReport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Before the simulated air exists: it takes its loss from the environment.
        qputenv("QV_SIM_LOSS", "30");
        registerSimulatedModules();
        envLoss_ = SimWorld::instance()->air().lossPercent();
        QCOMPARE(envLoss_, 30.0);
    }

    void init()
    {
        SimWorld::instance()->air().setLossPercent(0);
        prompts_.clear();
    }

    // Every width from the least on: printable, the width kept, the alphabet after the
    // header, and read back with its number (which wraps) and width.
    void numberedRoundTrip_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<int>("sent");
        QTest::newRow("1") << qint64(1) << 1;
        QTest::newRow("123456") << qint64(123456) << 123456;
        QTest::newRow("999999, the highest") << qint64(999999) << 999999;
        QTest::newRow("1000001 wraps to 1") << qint64(1000001) << 1;
    }
    void numberedRoundTrip()
    {
        QFETCH(qint64, number);
        QFETCH(int, sent);
        for (int width = TestPacket::LeastNumberedWidth; width <= 64; ++width) {
            const QByteArray p = TestPacket::numbered(number, width);
            const int length = std::min(width, 63);
            QCOMPARE(p.size(), length);
            QCOMPARE(p.left(7), QByteArray("#") + QByteArray::number(sent).rightJustified(6, '0'));
            QCOMPARE(p.mid(8), kAlphabet.mid(8, length - 8));
            for (const char c : p)
                QVERIFY(c > ' ' && c < 127);
            PacketScanner scanner;
            const PacketScanner::Result r = scanner.scan(p);
            QCOMPARE(r.packets.size(), 1);
            QCOMPARE(r.packets[0].number, sent);
            QCOMPARE(r.packets[0].width, length);
            QVERIFY(!r.other);
        }
    }

    void narrowWidthsAndPlainPackets()
    {
        LinkReport report;
        for (int width = 0; width <= 64; ++width) {
            QCOMPARE(TestPacket::plain(width), kAlphabet.left(width));
            QCOMPARE(report.testPacket(width), kAlphabet.left(width));
            if (width < 8)
                QCOMPARE(TestPacket::numbered(1, width), QByteArray());
        }
        QCOMPARE(TestPacket::numbered(1234, 25), QByteArray("#001234Yijklmnopqrstuvwzx"));
        // A typed line that looks like a number, a wrong check letter, a header cut short:
        // no numbered packet.
        for (const QByteArray &text :
             {QByteArray("#100000 parts"), QByteArray("#001234Zijk"), QByteArray("#00123")}) {
            LinkReport r;
            r.received(text, 0);
            QCOMPARE(r.numberedCount(), 0);
        }
    }

    // However the reads cut the stream (a byte at a time, at every point, in pieces that
    // merge packets), the same packets come out, each with its whole width.
    void cutsAndMerges()
    {
        const QByteArray data =
            "xy" + stream({7, 8, 9}) + stream({10}, 63) + "zz" + stream({11}, 8) + stream({12}, 40);
        const QList<int> widths{25, 25, 25, 63, 8, 40};
        for (int piece = 1; piece <= data.size(); ++piece) {
            LinkReport r;
            for (qsizetype at = 0; at < data.size(); at += piece)
                r.received(
                    QByteArrayView(data).sliced(at, std::min<qsizetype>(piece, data.size() - at)),
                    at);
            QList<int> numbers, seen;
            for (const LinkReport::Row &row : r.rows())
                if (row.kind != LinkReport::Kind::Unnumbered) {
                    numbers << int(row.sequence);
                    seen << row.width;
                }
            QCOMPARE(numbers, (QList<int>{7, 8, 9, 10, 11, 12}));
            QCOMPARE(seen, widths);
            QCOMPARE(r.lost(), 0);
        }
    }

    void counting_data()
    {
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QList<qint64>>("expected"); // received, lost, duplicated, late
        QTest::addColumn<qint64>("last");            // the last number, unwrapped
        QTest::newRow("in order") << QList<int>{1, 2, 3} << QList<qint64>{3, 0, 0, 0} << 3LL;
        QTest::newRow("two lost") << QList<int>{1, 2, 5, 6} << QList<qint64>{4, 2, 0, 0} << 6LL;
        QTest::newRow("repeated") << QList<int>{1, 2, 2, 3} << QList<qint64>{4, 0, 1, 0} << 3LL;
        QTest::newRow("late one takes its loss back")
            << QList<int>{1, 2, 4, 3, 5} << QList<qint64>{5, 0, 0, 1} << 5LL;
        QTest::newRow("late one below the first")
            << QList<int>{10, 8, 9} << QList<qint64>{3, 0, 0, 2} << 9LL;
        QTest::newRow("wrap, one lost on the way")
            << QList<int>{999998, 999999, 1, 2} << QList<qint64>{4, 1, 0, 0} << 1000002LL;
        QTest::newRow("sender's numbering started again")
            << QList<int>{5000, 5001, 1, 2} << QList<qint64>{4, 0, 0, 0} << 2LL;
    }
    void counting()
    {
        QFETCH(QList<int>, numbers);
        QFETCH(QList<qint64>, expected);
        QFETCH(qint64, last);
        LinkReport r;
        qint64 t = 0;
        for (const int n : numbers)
            r.received(TestPacket::numbered(n, 25), t += 100);
        QCOMPARE((QList<qint64>{r.receivedCount(), r.lost(), r.duplicates(), r.late()}), expected);
        QCOMPARE(r.rows().back().sequence, last);
        // The CSV's lost-before column adds up to the loss.
        qint64 sum = 0;
        for (const LinkReport::Row &row : r.rows())
            sum += row.lostBefore;
        QCOMPARE(sum, r.lost());
    }

    // Loss and rate over the last 10 s leave out what came before; the chart keeps every
    // packet in at most 600 slices however long the run.
    void recentFiguresAndChart()
    {
        LinkReport r;
        const qint64 t0 = 100000; // ms on the report's clock; the chart starts at its creation
        int n = 1;
        for (int i = 0; i < 300; ++i) {         // 30 s at 10 a second
            n += (i == 50 || i == 250) ? 3 : 1; // two lost twice: at 5 s and at 25 s
            r.received(TestPacket::numbered(n, 25), t0 + 100 * i);
        }
        const qint64 now = t0 + 300 * 100;
        const LinkReport::Recent recent = r.recent(now);
        QCOMPARE(recent.received, 99); // (now - 10 s, now]
        QCOMPARE(recent.lost, 2);
        QCOMPARE(recent.spanMs, 10000);
        QCOMPARE(LinkReport::lossPercent(recent.lost, recent.unique), 200.0 / 101.0);
        QCOMPARE(r.lost(), 4);
        QCOMPARE(r.meanGapMs(), 100.0);

        const LinkReport::Chart c = r.chart(now + 3600 * 1000);
        QVERIFY(c.buckets.size() <= size_t(LinkReport::ChartBuckets));
        QVERIFY(c.bucketMs > 1000);
        int received = 0, lost = 0;
        for (const LinkReport::Bucket &b : c.buckets) {
            received += b.received;
            lost += b.lost;
        }
        QCOMPARE(received, 300);
        QCOMPARE(lost, 4);
    }

    void csvRows()
    {
        LinkReport r;
        r.received(TestPacket::numbered(1, 25), 1000);
        r.received(TestPacket::numbered(4, 25) + TestPacket::numbered(4, 25), 1150);
        r.received("hello", 1400);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY(r.writeCsv(out));
        const QList<QByteArray> lines = out.data().split('\n');
        QCOMPARE(lines.size(), 6); // header, four rows, the empty rest after the last break
        QCOMPARE(lines[0], QByteArray("time,sequence,gap_ms,width,lost_before"));
        const QList<QList<QByteArray>> expected{{"1", "", "25", "0"},
                                                {"4", "150", "25", "2"},
                                                {"4", "0", "25", "0"},
                                                {"", "250", "5", ""}};
        QDateTime previous;
        for (int i = 0; i < 4; ++i) {
            const QList<QByteArray> f = lines[i + 1].split(',');
            QCOMPARE(f.mid(1), expected[i]);
            QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})"
                                                       R"((Z|[+-]\d\d:\d\d)$)"))
                         .match(QString::fromLatin1(f[0]))
                         .hasMatch(),
                     f[0].constData());
            const QDateTime at =
                QDateTime::fromString(QString::fromLatin1(f[0]), Qt::ISODateWithMs);
            if (i > 0)
                QCOMPARE(previous.msecsTo(at), f[2].toLongLong());
            previous = at;
        }
    }

    // With QV_SIM_LOSS at 30 %, the receiving station's report counts as lost exactly the
    // packets the air dropped: the first and last go out on a loss-free air, so that no drop
    // lies before the first number or after the last.
    void lossOnTheSimulatedAir()
    {
        TwoStations link(settings_, QStringLiteral("Q"), 25);
        link.a->Report->setNumbered(true);
        SimAir &air = SimWorld::instance()->air();
        const LinkReport &b = *link.b->Report;
        const auto lastSeen = [&b] { return b.rows().empty() ? 0 : b.rows().back().sequence; };
        link.a->Button10->click();
        QTRY_COMPARE(lastSeen(), 1);
        air.setLossPercent(envLoss_);
        for (int i = 0; i < 80; ++i)
            link.a->Button10->click();
        QTRY_VERIFY(b.lost() > 0);
        // Every packet sent from now on is heard. The window reads a packet's header once a
        // whole width has come: a station that fell behind and read across a packet's start
        // holds the last header until more bytes come, so more packets follow until the last
        // one has been read.
        air.setLossPercent(0);
        qint64 last = 81;
        do {
            link.a->Button10->click();
            ++last;
        } while (!QTest::qWaitFor([&] { return lastSeen() == last; }, 2000) && last < 90);
        QCOMPARE(lastSeen(), last);
        const qint64 sent = qint64(link.a.module->packetsSent());
        const qint64 heard = qint64(link.b.module->packetsHeard());
        QCOMPARE(sent, last);
        QVERIFY(heard < sent);
        QCOMPARE(b.numberedCount(), heard);
        QCOMPARE(b.lost(), sent - heard);
        QCOMPARE(b.duplicates() + b.late(), 0);
        const LinkReport::Recent recent = b.recent(StampClock::program().elapsed());
        QCOMPARE(LinkReport::lossPercent(recent.lost, recent.unique),
                 100.0 * double(sent - heard) / double(sent));
        QCOMPARE(link.a->Report->sent(), sent);
    }

    // A test air repeats packet 2 and sends 4 before 3; the window shows it, and a screen
    // reader reads it. Reset, Stop and Start of the report leave "Rec. Data" alone, and
    // numbers missed while it was stopped count as no loss. The note asking for numbered
    // packets shows only while none has come since the start; the saved chart names the
    // station, the time it covers and the totals.
    void repeatedAndReorderedInTheWindow()
    {
        TwoStations link(settings_, QStringLiteral("R"), 25);
        Station &b = link.b;
        b->LinkReport1->trigger();
        TLinkReportForm *w = b->LinkReportForm;
        QVERIFY(w && w->isVisible());
        onTheAir(b, {1, 2, 2, 4, 3, 5});
        QTRY_COMPARE(b->Report->receivedCount(), 6);
        w->Refresh();
        QCOMPARE(w->ReceivedValue->text(), QStringLiteral("6"));
        QCOMPARE(w->LostValue->text(), QStringLiteral("0"));
        QCOMPARE(w->DuplicatedValue->text(), QStringLiteral("1"));
        QCOMPARE(w->OutOfOrderValue->text(), QStringLiteral("1"));
        QCOMPARE(w->LossValue->text(), QStringLiteral("0.00 %"));
        QCOMPARE(spoken(w->DuplicatedValue), QStringLiteral("Duplicated: 1"));
        QCOMPARE(spoken(w->LossValue), QStringLiteral("Loss: 0.00 %"));
        QVERIFY(w->NumberingNote->isHidden());
        onTheAir(b, {-1}); // a typed line between numbered packets
        QTRY_COMPARE(b->Report->receivedCount(), 7);
        w->Refresh();
        QVERIFY(w->NumberingNote->isHidden());

        const QString recData = b->RecDataNum->text();
        QVERIFY(!recData.isEmpty());
        w->StartButton->click();
        QCOMPARE(w->StartButton->text(), QStringLiteral("Start"));
        onTheAir(b, {6});
        QTRY_COMPARE(b->RecDataNum->text().toInt(), recData.toInt() + 1);
        QCOMPARE(b->Report->receivedCount(), 7);
        w->StartButton->click();
        onTheAir(b, {8});
        QTRY_COMPARE(b->Report->receivedCount(), 8);
        QCOMPARE(b->Report->lost(), 0);
        w->ResetButton->click();
        QCOMPARE(w->ReceivedValue->text(), QStringLiteral("0"));
        QCOMPARE(w->LostValue->text(), QStringLiteral("-"));
        QCOMPARE(b->RecDataNum->text().toInt(), recData.toInt() + 2);

        onTheAir(b, {-1});
        QTRY_COMPARE(b->Report->receivedCount(), 1);
        w->Refresh();
        QVERIFY(!w->NumberingNote->isHidden());

        // The files: the CSV with its header, the chart as a picture.
        TextFiles files;
        onTheAir(b, {10});
        QTRY_COMPARE(b->Report->receivedCount(), 2);
        prompts_.fileAnswers = QStringList{files.filePath(QStringLiteral("r.csv")),
                                           files.filePath(QStringLiteral("r.png"))};
        w->CsvButton->click();
        w->ChartButton->click();
        QFile csv(files.filePath(QStringLiteral("r.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().split('\n').size(), 4);
        const QImage chart(files.filePath(QStringLiteral("r.png")));
        QCOMPARE(chart.size(), QSize(800, 320));
        const QString day = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");
        const QRegularExpression title(QStringLiteral("^COM2 \\(simulated R\\d+B\\), %1 to %1: "
                                                      "received 2, lost 0, loss 0.00 %$")
                                           .arg(day));
        QVERIFY2(title.match(chart.text(QStringLiteral("Title"))).hasMatch(),
                 qPrintable(chart.text(QStringLiteral("Title"))));
        QVERIFY(prompts_.messages.isEmpty());
    }

    // "Numbered" is ticked in the sending station's window; a width without room for the
    // number is refused, once, with the least width, and nothing goes out.
    void narrowNumberedPacketRefused_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("SendTest") << "Button10";
        QTest::newRow("Cont.Send ends at once") << "Button4";
    }
    void narrowNumberedPacketRefused()
    {
        QFETCH(QString, button);
        TwoStations link(settings_, QStringLiteral("N"), 25);
        link.a->LinkReport1->trigger();
        link.a->LinkReportForm->NumberedBox->click();
        QVERIFY(link.a->Report->numbered());
        link.a->DataW1TX->SetValue(7);
        link.a->findChild<QPushButton *>(button)->click();
        QCOMPARE(prompts_.texts(), QStringList{QStringLiteral(
                                       "Numbered packets need a width (Data1 TX) of at least 8.")});
        QVERIFY(!link.a->ContSend);
        QCOMPARE(link.a->Report->sent(), 0);
        QTest::qWait(20);
        QCOMPARE(link.a.bytesToModule(), size_t(0));
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    double envLoss_ = 0;
};

QTEST_MAIN(TestLinkReport)
#include "tst_linkreport.moc"

// The channel survey on two simulated modules in this process, so that both modules' wires can
// be looked at: in an office with busy Wi-Fi channels 1, 6 and 11, the loss on each channel
// follows the air's profile and the best channel lies outside every band; each module's
// command bytes keep the command channel's rules while the other's bytes go on; modules that
// cannot hear each other are refused before anything is written; and a module that stops
// answering ends the survey with the channels done so far.

#include "cli/Survey.h"
#include "sim/SimModule.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"
#include "support/SimTrace.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

constexpr qint64 kDelayNs = 4 * 1000000; // the command channel's wait
constexpr int kPackets = 100;
const QList<int> kChannels{37, 62, 22, 80, 127};

// A fresh simulated module at 115200 bit/s with a configuration changed by change.
QString freshModule(const QString &name, const std::function<void(SimConfig &)> &change = {})
{
    SimModule *m = SimModule::named(name);
    m->factoryReset(115200);
    if (change) {
        SimConfig c = m->config();
        change(c);
        m->setConfig(c);
    }
    return QStringLiteral("sim:") + name;
}

Survey::Request request(const QString &tx, const QString &rx, QList<int> channels, int packets)
{
    Survey::Request r;
    r.tx = {tx, tx, {}, {}};
    r.rx = {rx, rx, {}, {}};
    r.speedIndex = 4;
    r.channels = std::move(channels);
    r.packets = packets;
    r.paceMs = 1;
    return r;
}

// Runs a survey to its end; stepped (if given) runs on the owner's thread after each row.
Survey::Outcome run(const Survey::Request &r, const std::function<void()> &stepped = {})
{
    Survey survey(r);
    QSignalSpy finished(&survey, &Survey::Finished);
    if (stepped)
        QObject::connect(&survey, &Survey::RowDone, &survey, stepped);
    survey.Start();
    if (!finished.wait(60000))
        qWarning("the survey did not finish");
    return survey.Result();
}

bool underWifi(int channel)
{
    return (channel >= 1 && channel <= 23) || (channel >= 26 && channel <= 48) ||
           (channel >= 51 && channel <= 73);
}

} // namespace

class TestSurvey : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerSimulatedModules();
        SimWorld::instance()->air().setInterference(SimInterference::wifi());
        tx_ = freshModule(QStringLiteral("OFFICE-TX"));
        rx_ = freshModule(QStringLiteral("OFFICE-RX"));
        office_ = run(request(tx_, rx_, kChannels, kPackets));
        SimWorld::instance()->air().setInterference(SimInterference());
        QVERIFY2(office_.verdict == Survey::Verdict::Done, qPrintable(office_.reason));
        QCOMPARE(office_.result.rows.size(), kChannels.size());
    }

    // Outside the bands nothing is lost; at a band's centre the loss lies within the binomial
    // bounds (five standard deviations) of the profile's figure.
    void lossFollowsTheAir_data()
    {
        QTest::addColumn<int>("channel");
        QTest::newRow("Wi-Fi 6's centre") << 37;
        QTest::newRow("Wi-Fi 11's centre") << 62;
        QTest::newRow("well outside, 80") << 80;
        QTest::newRow("well outside, 127") << 127;
    }
    void lossFollowsTheAir()
    {
        QFETCH(int, channel);
        const auto row =
            std::find_if(office_.result.rows.begin(), office_.result.rows.end(),
                         [channel](const SurveyRow &r) { return r.channel == channel; });
        QVERIFY(row != office_.result.rows.end());
        QCOMPARE(row->sent, kPackets);
        QCOMPARE(row->received + row->lost, kPackets);
        QCOMPARE(row->repeated + row->outOfOrder, 0);
        const double p = SimInterference::wifi().lossPercent(channel) / 100.0;
        const double spread = 5 * std::sqrt(kPackets * p * (1 - p));
        QVERIFY2(std::abs(row->lost - kPackets * p) <= spread,
                 qPrintable(QStringLiteral("channel %1 lost %2 of %3, the air %4 %")
                                .arg(channel)
                                .arg(row->lost)
                                .arg(kPackets)
                                .arg(100 * p)));
    }

    // The best channel lies outside every Wi-Fi band and loses nothing; a quiet channel above
    // the licence-free band comes after every one inside it, saying so.
    void bestChannelOutsideEveryBand()
    {
        const QList<SurveyResult::Ranked> best = office_.result.Best(int(kChannels.size()));
        QCOMPARE(best.size(), kChannels.size());
        QVERIFY2(!underWifi(best.first().row.channel),
                 qPrintable(SurveyResult::BestText(best.first())));
        QCOMPARE(best.first().row.lost, 0);
        QCOMPARE(SurveyResult::BestText(best.last()),
                 QStringLiteral("127 (2527 MHz, 1M, outside the 2.4 GHz band): 0.0 % loss, "
                                "no loss within 10 channels"));
        // Both back where they were.
        QCOMPARE(office_.txChannel, 2);
        QCOMPARE(office_.rxChannel, 2);
        QVERIFY(!office_.applied);
    }

    // Each module's wire: every command byte under the raised line and paced as the command
    // channel paces, every data byte with the line low, and no command byte while a packet is
    // on the line (the sender's packets going in, the receiver's coming out).
    void commandChannelRulesOnBothWires_data()
    {
        QTest::addColumn<bool>("sender");
        QTest::newRow("sender") << true;
        QTest::newRow("receiver") << false;
    }
    void commandChannelRulesOnBothWires()
    {
        QFETCH(bool, sender);
        SimModule *m = SimModule::named(QString(sender ? tx_ : rx_).mid(4));
        const std::vector<SimTraceEntry> in = traceOf(m, SimTraceEntry::Direction::ToModule);
        // The receiver hands over the packets between the dumps of its first and last read.
        std::vector<SimTraceEntry> packets = in;
        if (!sender) {
            packets = traceOf(m, SimTraceEntry::Direction::FromModule);
            QVERIFY(packets.size() > 40);
            packets = std::vector<SimTraceEntry>(packets.begin() + 20, packets.end() - 20);
        }
        const int width = 25;
        // Where each packet is on the line: from its first byte to its last.
        QList<std::pair<SimNs, SimNs>> onLine;
        int dataBytes = 0;
        bool awaitingParameter = false; // the command byte before was a letter
        std::vector<SimTraceEntry> run;
        for (const SimTraceEntry &e : packets) {
            if (sender && e.rts)
                continue;
            run.push_back(e);
            if (int(run.size()) == width) {
                onLine << std::pair{run.front().time, run.back().time};
                run.clear();
            }
        }
        QVERIFY(run.empty());
        QCOMPARE(onLine.size(),
                 sender ? kPackets * int(kChannels.size()) : int(packets.size()) / width);
        QVERIFY(!onLine.isEmpty());
        for (size_t i = 0; i < in.size(); ++i) {
            const SimTraceEntry &e = in[i];
            if (!e.rts) {
                QVERIFY(sender); // the receiver takes nothing but commands
                ++dataBytes;
                continue;
            }
            for (const auto &[from, to] : onLine)
                QVERIFY2(e.time < from || e.time > to,
                         qPrintable(QStringLiteral("command byte %1 inside a packet").arg(i)));
            // A parameter comes a wait after its letter; a letter two waits after the
            // parameter before it (one wait, then the line's fall, then another), and one
            // after "R".
            const bool parameter = awaitingParameter;
            if (i > 0 && in[i - 1].rts) {
                const SimNs gap = e.time - in[i - 1].time;
                const SimNs least = parameter || in[i - 1].byte == 'R' ? kDelayNs : 2 * kDelayNs;
                QVERIFY2(
                    gap >= least,
                    qPrintable(
                        QStringLiteral("byte %1 came %2 ns after the one before").arg(i).arg(gap)));
            }
            awaitingParameter = !parameter && e.byte != 'R';
        }
        QCOMPARE(dataBytes, sender ? kPackets * int(kChannels.size()) * width : 0);
        // "R" to read, then "C" for each channel, and at the end "C" back to 2 with "R".
        const QByteArray commandBytes = [&] {
            QByteArray b;
            for (const SimTraceEntry &e : in)
                if (e.rts)
                    b += char(e.byte);
            return b;
        }();
        QByteArray expected("R");
        for (const int ch : kChannels)
            expected += 'C' + QByteArray(1, char(ch));
        expected += "C\x02R";
        QCOMPARE(commandBytes, expected);
    }

    // Refused before anything is written: modules that cannot hear each other, named by what
    // differs, and a port that does not open.
    void refusals_data()
    {
        QTest::addColumn<QString>("rxPort");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("reason");
        const auto module = [](const char *name, const std::function<void(SimConfig &)> &c) {
            return freshModule(QLatin1String(name), c);
        };
        using V = Survey::Verdict;
        QTest::newRow("address width")
            << module("R-W", [](SimConfig &c) { c.addressWidth = 4; }) << int(V::Refused)
            << "address width: the sender 5 bytes, the receiver 4";
        QTest::newRow("address 1")
            << module("R-A", [](SimConfig &c) { c.address1[2] = 0x12; }) << int(V::Refused)
            << "address 1: the sender E7E7E7E7E7, the receiver E7E712E7E7";
        QTest::newRow("payload width")
            << module("R-L", [](SimConfig &c) { c.rx1Bits = 64; }) << int(V::Refused)
            << "the sender sends 25 bytes (Data1 TX), the receiver takes 8 (Data1 RX)";
        QTest::newRow("data rate")
            << module("R-D", [](SimConfig &c) { c.dataRate = 0; }) << int(V::Refused)
            << "data rate: the sender 1 Mbit/s, the receiver 250 kbit/s";
        QTest::newRow("a port that does not open")
            << QStringLiteral("/dev/ttyQV9") << int(V::NotOpened) << "/dev/ttyQV9";
    }
    void refusals()
    {
        QFETCH(QString, rxPort);
        QFETCH(int, verdict);
        QFETCH(QString, reason);
        const QString tx = freshModule(QStringLiteral("R-TX"));
        const Survey::Outcome o = run(request(tx, rxPort, {80}, 5));
        QCOMPARE(int(o.verdict), verdict);
        QVERIFY2(o.reason.contains(reason), qPrintable(o.reason));
        QVERIFY(o.result.rows.isEmpty());
        // Nothing but the read, if that.
        const QByteArray wire = bytesOf(
            traceOf(SimModule::named(QStringLiteral("R-TX")), SimTraceEntry::Direction::ToModule));
        QVERIFY2(wire.isEmpty() || wire == "R", wire.constData());
    }

    // The receiver switches its serial speed after the first channel, as a module does that
    // is reset into another: the survey ends on the next channel, with the first one kept and
    // the sender given its channel back.
    void moduleThatStopsAnswering()
    {
        const QString tx = freshModule(QStringLiteral("STOP-TX"));
        const QString rx = freshModule(QStringLiteral("STOP-RX"));
        const Survey::Outcome o = run(request(tx, rx, {80, 81, 82}, 5), [] {
            SimModule *m = SimModule::named(QStringLiteral("STOP-RX"));
            SimConfig c = m->config();
            c.serialSpeed = 38400;
            m->setConfig(c);
        });
        QCOMPARE(int(o.verdict), int(Survey::Verdict::Failed));
        QVERIFY2(o.reason.contains(QLatin1String("sim:STOP-RX stopped answering on channel 81")),
                 qPrintable(o.reason));
        QCOMPARE(o.result.rows.size(), 1);
        QCOMPARE(o.result.rows.first().received, 5);
        QCOMPARE(o.txChannel, 2);
        QCOMPARE(SimModule::named(QStringLiteral("STOP-TX"))->config().channel, 2);
    }

    // --apply: both modules stay on the best channel, the quiet one inside the licence-free band
    // rather than the quiet one above it.
    void applyLeavesBothOnTheBest()
    {
        SimWorld::instance()->air().setInterference(SimInterference::wifi());
        const QString tx = freshModule(QStringLiteral("APPLY-TX"));
        const QString rx = freshModule(QStringLiteral("APPLY-RX"));
        Survey::Request r = request(tx, rx, {62, 127, 80}, 20);
        r.apply = true;
        const Survey::Outcome o = run(r);
        SimWorld::instance()->air().setInterference(SimInterference());
        QVERIFY2(o.verdict == Survey::Verdict::Done, qPrintable(o.reason));
        QVERIFY(o.applied);
        QCOMPARE(o.appliedChannel, 80);
        QCOMPARE(SimModule::named(QStringLiteral("APPLY-TX"))->config().channel, 80);
        QCOMPARE(SimModule::named(QStringLiteral("APPLY-RX"))->config().channel, 80);
    }

    void channelLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("channels"); // empty: refused
        QTest::newRow("ranges and commas") << "5-7, 1,6" << QList<int>{5, 6, 7, 1};
        QTest::newRow("all") << "0-127" << QList<int>();
        QTest::newRow("200") << "200" << QList<int>();
        QTest::newRow("backwards") << "9-3" << QList<int>();
        QTest::newRow("words") << "ten" << QList<int>();
    }
    void channelLists()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, channels);
        QString error;
        const QList<int> got = Survey::ParseChannels(text, &error);
        if (text == QLatin1String("0-127")) {
            QCOMPARE(got.size(), 128);
            return;
        }
        QCOMPARE(got, channels);
        QCOMPARE(error.isEmpty(), !channels.isEmpty());
    }

private:
    QString tx_, rx_;
    Survey::Outcome office_;
};

QTEST_GUILESS_MAIN(TestSurvey)
#include "tst_survey.moc"

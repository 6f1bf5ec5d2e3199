// Data and commands mixed as an operator mixes them, checked where it matters: on the wire.
// The simulated module's trace stamps every byte when it has left the port, with the RTS level
// it left under; a pseudo-terminal shows what reached the far end. A command pressed right
// after (or during) a transfer must wait for the data to leave, so that every data byte goes
// out with the programming line low and every command byte with it high; a close or a reopen
// must not throw away what was reported sent; the pauses between packets must hold on the
// wire, not only in the program.

#include "app/ComboBox.h"
#include "app/Eepromoptions.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/Writing.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyStation.h"
#include "support/RecordingPrompts.h"
#include "support/SimStation.h"
#include "support/TextFiles.h"
#include "support/Whenever.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

enum class Before { TestPacket, TypedLine, ContSend, FileLines };
enum class Op { ReadConfig, SetModule, Reset, Sleep, SetSpeed };

constexpr int kWidth = 25; // the receive and transmit width Set Module writes
const QByteArray kFile = "first line\nthe second line, longer than one packet\nthird\n";

// What each operation sends with the programming line raised, as the case leaves the controls.
QByteArray commandBytes(Op op, int baudIndex)
{
    static const char speedCodes[] = {1, 2, 4, 8, 16};
    switch (op) {
    case Op::ReadConfig:
        return "R";
    case Op::Reset:
        return "X";
    case Op::Sleep:
        return "S";
    case Op::SetSpeed:
        return QByteArray("B") + speedCodes[baudIndex];
    case Op::SetModule:
        // Channel 2, widths 25/0 received and sent, 250 kbit/s, 0 dBm, address width 4, the
        // address, then the read-back.
        return QByteArray::fromHex("4302 4cc8 6c00 54c8 7400 4400 5003 5720 41e7e7e7e7e7") + "R";
    }
    return {};
}

// The bytes a file line goes out as: the line with CR LF, padded with spaces to whole packets.
QByteArray filePackets(const QStringList &lines, int width)
{
    QByteArray out;
    for (const QString &line : lines) {
        QByteArray b = line.toLatin1() + "\r\n";
        b.append((width - b.size() % width) % width, ' ');
        out += b;
    }
    return out;
}

QByteArray traced(const SimStation &s, bool rts)
{
    QByteArray out;
    for (const SimTraceEntry &e : s.sent())
        if (e.rts == rts)
            out += char(e.byte);
    return out;
}

SimNs byteNs(int baud)
{
    return 10 * 1000000000LL / baud;
}

} // namespace

class TestWireTruth : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        writing_ = std::make_unique<TWritingForm>();
        WritingForm = writing_.get();
    }
    void cleanupTestCase()
    {
        WritingForm = nullptr;
        writing_.reset();
    }

    void commandsWaitForTheDataInFlight_data()
    {
        QTest::addColumn<int>("baudIndex");
        QTest::addColumn<Before>("before");
        QTest::addColumn<Op>("op");
        const std::pair<Before, const char *> befores[] = {{Before::TestPacket, "test packet"},
                                                           {Before::TypedLine, "typed line"},
                                                           {Before::ContSend, "Cont.Send"},
                                                           {Before::FileLines, "file lines"}};
        const std::pair<Op, const char *> ops[] = {{Op::ReadConfig, "Read Config"},
                                                   {Op::SetModule, "Set Module"},
                                                   {Op::Reset, "Reset"},
                                                   {Op::Sleep, "Sleep"},
                                                   {Op::SetSpeed, "Set Speed"}};
        for (const auto &[baudIndex, speed] : {std::pair{0, "9600"}, std::pair{4, "115200"}})
            for (const auto &[before, beforeName] : befores)
                for (const auto &[op, opName] : ops)
                    QTest::addRow("%s, %s after a %s", speed, opName, beforeName)
                        << baudIndex << before << op;
    }
    void commandsWaitForTheDataInFlight()
    {
        QFETCH(int, baudIndex);
        QFETCH(Before, before);
        QFETCH(Op, op);
        IsolatedSettings settings;
        RecordingPrompts prompts;
        static int serial = 0;
        SimStation s(settings, QStringLiteral("wire%1").arg(++serial), baudIndex);
        TMainForm &f = s.f();
        f.EditAddress1->setText(QStringLiteral("E7E7E7E7E7"));
        f.DataW1->SetValue(kWidth);
        f.DataW1TX->SetValue(63); // the whole test alphabet

        const auto press = [&] {
            if (op == Op::SetModule)
                f.DataW1TX->SetValue(kWidth); // wider does not fit the parameter byte
            QPushButton *const buttons[] = {f.Button5, f.Button2, f.Button8, f.Button7, f.Set};
            buttons[int(op)]->click();
        };
        const auto echoed = [&f] { return f.SentMemo->Lines().mid(1); };
        switch (before) {
        case Before::TestPacket:
            f.Button10->click();
            press();
            break;
        case Before::TypedLine:
            f.SendEdit->setText(QStringLiteral("a line typed by the operator"));
            f.SendTypedLine();
            press();
            break;
        case Before::ContSend:
            whenever(&f, [&] {
                if (echoed().size() < 2)
                    return false;
                press();
                f.Button9->click();
                return true;
            });
            f.Button4->click(); // returns when the loop has ended
            break;
        case Before::FileLines:
            prompts.fileAnswers << files_.write(kFile);
            whenever(&f, [&] {
                if (echoed().isEmpty())
                    return false;
                press();
                return true;
            });
            f.Button11->click(); // returns when the file has gone
            break;
        }
        if (op == Op::ReadConfig || op == Op::SetModule)
            QTRY_VERIFY2(s.log().contains(QStringLiteral("OK")), qPrintable(s.log().join('|')));

        const QByteArray data = before == Before::FileLines ? filePackets(echoed(), kWidth)
                                                            : echoed().join(QString()).toLatin1();
        QVERIFY(!data.isEmpty());
        QCOMPARE(traced(s, false), data);
        QCOMPARE(traced(s, true), commandBytes(op, baudIndex));
        QVERIFY2(!s.log().contains(QStringLiteral("Comm. Error!")), qPrintable(s.log().join('|')));
        QVERIFY(prompts.messages.isEmpty());
    }

    // Bytes the program reported sent reach the far end, though it has read none of them yet
    // when the port closes or reopens; nothing is said about dropped bytes.
    void closesKeepWhatWasSent_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("window destroyed at exit") << QStringLiteral("exit");
        QTest::newRow("settings Ok") << QStringLiteral("ok");
        QTest::newRow("Set Speed") << QStringLiteral("speed");
    }
    void closesKeepWhatWasSent()
    {
        QFETCH(QString, action);
        IsolatedSettings settings;
        RecordingPrompts prompts;
        PtyStation st(settings, 0); // 9600 bit/s
        st.main->DataW1->SetValue(kWidth);
        st.main->SendTextFile(files_.write(kFile));
        QByteArray expected = filePackets(st.main->SentMemo->Lines().mid(1), kWidth);
        const QStringList logBefore = st.log();
        if (action == QLatin1String("exit")) {
            MainForm = nullptr;
            st.main.reset();
        } else if (action == QLatin1String("ok")) {
            st.options->FormShow();
            st.options->Button1Click();
        } else {
            st.main->Speed->SetItemIndex(0);
            st.main->SetClick();
            expected += QByteArray("B\x01", 2);
        }
        QCOMPARE(st.device->read(expected.size()), expected);
        if (st.main) {
            QVERIFY(st.main->SerialConnector->Connected());
            for (const QString &line : st.log().mid(logBefore.size()))
                QVERIFY2(!line.contains(QStringLiteral("dropped")), qPrintable(line));
        }
    }

    // A transmitter held by flow control keeps bytes back: the write reports them unsent, and
    // the reopen that follows waits a bounded time for them, then drops them and says so.
    void heldTransmitterBoundsTheClose()
    {
        IsolatedSettings settings;
        RecordingPrompts prompts;
        SimStation s(settings, QStringLiteral("held"), 0);
        TMainForm &f = s.f();
        f.SerialConnector->SetCtsFlowControl(CTSOn);
        f.ApplyPortSettings();
        s.module->setCtsHeld(true);
        f.DataW1TX->SetValue(20);
        f.Button10->click();
        QCOMPARE(s.log(), QStringList{QStringLiteral("Comm. Error!")});
        f.ApplyPortSettings();
        QCOMPARE(s.log().last(),
                 QStringLiteral("COM1 (simulated held): 20 unsent byte(s) dropped at close"));
        s.module->setCtsHeld(false);
        QTest::qWait(50);
        QCOMPARE(traced(s, false), QByteArray());
    }

    // The pauses are the line's: 10 ms idle between file packets, 100 ms between the packets of
    // a continuous send, at the slowest and the fastest speed.
    void pausesHoldOnTheWire_data()
    {
        QTest::addColumn<int>("baudIndex");
        QTest::addColumn<int>("baud");
        QTest::newRow("9600") << 0 << 9600;
        QTest::newRow("115200") << 4 << 115200;
    }
    void pausesHoldOnTheWire()
    {
        QFETCH(int, baudIndex);
        QFETCH(int, baud);
        IsolatedSettings settings;
        RecordingPrompts prompts;
        SimStation s(settings, QStringLiteral("pace%1").arg(baud), baudIndex);
        TMainForm &f = s.f();
        const int width = 8;
        f.DataW1->SetValue(width);
        f.SendTextFile(files_.write(kFile));
        const auto gapsAtLeast = [&](int packetBytes, SimNs idle) {
            const std::vector<SimTraceEntry> sent = s.sent();
            QVERIFY(sent.size() >= size_t(2 * packetBytes));
            for (size_t i = size_t(packetBytes); i < sent.size(); i += size_t(packetBytes)) {
                // Stamps are stop-bit ends: the first byte of a packet ends one byte time
                // after it began.
                const SimNs gap = sent[i].time - byteNs(baud) - sent[i - 1].time;
                QVERIFY2(gap >= idle, qPrintable(QStringLiteral("%1 ms").arg(gap / 1e6)));
            }
        };
        gapsAtLeast(width, 10 * kSimMilli);

        s.module->clearTrace();
        f.DataW1TX->SetValue(30);
        whenever(&f, [&] {
            if (f.SentMemo->Lines().size() < 1 + 3 + 7)
                return false;
            f.Button9->click();
            return true;
        });
        f.Button4->click();
        gapsAtLeast(30, 100 * kSimMilli);
    }

    // A pseudo-terminal has no line time of its own: the program keeps it. A far end reading
    // as a port at 9600 would see the packets of a continuous send 100 ms apart, and the
    // packets of a file each after the line time and the pause of the one before. The far end
    // here is a thread that a busy machine may wake late for one packet, which shortens the
    // gap it sees to the next: 20 ms are left for that. A pause counted from the start of the
    // write instead of its end would still show, 31 ms short.
    void pausesHoldOnAPseudoTerminal()
    {
        IsolatedSettings settings;
        RecordingPrompts prompts;
        PtyStation st(settings, 0);
        TMainForm &f = *st.main;
        using Clock = std::chrono::steady_clock;
        std::vector<std::pair<Clock::time_point, char>> arrivals;
        std::mutex arrivalsLock;
        const auto arrived = [&] {
            std::lock_guard<std::mutex> lk(arrivalsLock);
            return arrivals.size();
        };
        std::atomic<bool> stop{false};
        std::thread reader([&] {
            const int fd = st.device->master();
            while (!stop) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                char buf[256];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                std::lock_guard<std::mutex> lk(arrivalsLock);
                for (ssize_t i = 0; i < n; ++i)
                    arrivals.emplace_back(Clock::now(), buf[i]);
            }
        });
        const auto lineTime = [](qsizetype bytes) {
            return std::chrono::microseconds(bytes * 10 * 1000000 / 9600);
        };

        f.DataW1->SetValue(kWidth);
        const Clock::time_point started = Clock::now();
        f.SendTextFile(files_.write(kFile));
        const QByteArray file = filePackets(f.SentMemo->Lines().mid(1), kWidth);
        const qsizetype packets = file.size() / kWidth;
        QTRY_COMPARE(arrived(), size_t(file.size()));
        const auto took = arrivals.back().first - started;
        // The far end has every packet as soon as it is written: the last one comes after
        // the line time and the pause of each before it.
        QVERIFY2(
            took >= (lineTime(kWidth) + std::chrono::milliseconds(10)) * (packets - 1),
            qPrintable(
                QStringLiteral("%1 packets in %2 us")
                    .arg(packets)
                    .arg(std::chrono::duration_cast<std::chrono::microseconds>(took).count())));

        f.DataW1TX->SetValue(30);
        whenever(&f, [&] {
            if (f.SentMemo->Lines().size() < 1 + 3 + 4)
                return false;
            f.Button9->click();
            return true;
        });
        f.Button4->click();
        QTRY_COMPARE(arrived(), size_t(file.size() + 4 * 30));
        stop = true;
        reader.join();
        for (size_t i = size_t(file.size()) + 30; i < arrivals.size(); i += 30) {
            // The far end at 9600 has taken the previous packet after its line time.
            const auto gap = arrivals[i].first - (arrivals[i - 30].first + lineTime(30));
            QVERIFY2(gap >= std::chrono::milliseconds(80),
                     qPrintable(QString::number(
                         std::chrono::duration_cast<std::chrono::microseconds>(gap).count())));
        }
    }

private:
    std::unique_ptr<TWritingForm> writing_;
    TextFiles files_;
};

QTEST_MAIN(TestWireTruth)
#include "tst_wiretruth.moc"

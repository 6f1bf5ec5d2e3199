// SimLine as a serial line: exclusive open, the same read and write time-outs as a tty, line
// events on arrival, a close that never waits for output; and its trace, which stamps every
// byte with its time on the wire and the RTS level.

#include "SimTestPort.h"

#include <QTest>

#include <atomic>
#include <thread>

namespace {

SimNs usToNs(qint64 us)
{
    return SimNs(us) * kSimMicro;
}

} // namespace

class TestSimLine : public QObject {
    Q_OBJECT

private slots:
    void exclusiveOpen()
    {
        SimTestPort first(QStringLiteral("excl"));
        QVERIFY(first.ok());
        SimLine second;
        QVERIFY(!second.open("sim:excl", false, false));
        QCOMPARE(second.error(), LineError::Busy);
        first.line().close();
        QVERIFY(second.open("sim:excl", false, false));
        QVERIFY(second.isOpen());
    }

    void refusals()
    {
        SimLine line;
        QVERIFY(!line.open("/dev/ttyS0", false, false));
        QCOMPARE(line.error(), LineError::NoDevice);
        uint8_t b = 0;
        QCOMPARE(line.write(&b, 1, 10), -1);
        QCOMPARE(line.read(&b, 1, 10), -1);
        QCOMPARE(line.queuedInput(), -1);
        unsigned bits = 0;
        QVERIFY(!line.modemInputs(bits));
        QVERIFY(!line.setRts(true));
        QCOMPARE(line.waitEvent(), SerialLine::Wait::Failed);

        QVERIFY(line.open("sim:refuse", false, false));
        LineSettings s;
        s.baud = 12345;
        QVERIFY(!line.configure(s));
        QCOMPARE(line.error(), LineError::SettingsRefused);
        QVERIFY(line.modemInputs(bits));
        QCOMPARE(bits, SerialLine::CtsOn | SerialLine::DsrOn);
    }

    void rtsRaisedAtOpenReachesTheModule()
    {
        SimModule::named(QStringLiteral("openrts"))->factoryReset();
        SimLine line;
        QVERIFY(line.open("sim:openrts", true, false));
        const uint8_t r = 'R';
        QCOMPARE(line.write(&r, 1, 0), 1);
        uint8_t buf[32];
        int got = 0;
        for (int i = 0; i < 100 && got < 20; ++i)
            got += line.read(buf + got, 20 - got, 50);
        QCOMPARE(got, 20);
        QCOMPARE(buf[0], uint8_t(0x41));
    }

    void readTimeOuts()
    {
        SimTestPort port(QStringLiteral("reads"));
        uint8_t buf[64];
        // Nothing waiting: the read waits its whole time-out.
        QElapsedTimer t;
        t.start();
        QCOMPARE(port.line().read(buf, 10, 60), 0);
        QVERIFY(t.elapsed() >= 60);
        // Bytes waiting come back at once, fewer than asked.
        port.command('R');
        QTRY_COMPARE(port.line().queuedInput(), 20);
        QCOMPARE(port.line().read(buf, 64, 5000), 20);
        QCOMPARE(buf[0], uint8_t(0x41));
        // A read that starts before the answer waits for its whole count. The command goes
        // out from another thread well after the read began: a write returns only once its
        // byte has left, so from this thread the answer could already be arriving.
        port.line().setRts(true);
        QCOMPARE(port.line().queuedInput(), 0);
        std::thread commander([&port] {
            QThread::msleep(200);
            port.write("R");
        });
        const int got = port.line().read(buf, 20, 5000);
        commander.join();
        QCOMPARE(got, 20);
        port.line().setRts(false);
    }

    void writeBoundedByItsTimeOut()
    {
        SimTestPort port(QStringLiteral("writes"));
        SimConfig c;
        c.tx1Bits = 0; // the module drops what it gets
        port.module()->setConfig(c);
        const QByteArray big(8000, 'w');
        QElapsedTimer t;
        t.start();
        const int n =
            port.line().write(reinterpret_cast<const uint8_t *>(big.constData()), big.size(), 100);
        // The count is what has left at 9600 by the time the budget ran out, never more
        // than the line could carry.
        QVERIFY(t.elapsed() >= 100);
        QVERIFY2(n > 0 && n <= t.elapsed() * 1000 / port.lineUs(1) + 1,
                 qPrintable(QString::number(n)));
        QVERIFY(port.line().unsentOutput() > 0);
        // Closing does not wait for the buffer: what was still waiting is dropped.
        port.line().close();
        QThread::msleep(20);
        QVERIFY(port.module()->trace().size() < size_t(n) + 30);
    }

    void purgeAndDrainDropOnlyWhatHasNotLeft()
    {
        SimTestPort port(QStringLiteral("purge"));
        port.command('R');
        QTRY_COMPARE(port.line().queuedInput(), 20);
        const auto sentP = [&port] {
            const auto trace = port.module()->trace();
            return std::count_if(trace.begin(), trace.end(), [](const SimTraceEntry &e) {
                return e.direction == SimTraceEntry::Direction::ToModule && e.byte == 'p';
            });
        };
        int left = port.write(QByteArray(100, 'p'), 1);
        port.line().purge();
        QCOMPARE(port.line().queuedInput(), 0);
        QVERIFY(port.line().unsentOutput() <= 1); // the byte on the wire completes
        QThread::msleep(20);
        // What had left, and at most the byte that was on the wire.
        QVERIFY(sentP() >= left && sentP() <= left + 1);

        // A held transmitter: the drain waits its bound, then drops what never went.
        port.module()->clearTrace();
        port.setCtsFlow(true);
        port.module()->setCtsHeld(true);
        QCOMPARE(port.write(QByteArray(50, 'p'), 1), 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(port.line().drainOutput(30), 50);
        QVERIFY(t.elapsed() >= 30);
        port.module()->setCtsHeld(false);
        QThread::msleep(20);
        QCOMPARE(sentP(), 0);
        // Released in time, the bytes leave and nothing is dropped.
        port.module()->setCtsHeld(true);
        left = port.write(QByteArray(5, 'p'), 1);
        QCOMPARE(left, 0);
        std::thread release([&port] {
            QThread::msleep(10);
            port.module()->setCtsHeld(false);
        });
        QCOMPARE(port.line().drainOutput(2000), 0);
        release.join();
        QCOMPARE(sentP(), 5);
    }

    void eventsOnArrivalNotOnLevel()
    {
        SimTestPort port(QStringLiteral("events"));
        SerialLine &line = port.line();
        // A completed write is an event.
        port.write("z");
        QCOMPARE(line.waitEvent(), SerialLine::Wait::Event);
        port.command('R');
        QTRY_COMPARE(line.queuedInput(), 20);
        QCOMPARE(line.waitEvent(), SerialLine::Wait::Event);
        // The 20 bytes stay unread: the next wait does not end until woken.
        std::atomic<int> result{-1};
        std::thread watcher([&] { result = int(line.waitEvent()); });
        QThread::msleep(50);
        QCOMPARE(result.load(), -1);
        line.wake();
        watcher.join();
        QCOMPARE(result.load(), int(SerialLine::Wait::Woken));
    }

    void arrivalsAnnouncedAsAUartDoes()
    {
        SimTestPort port(QStringLiteral("fifo"));
        SerialLine &line = port.line();
        port.command('R');
        QCOMPARE(line.waitEvent(), SerialLine::Wait::Event); // the letter's write
        // The dump's 20 bytes: announced at 8 and at 16 bytes, the last four once four
        // character times have passed without another byte.
        QList<int> counts;
        SimNs lastAnnounced = 0;
        while (counts.isEmpty() || counts.last() < 20) {
            QCOMPARE(line.waitEvent(), SerialLine::Wait::Event);
            lastAnnounced = simNow();
            counts << line.queuedInput();
            QVERIFY(counts.size() <= 3);
        }
        // A watcher that the scheduler keeps waiting sees announcements made meanwhile as
        // one; none comes before the trigger level.
        QVERIFY2(counts[0] >= 8, qPrintable(QString::number(counts[0])));
        QVERIFY2(counts.size() < 3 || (counts[0] < 16 && counts[1] >= 16 && counts[1] < 20),
                 qPrintable(QString::number(counts[1])));
        const auto trace = port.module()->trace();
        QCOMPARE(trace.back().direction, SimTraceEntry::Direction::FromModule);
        QVERIFY(lastAnnounced - trace.back().time >= usToNs(port.lineUs(4)) - kSimMicro);
    }

    void traceOrderAndRtsLevels()
    {
        SimTestPort port(QStringLiteral("trace"));
        port.line().setRts(true);
        const SimNs written = simNow();
        port.send("R");
        const SimNs lowered = simNow();
        port.line().setRts(false);
        port.send("d");
        QCOMPARE(port.receive(20).size(), 20);
        const auto trace = port.module()->trace();
        QCOMPARE(trace.size(), size_t(22));
        using D = SimTraceEntry::Direction;
        QCOMPARE(trace[0].direction, D::ToModule);
        QCOMPARE(trace[0].byte, uint8_t('R'));
        QVERIFY(trace[0].rts);
        // The letter's stop bit ends one byte time after it was written, at the earliest.
        QVERIFY(trace[0].time - written >= usToNs(port.lineUs(1)));
        QByteArray dump;
        for (size_t i = 1; i < trace.size(); ++i) {
            QVERIFY(trace[i].time >= trace[i - 1].time);
            if (trace[i].direction == D::FromModule) {
                dump.append(char(trace[i].byte));
                // Each byte of the answer shows the RTS level at its arrival.
                if (trace[i].time < lowered)
                    QVERIFY(trace[i].rts);
                else if (trace[i].time > lowered + kSimMilli)
                    QVERIFY(!trace[i].rts);
            } else {
                QCOMPARE(trace[i].byte, uint8_t('d'));
                QVERIFY(!trace[i].rts);
            }
        }
        QCOMPARE(dump.size(), 20);
        QCOMPARE(uint8_t(dump.at(0)), uint8_t(0x41));
        port.module()->clearTrace();
        QVERIFY(port.module()->trace().empty());
    }

    void lineTimeIsALowerBound_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("9600") << 9600;
        QTest::newRow("115200") << 115200;
    }
    void lineTimeIsALowerBound()
    {
        QFETCH(int, baud);
        SimTestPort port(QStringLiteral("linetime"));
        SimConfig c;
        c.serialSpeed = baud;
        port.module()->setConfig(c);
        port.setBaud(baud);
        const SimNs start = simNow();
        port.send(QByteArray(30, 'q'));
        port.command('R');
        QCOMPARE(port.receive(20).size(), 20);
        const auto trace = port.module()->trace();
        QCOMPARE(trace.size(), size_t(51));
        const SimNs byteNs = usToNs(port.lineUs(1)) - kSimMicro;
        QVERIFY(trace[29].time - start >= 30 * byteNs);
        for (size_t i = 1; i < trace.size(); ++i)
            QVERIFY(trace[i].time - trace[i - 1].time >= byteNs);
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"

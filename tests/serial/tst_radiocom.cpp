// The serial component over pseudo-terminal pairs: the slave is the port, the test plays the
// far end on the master.

#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "support/PtyPair.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/resource.h>
#include <termios.h>

namespace {

// Process CPU time in milliseconds (all threads).
double cpuMs()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;
}

void mapPort(const QString &com, const QString &device)
{
    QMap<QString, QString> m = PortDirectory::global().explicitEntries();
    m.insert(com, device);
    PortDirectory::global().setExplicit(m);
}

// A component set up as the main window sets it up, open on the given pty as COM3.
struct OpenCom {
    explicit OpenCom(const PtyPair &pty, const QString &com = QStringLiteral("COM3"))
    {
        mapPort(com, pty.path());
        c.SetRtsFlowControl(RTSOff);
        c.SetComPort(static_cast<ports>(com.mid(3).toInt() - 1));
        c.SetOnReceive([this](int count) {
            counts << count;
            onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
        });
        c.SetComStatus(true);
    }
    TRadioCom c;
    QList<int> counts;
    bool onMainThread = true;
};

speed_t slaveSpeed(const PtyPair &pty)
{
    struct termios t {};
    ::tcgetattr(pty.slaveKeeper(), &t);
    return ::cfgetospeed(&t);
}

} // namespace

class TestRadioCom : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        PortDirectory::global().setPortSource([] { return QList<PortInfo>(); });
    }

    void defaultsAndClamps()
    {
        TRadioCom c;
        QCOMPARE(c.GetComPort(), COM2);
        QCOMPARE(c.GetBaudRate(), br9600);
        QCOMPARE(c.Connected(), false);
        QCOMPARE(c.RtsFlowControl(), RTSHandshake);
        QCOMPARE(c.DtrFlowControl(), DTROff);
        QCOMPARE(c.DsrFlowControl(), DSROff);
        QCOMPARE(c.DsrSensitivity(), DSRIgnore);
        QCOMPARE(c.CtsFlowControl(), CTSOff);
        QCOMPARE(c.ReadTimeout(), 1);
        QCOMPARE(c.WriteTimeout(), 10);
        QCOMPARE(QByteArray(c.DeviceName()), QByteArray("COM2"));

        c.SetReadTimeout(0);
        QCOMPARE(c.ReadTimeout(), 1);
        c.SetReadTimeout(-5);
        QCOMPARE(c.ReadTimeout(), 1);
        c.SetReadTimeout(40000);
        QCOMPARE(c.ReadTimeout(), 30000);
        c.SetWriteTimeout(-1);
        QCOMPARE(c.WriteTimeout(), 0);
        c.SetWriteTimeout(30001);
        QCOMPARE(c.WriteTimeout(), 30000);

        // Indexes outside the tables: the port falls back to COM2, the speed to 9600, and
        // the stored value still counts as different from br9600.
        c.SetBaudRate(static_cast<bauds>(16));
        QCOMPARE(QByteArray(c.ModeText()), QByteArray("9600,N,8,1"));
        QCOMPARE(c.GetBaudRate(), br9600);
        c.SetComPort(static_cast<ports>(255));
        QCOMPARE(QByteArray(c.DeviceName()), QByteArray("COM2"));
        QCOMPARE(c.GetComPort(), COM2);
        c.SetComPort(static_cast<ports>(21));
        QCOMPARE(QByteArray(c.DeviceName()), QByteArray("ComFile.txt"));
        QCOMPARE(c.GetComPort(), COM2);
    }

    void closedPortRefusesEverything()
    {
        TRadioCom c;
        c.SetRtsFlowControl(RTSOff);
        unsigned char buf[4] = {1, 2, 3, 4};
        QCOMPARE(c.SendByte(0x41), -1);
        QCOMPARE(c.SendBuffer(buf, 4), -1);
        QCOMPARE(c.SendPlainBuffer(buf, 4), -1);
        QCOMPARE(c.SendCTSByte(0x41), -1);
        QCOMPARE(c.SendStepBuffer(buf, 4), 0);
        QCOMPARE(c.SendCTSBuffer(buf, 4), 0);
        QCOMPARE(c.SendStepBuffer(buf, 0), 0);
        QCOMPARE(c.ReceiveBuffer(buf, 4), -1);
        QCOMPARE(c.SetRTSState(true), -1);
        QCOMPARE(c.SetDTRState(true), -1);
        QCOMPARE(c.GetCTSState(), false);
        QCOMPARE(c.GetDSRState(), false);
    }

    void allByteValuesPassBothWays()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        OpenCom com(pty);
        QVERIFY(com.c.Connected());

        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QCOMPARE(com.c.SendBuffer(reinterpret_cast<const unsigned char *>(all.constData()), 256),
                 256);
        QCOMPARE(pty.read(256), all);

        pty.write(all);
        QByteArray got;
        QElapsedTimer t;
        t.start();
        unsigned char buf[300];
        while (got.size() < 256 && t.elapsed() < 2000) {
            const int n = com.c.ReceiveBuffer(buf, sizeof buf);
            QVERIFY(n >= 0);
            got.append(reinterpret_cast<const char *>(buf), n);
        }
        QCOMPARE(got, all);
    }

    void openCloseAndReopen()
    {
        PtyPair pty;
        OpenCom com(pty);
        QVERIFY(com.c.Connected());
        QCOMPARE(slaveSpeed(pty), speed_t(B9600));

        // Bytes left queued show whether the port was closed and opened again: closing
        // purges the input queue.
        pty.write("abc");
        QTRY_COMPARE(com.c.Line()->queuedInput(), 3);
        com.c.SetBaudRate(br9600);
        com.c.SetComPort(COM3);
        QCOMPARE(com.c.Line()->queuedInput(), 3);

        com.c.SetBaudRate(br38400);
        QVERIFY(com.c.Connected());
        QCOMPARE(com.c.Line()->queuedInput(), 0);
        QCOMPARE(slaveSpeed(pty), speed_t(B38400));

        // A change of port while open moves to the new device.
        PtyPair other;
        mapPort(QStringLiteral("COM4"), other.path());
        com.c.SetComPort(COM4);
        QVERIFY(com.c.Connected());
        QCOMPARE(com.c.SendByte('z'), 1);
        QCOMPARE(other.read(1), QByteArray("z"));

        // A port that does not exist leaves the component closed with the new choice.
        com.c.SetComPort(COM9);
        QVERIFY(!com.c.Connected());
        QCOMPARE(com.c.GetComPort(), COM9);
        QVERIFY(com.c.LastOpenError().contains(QLatin1String("COM9")));

        // While closed, a choice is only recorded; the next open uses it.
        com.c.SetComPort(COM3);
        QVERIFY(!com.c.Connected());
        com.c.SetComStatus(true);
        QVERIFY(com.c.Connected());
        QVERIFY(com.c.LastOpenError().isEmpty());
        com.c.SetComStatus(false);
        QVERIFY(!com.c.Connected());
    }

    void closingRestoresTheDeviceSettings()
    {
        PtyPair pty;
        struct termios before {};
        ::tcgetattr(pty.slaveKeeper(), &before);
        before.c_lflag |= ECHO | ICANON;
        ::tcsetattr(pty.slaveKeeper(), TCSANOW, &before);
        {
            OpenCom com(pty);
            struct termios during {};
            ::tcgetattr(pty.slaveKeeper(), &during);
            QCOMPARE(during.c_lflag & (ECHO | ICANON), tcflag_t(0));
        }
        struct termios after {};
        ::tcgetattr(pty.slaveKeeper(), &after);
        QCOMPARE(after.c_lflag & (ECHO | ICANON), tcflag_t(ECHO | ICANON));
    }

    void exclusiveOpen()
    {
        PtyPair pty;
        OpenCom first(pty);
        QVERIFY(first.c.Connected());
        TRadioCom second;
        second.SetRtsFlowControl(RTSOff);
        second.SetComPort(COM3);
        second.SetComStatus(true);
        QVERIFY(!second.Connected());
        QVERIFY(second.LastOpenError().contains(QLatin1String("busy")));

        first.c.SetComStatus(false);
        second.SetComStatus(true);
        QVERIFY(second.Connected());
    }

    void refusesWhatIsNoSerialDevice_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("reason");
        static QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("plain.txt")));
        file.open(QIODevice::WriteOnly);
        file.write("x");
        file.close();
        QTest::newRow("regular file") << file.fileName() << "not a serial device";
        QTest::newRow("directory") << dir.path() << "not a serial device";
        QTest::newRow("missing path")
            << dir.filePath(QStringLiteral("nothing")) << "no such device";
    }

    void refusesWhatIsNoSerialDevice()
    {
        QFETCH(QString, device);
        QFETCH(QString, reason);
        mapPort(QStringLiteral("COM5"), device);
        TRadioCom c;
        c.SetComPort(COM5);
        c.SetComStatus(true);
        QVERIFY(!c.Connected());
        QVERIFY2(c.LastOpenError().contains(reason), qPrintable(c.LastOpenError()));
        QVERIFY(c.LastOpenError().contains(device));
    }

    void unmappedPortHasNoDevice()
    {
        TRadioCom c;
        c.SetComPort(COM17);
        c.SetComStatus(true);
        QVERIFY(!c.Connected());
        QVERIFY(c.LastOpenError().contains(QLatin1String("COM17")));
    }

    void readSemantics()
    {
        PtyPair pty;
        OpenCom com(pty);
        com.c.SetOnReceive(nullptr);
        unsigned char buf[16];

        QCOMPARE(com.c.ReceiveBuffer(buf, 0), 0);

        // Fewer waiting than asked: what is there, at once.
        pty.write("xyz");
        QTRY_COMPARE(com.c.Line()->queuedInput(), 3);
        QElapsedTimer t;
        t.start();
        QCOMPARE(com.c.ReceiveBuffer(buf, 5), 3);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), 3), QByteArray("xyz"));

        // More waiting than asked: the rest stays queued.
        pty.write("12345");
        QTRY_COMPARE(com.c.Line()->queuedInput(), 5);
        QCOMPARE(com.c.ReceiveBuffer(buf, 2), 2);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), 2), QByteArray("12"));
        QCOMPARE(com.c.Line()->queuedInput(), 3);
        QCOMPARE(com.c.ReceiveBuffer(buf, 16), 3);

        // Nothing waiting, nothing coming: nothing, after the read time-out.
        com.c.SetComStatus(false);
        com.c.SetReadTimeout(50);
        com.c.SetComStatus(true);
        t.restart();
        QCOMPARE(com.c.ReceiveBuffer(buf, 4), 0);
        QVERIFY(t.elapsed() >= 45);
    }

    void writeCounts()
    {
        PtyPair pty;
        OpenCom com(pty);
        const unsigned char data[] = "hello";
        QCOMPARE(com.c.SendBuffer(data, 0), 0);
        QCOMPARE(com.c.SendByte('h'), 1);
        QCOMPARE(com.c.SendBuffer(data, 5), 5);
        QCOMPARE(com.c.SendStepBuffer(data, 5), 5);
        QCOMPARE(pty.read(11), QByteArray("hhellohello"));
    }

    void writeIsBoundedByItsTimeout()
    {
        PtyPair pty;
        OpenCom com(pty);
        // Fill the far end's buffer through a second descriptor so that nothing more fits.
        char block[4096] = {};
        ::fcntl(pty.slaveKeeper(), F_SETFL, ::fcntl(pty.slaveKeeper(), F_GETFL) | O_NONBLOCK);
        // The driver moves data on in the background; fill until a pause frees nothing.
        for (int settled = 0; settled < 3;) {
            bool wrote = false;
            while (::write(pty.slaveKeeper(), block, sizeof block) > 0 ||
                   ::write(pty.slaveKeeper(), block, 1) > 0)
                wrote = true;
            settled = wrote ? 0 : settled + 1;
            QThread::msleep(20);
        }
        const unsigned char data[10] = {};
        // A time-out changed on an open port waits for the next open.
        com.c.SetWriteTimeout(1);
        QElapsedTimer t;
        t.start();
        const int sent = com.c.SendBuffer(data, 10);
        QVERIFY(sent < 10);
        QVERIFY(t.elapsed() >= 90); // 10 bytes x 10 ms
    }

    // A write ends when its bytes have left: never before their line time at the port's
    // speed, though a pseudo-terminal takes them at once; and the far end gets every one of
    // them, also when it reads only after the port has closed.
    void writeEndsWhenItsBytesHaveLeft_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("baud");
        QTest::newRow("9600") << int(br9600) << 9600;
        QTest::newRow("115200") << int(br115200) << 115200;
    }
    void writeEndsWhenItsBytesHaveLeft()
    {
        QFETCH(int, speed);
        QFETCH(int, baud);
        PtyPair pty;
        OpenCom com(pty);
        com.c.SetBaudRate(static_cast<bauds>(speed));
        const QByteArray data(60, 'w');
        const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
        QElapsedTimer t;
        t.start();
        QCOMPARE(com.c.SendBuffer(bytes, 30), 30);
        QCOMPARE(com.c.SendStepBuffer(bytes, 30), 30);
        QVERIFY(t.nsecsElapsed() >= 60LL * 10 * 1000000000LL / baud);
        QCOMPARE(com.c.Line()->unsentOutput(), 0);
        com.c.SetComStatus(false);
        QCOMPARE(pty.read(60), data);
    }

    void modemLines()
    {
        PtyPair pty;
        OpenCom com(pty);
        // Pseudo-terminals have no modem lines: the open succeeded, only these calls fail.
        QCOMPARE(com.c.SetRTSState(true), -1);
        QCOMPARE(com.c.SetDTRState(false), -1);
        QCOMPARE(com.c.GetCTSState(), false);
        QCOMPARE(com.c.GetModemState(0), false);
        QCOMPARE(com.c.GetModemState(5), false);
        QCOMPARE(com.c.SendCTSByte('a'), -1);
        QCOMPARE(com.c.EscapeComm(99), -1);

        // A handshake setting owns the line: refused whatever the driver could do.
        com.c.SetRtsFlowControl(RTSHandshake);
        QCOMPARE(com.c.SetRTSState(false), -1);
        com.c.SetRtsFlowControl(RTSOff);
        com.c.SetDtrFlowControl(DTRHandshake);
        QCOMPARE(com.c.SetRTSState(false), -1);
        com.c.SetDtrFlowControl(DTROff);
        com.c.SetCtsFlowControl(CTSOn);
        QCOMPARE(com.c.SendCTSByte('a'), -1);
        QCOMPARE(com.c.SendCTSBuffer(reinterpret_cast<const unsigned char *>("ab"), 2), 0);
        QCOMPARE(pty.read(1, 50), QByteArray());
    }

    // --- the watcher -------------------------------------------------------------------

    void arrivalRaisesOnReceiveOnTheMainThread()
    {
        PtyPair pty;
        OpenCom com(pty);
        pty.write("A");
        QTRY_VERIFY(!com.counts.isEmpty());
        QVERIFY(com.counts.first() >= 1);
        QVERIFY(com.onMainThread);
    }

    void writeGivesTransmitEmptyNotification()
    {
        PtyPair pty;
        OpenCom com(pty);
        QCOMPARE(com.c.SendByte('q'), 1);
        QTRY_COMPARE(com.counts, QList<int>{0});
        QTest::qWait(50);
        QCOMPARE(com.counts, QList<int>{0}); // one notification, not a stream
    }

    void partialDataWaitingCostsNothing()
    {
        PtyPair pty;
        OpenCom com(pty);
        com.c.SetOnReceive([&com](int count) { com.counts << count; }); // reads nothing
        pty.write("abc");
        QTRY_VERIFY(!com.counts.isEmpty());
        // The arrival may be announced twice when the driver wakes the wait twice for one
        // write; after that, bytes left in the queue do not wake the watcher again.
        QTest::qWait(50);
        const qsizetype settled = com.counts.size();
        QVERIFY(settled <= 2);
        QTest::qWait(300);
        QCOMPARE(com.counts.size(), settled);
        QCOMPARE(com.c.Line()->queuedInput(), 3);
    }

    // Bytes that arrive while a notification waits for the main thread go over in one more
    // notification after it, whether or not the handler takes them.
    void busyMainThreadGetsOneNotification_data()
    {
        QTest::addColumn<bool>("takes");
        QTest::newRow("handler takes the bytes") << true;
        QTest::newRow("handler leaves them") << false;
    }

    void busyMainThreadGetsOneNotification()
    {
        QFETCH(bool, takes);
        PtyPair pty;
        OpenCom com(pty);
        unsigned char buf[64];
        com.c.SetOnReceive([&](int count) {
            com.counts << count;
            if (takes)
                com.c.ReceiveBuffer(buf, count);
        });
        pty.write("0");
        QThread::msleep(5); // the watcher hands over and waits for the main thread
        for (const char *bytes : {"123", "456", "789"}) { // arrivals while it waits
            pty.write(bytes);
            QThread::msleep(5);
        }
        QThread::msleep(100); // main thread busy
        QTRY_VERIFY(!com.counts.isEmpty());
        QTest::qWait(50);
        QCOMPARE(com.counts.first(), 10);
        // At most one further notification, with what is then waiting.
        QVERIFY2(com.counts.size() <= 2, qPrintable(QString::number(com.counts.size())));
        if (com.counts.size() == 2)
            QCOMPARE(com.counts.at(1), takes ? 0 : 10);
    }

    // Gathering: a stream arriving in pieces goes over in receive events at least the gathering
    // time apart, every byte in order; ended, a held event lets the next arrival through.
    void gatheringBatchesArrivals()
    {
        PtyPair pty;
        OpenCom com(pty);
        QByteArray got;
        QList<qint64> at;
        QElapsedTimer clock;
        clock.start();
        unsigned char buf[64];
        com.c.SetOnReceive([&](int count) {
            const int n = com.c.ReceiveBuffer(buf, count);
            if (n > 0) {
                got.append(reinterpret_cast<const char *>(buf), n);
                at << clock.elapsed();
            }
        });
        com.c.SetReceiveGathering(80);
        for (char c = '0'; c <= '9'; ++c) {
            pty.write(QByteArray(1, c));
            QTest::qWait(10);
        }
        QTRY_COMPARE(got, QByteArray("0123456789"));
        QVERIFY(at.size() >= 2);
        for (qsizetype i = 1; i < at.size(); ++i)
            QVERIFY2(
                at[i] - at[i - 1] >= 76, // a coarse timer may fire 5 % early
                qPrintable(QStringLiteral("%1 ms after the one before").arg(at[i] - at[i - 1])));
        com.c.SetReceiveGathering(60000);
        pty.write("a");
        QTRY_COMPARE(got.size(), 11);
        com.c.SetReceiveGathering(0); // the event held back for a minute is let go
        pty.write("b");
        QTRY_COMPARE(got, QByteArray("0123456789ab"));
    }

    void unassignedHandlerLeavesBytesQueued()
    {
        PtyPair pty;
        OpenCom com(pty);
        com.c.SetOnReceive(nullptr);
        pty.write("hello");
        QTest::qWait(100);
        QCOMPARE(com.c.Line()->queuedInput(), 5);
    }

    void closingDropsAQueuedNotification()
    {
        PtyPair pty;
        OpenCom com(pty);
        pty.write("A");
        QThread::msleep(50); // the watcher has queued its notification and waits
        // Closing, and opening again, before the main thread runs it.
        com.c.SetComStatus(false);
        com.c.SetComStatus(true);
        QTest::qWait(100);
        QVERIFY(com.counts.isEmpty());
    }

    void closingReleasesAWatcherInItsHandOver()
    {
        PtyPair pty;
        auto com = std::make_unique<OpenCom>(pty);
        pty.write("A");
        QThread::msleep(50); // watcher blocked in the hand-over, main thread not yet there
        QElapsedTimer t;
        t.start();
        com.reset(); // destructor closes
        QVERIFY(t.elapsed() < 1000);
    }

    void closingFromInsideTheHandler()
    {
        PtyPair pty;
        OpenCom com(pty);
        com.c.SetOnReceive([&com](int count) {
            com.counts << count;
            com.c.SetComStatus(false);
            com.c.SetComStatus(true);
        });
        pty.write("A");
        QTRY_COMPARE(com.counts.size(), 1);
        QVERIFY(com.c.Connected());
        pty.write("B");
        QTRY_COMPARE(com.counts.size(), 2);
    }

    // The loss is told once, on the main thread; the watcher then costs nothing. A close of
    // the port is no loss.
    void deviceLossIsToldOnceAndCostsNoCpu()
    {
        PtyPair pty;
        OpenCom com(pty);
        int lost = 0;
        bool lostOnMainThread = false;
        com.c.SetOnDeviceLost([&] {
            ++lost;
            lostOnMainThread = QThread::currentThread() == qApp->thread();
        });
        com.c.SetComStatus(false);
        com.c.SetComStatus(true);
        pty.write("A");
        QTRY_VERIFY(!com.counts.isEmpty());
        QCOMPARE(lost, 0);
        pty.closeMaster();
        pty.dropSlaveKeeper();
        QTRY_COMPARE(lost, 1);
        QVERIFY(lostOnMainThread);
        const double cpu0 = cpuMs();
        QElapsedTimer t;
        t.start();
        QTest::qWait(500);
        const double used = cpuMs() - cpu0;
        // A spinning watcher would burn the whole half second.
        QVERIFY2(used < 0.2 * t.elapsed(), qPrintable(QString::number(used)));
        const unsigned char data[] = "abc";
        QVERIFY(com.c.SendBuffer(data, 3) != 3);
        com.c.SetComStatus(false);
        QVERIFY(!com.c.Connected());
        QCOMPARE(lost, 1);
    }
};

QTEST_GUILESS_MAIN(TestRadioCom)
#include "tst_radiocom.moc"

// The simulated air: modules that agree on channel, data rate, address and payload length
// exchange packets, any difference stops them; loss; and two processes on one machine that
// share an air through their local sockets.

#include "SimTestPort.h"
#include "sim/SimWorld.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// Built under the thread sanitizer (GCC says so with a macro, clang with a feature test).
#if defined(__SANITIZE_THREAD__)
#define QV_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_THREAD_SANITIZER 1
#endif
#endif

namespace {

// Channel 5, 1 Mbit/s, a five-byte address, four-byte payloads both ways.
SimConfig linkConfig()
{
    SimConfig c;
    c.channel = 5;
    c.dataRate = 0xFF;
    c.addressWidth = 5;
    c.address1 = {{0x11, 0x22, 0x33, 0x44, 0x55}};
    c.rx1Bits = c.tx1Bits = 32;
    return c;
}

SimAir &air()
{
    return SimWorld::instance()->air();
}

// A socket file whose process is gone: bound, then closed without removing it.
QString makeStaleSocket(const QString &folder, const QString &name)
{
    const QString path = folder + QLatin1Char('/') + name;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    std::memcpy(addr.sun_path, p.constData(), size_t(p.size()));
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::close(fd);
    return path;
}

// The far station of twoProcessesShareTheAir(): answers the first packet it hears with the
// same bytes reversed.
int runPeer(const char *airName)
{
    if (!air().setName(airName))
        return 2;
    SimModule *m = SimModule::named(QStringLiteral("peer"));
    m->setConfig(linkConfig());
    SimLine line("peer");
    if (!line.open("sim:peer", false, false))
        return 3;
    std::printf("ready\n");
    std::fflush(stdout);
    uint8_t buf[4];
    int got = 0;
    for (int i = 0; i < 200 && got < 4; ++i)
        got += line.read(buf + got, 4 - got, 50);
    if (got != 4)
        return 4;
    std::reverse(buf, buf + 4);
    line.write(buf, 4, 0);
    QThread::msleep(100); // until the packet has left
    return 0;
}

} // namespace

class TestSimAir : public QObject {
    Q_OBJECT

private slots:
    void agreeingModulesExchangeAPacket()
    {
        SimTestPort a(QStringLiteral("A1")), b(QStringLiteral("B1"));
        a.module()->setConfig(linkConfig());
        b.module()->setConfig(linkConfig());
        a.send("ping");
        QCOMPARE(b.receive(4), QByteArray("ping"));
        b.send("pong");
        QCOMPARE(a.receive(4), QByteArray("pong"));

        // From the last byte into one module to the first byte out of the other: the settling
        // time, the air time and one byte of line time at least.
        const auto ta = a.module()->trace();
        const auto tb = b.module()->trace();
        QCOMPARE(ta[3].direction, SimTraceEntry::Direction::ToModule);
        QCOMPARE(tb[0].direction, SimTraceEntry::Direction::FromModule);
        const SimNs least = SimPacket::kSettle + SimPacket::airTime(5, 4, true) +
                            SimNs(a.lineUs(1) - 1) * kSimMicro;
        QVERIFY(tb[0].time - ta[3].time >= least);
    }

    void differencesStopThePacket_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("heard");
        QTest::newRow("same configuration") << 0 << true;
        QTest::newRow("other channel") << 1 << false;
        QTest::newRow("other data rate") << 2 << false;
        QTest::newRow("other address byte") << 3 << false;
        QTest::newRow("narrower address, same first bytes") << 4 << false;
        QTest::newRow("other receive payload length") << 5 << false;
        QTest::newRow("receive payload length zero") << 6 << false;
        QTest::newRow("addresses differ beyond the width") << 7 << true;
        QTest::newRow("receiver asleep") << 8 << false;
    }
    void differencesStopThePacket()
    {
        QFETCH(int, change);
        QFETCH(bool, heard);
        SimTestPort a(QStringLiteral("A2")), b(QStringLiteral("B2")), c(QStringLiteral("C2"));
        SimConfig ca = linkConfig(), cb = linkConfig();
        switch (change) {
        case 1:
            cb.channel = 6;
            break;
        case 2:
            cb.dataRate = 0;
            break;
        case 3:
            cb.address1[1] = 0x23;
            break;
        case 4:
            cb.addressWidth = 4;
            break;
        case 5:
            cb.rx1Bits = 40;
            break;
        case 6:
            cb.rx1Bits = 0;
            break;
        case 7:
            ca.addressWidth = cb.addressWidth = 3;
            cb.address1[3] = 0x99;
            break;
        default:
            break;
        }
        a.module()->setConfig(ca);
        b.module()->setConfig(cb);
        c.module()->setConfig(ca); // always agrees: the packet did go out
        if (change == 8)
            b.command('S');
        a.send("abcd");
        QCOMPARE(c.receive(4), QByteArray("abcd"));
        // The receivers had the packet at the same instant; c's byte came a byte time later.
        QCOMPARE(b.module()->packetsHeard(), uint64_t(heard ? 1 : 0));
        QCOMPARE(b.receive(4, heard ? 3000 : 30), heard ? QByteArray("abcd") : QByteArray());
    }

    void emptyTransmitPayloadSendsNothing()
    {
        SimTestPort a(QStringLiteral("A3")), b(QStringLiteral("B3"));
        SimConfig c = linkConfig();
        c.tx1Bits = 0;
        a.module()->setConfig(c);
        b.module()->setConfig(linkConfig());
        a.send("abcd");
        QCOMPARE(a.module()->packetsSent(), uint64_t(0));
        QCOMPARE(b.receiveFor(30), QByteArray());
    }

    void lossDropsPackets()
    {
        SimTestPort a(QStringLiteral("A4")), b(QStringLiteral("B4"));
        a.module()->setConfig(linkConfig());
        b.module()->setConfig(linkConfig());
        air().setLossPercent(100);
        a.send("lost");
        QCOMPARE(a.module()->packetsSent(), uint64_t(1));
        QCOMPARE(b.receiveFor(30), QByteArray());
        air().setLossPercent(0);
        a.send("kept");
        QCOMPARE(b.receive(4), QByteArray("kept"));
    }

    // Interference profiles as the environment names them: the loss on each channel, and a
    // text that cannot be read names what may be written.
    void interferenceProfiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<double>>("loss"); // channels 0, 12, 25, 37, 62, 80, 127
        QTest::addColumn<bool>("ok");
        const double peak = SimInterference::WifiPeakPercent;
        QTest::newRow("wifi: 1, 6 and 11 busy, most at their centres")
            << "wifi" << QList<double>{0, peak, 0, peak, peak, 0, 0} << true;
        QTest::newRow("channels and ranges")
            << "12:20, 70-127:5" << QList<double>{0, 20, 0, 0, 0, 5, 5} << true;
        QTest::newRow("none") << "none" << QList<double>(7, 0.0) << true;
        QTest::newRow("channel 128") << "128:5" << QList<double>(7, 0.0) << false;
        QTest::newRow("above 100 %") << "5:101" << QList<double>(7, 0.0) << false;
        QTest::newRow("range backwards") << "9-3:5" << QList<double>(7, 0.0) << false;
        QTest::newRow("no figure") << "wifi,12" << QList<double>(7, 0.0) << false;
    }
    void interferenceProfiles()
    {
        QFETCH(QString, text);
        QFETCH(QList<double>, loss);
        QFETCH(bool, ok);
        SimInterference p;
        std::string error;
        QCOMPARE(SimInterference::parse(text.toStdString(), &p, &error), ok);
        QCOMPARE(error.empty(), ok);
        const int channels[] = {0, 12, 25, 37, 62, 80, 127};
        for (int i = 0; i < 7; ++i)
            QVERIFY2(qAbs(p.lossPercent(channels[i]) - loss[i]) < 1e-9,
                     qPrintable(QString::number(i)));
        // Between a band's centre and its edge the loss falls off.
        const SimInterference w = SimInterference::wifi();
        QVERIFY(w.lossPercent(37) > w.lossPercent(32) && w.lossPercent(32) > w.lossPercent(27));
        QVERIFY(w.lossPercent(47) > 0);
        QCOMPARE(w.lossPercent(48), 0.0); // 11 MHz from the centre: the band's edge
    }

    // Packets on a busy channel are lost as its profile says; another channel keeps them.
    void interferenceLosesByChannel()
    {
        SimTestPort a(QStringLiteral("A6")), b(QStringLiteral("B6"));
        SimInterference busy;
        std::string error;
        QVERIFY(SimInterference::parse("5:100", &busy, &error));
        air().setInterference(busy);
        a.module()->setConfig(linkConfig());
        b.module()->setConfig(linkConfig());
        a.send("lost");
        QCOMPARE(b.receiveFor(30), QByteArray());
        SimConfig quiet = linkConfig();
        quiet.channel = 6;
        a.module()->setConfig(quiet);
        b.module()->setConfig(quiet);
        a.send("kept");
        QCOMPARE(b.receive(4), QByteArray("kept"));
        air().setInterference(SimInterference());
    }

    void twoProcessesShareTheAir()
    {
#ifdef QV_THREAD_SANITIZER
        // Starting the peer forks this process while the simulation's threads run; the thread
        // sanitizer cannot follow that and ends the run at the next thread started. The rest
        // of the air runs under it; this one runs in the other builds.
        QSKIP("a fork with threads running is beyond the thread sanitizer");
#endif
        const QString name = QStringLiteral("tst-%1").arg(QCoreApplication::applicationPid());
        QVERIFY(air().setName(name.toStdString()));
        const QString ownSocket =
            QString::fromStdString(air().folder()) + QStringLiteral("/%1.sock").arg(::getpid());
        QVERIFY(QFile::exists(ownSocket));
        SimTestPort port(QStringLiteral("local"));
        port.module()->setConfig(linkConfig());

        QProcess peer;
        peer.setProgram(QCoreApplication::applicationFilePath());
        peer.setArguments({QStringLiteral("--peer"), name});
        peer.start();
        QVERIFY(peer.waitForStarted(10000));
        QVERIFY(peer.waitForReadyRead(10000));
        QCOMPARE(peer.readLine().trimmed(), QByteArray("ready"));
        port.send("ping");
        QCOMPARE(port.receive(4, 10000), QByteArray("gnip"));
        QVERIFY(peer.waitForFinished(10000));
        QCOMPARE(peer.exitCode(), 0);

        // Leaving the air removes our socket.
        QVERIFY(air().setName({}));
        QVERIFY(!QFile::exists(ownSocket));
    }

    void staleSocketsAreRemoved()
    {
        const QString name = QStringLiteral("tst-stale-%1").arg(QCoreApplication::applicationPid());
        const QString folder = QString::fromStdString(SimAir::folderOf(name.toStdString()));
        QVERIFY(QDir().mkpath(folder));
        // Found when joining...
        const QString atJoin = makeStaleSocket(folder, QStringLiteral("1.sock"));
        QVERIFY(QFile::exists(atJoin));
        QVERIFY(air().setName(name.toStdString()));
        QVERIFY(!QFile::exists(atJoin));
        // ...and when a packet goes out.
        const QString atSend = makeStaleSocket(folder, QStringLiteral("2.sock"));
        SimTestPort a(QStringLiteral("A5"));
        a.module()->setConfig(linkConfig());
        a.send("abcd");
        QCOMPARE(a.module()->packetsSent(), uint64_t(1));
        QVERIFY(!QFile::exists(atSend));
        QVERIFY(air().setName({}));
        QDir(folder).removeRecursively();
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--peer") == 0)
        return runPeer(argv[2]);
    QCoreApplication app(argc, argv);
    TestSimAir test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_simair.moc"

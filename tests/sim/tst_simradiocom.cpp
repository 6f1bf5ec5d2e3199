// The serial component on simulated modules, reached through COM names as the program
// reaches them: the configuration dump arrives through OnReceive, a second opening is busy,
// the module speed changes with the port's, two stations exchange a packet, and modules with
// a state folder keep their configuration.

#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "sim/SimModule.h"
#include "sim/SimulatedModules.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

void mapPort(const QString &com, const QString &target)
{
    QMap<QString, QString> m = PortDirectory::global().explicitEntries();
    m.insert(com, target);
    PortDirectory::global().setExplicit(m);
}

// A component set up as the main window sets it up, collecting what OnReceive reads once
// `want` bytes are queued.
struct Station {
    Station(ports port, int want, bauds speed = br9600) : want(want)
    {
        c.SetRtsFlowControl(RTSOff);
        c.SetComPort(port);
        c.SetBaudRate(speed);
        c.SetOnReceive([this](int count) {
            onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
            if (count < this->want)
                return;
            QByteArray buf(count, '\0');
            const int n = c.ReceiveBuffer(reinterpret_cast<unsigned char *>(buf.data()), count);
            received.append(buf.left(n));
        });
        c.SetComStatus(true);
    }
    // A command with the program's pacing: RTS, letter, 4 ms, parameter, 4 ms, RTS low.
    void command(char letter, int param = -1)
    {
        c.SetRTSState(true);
        const unsigned char l = uint8_t(letter);
        c.SendBuffer(&l, 1);
        QThread::msleep(4);
        if (param >= 0) {
            c.SendByte(uint8_t(param));
            QThread::msleep(4);
        }
        c.SetRTSState(false);
    }
    TRadioCom c;
    int want;
    QByteArray received;
    bool onMainThread = true;
};

} // namespace

class TestSimRadioCom : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        PortDirectory::global().setPortSource([] { return QList<PortInfo>(); });
        registerSimulatedModules();
        mapPort(QStringLiteral("COM5"), QStringLiteral("sim:E2E"));
        mapPort(QStringLiteral("COM6"), QStringLiteral("sim"));
    }

    void readConfigThroughOnReceive()
    {
        SimModule::named(QStringLiteral("E2E"))->factoryReset();
        Station s(COM5, 20);
        QVERIFY(s.c.Connected());
        s.command('R');
        QTRY_COMPARE(s.received.size(), 20);
        QCOMPARE(uint8_t(s.received.at(0)), uint8_t(0x41));
        QCOMPARE(uint8_t(s.received.at(2)), uint8_t(2));
        QVERIFY(s.onMainThread);
        // The program's first wait is long enough: "R" went out with RTS raised.
        const auto trace = SimModule::named(QStringLiteral("E2E"))->trace();
        QCOMPARE(trace.front().byte, uint8_t('R'));
        QVERIFY(trace.front().rts);
    }

    void plainSimIsTheDefaultModule()
    {
        const PortDirectory &d = PortDirectory::global();
        QCOMPARE(d.describe(d.resolve(QStringLiteral("COM6"))),
                 QStringList{QStringLiteral("simulated module")});
        SimModule *m = SimModule::named(QStringLiteral("default"));
        m->factoryReset();
        Station s(COM6, 1);
        QVERIFY(s.c.Connected());
        const unsigned char x = 'x';
        QCOMPARE(s.c.SendBuffer(&x, 1), 1);
        QTRY_COMPARE(m->trace().size(), size_t(1));
    }

    void secondOpeningIsBusy()
    {
        Station first(COM5, 20);
        QVERIFY(first.c.Connected());
        TRadioCom second;
        second.SetRtsFlowControl(RTSOff);
        second.SetComPort(COM5);
        second.SetComStatus(true);
        QVERIFY(!second.Connected());
        QVERIFY(second.LastOpenError().contains(QLatin1String("busy")));
        first.c.SetComStatus(false);
        second.SetComStatus(true);
        QVERIFY(second.Connected());
    }

    void moduleSpeedFollowedByThePort()
    {
        SimModule::named(QStringLiteral("E2E"))->factoryReset();
        Station s(COM5, 20);
        s.command('B', 16);
        QThread::msleep(4);
        s.c.SetBaudRate(br115200);
        QVERIFY(s.c.Connected());
        s.command('R');
        QTRY_COMPARE(s.received.size(), 20);
        QCOMPARE(uint8_t(s.received.at(0)), uint8_t(0x41));
        QCOMPARE(uint8_t(s.received.at(1)), uint8_t(16));
    }

    void twoStationsExchangeAPacket()
    {
        mapPort(QStringLiteral("COM7"), QStringLiteral("sim:SA"));
        mapPort(QStringLiteral("COM8"), QStringLiteral("sim:SB"));
        SimModule::named(QStringLiteral("SA"))->factoryReset();
        SimModule::named(QStringLiteral("SB"))->factoryReset();
        Station a(COM7, 25), b(COM8, 25);
        // The power-on configuration of both: 25-byte payloads on one address.
        const QByteArray text("abcdefghijklmnopqrstuvwzx");
        QCOMPARE(a.c.SendBuffer(reinterpret_cast<const unsigned char *>(text.constData()), 25), 25);
        QTRY_COMPARE(b.received, text);
        QVERIFY(a.received.isEmpty());
    }

    void stateFolderKeepsTheConfiguration()
    {
        QTemporaryDir dir;
        registerSimulatedModules(dir.path());
        mapPort(QStringLiteral("COM9"), QStringLiteral("sim:kept"));
        {
            Station s(COM9, 20);
            s.command('C', 77);
            s.command('B', 2);
        }
        QFile stored(dir.filePath(QStringLiteral("simulated-module-kept.txt")));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QByteArray text = stored.readAll();
        QVERIFY(text.contains("channel=77\n"));
        QVERIFY(text.contains("serialSpeed=19200\n"));
        // A module made later from that file powers on with it.
        QVERIFY(QFile::copy(stored.fileName(),
                            dir.filePath(QStringLiteral("simulated-module-kept2.txt"))));
        const SimConfig c = SimModule::named(QStringLiteral("kept2"))->config();
        QCOMPARE(c.channel, uint8_t(77));
        QCOMPARE(c.serialSpeed, 19200);
        registerSimulatedModules();
        QCOMPARE(SimModule::named(QStringLiteral("kept3"))->config(), SimConfig());
    }
};

QTEST_GUILESS_MAIN(TestSimRadioCom)
#include "tst_simradiocom.moc"

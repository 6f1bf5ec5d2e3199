// The module core against a simulated module, without any window: the bytes of Set Module on
// the wire with the programming line of each and the pacing between them, the read-back, the
// inputs it refuses before anything goes out, the speed change, and the reply time-out.

#include "module/RadioModule.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "sim/SimulatedModules.h"
#include "support/IsolatedSettings.h"
#include "support/SimTrace.h"

#include <QElapsedTimer>
#include <QTest>

#include <initializer_list>
#include <optional>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(char(v));
    return out;
}

struct Recorder : ModuleReport {
    QStringList log;
    int notDetected = 0;
    int lineChanges = 0;
    QList<ModuleRefusal> refusals;
    std::optional<ModuleConfig> read;
    QList<bool> ended;

    void moduleLog(const QString &line) override { log << line; }
    void moduleNotDetected() override { ++notDetected; }
    void programmingLine(bool) override { ++lineChanges; }
    void moduleAsleep(bool) override {}
    void writeRefused(const ModuleRefusal &r) override { refusals << r; }
    void configRead(const ModuleConfig &c) override { read = c; }
    void readEnded(bool answered) override { ended << answered; }
};

// The core on COM1, mapped to a simulated module at the port's speed, as a driver of it
// would set it up: the dump handed over while a read is under way, the line lowered.
class CoreStation {
public:
    CoreStation(const QString &name, int speedIndex = 0) : module(SimModule::named(name))
    {
        static const bool registered = (registerSimulatedModules(), true);
        Q_UNUSED(registered)
        static const int speeds[] = {9600, 19200, 38400, 57600, 115200};
        module->factoryReset();
        SimConfig c = module->config();
        c.serialSpeed = speeds[speedIndex];
        module->setConfig(c);
        PortDirectory::global().setExplicit({{QStringLiteral("COM1"), "sim:" + name}});
        port.SetRtsFlowControl(RTSOff);
        port.SetComPort(COM1);
        port.SetBaudRate(bauds(br9600 + speedIndex));
        port.SetComStatus(true);
        port.SetOnReceive([this](int n) {
            if (core.ReadActive)
                core.TakeDump(n);
        });
        core.ProgramModeOff();
        module->clearTrace();
        report = Recorder();
    }

    std::vector<SimTraceEntry> sent() const
    {
        return traceOf(module, SimTraceEntry::Direction::ToModule);
    }
    QByteArray sentBytes() const { return bytesOf(sent()); }

    Recorder report;
    TRadioCom port;
    RadioModule core{port, report};
    SimModule *module;
};

QString uniqueModule(const char *prefix)
{
    static int n = 0;
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(++n);
}

ModuleConfig config(int channel, int w1, int w2, int tx1, int tx2, int rate, int power, int width,
                    const QString &address)
{
    ModuleConfig c;
    c.channel = channel;
    c.dataW1 = w1;
    c.dataW2 = w2;
    c.dataW1TX = tx1;
    c.dataW2TX = tx2;
    c.rateIndex = rate;
    c.powerIndex = power;
    c.addressWidth = width;
    c.address1 = address;
    return c;
}

} // namespace

Q_DECLARE_METATYPE(ModuleConfig)

class TestRadioModule : public QObject {
    Q_OBJECT

private slots:
    // The whole exchange of one write, the module's answer included.
    void writeReadBack_data()
    {
        QTest::addColumn<ModuleConfig>("in");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("powerLog");
        // What the read-back reports where it differs from what was written.
        QTest::addColumn<int>("rateBack");
        QTest::addColumn<int>("powerBack");
        QTest::addColumn<QString>("addressBack");

        const QString e7 = QStringLiteral("E7E7E7E7E7");
        QTest::newRow("window defaults")
            << config(2, 0, 0, 0, 0, 0, 0, 4, e7)
            << bytes({'C', 2, 'L', 0,    'l', 0,    'T',  0,    't',  0,    'D', 0,
                      'P', 3, 'W', 0x20, 'A', 0xE7, 0xE7, 0xE7, 0xE7, 0xE7, 'R'})
            << "Set Power to 0 dBm" << 0 << 0 << e7;
        QTest::newRow("longest payloads, 1Mbs, -20 dBm, width 5")
            << config(127, 31, 1, 31, 0, 1, 3, 5, QStringLiteral("0102030405"))
            << bytes({'C', 127, 'L', 0xF8, 'l', 0x08, 'T', 0xF8, 't', 0, 'D', 0xFF,
                      'P', 0,   'W', 0x28, 'A', 1,    2,   3,    4,   5, 'R'})
            << "Set Power to -20 dBm" << 1 << 3 << "0102030405";
        QTest::newRow("width 3 still sends five address bytes, lower-case digits")
            << config(0, 8, 0, 25, 2, 0, 1, 3, QStringLiteral("a1B2c3D4e5"))
            << bytes({'C', 0, 'L', 0x40, 'l', 0,    'T',  0xC8, 't',  0x10, 'D', 0,
                      'P', 2, 'W', 0x18, 'A', 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 'R'})
            << "Set Power to -5 dBm" << 0 << 1 << "A1B2C3D4E5";
        QTest::newRow("-10 dBm") << config(5, 0, 0, 0, 0, 0, 2, 1, QStringLiteral("FFFFFFFFFF"))
                                 << bytes({'C', 5,    'L',  0,    'l',  0,    'T', 0,
                                           't', 0,    'D',  0,    'P',  1,    'W', 0x08,
                                           'A', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'R'})
                                 << "Set Power to -10 dBm" << 0 << 2 << "FFFFFFFFFF";
        // No selection sends the fast rate and the weakest power, and logs no power line.
        QTest::newRow("no rate and no power selected")
            << config(2, 0, 0, 0, 0, -1, -1, 4, e7)
            << bytes({'C', 2, 'L', 0,    'l', 0,    'T',  0,    't',  0,    'D', 0xFF,
                      'P', 0, 'W', 0x20, 'A', 0xE7, 0xE7, 0xE7, 0xE7, 0xE7, 'R'})
            << QString() << 1 << 3 << e7;
    }
    void writeReadBack()
    {
        QFETCH(ModuleConfig, in);
        QFETCH(QByteArray, wire);
        QFETCH(QString, powerLog);
        QFETCH(int, rateBack);
        QFETCH(int, powerBack);
        QFETCH(QString, addressBack);
        CoreStation s(uniqueModule("SET"));

        QVERIFY(s.core.WriteConfig(in));
        QVERIFY(s.core.ReadActive);
        QTRY_VERIFY(s.report.read.has_value());

        // Every byte under the raised line, in this order.
        const std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(s.sentBytes(), wire);
        for (const SimTraceEntry &e : sent)
            QVERIFY2(e.rts, qPrintable(QStringLiteral("byte 0x%1").arg(e.byte, 0, 16)));
        // The pacing: a parameter follows its letter (or the previous address byte) after at
        // least one CommandDelay; a new letter follows the previous command after its wait
        // and the wait after lowering the line; "R" after the address exchange's two waits,
        // the wait before the read-back and the read's own first wait.
        const qint64 d = qint64(s.core.CommandDelay) * 1000000;
        for (size_t i = 1; i < sent.size(); ++i) {
            const bool letter = (i < 16 && i % 2 == 0) || i == 16;
            const qint64 least = i == 22 ? 4 * d : letter ? 2 * d : d;
            const qint64 gap = sent[i].time - sent[i - 1].time;
            QVERIFY2(
                gap >= least,
                qPrintable(QStringLiteral("byte %1: %2 ns after the previous").arg(i).arg(gap)));
        }

        QStringList log{
            QStringLiteral("Set Module."),          QStringLiteral("Set Channel."),
            QStringLiteral("Set Data Length 1."),   QStringLiteral("Set Data Length 2."),
            QStringLiteral("Set Data Length 1.TX"), QStringLiteral("Set Data Length 2.TX"),
            QStringLiteral("Set RF Data Rate.")};
        if (!powerLog.isEmpty())
            log << powerLog;
        log << QStringLiteral("Set Address Width") << QStringLiteral("Read Config")
            << QStringLiteral("OK");
        QCOMPARE(s.report.log, log);

        // The module took everything, and the read-back says so.
        const ModuleConfig &back = *s.report.read;
        QCOMPARE(back.channel, in.channel);
        QCOMPARE(QList<int>({back.dataW1, back.dataW2, back.dataW1TX, back.dataW2TX}),
                 QList<int>({in.dataW1, in.dataW2, in.dataW1TX, in.dataW2TX}));
        QCOMPARE(back.addressWidth, in.addressWidth);
        QCOMPARE(back.address1, addressBack);
        QCOMPARE(back.rateIndex, rateBack);
        QCOMPARE(back.powerIndex, powerBack);
        QCOMPARE(s.report.ended, QList<bool>{true});
        QVERIFY(!s.core.ReadActive);
        QCOMPARE(s.report.notDetected, 0);
    }

    // Refused before the first command: no half configuration, no line left raised.
    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("payload"); // which width is too long: 0 to 3, -1 none
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("conversion");
        QTest::addColumn<QString>("text");
        const QString e7 = QStringLiteral("E7E7E7E7E7");
        const QString length = QStringLiteral("Error. Address Length must be 10!");
        QTest::newRow("9 characters") << "E7E7E7E7E" << -1 << 0 << false << length;
        QTest::newRow("11 characters") << "E7E7E7E7E7E" << -1 << 0 << false << length;
        QTest::newRow("empty") << "" << -1 << 0 << false << length;
        QTest::newRow("letter in the first pair")
            << "G1E7E7E7E7" << -1 << 0 << true << "'0xG1' is not a valid integer value";
        QTest::newRow("blank in the last pair")
            << "E7E7E7E7 1" << -1 << 0 << true << "'0x 1' is not a valid integer value";
        QTest::newRow("sign in a pair")
            << "E7+1E7E7E7" << -1 << 0 << true << "'0x+1' is not a valid integer value";
        QTest::newRow("first of two bad pairs")
            << "E7ZZE7QQE7" << -1 << 0 << true << "'0xZZ' is not a valid integer value";
        QTest::newRow("Data1 RX 32")
            << e7 << 0 << 32 << false << "Error. Data1 RX must be 31 bytes or less!";
        QTest::newRow("Data2 RX 61")
            << e7 << 1 << 61 << false << "Error. Data2 RX must be 31 bytes or less!";
        QTest::newRow("Data1 TX 64")
            << e7 << 2 << 64 << false << "Error. Data1 TX must be 31 bytes or less!";
        QTest::newRow("Data2 TX 33")
            << e7 << 3 << 33 << false << "Error. Data2 TX must be 31 bytes or less!";
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QString, address);
        QFETCH(int, payload);
        QFETCH(int, bytes);
        QFETCH(bool, conversion);
        QFETCH(QString, text);
        CoreStation s(uniqueModule("REFUSE"));
        ModuleConfig c = config(99, 0, 0, 0, 0, 0, 0, 4, address);
        int *const widths[] = {&c.dataW1, &c.dataW2, &c.dataW1TX, &c.dataW2TX};
        if (payload >= 0)
            *widths[payload] = bytes;

        QVERIFY(!s.core.WriteConfig(c));
        QCOMPARE(s.report.refusals.size(), 1);
        QCOMPARE(s.report.refusals[0].kind == ModuleRefusal::Kind::Conversion, conversion);
        QCOMPARE(s.report.refusals[0].text, text);
        QCOMPARE(s.report.log, QStringList());
        QCOMPARE(s.report.lineChanges, 0);
        QVERIFY(!s.core.ReadActive);
        QTest::qWait(20);
        QCOMPARE(s.sentBytes(), QByteArray());
        QCOMPARE(s.module->config().channel, uint8_t(2));
    }

    void changeSpeed_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("code");
        QTest::newRow("9600") << 0 << "Set BaudRate to 9.600" << 1;
        QTest::newRow("19200") << 1 << "Set BaudRate to 19.200" << 2;
        QTest::newRow("38400") << 2 << "Set BaudRate to 33.600" << 4;
        QTest::newRow("57600") << 3 << "Set BaudRate to 57.600" << 8;
        QTest::newRow("115000") << 4 << "Set BaudRate to 115.000" << 16;
        QTest::newRow("no entry") << -1 << QString() << 0;
        QTest::newRow("past the list") << 5 << QString() << 0;
    }
    void changeSpeed()
    {
        QFETCH(int, index);
        QFETCH(QString, log);
        QFETCH(int, code);
        CoreStation s(uniqueModule("SPEED"));
        QCOMPARE(s.core.ChangeSpeed(index), code != 0);
        if (code == 0) {
            QTest::qWait(20);
            QCOMPARE(s.sentBytes(), QByteArray());
            QCOMPARE(s.report.log, QStringList());
            return;
        }
        QCOMPARE(s.report.log, QStringList{log});
        // The module understood the command at the old speed (any other speed garbles it).
        QTRY_COMPARE(SimConfig::codeOfSpeed(s.module->config().serialSpeed), uint8_t(code));
        const std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(s.sentBytes(), QByteArray(1, 'B') + char(code));
        QVERIFY(sent[0].rts && sent[1].rts);
        QVERIFY(sent[1].time - sent[0].time >= qint64(s.core.CommandDelay) * 1000000);
    }

    // A module that does not answer: a second read while the first waits sends nothing; the
    // time-out reports and ends the read, and only then a new read goes out.
    void unansweredReadTimesOut()
    {
        CoreStation s(uniqueModule("MUTE"));
        // Put to sleep behind the core's back: "R" wakes it and is lost.
        s.core.Sleep();
        s.core.Asleep = false;
        QElapsedTimer since;
        since.start();
        s.core.ReadConfig();
        s.core.ReadConfig();
        QCOMPARE(s.report.log,
                 (QStringList{QStringLiteral("Sleep."), QStringLiteral("Read Config")}));
        QTRY_COMPARE(s.report.ended, QList<bool>{false});
        QVERIFY2(since.elapsed() >= 500, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(s.report.log.mid(2), QStringList{QStringLiteral("Comm. Error!")});
        QCOMPARE(s.report.notDetected, 1);
        QVERIFY(!s.report.read);
        QVERIFY(!s.core.ReadActive && !s.core.ReplyPending);
        std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(s.sentBytes(), QByteArray("SR"));
        QVERIFY(sent[0].rts && sent[1].rts);

        // Awake again, the module answers the next read.
        s.core.ReadConfig();
        QTRY_VERIFY(s.report.read.has_value());
        QCOMPARE(s.sentBytes(), QByteArray("SRR"));
        QCOMPARE(s.report.ended, (QList<bool>{false, true}));
    }

private:
    IsolatedSettings settings_;
};

QTEST_GUILESS_MAIN(TestRadioModule)
#include "tst_radiomodule.moc"

// The simulated module's serial side, driven over SimLine: the command letters into its state
// and the configuration dump out of it, commands cut short by RTS, sleep, reset and the
// module's serial speed; and the same interpreter fed byte by byte without line time.

#include "SimTestPort.h"
#include "sim/SimConfig.h"

#include <QTest>

namespace {

// The dump of the power-on configuration, written out by hand.
QByteArray powerOnDump()
{
    return QByteArray::fromHex("41 01 02 03 FF A0 E7E7E7E7E7 C2C2C2C2C2 C8 00 C8 00");
}

QByteArray patched(QByteArray d, int index, const QByteArray &bytes)
{
    d.replace(index, bytes.size(), bytes);
    return d;
}

} // namespace

class TestSimModule : public QObject {
    Q_OBJECT

private slots:
    void powerOnDumpAsDocumented()
    {
        SimTestPort port(QStringLiteral("fresh"));
        QVERIFY(port.ok());
        QCOMPARE(port.dump().toHex(' '), powerOnDump().toHex(' '));
    }

    void commandIntoStateAndDumpOut_data()
    {
        QTest::addColumn<QByteArray>("command"); // letter, then its parameter bytes
        QTest::addColumn<QByteArray>("expected");
        const QByteArray d = powerOnDump();
        auto row = [&](const char *name, const QByteArray &cmd, int at, const QByteArray &b) {
            QTest::newRow(name) << cmd << patched(d, at, b);
        };
        row("C channel 100", QByteArray::fromHex("43 64"), 2, QByteArray::fromHex("64"));
        row("C channel 127", QByteArray::fromHex("43 7F"), 2, QByteArray::fromHex("7F"));
        row("C above 127 is ignored", QByteArray::fromHex("43 80"), 2, QByteArray::fromHex("02"));
        row("L rx1 31 bytes", QByteArray::fromHex("4C F8"), 16, QByteArray::fromHex("F8"));
        row("l rx2 1 byte", QByteArray::fromHex("6C 08"), 17, QByteArray::fromHex("08"));
        row("T tx1 32 bytes wraps to 0", QByteArray::fromHex("54 00"), 18,
            QByteArray::fromHex("00"));
        row("t tx2 8 bytes", QByteArray::fromHex("74 40"), 19, QByteArray::fromHex("40"));
        row("D 250 kbit/s", QByteArray::fromHex("44 00"), 4, QByteArray::fromHex("00"));
        row("D any other byte kept", QByteArray::fromHex("44 01"), 4, QByteArray::fromHex("01"));
        row("P -20 dBm", QByteArray::fromHex("50 00"), 3, QByteArray::fromHex("00"));
        row("P -5 dBm", QByteArray::fromHex("50 02"), 3, QByteArray::fromHex("02"));
        row("P unknown code ignored", QByteArray::fromHex("50 05"), 3, QByteArray::fromHex("03"));
        row("W 3 bytes gives 0x60", QByteArray::fromHex("57 18"), 5, QByteArray::fromHex("60"));
        row("W 1 byte gives 0x20", QByteArray::fromHex("57 08"), 5, QByteArray::fromHex("20"));
        row("W part of a byte ignored", QByteArray::fromHex("57 0C"), 5, QByteArray::fromHex("A0"));
        row("W 6 bytes ignored", QByteArray::fromHex("57 30"), 5, QByteArray::fromHex("A0"));
        row("A five bytes in order", QByteArray::fromHex("41 0AB10012FF"), 6,
            QByteArray::fromHex("0AB10012FF"));
        row("B 38400 shows in byte 1", QByteArray::fromHex("42 04"), 1, QByteArray::fromHex("04"));
        row("unknown letter ignored", QByteArray("Z"), 0, QByteArray());
        row("lower-case x is no command", QByteArray("x"), 0, QByteArray());
    }
    void commandIntoStateAndDumpOut()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, expected);
        SimTestPort port(QStringLiteral("table"));
        port.command(command.at(0), command.mid(1));
        // A changed speed is followed by the port, as the program's speed change does.
        const int speed = SimConfig::speedOfCode(uint8_t(expected.at(1)));
        port.setBaud(speed);
        QCOMPARE(port.module()->config().serialSpeed, speed);
        QCOMPARE(port.dump().toHex(' '), expected.toHex(' '));
    }

    void dumpOfAGivenState()
    {
        SimTestPort port(QStringLiteral("state"));
        SimConfig c;
        c.channel = 0x51;
        c.power = 1;
        c.dataRate = 0;
        c.addressWidth = 3;
        c.address1 = {{0x01, 0x02, 0x03, 0x04, 0x05}};
        c.address2 = {{0xA1, 0xA2, 0xA3, 0xA4, 0xA5}};
        c.rx1Bits = 0x10;
        c.rx2Bits = 0x18;
        c.tx1Bits = 0x20;
        c.tx2Bits = 0x28;
        port.module()->setConfig(c);
        QCOMPARE(
            port.dump().toHex(' '),
            QByteArray::fromHex("41 01 51 01 00 60 0102030405 A1A2A3A4A5 10 18 20 28").toHex(' '));
    }

    void parametersAfterRtsFellAreData()
    {
        SimTestPort port(QStringLiteral("cut"));
        SimConfig c;
        c.tx1Bits = 8; // every data byte is a packet
        port.module()->setConfig(c);
        port.line().setRts(true);
        port.send("C");
        port.line().setRts(false);
        port.send(QByteArray::fromHex("05"));
        QCOMPARE(port.module()->config().channel, uint8_t(2));
        QCOMPARE(port.module()->packetsSent(), uint64_t(1));

        // RTS falling and rising again between letter and parameter also drops the command:
        // the byte is then read as a letter (none).
        port.line().setRts(true);
        port.send("C");
        port.line().setRts(false);
        QThread::msleep(4);
        port.line().setRts(true);
        port.send(QByteArray::fromHex("05"));
        port.line().setRts(false);
        QCOMPARE(port.module()->config().channel, uint8_t(2));
        QCOMPARE(port.module()->packetsSent(), uint64_t(1));

        // An address cut short leaves the address as it was.
        port.line().setRts(true);
        port.send(QByteArray::fromHex("41 010203"));
        port.line().setRts(false);
        QCOMPARE(port.module()->config().address1[0], uint8_t(0xE7));
    }

    void byteStillOnTheWireWhenRtsFallsIsData()
    {
        SimTestPort port(QStringLiteral("late"));
        SimConfig c;
        c.tx1Bits = 16;
        port.module()->setConfig(c);
        // The port's transmitter is held (CTS flow control, CTS low) while the command goes
        // out under a raised RTS; it leaves only after RTS has fallen.
        port.setCtsFlow(true);
        port.module()->setCtsHeld(true);
        port.line().setRts(true);
        QCOMPARE(port.write(QByteArray::fromHex("43 05"), 1), 0);
        port.line().setRts(false);
        port.module()->setCtsHeld(false);
        QThread::usleep(port.lineUs(2) + 2000);
        QCOMPARE(port.module()->config().channel, uint8_t(2));
        QCOMPARE(port.module()->packetsSent(), uint64_t(1));
        const auto trace = port.module()->trace();
        QCOMPARE(trace.size(), size_t(2));
        QVERIFY(!trace[0].rts && !trace[1].rts);
    }

    void sleepLosesTheWakeUpCharacter_data()
    {
        QTest::addColumn<bool>("rtsWhileWaking");
        QTest::newRow("woken in data mode") << false;
        QTest::newRow("woken in command mode") << true;
    }
    void sleepLosesTheWakeUpCharacter()
    {
        QFETCH(bool, rtsWhileWaking);
        SimTestPort port(QStringLiteral("sleepy"));
        port.command('S');
        QVERIFY(port.module()->asleep());
        // Asleep, a command is ignored; the wake-up character itself is lost.
        port.command('C', QByteArray::fromHex("09"));
        QCOMPARE(port.module()->config().channel, uint8_t(2));
        QVERIFY(!port.module()->asleep());
        port.command('S');
        port.line().setRts(rtsWhileWaking);
        port.send("R");
        port.line().setRts(false);
        QVERIFY(!port.module()->asleep());
        QCOMPARE(port.receiveFor(50), QByteArray());
        QCOMPARE(port.dump().size(), 20);
    }

    void resetKeepsConfigurationDropsGatheredData()
    {
        SimTestPort port(QStringLiteral("reset"));
        SimConfig c;
        c.channel = 9;
        c.tx1Bits = 32;
        port.module()->setConfig(c);
        port.send("ab");
        port.command('X');
        port.send("cd");
        QCOMPARE(port.module()->packetsSent(), uint64_t(0));
        port.send("ef");
        QCOMPARE(port.module()->packetsSent(), uint64_t(1));
        QCOMPARE(port.module()->config().channel, uint8_t(9));
    }

    void speedChangeGarblesAPortAtTheOldSpeed()
    {
        SimTestPort port(QStringLiteral("speed"));
        port.command('B', QByteArray::fromHex("02"));
        QCOMPARE(port.module()->config().serialSpeed, 19200);
        // The port still at 9600: "R" reaches the module as two other bytes, nothing answers.
        QCOMPARE(port.dump(), QByteArray());
        // At the module's new speed the dump comes back clean.
        port.setBaud(19200);
        QCOMPARE(port.dump(), patched(powerOnDump(), 1, QByteArray::fromHex("02")));
        // A port that goes back to 9600 while the answer comes receives it garbled.
        port.line().setRts(true);
        port.write("R");
        QThread::usleep(port.lineUs(1));
        port.setBaud(9600);
        port.line().setRts(false);
        const QByteArray garbled = port.receiveFor(100);
        QVERIFY(!garbled.isEmpty());
        QVERIFY(garbled != patched(powerOnDump(), 1, QByteArray::fromHex("02")));
    }

    // The fuzz target's way in: bytes fed straight to the interpreter mean what they mean on
    // the wire, answers included, without any line time.
    void fedBytesActAsOnTheWire_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // byte after byte
        QTest::addColumn<QByteArray>("rts");   // '1' raised, '0' low, per byte
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("channel");
        QTest::newRow("R answers the dump")
            << QByteArray("R") << QByteArray("1") << powerOnDump() << 2;
        QTest::newRow("channel, then R")
            << QByteArray("C\x64R") << QByteArray("111")
            << patched(powerOnDump(), 2, QByteArray::fromHex("64")) << 100;
        QTest::newRow("R as a parameter byte answers nothing")
            << QByteArray("CRR") << QByteArray("111") << patched(powerOnDump(), 2, QByteArray("R"))
            << int('R');
        QTest::newRow("a fall of RTS drops the command") << QByteArray("C\x05"
                                                                       "C")
                                                         << QByteArray("101") << QByteArray() << 2;
        QTest::newRow("R in data mode is data")
            << QByteArray("R") << QByteArray("0") << QByteArray() << 2;
        QTest::newRow("asleep, R wakes the module and is lost")
            << QByteArray("SR") << QByteArray("11") << QByteArray() << 2;
    }
    void fedBytesActAsOnTheWire()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, rts);
        QFETCH(QByteArray, answer);
        QFETCH(int, channel);
        SimModule *m = SimModule::named(QStringLiteral("fed"));
        m->factoryReset();
        QByteArray answered;
        for (int i = 0; i < bytes.size(); ++i) {
            const std::vector<uint8_t> a = m->feed(uint8_t(bytes.at(i)), rts.at(i) == '1');
            answered.append(reinterpret_cast<const char *>(a.data()), qsizetype(a.size()));
        }
        QCOMPARE(answered.toHex(' '), answer.toHex(' '));
        QCOMPARE(int(m->config().channel), channel);
        QVERIFY(!m->asleep());
    }
};

QTEST_GUILESS_MAIN(TestSimModule)
#include "tst_simmodule.moc"

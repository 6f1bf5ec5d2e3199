// The bit-level serial line: a receiver at the sender's speed gets every byte back, one at
// another speed garbles them as a UART does. The garbled rows are worked out by hand from the
// bit stream (start bit, data bits least significant first, stop bit, idle high) sampled in
// the middle of each receiver bit.

#include "sim/UartWire.h"

#include <QTest>

namespace {

struct Got {
    QByteArray bytes;
    QByteArray flags; // per byte: '.' clean, 'F' framing error, 'B' break
    std::vector<SimNs> times;
};

Got runWire(const QByteArray &sent, int txBaud, int rxBaud, SimNs t0 = 1000 * kSimMilli)
{
    UartWire w(rxBaud);
    for (char c : sent)
        w.send(uint8_t(c), UartWire::bitNsOf(txBaud), t0);
    Got g;
    const SimNs later = t0 + 10 * 1000 * kSimMilli;
    while (w.nextReceiveDue() <= later) {
        UartWire::Received r;
        if (w.takeReceived(later, r)) {
            g.bytes.append(char(r.byte));
            g.flags.append(r.isBreak ? 'B' : r.framingError ? 'F' : '.');
            g.times.push_back(r.at);
        }
    }
    return g;
}

} // namespace

class TestUartWire : public QObject {
    Q_OBJECT

private slots:
    void sameSpeedPassesEveryByte_data()
    {
        QTest::addColumn<int>("baud");
        for (int baud : {9600, 19200, 38400, 57600, 115200})
            QTest::newRow(qPrintable(QString::number(baud))) << baud;
    }
    void sameSpeedPassesEveryByte()
    {
        QFETCH(int, baud);
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        const SimNs t0 = 1000 * kSimMilli;
        const Got g = runWire(all, baud, baud, t0);
        QCOMPARE(g.bytes, all);
        QCOMPARE(g.flags, QByteArray(256, '.'));
        // Back to back: each byte is handed over one frame (10 bits) after the one before.
        const double frame = 10 * UartWire::bitNsOf(baud);
        QVERIFY(std::abs(double(g.times.front() - t0) - frame) < 2);
        for (size_t i = 1; i < g.times.size(); ++i)
            QVERIFY(std::abs(double(g.times[i] - g.times[i - 1]) - frame) < 2);
    }

    void otherSpeedGarbles_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("txBaud");
        QTest::addColumn<int>("rxBaud");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QByteArray>("flags");
        QTest::newRow("0xFF at 9600 read at 19200: the long start bit takes bit 0")
            << QByteArray("\xFF") << 9600 << 19200 << QByteArray("\xFE") << QByteArray(".");
        QTest::newRow("R at 9600 read at 19200: two bytes, the first without stop bit")
            << QByteArray("R") << 9600 << 19200 << QByteArray("\x18\xE6") << QByteArray("F.");
        QTest::newRow("0x00 at 9600 read at 19200: a break")
            << QByteArray(1, '\0') << 9600 << 19200 << QByteArray(1, '\0') << QByteArray("B");
        QTest::newRow("0x55 at 57600 read at 19200: every edge is noise")
            << QByteArray("U") << 57600 << 19200 << QByteArray() << QByteArray();
    }
    void otherSpeedGarbles()
    {
        QFETCH(QByteArray, sent);
        QFETCH(int, txBaud);
        QFETCH(int, rxBaud);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, flags);
        const Got g = runWire(sent, txBaud, rxBaud);
        QCOMPARE(g.bytes.toHex(' '), expected.toHex(' '));
        QCOMPARE(g.flags, flags);
    }

    void transmitBufferAndDrop()
    {
        UartWire w(9600);
        const double bit = UartWire::bitNsOf(9600);
        const SimNs t0 = 1000 * kSimMilli;
        for (int i = 0; i < 5; ++i)
            w.send(uint8_t('a' + i), bit, t0);
        // At t0 the first frame is on the wire, four wait.
        QCOMPARE(w.waitingAt(t0), 4);
        QCOMPARE(w.startOfWaiting(0, t0), t0 + SimNs(std::llround(10 * bit)));
        // Dropping the waiting frames leaves the one on the wire to complete.
        w.dropWaiting(t0 + 1);
        QCOMPARE(w.waitingAt(t0 + 1), 0);
        QCOMPARE(w.lineFreeAt(), t0 + SimNs(std::llround(10 * bit)));
        UartWire::Received r;
        QVERIFY(w.takeReceived(t0 + 20 * kSimMilli, r));
        QCOMPARE(r.byte, uint8_t('a'));
        QCOMPARE(w.nextReceiveDue(), kSimNever);
    }

    void framesAreReleasedOnceDone_data()
    {
        QTest::addColumn<bool>("reportsSent");
        QTest::newRow("traced sender") << true;
        QTest::newRow("untraced sender") << false;
    }
    void framesAreReleasedOnceDone()
    {
        // A console that runs for hours must not keep every byte it ever moved.
        QFETCH(bool, reportsSent);
        UartWire w(115200, reportsSent);
        SimNs t = 1000 * kSimMilli;
        for (int i = 0; i < 1000; ++i)
            w.send(uint8_t(i), UartWire::bitNsOf(115200), t);
        t += 1000 * kSimMilli;
        UartWire::Received r;
        UartWire::Frame f;
        int got = 0;
        while (w.nextReceiveDue() <= t)
            got += w.takeReceived(t, r) ? 1 : 0;
        while (reportsSent && w.takeSent(t, f)) {
        }
        QCOMPARE(got, 1000);
        QVERIFY(w.framesHeld() <= 1);
    }
};

QTEST_GUILESS_MAIN(TestUartWire)
#include "tst_uartwire.moc"

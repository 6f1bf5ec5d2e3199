// The Telnet and COM-PORT-OPTION layers of a network port on what servers send: data with
// doubled 0xFF, option negotiation answered once and only where this console wants it,
// answers of the option taken in, and whatever a peer may send bounded. Each stream is fed
// whole and byte by byte: where the socket splits it must not matter.

#include "serial/ComPortOption.h"

#include <QTest>

namespace {

QByteArray sub(const QByteArray &body)
{
    return QByteArray("\xff\xfa", 2) + body + QByteArray("\xff\xf0", 2);
}

struct Fed {
    QByteArray data;
    QByteArray answers;
    ComPortOption option;
};

void feed(Fed &f, const QByteArray &in, int chunk)
{
    for (int at = 0; at < in.size(); at += chunk) {
        const int n = int(std::min<qsizetype>(chunk, in.size() - at));
        uint8_t out[256];
        const int count =
            f.option.take(reinterpret_cast<const uint8_t *>(in.constData()) + at, n, out);
        f.data.append(reinterpret_cast<const char *>(out), count);
    }
    const std::string a = f.option.takeAnswers();
    f.answers.append(a.data(), qsizetype(a.size()));
}

} // namespace

class TestComPortOption : public QObject {
    Q_OBJECT

private slots:
    void serverStream_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<int>("offer"); // ComPortOption::Offer
        QTest::addColumn<int>("baudAnswers");
        QTest::addColumn<uint>("lastBaud");
        QTest::addColumn<int>("lineAnswers");
        QTest::addColumn<int>("modemState"); // -1: not told

        const int pending = int(ComPortOption::Offer::Pending);
        const int accepted = int(ComPortOption::Offer::Accepted);
        QTest::newRow("every byte value, 0xFF doubled")
            << QByteArray("a\xff\xff\x00\xfe"
                          "b",
                          6)
            << QByteArray("a\xff\x00\xfe"
                          "b",
                          5)
            << QByteArray() << pending << 0 << 0u << 0 << -1;
        // What ser2net 4.3 sends on a connection: only its offer to echo needs an answer.
        QTest::newRow("ser2net's opening")
            << QByteArray("\xff\xfb\x03\xff\xfd\x03\xff\xfb\x01\xff\xfe\x01\xff\xfd\x00"
                          "\xff\xfb\x00\xff\xfd\x2c",
                          21) +
                   sub(QByteArray("\x2c\x6b\x00", 3))
            << QByteArray() << QByteArray("\xff\xfe\x01") << accepted << 0 << 0u << 0 << 0;
        QTest::newRow("options this console does not speak are refused")
            << QByteArray("\xff\xfd\x18\xff\xfb\x1f\xff\xfc\x1f\xff\xfe\x18") << QByteArray()
            << QByteArray("\xff\xfc\x18\xff\xfe\x1f") << pending << 0 << 0u << 0 << -1;
        QTest::newRow("binary withdrawn and given again")
            << QByteArray("\xff\xfe\x00\xff\xfd\x00\xff\xfd\x00", 9) << QByteArray()
            << QByteArray("\xff\xfc\x00\xff\xfb\x00", 6) << pending << 0 << 0u << 0 << -1;
        QTest::newRow("refused option")
            << QByteArray("\xff\xfe\x2c") << QByteArray() << QByteArray("\xff\xfc\x2c")
            << int(ComPortOption::Offer::Refused) << 0 << 0u << 0 << -1;
        QTest::newRow("speed answer with a doubled 0xFF in its value, data around it")
            << "x" + sub(QByteArray("\x2c\x65\x00\x01\xc2\xff\xff", 7)) + "y" << QByteArray("xy")
            << QByteArray() << accepted << 1 << 0x0001c2ffu << 0 << -1;
        QTest::newRow("RTS and DTR answers counted, the flow control answer not")
            << sub("\x2c\x69\x0b") + sub("\x2c\x69\x09") + sub("\x2c\x69\x01") << QByteArray()
            << QByteArray() << accepted << 0 << 0u << 2 << -1;
        QTest::newRow("modem state") << sub("\x2c\x6b\x31") << QByteArray() << QByteArray()
                                     << accepted << 0 << 0u << 0 << 0x31;
        QTest::newRow("over-long subnegotiation cut, data after it kept")
            << sub("\x2c\x64" + QByteArray(500, 'x')) + "ok" << QByteArray("ok") << QByteArray()
            << accepted << 0 << 0u << 0 << -1;
        QTest::newRow("a command inside a subnegotiation drops it")
            << QByteArray("\xff\xfa\x2c\x65\x00\x00\xff\xfd\x18z", 10) << QByteArray("z")
            << QByteArray("\xff\xfc\x18") << pending << 0 << 0u << 0 << -1;
        QTest::newRow("commands without an option are not data")
            << QByteArray("\xff\xf1\xff\xf9\xff\xf0"
                          "a")
            << QByteArray("a") << QByteArray() << pending << 0 << 0u << 0 << -1;
        QTest::newRow("requests without end get bounded answers")
            << QByteArray("\xff\xfd\x18").repeated(1000) << QByteArray()
            << QByteArray("\xff\xfc\x18").repeated(ComPortOption::MaxPendingAnswers / 3) << pending
            << 0 << 0u << 0 << -1;
    }
    void serverStream()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answers);
        QFETCH(int, offer);
        QFETCH(int, baudAnswers);
        QFETCH(uint, lastBaud);
        QFETCH(int, lineAnswers);
        QFETCH(int, modemState);
        for (const int chunk : {int(in.size()), 1}) {
            Fed f;
            f.option.greeting();
            feed(f, in, chunk);
            QCOMPARE(f.data, data);
            QCOMPARE(f.answers, answers);
            QCOMPARE(int(f.option.offer()), offer);
            QCOMPARE(int(f.option.baudAnswers()), baudAnswers);
            QCOMPARE(f.option.lastBaud(), lastBaud);
            QCOMPARE(int(f.option.lineAnswers()), lineAnswers);
            QCOMPARE(f.option.modemStateKnown() ? int(f.option.modemState()) : -1, modemState);
        }
    }

    // What the client sends: a speed of 0x00FF00FF keeps each of its 0xFF bytes by doubling.
    void requestsDoubleIac()
    {
        const std::string r = ComPortOption::request(ComPortOption::SetBaudRate, 0x00ff00ffu, 4);
        QCOMPARE(QByteArray(r.data(), qsizetype(r.size())),
                 QByteArray("\xff\xfa\x2c\x01\x00\xff\xff\x00\xff\xff\xff\xf0", 12));
        std::string wire;
        const uint8_t data[] = {0x00, 0xff, 0x41};
        ComPortOption::escape(data, 3, wire);
        QCOMPARE(QByteArray(wire.data(), qsizetype(wire.size())),
                 QByteArray("\x00\xff\xff\x41", 4));
    }
};

QTEST_APPLESS_MAIN(TestComPortOption)
#include "tst_comportoption.moc"

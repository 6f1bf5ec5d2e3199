// Decoding the module's configuration dump.

#include "traffic/ConfigDump.h"

#include <QTest>

namespace {
QByteArray dump(std::initializer_list<std::pair<int, int>> bytes)
{
    QByteArray d(ConfigDump::Size, '\0');
    d[0] = 0x41;
    for (auto [i, v] : bytes)
        d[i] = char(v);
    return d;
}
ConfigDump decode(const QByteArray &d)
{
    return ConfigDump::decode(reinterpret_cast<const uint8_t *>(d.constData()));
}
} // namespace

class TestConfigDump : public QObject {
    Q_OBJECT

private slots:
    void fields()
    {
        const ConfigDump d = decode(dump({{2, 200},
                                          {3, 2},
                                          {4, 2},
                                          {5, 0x83},
                                          {6, 0x0A},
                                          {7, 0xB1},
                                          {8, 0x00},
                                          {9, 0x12},
                                          {10, 0xFF},
                                          {11, 0xe7},
                                          {15, 0x01},
                                          {16, 0x80},
                                          {17, 0xFF},
                                          {18, 0x08},
                                          {19, 0x07}}));
        QVERIFY(d.valid);
        QCOMPARE(d.channel, 200);
        QCOMPARE(d.powerIndex, 1);
        QCOMPARE(d.rateIndex, 1);
        QCOMPARE(d.addressWidth, 4);
        QCOMPARE(d.address1, QStringLiteral("0AB10012FF"));
        QCOMPARE(d.address2, QStringLiteral("E700000001"));
        QCOMPARE(d.dataW1, 16);
        QCOMPARE(d.dataW2, 31);
        QCOMPARE(d.dataW1TX, 1);
        QCOMPARE(d.dataW2TX, 0);
    }

    void widthFromTopBits_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("width");
        QTest::newRow("0x83") << 0x83 << 4;
        QTest::newRow("0x1F") << 0x1F << 0;
        QTest::newRow("0x60") << 0x60 << 3;
        QTest::newRow("0xFF") << 0xFF << 7;
    }
    void widthFromTopBits()
    {
        QFETCH(int, byte);
        QFETCH(int, width);
        QCOMPARE(decode(dump({{5, byte}})).addressWidth, width);
    }

    void powerCodes()
    {
        for (int index = 0; index < 4; ++index)
            QCOMPARE(powerIndexForCode(powerCodeForIndex(index)), index);
        QCOMPARE(powerCodeForIndex(0), 3);
        QCOMPARE(powerCodeForIndex(3), 0);
        QCOMPARE(powerCodeForIndex(-1), 0);
        QCOMPARE(decode(dump({{3, 5}})).powerIndex, -1);
        QCOMPARE(decode(dump({{4, 0}})).rateIndex, 0);
    }

    void wrongMarkerIsNoDump()
    {
        QByteArray d = dump({});
        d[0] = 0x42;
        QVERIFY(!decode(d).valid);
    }
};

QTEST_GUILESS_MAIN(TestConfigDump)
#include "tst_configdump.moc"

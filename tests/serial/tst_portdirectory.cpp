// Which device a COM name opens, and how a failed open is worded for the operator.

#include "serial/PortDirectory.h"

#include <QTest>

using Kind = PortDirectory::Target::Kind;

class TestPortDirectory : public QObject {
    Q_OBJECT

    QStringList system_{"/dev/ttyUSB1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS0"};

private slots:
    void init()
    {
        PortDirectory &d = PortDirectory::global();
        d.setSystemPortsForTesting(&system_);
        d.setExplicit({});
        d.setFallback({});
        d.registerScheme(QStringLiteral("sim"), [](const QString &) { return nullptr; });
    }
    void cleanupTestCase() { PortDirectory::global().setSystemPortsForTesting(nullptr); }

    void resolution_data()
    {
        QTest::addColumn<QString>("entry");    // [Devices] value for COM3, if any
        QTest::addColumn<QString>("fallback"); // "" or "sim", "!sim:B" to override entries
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("device");
        QTest::newRow("system list, in order") << ""
                                               << ""
                                               << "COM2" << int(Kind::Device) << "/dev/ttyUSB10";
        QTest::newRow("beyond the list") << ""
                                         << ""
                                         << "COM9" << int(Kind::None) << "";
        QTest::newRow("entry wins") << "/dev/ttyS7"
                                    << ""
                                    << "COM3" << int(Kind::Device) << "/dev/ttyS7";
        QTest::newRow("entry is case-blind on the name")
            << "/dev/ttyS7"
            << ""
            << "com3" << int(Kind::Device) << "/dev/ttyS7";
        QTest::newRow("simulated module") << "sim"
                                          << ""
                                          << "COM3" << int(Kind::Scheme) << "sim";
        QTest::newRow("named simulated module") << "sim:B"
                                                << ""
                                                << "COM3" << int(Kind::Scheme) << "sim:B";
        QTest::newRow("unknown scheme opens nothing") << "modem"
                                                      << ""
                                                      << "COM3" << int(Kind::None) << "";
        QTest::newRow("without hardware, no entry") << ""
                                                    << "sim"
                                                    << "COM1" << int(Kind::Scheme) << "sim";
        QTest::newRow("without hardware, entry still wins")
            << "/dev/ttyS7"
            << "sim"
            << "COM3" << int(Kind::Device) << "/dev/ttyS7";
        QTest::newRow("trial override") << "/dev/ttyS7"
                                        << "!sim:B"
                                        << "COM3" << int(Kind::Scheme) << "sim:B";
        QTest::newRow("plain file name") << ""
                                         << ""
                                         << "ComFile.txt" << int(Kind::Device) << "ComFile.txt";
    }
    void resolution()
    {
        QFETCH(QString, entry);
        QFETCH(QString, fallback);
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, device);
        PortDirectory &d = PortDirectory::global();
        if (!entry.isEmpty())
            d.setExplicit({{QStringLiteral("COM3"), entry}});
        if (fallback.startsWith(QLatin1Char('!')))
            d.setFallback(fallback.mid(1), true);
        else
            d.setFallback(fallback);
        const PortDirectory::Target t = d.resolve(name);
        QCOMPARE(int(t.kind), kind);
        QCOMPARE(t.device, device);
    }

    void adaptersAreTheUsbAndAcmPorts()
    {
        QCOMPARE(PortDirectory::global().adapters(),
                 QStringList({"/dev/ttyUSB1", "/dev/ttyUSB10", "/dev/ttyACM0"}));
        const QStringList onBoard{"/dev/ttyS0"};
        PortDirectory::global().setSystemPortsForTesting(&onBoard);
        QVERIFY(PortDirectory::global().adapters().isEmpty());
    }

    void failureTextsTellTheCause_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("words");
        QTest::newRow("missing") << int(LineError::NoDevice) << "no such device";
        QTest::newRow("busy") << int(LineError::Busy) << "busy";
        QTest::newRow("permission") << int(LineError::PermissionDenied) << "dialout";
        QTest::newRow("not a tty") << int(LineError::NotATty) << "not a serial device";
    }
    void failureTextsTellTheCause()
    {
        QFETCH(int, error);
        QFETCH(QString, words);
        PortDirectory::global().setExplicit({{QStringLiteral("COM3"), "/dev/ttyUSB0"}});
        const QString text = PortDirectory::failureText(
            QStringLiteral("COM3"), PortDirectory::global().resolve(QStringLiteral("COM3")),
            LineError(error), {});
        QVERIFY2(text.startsWith(QLatin1String("COM3 (/dev/ttyUSB0): ")), qPrintable(text));
        QVERIFY2(text.contains(words), qPrintable(text));
    }

    void describesWhatANameOpens()
    {
        PortDirectory &d = PortDirectory::global();
        d.setExplicit({{QStringLiteral("COM3"), QStringLiteral("sim:B")}});
        QCOMPARE(d.describe(QStringLiteral("COM3")), QStringLiteral("simulated module B"));
        QCOMPARE(d.describe(QStringLiteral("COM9")), QStringLiteral("no device"));
        QCOMPARE(d.describe(QStringLiteral("COM1")), QStringLiteral("/dev/ttyUSB1"));
    }

    // A settings file may map a name to text of any length; the operator is shown its start
    // and its end, never a megabyte. Real device names stay whole.
    void overLongDeviceTextsAreShortened_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("whole");
        QTest::newRow("a long real name")
            << "/dev/serial/by-id/usb-Silicon_Labs_CP2102N_USB_to_UART_Bridge_Controller_"
               "a4c1b3f9e5b0eb11a83b6a4f1a9e6d2e-if00-port0"
            << true;
        QTest::newRow("a megabyte of path")
            << "/dev/" + QString(1024 * 1024, QLatin1Char('x')) << false;
        QTest::newRow("a megabyte that names nothing")
            << QString(1024 * 1024, QLatin1Char('y')) << false;
        QTest::newRow("a simulated module with a megabyte of name")
            << "sim:" + QString(1024 * 1024, QLatin1Char('z')) << false;
    }
    void overLongDeviceTextsAreShortened()
    {
        QFETCH(QString, entry);
        QFETCH(bool, whole);
        PortDirectory &d = PortDirectory::global();
        d.setExplicit({{QStringLiteral("COM3"), entry}});
        const QString described = d.describe(QStringLiteral("COM3"));
        const QString failure = PortDirectory::failureText(
            QStringLiteral("COM3"), d.resolve(QStringLiteral("COM3")), LineError::NoDevice, {});
        QVERIFY2(described.size() < 300, qPrintable(described.left(300)));
        QVERIFY2(failure.size() < 300, qPrintable(failure.left(300)));
        QVERIFY2(failure.startsWith(QLatin1String("COM3")), qPrintable(failure));
        QVERIFY2(failure.contains(entry.left(80)) && failure.contains(entry.right(80)),
                 qPrintable(failure));
        QCOMPARE(failure.contains(entry), whole);
        if (whole)
            QCOMPARE(described, entry);
    }
};

QTEST_GUILESS_MAIN(TestPortDirectory)
#include "tst_portdirectory.moc"

// Which device a COM name opens, and how a failed open is worded for the operator.

#include "serial/PortDirectory.h"

#include <QTest>

#include <atomic>
#include <thread>

using Kind = PortDirectory::Target::Kind;

class TestPortDirectory : public QObject {
    Q_OBJECT

    // Listed out of order, as a system may list them.
    const QList<PortInfo> system_{
        {"/dev/ttyS0", {}, {}, {}, {}, "serial8250"},
        {"/dev/ttyUSB10",
         {},
         "CP2102 USB to UART",
         "Silicon Labs",
         "0001",
         "cp210x",
         0x10c4,
         0xea60},
        {"/dev/ttyAMA0", {}, {}, {}, {}, "uart-pl011"},
        {"/dev/ttyCH341USB0", {}, "USB Serial", {}, {}, "ch341", 0x1a86, 0x7523},
        {"/dev/ttyUSB1", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
         "FT232R USB UART", "FTDI", "A1B2C3", "ftdi_sio", 0x0403, 0x6001},
        {"/dev/ttyACM0", {}, {}, {}, {}, "cdc_acm"},
    };

private slots:
    void init()
    {
        PortDirectory &d = PortDirectory::global();
        d.setPortSource([this] { return system_; });
        d.setExplicit({});
        d.setSimulated({});
        d.registerScheme(QStringLiteral("sim"), [](const QString &) { return nullptr; });
    }
    void cleanupTestCase() { PortDirectory::global().setPortSource({}); }

    void resolution_data()
    {
        QTest::addColumn<QString>("entry");     // [Devices] value for COM3, if any
        QTest::addColumn<QString>("simulated"); // the module asked for at start, if any
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("device");
        QTest::newRow("system list: USB adapters first (a CH341 among them), in name order")
            << ""
            << ""
            << "COM4" << int(Kind::Device) << "/dev/ttyUSB10";
        QTest::newRow("system list: then the on-board ports")
            << ""
            << ""
            << "COM5" << int(Kind::Device) << "/dev/ttyAMA0";
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
        QTest::newRow("asked-for module, no entry") << ""
                                                    << "sim"
                                                    << "COM1" << int(Kind::Scheme) << "sim";
        QTest::newRow("asked-for module over an entry") << "/dev/ttyS7"
                                                        << "sim:B"
                                                        << "COM3" << int(Kind::Scheme) << "sim:B";
        QTest::newRow("plain file name") << ""
                                         << ""
                                         << "ComFile.txt" << int(Kind::Device) << "ComFile.txt";
    }
    void resolution()
    {
        QFETCH(QString, entry);
        QFETCH(QString, simulated);
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, device);
        PortDirectory &d = PortDirectory::global();
        if (!entry.isEmpty())
            d.setExplicit({{QStringLiteral("COM3"), entry}});
        d.setSimulated(simulated);
        const PortDirectory::Target t = d.resolve(name);
        QCOMPARE(int(t.kind), kind);
        QCOMPARE(t.device, device);
    }

    // Without a module asked for, no listing makes a COM name simulated: a machine with
    // only an on-board port opens it, one without any port opens nothing.
    void neverSimulatesOnItsOwn()
    {
        PortDirectory &d = PortDirectory::global();
        const QList<PortInfo> onBoard{{"/dev/ttyAMA0", {}, {}, {}, {}, "uart-pl011"}};
        d.setPortSource([&onBoard] { return onBoard; });
        QCOMPARE(d.resolve(QStringLiteral("COM1")).device, QStringLiteral("/dev/ttyAMA0"));
        d.setPortSource([] { return QList<PortInfo>(); });
        QCOMPARE(int(d.resolve(QStringLiteral("COM1")).kind), int(Kind::None));
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

    void describesWhatANameOpens_data()
    {
        QTest::addColumn<QString>("entry"); // [Devices] value for COM3, if any
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
        const QString ftdi = "FT232R USB UART, FTDI, 0403:6001, serial A1B2C3, driver ftdi_sio";
        QTest::newRow("listed, by position") << ""
                                             << "COM3" << QStringList{"/dev/ttyUSB1", byId, ftdi};
        QTest::newRow("listed, by its stable name")
            << byId << "COM3" << QStringList{byId, "/dev/ttyUSB1", ftdi};
        QTest::newRow("on-board, known by its driver")
            << ""
            << "COM6" << QStringList{"/dev/ttyS0", "driver serial8250"};
        QTest::newRow("not listed") << "/dev/ttyS7"
                                    << "COM3" << QStringList{"/dev/ttyS7"};
        QTest::newRow("simulated") << "sim:B"
                                   << "COM3" << QStringList{"simulated module B"};
        QTest::newRow("nothing") << ""
                                 << "COM9" << QStringList{"no device"};
    }
    void describesWhatANameOpens()
    {
        QFETCH(QString, entry);
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        PortDirectory &d = PortDirectory::global();
        if (!entry.isEmpty())
            d.setExplicit({{QStringLiteral("COM3"), entry}});
        QCOMPARE(d.describe(d.resolve(name)), lines);
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
        const QString described = d.describe(d.resolve(QStringLiteral("COM3"))).join('\n');
        const QString failure = PortDirectory::failureText(
            QStringLiteral("COM3"), d.resolve(QStringLiteral("COM3")), LineError::NoDevice, {});
        QVERIFY2(described.size() < 300, qPrintable(described.left(300)));
        QVERIFY2(failure.size() < 300, qPrintable(failure.left(300)));
        QVERIFY2(failure.startsWith(QLatin1String("COM3")), qPrintable(failure));
        // A simulated module is told by its name, without the scheme.
        const QString told = entry.mid(entry.indexOf(QLatin1Char(':')) + 1);
        QVERIFY2(failure.contains(told.left(80)) && failure.contains(told.right(80)),
                 qPrintable(failure));
        QCOMPARE(failure.contains(entry), whole);
        if (whole)
            QCOMPARE(described, entry);
    }

    // Ports on threads of their own resolve their names while the directory takes new entries
    // (a station's next adapter): every answer is one of the entries, never a torn one. The
    // thread sanitizer judges the rest.
    void resolvesWhileEntriesChange()
    {
        PortDirectory &d = PortDirectory::global();
        const QMap<QString, QString> a{{QStringLiteral("COM3"), QStringLiteral("/dev/ttyA")}};
        const QMap<QString, QString> b{{QStringLiteral("COM3"), QStringLiteral("sim:B")}};
        d.setExplicit(a);
        std::atomic<bool> stop{false};
        std::thread changer([&] {
            for (int i = 0; !stop; ++i)
                d.setExplicit(i % 2 ? a : b);
        });
        QStringList torn;
        for (int i = 0; i < 2000; ++i) {
            const QString device = d.resolve(QStringLiteral("COM3")).device;
            if (device != QLatin1String("/dev/ttyA") && device != QLatin1String("sim:B"))
                torn << device;
        }
        stop = true;
        changer.join();
        QCOMPARE(torn, QStringList());
    }
};

QTEST_GUILESS_MAIN(TestPortDirectory)
#include "tst_portdirectory.moc"

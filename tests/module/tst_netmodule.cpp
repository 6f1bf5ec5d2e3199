// The module core over network ports, against servers written apart from this console. Set
// Module through pyserial's RFC 2217 server, whose port records for each byte the RTS and DTR
// state set before it: every command byte under the raised line, data under the lowered one,
// the waits kept, the read-back answered from a dump. And a raw TCP port (ser2net's plain tcp
// accepter): the operations that need the programming line are refused with one message and
// send nothing, while data goes through.

#include "module/RadioModule.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "support/PtyPair.h"
#include "support/Ser2net.h"
#include "traffic/ConfigDump.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <functional>
#include <map>
#include <optional>
#include <sys/prctl.h>

namespace {

struct Recorder : ModuleReport {
    QStringList log;
    std::optional<ModuleConfig> read;
    QList<bool> ended;

    void moduleLog(const QString &line) override { log << line; }
    void moduleNotDetected() override {}
    void programmingLine(bool) override {}
    void moduleAsleep(bool) override {}
    void writeRefused(const ModuleRefusal &r) override { log << r.text; }
    void configRead(const ModuleConfig &c) override { read = c; }
    void readEnded(bool answered) override { ended << answered; }
};

// The core on COM1, which the port directory maps to device.
struct Core {
    explicit Core(const QString &device)
    {
        PortDirectory::global().setExplicit({{QStringLiteral("COM1"), device}});
        port.SetRtsFlowControl(RTSOff);
        port.SetComPort(COM1);
        port.SetBaudRate(br115200);
        port.SetOnReceive([this](int n) {
            if (core.ReadActive)
                core.TakeDump(n);
        });
        port.SetComStatus(true);
        core.ProgramModeOff();
    }
    ~Core() { PortDirectory::global().setExplicit({}); }
    Recorder report;
    TRadioCom port;
    RadioModule core{port, report};
};

struct Arrival {
    double ms;
    bool rts, dtr;
    uint8_t byte;
};

QByteArray dump()
{
    QByteArray d("\x41\x05\x02\x03\xFF\xA0", 6);
    d += QByteArray(5, char(0xFF)) + QByteArray(5, char(0xC2));
    d += QByteArray("\x08\x00\x08\x00", 4);
    return d;
}

} // namespace

class TestNetModule : public QObject {
    Q_OBJECT

private slots:
    void setModuleThroughAnRfc2217Server()
    {
        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // Debian's interpreter, which python3-serial installs into, whatever else is on PATH.
        server.start(QFile::exists(QStringLiteral("/usr/bin/python3"))
                         ? QStringLiteral("/usr/bin/python3")
                         : QStringLiteral("python3"),
                     {QStringLiteral(QV_SOURCE_DIR "/tests/module/rfc2217_module.py"),
                      QString::fromLatin1(dump().toHex())});
        QVERIFY(server.waitForReadyRead(10000));
        const QByteArray first = server.readLine().trimmed();
        QVERIFY2(first.startsWith("port "), first.constData());
        Core s(QStringLiteral("rfc2217://127.0.0.1:") + first.mid(5));
        QVERIFY2(s.port.Connected(), qPrintable(s.port.LastOpenError()));

        ModuleConfig c;
        c.channel = 5;
        c.rateIndex = 0;
        c.powerIndex = 2;
        c.addressWidth = 1;
        c.address1 = QStringLiteral("FFFFFFFFFF"); // 0xFF is Telnet's escape: doubled, not lost
        QVERIFY(s.core.WriteConfig(c));
        QTRY_COMPARE_WITH_TIMEOUT(s.report.ended, QList<bool>{true}, 5000);
        const ConfigDump expected =
            ConfigDump::decode(reinterpret_cast<const uint8_t *>(dump().constData()));
        QCOMPARE(s.report.read->channel, expected.channel);
        QCOMPARE(s.report.read->address1, expected.address1);
        QVERIFY(!s.core.SendText("hi"));

        const QByteArray commands("C\x05L\x00l\x00T\x00t\x00"
                                  "D\x00P\x01W\x08"
                                  "A\xFF\xFF\xFF\xFF\xFFR",
                                  23);
        std::vector<Arrival> got;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                while (server.canReadLine()) {
                    const QList<QByteArray> f = server.readLine().simplified().split(' ');
                    if (f.size() == 4)
                        got.push_back(
                            {f[0].toDouble(), f[1] == "1", f[2] == "1", uint8_t(f[3].toInt())});
                }
                return got.size() >= size_t(commands.size() + 2);
            }(),
            5000);
        server.kill();
        server.waitForFinished();
        QCOMPARE(got.size(), size_t(commands.size() + 2));
        for (size_t i = 0; i < got.size(); ++i) {
            const bool command = i < size_t(commands.size());
            QCOMPARE(got[i].byte, uint8_t(command ? commands[qsizetype(i)] : "hi"[i - 23]));
            QVERIFY2(got[i].rts == command, qPrintable(QStringLiteral("byte %1").arg(i)));
            QVERIFY(!got[i].dtr);
        }
        // The waits between the bytes are 33 command waits of 4 ms on this side; the network
        // may bunch a few of them, never all.
        QVERIFY2(got[22].ms - got[0].ms >= 100.0,
                 qPrintable(QStringLiteral("%1 ms").arg(got[22].ms - got[0].ms)));
    }

    void rawPortRefusesTheProgrammingLine_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("Set Module") << QStringLiteral("Set Module");
        QTest::newRow("Read Config") << QStringLiteral("Read Config");
        QTest::newRow("Sleep") << QStringLiteral("Sleep");
        QTest::newRow("Reset") << QStringLiteral("Reset");
        QTest::newRow("Set Speed") << QStringLiteral("Set Speed");
    }
    void rawPortRefusesTheProgrammingLine()
    {
        QFETCH(QString, operation);
        QVERIFY2(!Ser2net::program().isEmpty(),
                 "ser2net is missing: scripts/install-deps.sh --test installs it");
        PtyPair pty;
        Ser2net server(pty.path(), false);
        QVERIFY(server.start());
        Core s(server.url());
        QVERIFY2(s.port.Connected(), qPrintable(s.port.LastOpenError()));
        QVERIFY(s.port.DataOnly());

        ModuleConfig c;
        c.address1 = QStringLiteral("E7E7E7E7E7");
        const std::map<QString, std::function<void()>> run{
            {QStringLiteral("Set Module"), [&] { QVERIFY(!s.core.WriteConfig(c)); }},
            {QStringLiteral("Read Config"), [&] { s.core.ReadConfig(); }},
            {QStringLiteral("Sleep"), [&] { s.core.Sleep(); }},
            {QStringLiteral("Reset"), [&] { s.core.Reset(); }},
            {QStringLiteral("Set Speed"), [&] { QVERIFY(!s.core.ChangeSpeed(4)); }}};
        run.at(operation)();
        QCOMPARE(s.report.log,
                 QStringList{QStringLiteral("%1 refused: COM1 (%2) carries data only and cannot "
                                            "drive the programming line")
                                 .arg(operation, server.url())});
        QVERIFY(!s.core.ReadActive);
        QVERIFY(!s.core.Asleep);
        // Nothing went out before the data.
        QVERIFY(!s.core.SendText("data"));
        QCOMPARE(pty.read(4), QByteArray("data"));
    }
};

QTEST_GUILESS_MAIN(TestNetModule)
#include "tst_netmodule.moc"

// quorvane-cli end to end, started as a script starts it: on simulated modules that keep their
// configuration between runs (in the configuration folder, as the console's do), and on a
// pseudo-terminal nobody answers. Exit status, the reason on stderr, and --json of each command;
// many ports at once; station mode over a folder of device links the test plugs and unplugs.

#include "support/PtyPair.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

namespace {

// A profile as earlier versions saved it, with the keys no command writes.
const QByteArray kProfile = "[Module]\n"
                            "Channel=77\n"
                            "Power=-10 dBm\n"
                            "DataRate=250 kbps\n"
                            "AddressWidth=3\n"
                            "Address1=0102030405\n"
                            "Address2=C2C2C2C2C2\n"
                            "Data1RX=8\n"
                            "Data2RX=0\n"
                            "Data1TX=16\n"
                            "Data2TX=2\n"
                            "CRC=16 bits\n"
                            "ShockBurst=On\n"
                            "DualChannel=Off\n";

// The same profile as it is read back: only what a command writes, then Address 2 as the
// module reports it.
const QByteArray kReadBack = "[Module]\n"
                             "Channel=77\n"
                             "Power=-10 dBm\n"
                             "DataRate=250 kbps\n"
                             "AddressWidth=3\n"
                             "Address1=0102030405\n"
                             "Data1RX=8\n"
                             "Data2RX=0\n"
                             "Data1TX=16\n"
                             "Data2TX=2\n";
const QByteArray kAddress2Note =
    "; Address2=C2C2C2C2C2 is reported by the module; no command writes it\n";

// What a simulated module holds when it powers on.
const QByteArray kPowerOn = "[Module]\nChannel=2\nPower=0 dBm\nDataRate=1 Mbps\nAddressWidth=5\n"
                            "Address1=E7E7E7E7E7\nData1RX=25\nData2RX=0\nData1TX=25\nData2TX=0\n";

struct Run {
    int code = -1;
    QByteArray out, err;
};

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(home_.isValid()); }

    void writeThenReadGivesTheProfile()
    {
        const QString profile = file("golden.ini", kProfile);
        const Run written = cli({"--port", "sim:LINE", "write", profile});
        QCOMPARE(written.code, 0);
        QVERIFY2(written.out.startsWith("Set Module.\n"), written.out.constData());
        QVERIFY(written.out.endsWith("The module holds the profile.\n"));
        QCOMPARE(written.err, QByteArray());

        // Another run finds the module as it was left.
        const Run read = cli({"--port", "sim:LINE", "--quiet", "read"});
        QCOMPARE(read.code, 0);
        QCOMPARE(read.out, kReadBack + kAddress2Note);
        const QString copy = home_.filePath(QStringLiteral("copy.ini"));
        QCOMPARE(cli({"--port", "sim:LINE", "read", "--out", copy}).code, 0);
        QFile f(copy);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), kReadBack);
    }

    // Everything is written, and then no answer comes.
    void moduleThatDoesNotAnswer()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        const Run r = cli({"--port", pty.path(), "write", file("p.ini", kProfile)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("no answer from the module on " + pty.path().toUtf8()),
                 r.err.constData());
        // The profile as Set Module writes it.
        const char wire[] = {'C', 77, 'L', 64, 'l', 0, 'T', char(128), 't', 16, 'D', 0,
                             'P', 1,  'W', 24, 'A', 1, 2,   3,         4,   5,  'R'};
        QCOMPARE(pty.read(int(sizeof wire)), QByteArray(wire, int(sizeof wire)));
    }

    // Each command's exit status, its reason on stderr, and its result as JSON.
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason"); // a piece of the line on stderr
        QTest::addColumn<int>("modules");    // many ports: the modules in the JSON; else -1

        const auto changed = [this](const char *name, const char *from, const char *to) {
            return file(name, QByteArray(kProfile).replace(from, to));
        };
        const QString bad = changed("bad.ini", "Power=-10 dBm", "Power=3 dBm");
        const QString differs =
            changed("address2.ini", "Address2=C2C2C2C2C2", "Address2=0102030405");
        const QString good = file("good.ini", kReadBack);
        const QString emptyFolder = home_.filePath(QStringLiteral("no-adapters"));
        QDir().mkpath(emptyFolder);

        const auto row = [](const char *name, const QStringList &args, const char *command,
                            int code, const char *reason, int modules = -1) {
            QTest::newRow(name) << args << QString::fromLatin1(command) << code
                                << QString::fromLatin1(reason) << modules;
        };
        row("list", {"list"}, "list", 0, "");
        row("read", {"--port", "sim:R", "read"}, "read", 0, "");
        row("reset", {"--port", "sim:R", "reset"}, "reset", 0, "");
        row("sleep", {"--port", "sim:S", "sleep"}, "sleep", 0, "");
        row("wake", {"--port", "sim:S", "wake"}, "wake", 0, "");
        row("speed, then read at the new speed", {"--port", "sim:V", "speed", "57600"}, "speed", 0,
            "");
        row("write of an Address 2 the module does not report",
            {"--port", "sim:D", "write", differs}, "write", 1, "differs from");
        row("read at a speed the module does not run",
            {"--port", "sim:R", "--baud", "38400", "read"}, "read", 1, "no answer");
        row("bad profile", {"--port", "sim:B", "write", bad}, "write", 2,
            "Power: \"3 dBm\" is not allowed");
        row("no profile", {"--port", "sim:B", "write", "none.ini"}, "write", 2,
            "none.ini: no such file");
        row("no such device", {"--port", "/dev/ttyQV9", "reset"}, "reset", 2,
            "/dev/ttyQV9: no such device");
        row("speed not in the list", {"--port", "sim:B", "speed", "1200"}, "speed", 2,
            "speed 1200");
        row("no such command", {"frob"}, "frob", 2, "frob: no such command");
        row("argument missing", {"write"}, "write", 2, "takes one argument");

        // Settings no command writes never pass: refused before anything is sent.
        row("CRC 8 bits", {"--port", "sim:N", "write", changed("crc.ini", "=16 bits", "=8 bits")},
            "write", 2, "CRC: \"8 bits\" cannot be given to the module: no command writes it");
        row("ShockBurst Off",
            {"--port", "sim:N", "write", changed("sb.ini", "ShockBurst=On", "ShockBurst=Off")},
            "write", 2, "ShockBurst: \"Off\" cannot be given");
        row("DualChannel On, on many ports",
            {"--port", "sim:N", "--port", "sim:O", "write",
             changed("dc.ini", "DualChannel=Off", "DualChannel=On")},
            "write", 2, "DualChannel: \"On\" cannot be given");

        // Many ports at once: a port that does not open is its module's failure.
        row("many, all hold", {"--port", "sim:M1", "--port", "sim:M2", "write", good}, "write", 0,
            "", 2);
        row("many, one port does not open",
            {"--port", "sim:M3", "--port", "/dev/ttyQV9", "--port", "sim:M4", "write", good},
            "write", 1, "1 of 3 modules failed", 3);
        row("many, read", {"--port", "sim:M1", "--port", "sim:M5", "read"}, "read", 0, "", 2);
        row("check of a module never written", {"--port", "sim:M6", "check", good}, "check", 1,
            "1 of 1 modules failed", 1);
        row("check of modules as they power on",
            {"--port", "sim:P1", "--port", "sim:P2", "check", file("power-on.ini", kPowerOn)},
            "check", 0, "", 2);
        row("many, a port named twice", {"--port", "sim:M1", "--port", "sim:M1", "read"}, "read", 2,
            "sim:M1 and sim:M1 are the same port");
        row("--all with no adapter", {"--all", "--devices", emptyFolder, "check", good}, "check", 2,
            "--all: no device under");
        row("many ports for reset", {"--port", "sim:M1", "--port", "sim:M2", "reset"}, "reset", 2,
            "reset runs on one port");
        row("--log with one port", {"--port", "sim:M1", "--log", "x.csv", "write", good}, "write",
            2, "--log goes with station");

        // The channel survey: two modules, or refused before anything is written.
        row("survey",
            {"survey", "--tx", "sim:SV1", "--rx", "sim:SV2", "--channels", "80,81", "--packets",
             "3", "--pace", "0"},
            "survey", 0, "");
        row("survey, a port that does not open",
            {"survey", "--tx", "sim:SV1", "--rx", "/dev/ttyQV9", "--channels", "80"}, "survey", 2,
            "/dev/ttyQV9: no such device");
        row("survey of channel 200",
            {"survey", "--tx", "sim:SV1", "--rx", "sim:SV2", "--channels", "200"}, "survey", 2,
            "--channels 200: \"200\" is no channel");
        // sim:D holds the profile the row above wrote.
        row("survey of modules that cannot hear each other",
            {"survey", "--tx", "sim:SV1", "--rx", "sim:D", "--channels", "80"}, "survey", 2,
            "cannot hear each other: address width: the sender 5 bytes, the receiver 3");
        row("survey without a receiver", {"survey", "--tx", "sim:SV1"}, "survey", 2,
            "survey needs the sending module's port (--tx) and the receiving one's (--rx)");
        row("--tx without survey", {"--tx", "sim:SV1", "read"}, "read", 2, "--tx goes with survey");
    }
    void exitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, command);
        QFETCH(int, code);
        QFETCH(QString, reason);
        QFETCH(int, modules);
        const Run r = cli(args);
        QCOMPARE(r.code, code);
        if (reason.isEmpty())
            QCOMPARE(r.err, QByteArray());
        else
            QVERIFY2(r.err.startsWith("quorvane-cli: ") && r.err.contains(reason.toUtf8()),
                     r.err.constData());

        const Run j = cli(QStringList{"--json"} + args);
        QCOMPARE(j.code, code);
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(j.out, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, j.out.constData());
        QCOMPARE(o.value(QStringLiteral("command")).toString(), command);
        QCOMPARE(o.value(QStringLiteral("ok")).toBool(), code == 0);
        if (modules < 0)
            return;
        const QJsonArray list = o.value(QStringLiteral("modules")).toArray();
        QCOMPARE(list.size(), modules);
        int passed = 0;
        for (const QJsonValue &m : list)
            passed += m.toObject().value(QStringLiteral("ok")).toBool();
        QCOMPARE(passed == modules, code == 0);
        QVERIFY(o.value(QStringLiteral("summary")).toString().endsWith(QLatin1Char('.')));
    }

    // speed on the console's own port and speed tells the console, as its own Set Speed
    // does: only the Baud key changes, every other line stays. With --port or --baud the
    // console's settings are not the command's, and the speed to use is printed instead.
    void speedTellsTheConsole_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("baudAfter");
        QTest::addColumn<QString>("says");
        QTest::newRow("the console's own port and speed")
            << QStringList{"speed", "57600"} << QByteArray("Baud=3") << "speed is now 57600 bit/s";
        QTest::newRow("--port given") << QStringList{"--port", "sim:SPEED2", "speed", "19200"}
                                      << QByteArray("Baud=0") << "Use --baud 19200";
        QTest::newRow("--baud given") << QStringList{"--baud", "9600", "speed", "38400"}
                                      << QByteArray("Baud=0") << "Use --baud 38400";
    }
    void speedTellsTheConsole()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, baudAfter);
        QFETCH(QString, says);
        static int n = 0;
        const QByteArray settings = "; the workshop's console\n[Port]\nCOM=0\nBaud=0\n"
                                    "[Devices]\nCOM1=sim:SPEED1-" +
                                    QByteArray::number(++n) + "\n[Other]\nkey=kept\n";
        const QString ini = file("Quorvane.ini", settings);
        const Run r = cli(args);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray after = f.readAll();
        f.close();
        QFile::remove(ini);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(says.toUtf8()), r.out.constData());
        QCOMPARE(after, QByteArray(settings).replace("Baud=0", baudAfter));
    }

    // A rack of three slots: two modules plugged and written, the third pulled out in the
    // middle of its write and plugged again. The log has a row per module with its reason, the
    // replugged one is written again, and the ones that stayed are not.
    void stationOverAFolderOfDeviceLinks()
    {
        const QString rack = freshFolder("rack");
        const QString log = home_.filePath(QStringLiteral("rack.csv"));
        Station station(this,
                        {"station", file("rack.ini", kReadBack), "--devices", rack, "--log", log});
        plug(rack, "slot1", "sim:RACK1");
        plug(rack, "slot2", "sim:RACK2");
        PtyPair pty;
        QVERIFY(pty.ok());
        plug(rack, "slot3", pty.path());
        QVERIFY(pty.read(1, 10000).startsWith('C'));
        pty.closeMaster();
        QVERIFY(QFile::remove(rack + QStringLiteral("/slot3")));
        QTRY_COMPARE_WITH_TIMEOUT(rows(log).size(), 3, 10000);
        plug(rack, "slot3", "sim:RACK3");
        QTRY_COMPARE_WITH_TIMEOUT(rows(log).size(), 4, 10000);
        QTest::qWait(300); // a look at the folder after the last change finds nothing new

        const Run end = station.end(SIGTERM);
        QCOMPARE(end.code, 1);
        QVERIFY2(end.out.endsWith("Station ended: 3 passed, 1 failed.\n"), end.out.constData());
        const QList<QStringList> r = rows(log);
        QCOMPARE(r.size(), 4);
        QStringList seen;
        for (const QStringList &row : r) {
            QCOMPARE(row.size(), 8);
            seen << QFileInfo(row.at(1)).fileName() + QLatin1Char(' ') + row.at(4);
            if (row.at(4) == QLatin1String("PASS"))
                QVERIFY(row.at(6).startsWith(QLatin1String("Channel=77; Power=-10 dBm")));
            else
                QVERIFY2(row.at(5).startsWith(QLatin1String("unplugged")), qPrintable(row.at(5)));
            QVERIFY(QDateTime::fromString(row.at(0), Qt::ISODateWithMs).isValid());
        }
        seen.sort();
        QCOMPARE(seen, QStringList({"slot1 PASS", "slot2 PASS", "slot3 FAIL", "slot3 PASS"}));
    }

    // Ctrl+C while a module is being written: that module is finished, not cut off, and its
    // row is in the log.
    void stationFinishesTheModuleInProgress()
    {
        const QString rack = freshFolder("tray");
        const QString log = home_.filePath(QStringLiteral("tray.csv"));
        Station station(this,
                        {"station", file("tray.ini", kReadBack), "--devices", rack, "--log", log});
        PtyPair pty;
        QVERIFY(pty.ok());
        plug(rack, "slot1", pty.path());
        QByteArray wire = pty.read(1, 10000);
        QVERIFY(wire.startsWith('C'));
        const Run end = station.end(SIGINT, [&] { wire += pty.read(23 - int(wire.size()), 3000); });
        QCOMPARE(wire.size(), 23);
        QVERIFY(wire.endsWith('R'));
        QCOMPARE(end.code, 1);
        QVERIFY2(end.out.contains("Finishing 1 module(s) in progress"), end.out.constData());
        QVERIFY2(end.out.endsWith("Station ended: 0 passed, 1 failed.\n"), end.out.constData());
        const QList<QStringList> r = rows(log);
        QCOMPARE(r.size(), 1);
        QVERIFY2(r.first().at(5).startsWith(QLatin1String("did not answer")),
                 qPrintable(r.first().join(',')));
    }

    void demoWithoutSettingsOrHardware()
    {
        const Run r = cli({"demo"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("100 of 100 received"), r.out.constData());
        QVERIFY(r.out.endsWith("Demo passed.\n"));
        QVERIFY(!QFile::exists(home_.filePath(QStringLiteral("Quorvane.ini"))));
    }

    // The survey's demo in its busy office: a channel under Wi-Fi 6 loses packets, one
    // outside every band none and is the best; the CSV file and the chart are written.
    void demoSurvey()
    {
        const QString csv = home_.filePath(QStringLiteral("survey.csv"));
        const QString png = home_.filePath(QStringLiteral("survey.png"));
        const Run r = cli({"demo", "--survey", "--channels", "37,80", "--packets", "30", "--csv",
                           csv, "--png", png});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("Best channels:\n  80 (2480 MHz, 1M): 0.0 % loss"),
                 r.out.constData());
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().trimmed().split('\n');
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows.at(1).startsWith("37,2437,1M,30,"));
        QVERIFY2(!rows.at(1).contains(",0,0.00,"), rows.at(1).constData()); // lost some
        QVERIFY(rows.at(2).startsWith("80,2480,1M,30,30,0,0.00,"));
        const QImage chart(png);
        QCOMPARE(chart.size(), QSize(1000, 380));
        QVERIFY(chart.text(QStringLiteral("Title")).contains(QLatin1String("best 80")));
    }

private:
    // quorvane-cli as started by a script in the test's home.
    void start(QProcess &p, const QStringList &args) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home_.path());
        p.start(QStringLiteral(QV_CLI), args);
    }
    Run cli(const QStringList &args) const
    {
        QProcess p;
        start(p, args);
        p.waitForFinished(60000);
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }

    // A station running until end() sends it a signal.
    class Station {
    public:
        Station(const TestCli *test, const QStringList &args) { test->start(p_, args); }
        ~Station()
        {
            p_.kill();
            p_.waitForFinished();
        }
        // meanwhile runs after the signal, while the station finishes.
        Run end(int signal, const std::function<void()> &meanwhile = {})
        {
            ::kill(pid_t(p_.processId()), signal);
            if (meanwhile)
                meanwhile();
            p_.waitForFinished(30000);
            return {p_.exitCode(), p_.readAllStandardOutput(), p_.readAllStandardError()};
        }

    private:
        QProcess p_;
    };

    QString freshFolder(const char *name) const
    {
        const QString path = home_.filePath(QLatin1String(name));
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }
    // An adapter plugged in: a link made in one step, as udev makes it.
    static void plug(const QString &folder, const char *slot, const QString &device)
    {
        const QByteArray link = QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(slot));
        QVERIFY(::symlink(QFile::encodeName(device).constData(), (link + ".new").constData()) == 0);
        QVERIFY(::rename((link + ".new").constData(), link.constData()) == 0);
    }
    // The rows of a station log, without its header (no field here holds a comma).
    static QList<QStringList> rows(const QString &path)
    {
        QFile f(path);
        QList<QStringList> out;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &line : f.readAll().split('\n').mid(1))
                if (!line.isEmpty())
                    out << QString::fromUtf8(line).split(QLatin1Char(','));
        return out;
    }
    QString file(const char *name, const QByteArray &text) const
    {
        const QString path = home_.filePath(QLatin1String(name));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return path;
    }

    QTemporaryDir home_;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

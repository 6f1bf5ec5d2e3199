// quorvane-cli end to end, started as a script starts it: on simulated modules that keep their
// configuration between runs (in the configuration folder, as the console's do), and on a
// pseudo-terminal nobody answers. Exit status, the reason on stderr, and --json of each command.

#include "support/PtyPair.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

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
        QCOMPARE(read.out, kProfile);
        const QString copy = home_.filePath(QStringLiteral("copy.ini"));
        QCOMPARE(cli({"--port", "sim:LINE", "read", "--out", copy}).code, 0);
        QFile f(copy);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), kProfile);
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

        QByteArray badPower = kProfile;
        badPower.replace("Power=-10 dBm", "Power=3 dBm");
        QByteArray unwritable = kProfile;
        unwritable.replace("Address2=C2C2C2C2C2", "Address2=0102030405");
        const QString bad = file("bad.ini", badPower);
        const QString differs = file("address2.ini", unwritable);

        QTest::newRow("list") << QStringList{"list"} << "list" << 0 << QString();
        QTest::newRow("read") << QStringList{"--port", "sim:R", "read"} << "read" << 0 << QString();
        QTest::newRow("reset") << QStringList{"--port", "sim:R", "reset"} << "reset" << 0
                               << QString();
        QTest::newRow("sleep") << QStringList{"--port", "sim:S", "sleep"} << "sleep" << 0
                               << QString();
        QTest::newRow("wake") << QStringList{"--port", "sim:S", "wake"} << "wake" << 0 << QString();
        QTest::newRow("speed, then read at the new speed")
            << QStringList{"--port", "sim:V", "speed", "57600"} << "speed" << 0 << QString();
        QTest::newRow("write of a key no command sets")
            << QStringList{"--port", "sim:D", "write", differs} << "write" << 1 << "differs from";
        QTest::newRow("read at a speed the module does not run")
            << QStringList{"--port", "sim:R", "--baud", "38400", "read"} << "read" << 1
            << "no answer";
        QTest::newRow("bad profile") << QStringList{"--port", "sim:B", "write", bad} << "write" << 2
                                     << "Power: \"3 dBm\" is not allowed";
        QTest::newRow("no profile") << QStringList{"--port", "sim:B", "write", "none.ini"}
                                    << "write" << 2 << "none.ini: no such file";
        QTest::newRow("no such device") << QStringList{"--port", "/dev/ttyQV9", "reset"} << "reset"
                                        << 2 << "/dev/ttyQV9: no such device";
        QTest::newRow("speed not in the list")
            << QStringList{"--port", "sim:B", "speed", "1200"} << "speed" << 2 << "speed 1200";
        QTest::newRow("no such command")
            << QStringList{"frob"} << "frob" << 2 << "frob: no such command";
        QTest::newRow("argument missing")
            << QStringList{"write"} << "write" << 2 << "takes one argument";
    }
    void exitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, command);
        QFETCH(int, code);
        QFETCH(QString, reason);
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
    }

    void demoWithoutSettingsOrHardware()
    {
        const Run r = cli({"demo"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("100 of 100 received"), r.out.constData());
        QVERIFY(r.out.endsWith("Demo passed.\n"));
        QVERIFY(!QFile::exists(home_.filePath(QStringLiteral("Quorvane.ini"))));
    }

private:
    Run cli(const QStringList &args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home_.path());
        p.start(QStringLiteral(QV_CLI), args);
        p.waitForFinished(60000);
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
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

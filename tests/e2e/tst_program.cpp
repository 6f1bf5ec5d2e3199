// The program itself, started as the operator starts it: a simulated module stands in only
// when asked, and one line on the terminal then says so; on a port, its first show resets the
// module and asks for the configuration.

#include "support/PtyPair.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    QByteArray out, err;
    int code = -1;
};

Run start(const QString &configHome, const QByteArray &ini, const QString &simModule = {},
          const QStringList &arguments = {})
{
    if (!ini.isEmpty()) {
        QFile f(configHome + QStringLiteral("/Quorvane.ini"));
        f.open(QIODevice::WriteOnly);
        f.write(ini);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    // A runtime folder of its own, where a simulated module's air lives as it does for an
    // operator (not the test's private air).
    const QString runtime = configHome + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("QV_TEST"));
    env.insert(QStringLiteral("QV_EXIT_AFTER_SHOW"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!simModule.isEmpty())
        env.insert(QStringLiteral("QV_SIM_MODULE"), simModule);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QV_PROGRAM), arguments);
    p.waitForFinished(30000);
    return {p.readAllStandardOutput(), p.readAllStandardError(), p.exitCode()};
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void noSimulatedModuleUnlessAsked()
    {
        QTemporaryDir home;
        const Run r = start(home.path(), {});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("startup_ms="), r.out.constData());
        QVERIFY2(!r.err.contains("simulated module"), r.err.constData());
    }

    void theOptionAsksForOne_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("unnamed") << "--simulate" << QByteArray("opens a simulated module");
        QTest::newRow("named") << "--simulate=B" << QByteArray("opens the simulated module B");
    }
    void theOptionAsksForOne()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, said);
        QTemporaryDir home;
        const Run r = start(home.path(), "[Devices]\nCOM1=/dev/null\n", {}, {option});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains(said), r.err.constData());
        QVERIFY2(r.err.contains("simulator.md"), r.err.constData());
    }

    // The options a window needs none for; and a wrong one ends the program at once, with one
    // line that names it.
    void optionsWithoutAWindow_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("--version")
            << "--version" << 0 << QByteArray("quorvane 1.0.0\nLicense GPL-3.0-or-later")
            << QByteArray();
        QTest::newRow("--help") << "--help" << 0 << QByteArray("Usage: quorvane [options]\n")
                                << QByteArray();
        QTest::newRow("unknown option") << "--frobnicate" << 2 << QByteArray()
                                        << QByteArray("quorvane: Unknown option 'frobnicate'.");
        QTest::newRow("stray argument")
            << "COM3" << 2 << QByteArray() << QByteArray("quorvane: Unexpected argument 'COM3'.");
    }
    void optionsWithoutAWindow()
    {
        QFETCH(QString, argument);
        QFETCH(int, code);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QTemporaryDir home;
        const Run r = start(home.path(), {}, {}, {argument});
        QCOMPARE(r.code, code);
        QVERIFY2(r.out.startsWith(out), r.out.constData());
        QVERIFY2(r.err.startsWith(err), r.err.constData());
        if (code != 0)
            QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("Quorvane.ini"))));
    }

    // On a device, nothing of the simulation is made: no folder for simulated modules beside
    // the settings, no simulated air in the runtime folder.
    void aDevicesEntryIsRespected()
    {
        QTemporaryDir home;
        const Run r = start(home.path(), "[Port]\nCOM=2\n[Devices]\nCOM3=/dev/null\n");
        QCOMPARE(r.code, 0);
        QVERIFY2(!r.err.contains("simulated module"), r.err.constData());
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("Quorvane-sim"))));
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("run/quorvane-air"))));
    }

    // Start after start, the far end reads only once the program has ended: the reset and
    // the request it reported sent are there, whatever the closing at exit does.
    void everyStartResetsThenReads()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        const QByteArray ini = "[Port]\nCOM=0\n[Devices]\nCOM1=" + pty.path().toUtf8() + "\n";
        for (int i = 0; i < 50; ++i) {
            QTemporaryDir home;
            const Run r = start(home.path(), ini);
            QCOMPARE(r.code, 0);
            QCOMPARE(pty.read(2, 200), QByteArray("XR"));
        }
    }

    void aNamedModuleForTheTrial()
    {
        QTemporaryDir home;
        const Run r = start(home.path(), "[Devices]\nCOM1=/dev/null\n", QStringLiteral("A"));
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains("simulated module A"), r.err.constData());
        QVERIFY(QFile::exists(home.filePath(QStringLiteral("run/quorvane-air/default"))));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"

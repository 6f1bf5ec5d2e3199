// The program itself, started as the operator starts it: without hardware it runs against a
// simulated module and says so in one line on the terminal; on a port, its first show resets
// the module and asks for the configuration.

#include "serial/PortDirectory.h"
#include "support/PtyPair.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    QByteArray out, err;
    int code = -1;
};

Run start(const QString &configHome, const QByteArray &ini, const QString &simModule = {})
{
    if (!ini.isEmpty()) {
        QFile f(configHome + QStringLiteral("/Quorvane.ini"));
        f.open(QIODevice::WriteOnly);
        f.write(ini);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("QV_EXIT_AFTER_SHOW"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!simModule.isEmpty())
        env.insert(QStringLiteral("QV_SIM_MODULE"), simModule);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QV_PROGRAM), {});
    p.waitForFinished(30000);
    return {p.readAllStandardOutput(), p.readAllStandardError(), p.exitCode()};
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void withoutHardwareUsesASimulatedModule()
    {
        if (!PortDirectory::global().adapters().isEmpty())
            QSKIP("this machine has a serial adapter");
        QTemporaryDir home;
        const Run r = start(home.path(), {});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("startup_ms="), r.out.constData());
        QVERIFY2(r.err.contains("no serial adapter found and no [Devices] entry"),
                 r.err.constData());
        QCOMPARE(r.err.count("simulated module"), 1);
    }

    void aDevicesEntryIsRespected()
    {
        QTemporaryDir home;
        const Run r = start(home.path(), "[Port]\nCOM=2\n[Devices]\nCOM3=/dev/null\n");
        QCOMPARE(r.code, 0);
        QVERIFY2(!r.err.contains("simulated module"), r.err.constData());
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
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"

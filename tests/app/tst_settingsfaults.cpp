// The settings file as users and crashes leave it: empty, binary junk, a megabyte of text,
// keys given twice, lines a megabyte long, something else where the file or its folder should
// be. Start-up never fails, close writes the port and speed as always and keeps every other
// byte, and a file that cannot be written keeps the window open with the message.

#include "app/Memo.h"
#include "app/Radio.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

constexpr int kMegabyte = 1024 * 1024;

// Lines of an unrelated section, about `bytes` of them.
QByteArray otherSection(const char *name, int bytes)
{
    QByteArray out = QByteArray("[") + name + "]\n";
    for (int i = 0; out.size() < bytes; ++i)
        out += "Key" + QByteArray::number(i) + "=some value the program never reads\n";
    return out;
}

// Bytes of every value but CR (a CR LF pair would make the writer end its lines the Windows
// way), ending in a line end.
QByteArray junk(int bytes)
{
    QRandomGenerator random(8);
    QByteArray out(bytes, '\0');
    for (char &c : out) {
        c = char(random.bounded(256));
        if (c == '\r')
            c = 'r';
    }
    out += "x\n";
    return out;
}

} // namespace

class TestSettingsFaults : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;

    // The window is closed with a port the operator chose meanwhile.
    static constexpr int kPortAtClose = 5;

private slots:
    void init()
    {
        settings_.remove();
        prompts_.clear();
    }

    void startAndClose_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QByteArray>("written");

        QTest::newRow("empty") << QByteArray() << 0 << 9 << QByteArray("[Port]\nCOM=5\nBaud=9\n");
        static const char kBinary[] =
            "\x00\x01\xff\xfe[\x80\x81\n=\x00=\n[Port\nCOM=3\n\xc3(\x00\n";
        const QByteArray binary(kBinary, sizeof kBinary - 1);
        QTest::newRow("binary junk") << binary << 0 << 9 << binary + "\n[Port]\nCOM=5\nBaud=9\n";
        const QByteArray random = junk(64 * 1024);
        QTest::newRow("64 KiB of random bytes")
            << random << 0 << 9 << random + "\n[Port]\nCOM=5\nBaud=9\n";
        const QByteArray before = otherSection("Before", kMegabyte / 2);
        const QByteArray after = otherSection("After", kMegabyte / 2);
        QTest::newRow("1 MB of text") << before + "[Port]\nCOM=3\nBaud=1\n" + after << 3 << 1
                                      << before + "[Port]\nCOM=5\nBaud=1\n" + after;
        QTest::newRow("keys repeated")
            << QByteArray("[Port]\nCOM=2\nCOM=6\nBaud=1\nBaud=4\n[Port]\nCOM=7\n") << 2 << 1
            << QByteArray("[Port]\nCOM=5\nCOM=6\nBaud=1\nBaud=4\n[Port]\nCOM=7\n");
        const QByteArray longLine(kMegabyte, 'x');
        QTest::newRow("1 MB on one line, no line end")
            << longLine << 0 << 9 << longLine + "\n\n[Port]\nCOM=5\nBaud=9\n";
        QTest::newRow("a 1 MB value") << "[Port]\nCOM=" + QByteArray(kMegabyte, '7') + "\nBaud=2\n"
                                      << 0 << 2 << QByteArray("[Port]\nCOM=5\nBaud=2\n");
        const QByteArray longSection = "[" + QByteArray(kMegabyte, 'P') + "]\nCOM=4\n";
        QTest::newRow("a 1 MB section name")
            << longSection << 0 << 9 << longSection + "\n[Port]\nCOM=5\nBaud=9\n";
        const QByteArray longDevice = "[Devices]\nCOM1=/dev/" + QByteArray(kMegabyte, 'x') + "\n";
        QTest::newRow("a 1 MB device path")
            << longDevice << 0 << 9 << longDevice + "\n[Port]\nCOM=5\nBaud=9\n";
        static const char kZero[] = "[Port]\nCOM=\x00"
                                    "3\nBaud=2\n";
        QTest::newRow("a zero byte in a value") << QByteArray(kZero, sizeof kZero - 1) << 0 << 2
                                                << QByteArray("[Port]\nCOM=5\nBaud=2\n");
    }
    void startAndClose()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, port);
        QFETCH(int, baud);
        QFETCH(QByteArray, written);
        if (!file.isEmpty())
            QVERIFY(settings_.write(file));
        {
            TMainForm f;
            QCOMPARE(f.PortIndex, port);
            QCOMPARE(f.BaudIndex, baud);
            f.show();
            f.PortIndex = kPortAtClose;
            QVERIFY(f.close());
            QVERIFY(prompts_.messages.isEmpty());
        }
        const QByteArray now = settings_.read();
        QCOMPARE(now.size(), written.size());
        QVERIFY(now == written); // not QCOMPARE: a megabyte in a failure message helps nobody
        // The next start reads back what the close wrote.
        TMainForm again;
        QCOMPARE(again.PortIndex, kPortAtClose);
        QCOMPARE(again.BaudIndex, baud);
    }

    // A device entry of a megabyte: the log names the start and the end of it, not all of it
    // (laying out a megabyte-long line froze the window for minutes at its first show).
    void overlongDeviceEntry()
    {
        const QString device = QStringLiteral("/dev/") + QString(kMegabyte, QLatin1Char('x'));
        QVERIFY(settings_.write("[Devices]\nCOM1=" + device.toUtf8() + "\n"));
        TMainForm f;
        QVERIFY(!f.SerialConnector->Connected());
        const QStringList log = f.Memo1->Lines().mid(1);
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.at(0).size() < 300, qPrintable(log.at(0).left(300)));
        QVERIFY2(log.at(0).startsWith(QStringLiteral("COM1 (/dev/xxxx")), qPrintable(log.at(0)));
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
    }

    // The configuration folder is a regular file: nothing can be written below it.
    void folderIsAFile()
    {
        QTemporaryDir dir;
        const QString notAFolder = dir.filePath(QStringLiteral("config"));
        QFile blocker(notAFolder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("a file, not a folder\n");
        blocker.close();
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", notAFolder.toLocal8Bit());
        {
            TMainForm f;
            QCOMPARE(f.PortIndex, 0);
            QCOMPARE(f.BaudIndex, 9);
            f.show();
            QVERIFY(!f.close());
            QVERIFY(f.isVisible());
            QCOMPARE(prompts_.texts(),
                     QStringList{QStringLiteral("Unable to write to Quorvane.ini")});
            // Once the folder can be made, the next close goes through.
            QVERIFY(QFile::remove(notAFolder));
            QVERIFY(f.close());
        }
        QFile written(notAFolder + QStringLiteral("/Quorvane.ini"));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("[Port]\nCOM=0\nBaud=9\n"));
        qputenv("XDG_CONFIG_HOME", saved);
    }

    // A pipe where the file should be: reading it would wait for a writer that never comes.
    void fifoInPlaceOfTheFile()
    {
        QVERIFY(::mkfifo(settings_.iniPath().toLocal8Bit().constData(), 0600) == 0);
        TMainForm f;
        QCOMPARE(f.PortIndex, 0);
        QCOMPARE(f.BaudIndex, 9);
        f.show();
        QVERIFY(f.close());
        QCOMPARE(settings_.read(), QByteArray("[Port]\nCOM=0\nBaud=9\n"));
    }
};

QTEST_MAIN(TestSettingsFaults)
#include "tst_settingsfaults.moc"

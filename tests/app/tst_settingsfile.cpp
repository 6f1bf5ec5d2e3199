// The settings file without any window: the integer conversion, the INI reader and writer,
// and the reading rules of the port and the speed.

#include "app/ViewOptions.h"
#include "settings/Exception.h"
#include "settings/IniFile.h"
#include "settings/ModuleProfile.h"
#include "settings/PortSettings.h"
#include "settings/StrToInt.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir_.isValid()); }

    void strToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << "42" << 42;
        QTest::newRow("minus") << "-1" << -1;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("leading blanks") << "  12" << 12;
        QTest::newRow("dollar hex") << "$A" << 10;
        QTest::newRow("0x hex") << "0x1F" << 31;
        QTest::newRow("0X hex, lower digits") << "0Xff" << 255;
        QTest::newRow("negative hex") << "-$10" << -16;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
        QTest::newRow("hex bit pattern") << "$FFFFFFFF" << -1;
    }
    void strToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(StrToInt(text), value);
    }

    void strToIntRefuses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("word") << "two";
        QTest::newRow("0x without digits") << "0x";
        QTest::newRow("dollar without digits") << "$";
        QTest::newRow("sign only") << "-";
        QTest::newRow("trailing blank") << "12 ";
        QTest::newRow("decimal point") << "1.5";
        QTest::newRow("hex digit in decimal") << "1A";
        QTest::newRow("too large") << "2147483648";
        QTest::newRow("far too large") << "99999999999999999999";
        QTest::newRow("hex too large") << "$100000000";
        QTest::newRow("arabic-indic digit") << QString(QChar(0x0663));
    }
    void strToIntRefuses()
    {
        QFETCH(QString, text);
        int untouched = 1234;
        QVERIFY(!TryStrToInt(text, untouched));
        QCOMPARE(untouched, 1234);
        try {
            StrToInt(text);
            QFAIL("no exception");
        } catch (const EConvertError &e) {
            QCOMPARE(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baud");
        QTest::newRow("no file") << QByteArray() << 0 << 9;
        QTest::newRow("no Port section") << QByteArray("[Other]\nCOM=4\n") << 0 << 9;
        QTest::newRow("COM=2 Baud=2") << QByteArray("[Port]\nCOM=2\nBaud=2\n") << 2 << 2;
        QTest::newRow("COM=8 is COM9") << QByteArray("[Port]\nCOM=8\n") << 8 << 9;
        QTest::newRow("COM=9 becomes 1") << QByteArray("[Port]\nCOM=9\n") << 1 << 9;
        QTest::newRow("COM=-1 becomes 1") << QByteArray("[Port]\nCOM=-1\n") << 1 << 9;
        QTest::newRow("COM=0x2 is hex") << QByteArray("[Port]\nCOM=0x2\n") << 2 << 9;
        QTest::newRow("COM=two is missing") << QByteArray("[Port]\nCOM=two\n") << 0 << 9;
        QTest::newRow("Baud=11 becomes 3") << QByteArray("[Port]\nBaud=11\n") << 0 << 3;
        QTest::newRow("Baud=-1 becomes 3") << QByteArray("[Port]\nBaud=-1\n") << 0 << 3;
        QTest::newRow("Baud=5 passes") << QByteArray("[Port]\nBaud=5\n") << 0 << 5;
        QTest::newRow("Baud=7 passes") << QByteArray("[Port]\nBaud=7\n") << 0 << 7;
        QTest::newRow("Baud=10 passes") << QByteArray("[Port]\nBaud=10\n") << 0 << 10;
        QTest::newRow("Baud=$A is hex 10") << QByteArray("[Port]\nBaud=$A\n") << 0 << 10;
        QTest::newRow("Baud=0x alone is missing") << QByteArray("[Port]\nBaud=0x\n") << 0 << 9;
        QTest::newRow("Baud empty is missing") << QByteArray("[Port]\nBaud=\n") << 0 << 9;
        QTest::newRow("names in any case, blanks, CRLF")
            << QByteArray("[port]\r\n com = 3 \r\nBAUD=4\r\n") << 3 << 4;
        QTest::newRow("first Port section counts")
            << QByteArray("[Port]\nCOM=5\n[Port]\nCOM=6\n") << 5 << 9;
    }
    void readingRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, port);
        QFETCH(int, baud);
        const QString path = dir_.filePath(QStringLiteral("Quorvane.ini"));
        QFile::remove(path);
        if (!file.isNull())
            writeAll(path, file);
        const PortSettings s = PortSettings::Read(IniFile(path));
        QCOMPARE(s.PortIndex, port);
        QCOMPARE(s.BaudIndex, baud);
    }

    void devicesSection()
    {
        const QString path = dir_.filePath(QStringLiteral("devices.ini"));
        writeAll(path, "[Devices]\nCOM3=/dev/ttyUSB0\nCOM4 = sim:bench\n; COM5=/dev/x\n"
                       "[Port]\nCOM=2\n");
        const PortSettings s = PortSettings::Read(IniFile(path));
        QCOMPARE(s.Devices.size(), 2);
        QCOMPARE(s.Devices.value(QStringLiteral("COM3")), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(s.Devices.value(QStringLiteral("COM4")), QStringLiteral("sim:bench"));
    }

    void writeKeepsEverythingElse()
    {
        const QString path = dir_.filePath(QStringLiteral("keep.ini"));
        writeAll(path, "; written by hand\n"
                       "[Devices]\n"
                       "COM3=/dev/ttyUSB0\n"
                       "\n"
                       "[port]\n"
                       "# the adapter on the bench\n"
                       "com=7\n"
                       "Extra=yes\n"
                       "\n"
                       "[Later]\n"
                       "Key=value\n");
        IniFile ini(path);
        PortSettings::Write(ini, 2, -1);
        QCOMPARE(readAll(path), QByteArray("; written by hand\n"
                                           "[Devices]\n"
                                           "COM3=/dev/ttyUSB0\n"
                                           "\n"
                                           "[port]\n"
                                           "# the adapter on the bench\n"
                                           "com=2\n"
                                           "Extra=yes\n"
                                           "Baud=-1\n"
                                           "\n"
                                           "[Later]\n"
                                           "Key=value\n"));
        QCOMPARE(PortSettings::Read(IniFile(path)).BaudIndex, 3);
    }

    void writeKeepsWindowsLineEnds()
    {
        const QString path = dir_.filePath(QStringLiteral("crlf.ini"));
        writeAll(path, "[Other]\r\nA=1\r\n");
        IniFile ini(path);
        QVERIFY(
            ini.writeString(QStringLiteral("Port"), QStringLiteral("COM"), QStringLiteral("0")));
        QCOMPARE(readAll(path), QByteArray("[Other]\r\nA=1\r\n\r\n[Port]\r\nCOM=0\r\n"));
    }

    void writeKeepsBytesThatAreNoText()
    {
        // Junk, invalid UTF-8 and a NUL in lines the program does not write come back byte
        // for byte; a UTF-8 device path reads as the path it is.
        const QString path = dir_.filePath(QStringLiteral("junk.ini"));
        const QByteArray junk("\x00\xff\xfe junk\r\n[Devices]\nCOM4=/dev/serial/by-id/caf\xc3\xa9\n"
                              "[Port]\nCOM=1\n\x80\x81 tail",
                              69);
        writeAll(path, junk);
        QCOMPARE(IniFile(path).readString(QStringLiteral("Devices"), QStringLiteral("COM4"), {}),
                 QStringLiteral("/dev/serial/by-id/caf\u00e9"));
        IniFile ini(path);
        PortSettings::Write(ini, 5, 2);
        QByteArray expected = junk;
        expected.replace("COM=1\n", "COM=5\r\nBaud=2\r\n");
        QCOMPARE(readAll(path), expected + '\n');
    }

    // A file the user may replace but not read (mode 200): writing the port into an empty
    // copy would lose everything else it holds, so the write is refused and reported.
    void unreadableFileIsNotReplaced()
    {
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
        const QString path = dir.filePath(QStringLiteral("Quorvane.ini"));
        const QByteArray content("[Port]\nCOM=3\n[Mine]\nkeep=this\n");
        writeAll(path, content);
        ::chmod(QFile::encodeName(path).constData(), 0222);
        // Root reads through any mode: the check runs as an ordinary user in a child.
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            IniFile ini(path);
            const bool written =
                ini.writeString(QStringLiteral("Port"), QStringLiteral("COM"), QStringLiteral("1"));
            ::_exit(written                                                       ? 1
                    : ini.errorString().contains(QLatin1String("cannot be read")) ? 0
                                                                                  : 2);
        }
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        ::chmod(QFile::encodeName(path).constData(), 0644);
        QCOMPARE(readAll(path), content);
    }

    void writeCreatesFileAndFolder()
    {
        const QString path = dir_.filePath(QStringLiteral("new/folder/Quorvane.ini"));
        IniFile ini(path);
        PortSettings::Write(ini, 0, 9);
        QCOMPARE(readAll(path), QByteArray("[Port]\nCOM=0\nBaud=9\n"));
        // The atomic replace leaves no temporary file behind.
        QCOMPARE(QDir(dir_.filePath(QStringLiteral("new/folder"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("Quorvane.ini")});
    }

    // Root may write anywhere, so the file is made unwritable by a folder standing in its
    // place.
    void writeFailureIsReported()
    {
        const QString path = dir_.filePath(QStringLiteral("blocked.ini"));
        QVERIFY(QDir().mkpath(path));
        IniFile ini(path);
        QCOMPARE(ini.readString(QStringLiteral("Port"), QStringLiteral("COM"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QVERIFY(
            !ini.writeString(QStringLiteral("Port"), QStringLiteral("COM"), QStringLiteral("1")));
        QVERIFY(!ini.errorString().isEmpty());
        try {
            PortSettings::Write(ini, 1, 2);
            QFAIL("no exception");
        } catch (const Exception &e) {
            // The file's name as the operator knows it: Quorvane.ini, or the --settings file.
            QCOMPARE(e.Message(), QStringLiteral("Unable to write to blocked.ini"));
        }
        QVERIFY(QFileInfo(path).isDir());
    }

    // Every settings file and profile the documents show is taken as it stands, with every
    // value what it reads: a guide whose example the reader refuses misleads its reader.
    void documentedExamplesAreTaken_data()
    {
        QTest::addColumn<QByteArray>("example");
        const QDir top(QStringLiteral(QV_SOURCE_DIR));
        QStringList documents{QStringLiteral("README.md")};
        const QDir docs(top.filePath(QStringLiteral("docs")));
        for (const QString &doc : docs.entryList({QStringLiteral("*.md")}, QDir::Files))
            documents << QStringLiteral("docs/") + doc;
        int examples = 0;
        for (const QString &doc : documents) {
            QFile f(top.filePath(doc));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QList<QByteArray> lines = f.readAll().split('\n');
            for (int i = 0; i < lines.size(); ++i) {
                if (lines[i].trimmed() != "```ini")
                    continue;
                QByteArray block;
                const int first = i + 1;
                while (++i < lines.size() && !lines[i].trimmed().startsWith("```"))
                    block += lines[i] + '\n';
                QTest::addRow("%s:%d", qPrintable(doc), first + 1) << block;
                ++examples;
            }
        }
        QVERIFY(examples >= 4);
    }
    void documentedExamplesAreTaken()
    {
        QFETCH(QByteArray, example);
        const QString path = dir_.filePath(QStringLiteral("example.ini"));
        writeAll(path, example);
        const IniFile ini(path);
        bool known = false;
        if (!ini.readSection(ModuleProfile::Section()).isEmpty()) {
            known = true;
            const ModuleProfile::Loaded p = ModuleProfile::Load(path);
            QVERIFY2(p.ok, qPrintable(p.error));
            QCOMPARE(p.unknownKeys, QStringList());
        }
        const QMap<QString, QString> port = ini.readSection(QStringLiteral("Port"));
        for (auto it = port.begin(); it != port.end(); ++it) {
            known = true;
            int v = 0;
            QVERIFY2(TryStrToInt(it.value(), v), qPrintable(it.key() + "=" + it.value()));
        }
        const QMap<QString, QString> devices = ini.readSection(QStringLiteral("Devices"));
        for (auto it = devices.begin(); it != devices.end(); ++it) {
            known = true;
            // A device is one word: a comment after it would be taken as part of its name.
            QVERIFY2(!it.value().isEmpty() && !it.value().contains(QLatin1Char(' ')) &&
                         !it.value().contains(QLatin1Char(';')),
                     qPrintable(it.key() + "=" + it.value()));
        }
        // The reading options: their own names, ticked or not.
        const QMap<QString, QString> view = ini.readSection(ViewOptions::Section());
        for (auto it = view.begin(); it != view.end(); ++it) {
            known = true;
            bool named = false;
            for (int i = 0; i < ViewOptions::Count; ++i)
                named = named || it.key() == ViewOptions::Name(ViewOptions::Option(i));
            QVERIFY2(named &&
                         (it.value() == QLatin1String("0") || it.value() == QLatin1String("1")),
                     qPrintable(it.key() + "=" + it.value()));
        }
        QVERIFY2(known, example.constData());
    }

    void filePathFollowsXdg()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", "/some/where");
        QCOMPARE(PortSettings::FilePath(), QStringLiteral("/some/where/Quorvane.ini"));
        qputenv("XDG_CONFIG_HOME", "relative/dir");
        QCOMPARE(PortSettings::FilePath(),
                 QDir::homePath() + QStringLiteral("/.config/Quorvane.ini"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(PortSettings::FilePath(),
                 QDir::homePath() + QStringLiteral("/.config/Quorvane.ini"));
        qputenv("XDG_CONFIG_HOME", saved);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"

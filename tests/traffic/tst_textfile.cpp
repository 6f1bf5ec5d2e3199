// Reading, splitting and packetising the text files that go over the radio link.

#include "traffic/TextFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using Lines = QList<QByteArray>;

class TestTextFile : public QObject {
    Q_OBJECT

private slots:
    void splitting_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Lines>("lines");
        QTest::newRow("CR LF") << QByteArray("one\r\ntwo\r\n") << Lines{"one", "two"};
        QTest::newRow("LF only") << QByteArray("one\ntwo\n") << Lines{"one", "two"};
        QTest::newRow("CR only") << QByteArray("one\rtwo\r") << Lines{"one", "two"};
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << Lines{"a", "b", "c", "d"};
        QTest::newRow("last line without a break counts")
            << QByteArray("x\r\ny") << Lines{"x", "y"};
        QTest::newRow("empty file") << QByteArray() << Lines{};
        QTest::newRow("one line break") << QByteArray("\r\n") << Lines{""};
        QTest::newRow("lone LF") << QByteArray("\n") << Lines{""};
        QTest::newRow("blank lines kept")
            << QByteArray("a\r\n\r\nb\n\n") << Lines{"a", "", "b", ""};
        QTest::newRow("CR CR is two breaks") << QByteArray("a\r\rb") << Lines{"a", "", "b"};
        QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << Lines{"a", "", "b"};
        QTest::newRow("zero byte ends the text")
            << QByteArray("abc\r\nde\0fg\r\nhi", 14) << Lines{"abc", "de"};
        QTest::newRow("zero byte first") << QByteArray("\0abc\r\n", 6) << Lines{};
        QTest::newRow("8-bit bytes unchanged")
            << QByteArray("\xe9\xff\x01\r\n") << Lines{"\xe9\xff\x01"};
    }
    void splitting()
    {
        QFETCH(QByteArray, text);
        QFETCH(Lines, lines);
        QCOMPARE(TextFile::splitLines(text), lines);
        // The sender walks the same lines in place.
        QCOMPARE(TextFile::lineCount(text), lines.size());
        Lines walked;
        qsizetype pos = 0;
        QByteArrayView line;
        while (TextFile::nextLine(text, pos, line))
            walked << line.toByteArray();
        QCOMPARE(walked, lines);
    }

    void packets_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("width");
        QTest::addColumn<Lines>("packets");
        QTest::newRow("longer than W, last padded")
            << QByteArray("abcdef") << 4 << Lines{"abcd", "ef\r\n"};
        QTest::newRow("W+1 with CR LF") << QByteArray("abcd") << 5 << Lines{"abcd\r", "\n    "};
        QTest::newRow("exactly W with CR LF") << QByteArray("abc") << 5 << Lines{"abc\r\n"};
        QTest::newRow("W-1 with CR LF, padded") << QByteArray("ab") << 5 << Lines{"ab\r\n "};
        QTest::newRow("empty line") << QByteArray() << 4 << Lines{"\r\n  "};
        QTest::newRow("width 1") << QByteArray("a") << 1 << Lines{"a", "\r", "\n"};
    }
    void packets()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, width);
        QFETCH(Lines, packets);
        const QByteArray fileLine = TextFile::fileLine(line);
        const int n = TextFile::packetCount(fileLine.size(), width);
        Lines got;
        for (int i = 0; i < n; ++i) {
            got << TextFile::packet(fileLine, width, i);
            QCOMPARE(TextFile::linePacket(line, width, i), got.last());
        }
        QCOMPARE(got, packets);
        // Every byte of the line, in order, then only filler.
        QByteArray joined = got.join();
        QVERIFY(joined.startsWith(fileLine));
        QCOMPARE(joined.mid(fileLine.size()), QByteArray(joined.size() - fileLine.size(), ' '));
    }

    void readsWholeFile()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("t.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray big(200000, 'x');
        big[100] = '\0';
        f.write(big);
        f.close();
        QCOMPARE(TextFile::readAll(f.fileName()), big);
    }

    void unreadableFileNamesFileAndCause_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing") << "missing.txt"
                                 << "No such file or directory";
        QTest::newRow("directory") << "adir"
                                   << "Is a directory";
        QTest::newRow("pipe") << "apipe"
                              << "Not a regular file";
    }
    void unreadableFileNamesFileAndCause()
    {
        QFETCH(QString, name);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("adir"));
        QCOMPARE(
            ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("apipe"))).constData(), 0600),
            0);
        const QString path = dir.filePath(name);
        try {
            TextFile::readAll(path);
            QFAIL("no error");
        } catch (const FileReadError &e) {
            const QString msg = QString::fromStdString(e.what());
            QVERIFY2(msg.contains(path) && msg.contains(cause), qPrintable(msg));
        }
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"

// Files no one would call text, sent between two stations on one simulated air: every byte
// value, nothing but line breaks, a line longer than a pane shows in one line, fifty
// megabytes, and files that are no files at all. Nothing is lost, the other station gets every
// line whole, the windows keep answering between lines, and the file is held in memory once.

#include "Stations.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/Writing.h"
#include "sim/SimulatedModules.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "support/TextFiles.h"
#include "support/Whenever.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <malloc.h>
#include <sys/stat.h>

namespace {

constexpr int kWidth = 25;

QStringList echoed(const Station &s)
{
    return s->SentMemo->Lines().mid(1);
}

// What goes on the air for these lines: each with CR LF, filled with spaces to whole
// packets.
QByteArray wireFor(const QList<QByteArray> &lines)
{
    QByteArray wire;
    for (const QByteArray &line : lines) {
        QByteArray out = line + "\r\n";
        out.append((kWidth - out.size() % kWidth) % kWidth, ' ');
        wire += out;
    }
    return wire;
}

// The "Received" pane in hexadecimal, each byte as a space and two digits.
QString hexOf(const QByteArray &bytes)
{
    QString s;
    for (const char c : bytes)
        s += QStringLiteral(" %1").arg(uint(uint8_t(c)), 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

// Bytes the allocator has handed out and not had back, small blocks and mapped ones.
double heapInUse()
{
    const struct mallinfo2 m = ::mallinfo2();
    return double(m.uordblks + m.hblkhd);
}

} // namespace

using Lines = QList<QByteArray>;

class TestFileFaults : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    TextFiles files_;
    std::unique_ptr<TWritingForm> writing_;

    // B shows the packets in hexadecimal: every byte can be compared, line breaks included.
    // Its receive handling reads what is queued once a packet's worth is: the bytes of a
    // packet not yet complete wait for the next, so only a tail shorter than W may be missing.
    static void verifyHeardWhole(const TwoStations &link, const QByteArray &wire)
    {
        QTRY_COMPARE(link.b.dataReceived(), wire);
        const QString all = hexOf(wire);
        QTRY_VERIFY(all.size() - link.b->RecMemo->Lines().join(QString()).size() < 3 * kWidth);
        QVERIFY(all.startsWith(link.b->RecMemo->Lines().join(QString())));
    }

private slots:
    void initTestCase()
    {
        registerSimulatedModules();
        QVERIFY(files_.isValid());
        writing_ = std::make_unique<TWritingForm>();
        WritingForm = writing_.get();
    }
    void cleanupTestCase()
    {
        WritingForm = nullptr;
        writing_.reset();
    }
    void init()
    {
        prompts_.clear();
        writing_->hide();
    }

    void filesGoOutWhole_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Lines>("lines");

        QByteArray values; // 1 to 255: the zero would end the text
        for (int v = 1; v < 256; ++v)
            values += char(v);
        const QByteArray afterZero = QByteArray(1, '\0') + "never sent\n";
        QTest::newRow("every byte value, twice, then a zero")
            << values + values + afterZero
            << Lines{values.left(9), values.mid(10, 2), values.mid(13) + values.left(9),
                     values.mid(10, 2), values.mid(13)};

        QByteArray breaks;
        for (int i = 0; i < 30; ++i)
            breaks += "\r\n\n\r";
        QTest::newRow("only line breaks, of every kind") << breaks << Lines(30 * 3, QByteArray());

        QByteArray longLine;
        for (int i = 0; longLine.size() < 3000; ++i)
            longLine += "word" + QByteArray::number(i) + ' ';
        QTest::newRow("a line of three kilobytes") << longLine + "\nshort\n"
                                                   << Lines{longLine, "short"};
    }
    void filesGoOutWhole()
    {
        QFETCH(QByteArray, file);
        QFETCH(Lines, lines);
        TwoStations link(settings_, QStringLiteral("W"), kWidth);
        link.b->CheckBox2->setChecked(true);
        link.a->SendTextFile(files_.write(file));

        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(writing_->ProgressBar1->maximum(), int(lines.size()));
        QCOMPARE(writing_->ProgressBar1->value(), int(lines.size()));
        // The echo shows every line; a line longer than the pane's lines goes on in the next.
        QStringList shown;
        for (const QByteArray &line : lines) {
            const QString text = QString::fromLatin1(line);
            qsizetype at = 0;
            do {
                shown << text.mid(at, TMemo::MaxLineLength);
                at += TMemo::MaxLineLength;
            } while (at < text.size());
        }
        QCOMPARE(echoed(link.a), shown);
        const QByteArray wire = wireFor(lines);
        QTRY_COMPARE(link.a.dataSent(), wire);
        QCOMPARE(link.a.bytesToModule(), size_t(wire.size()));
        verifyHeardWhole(link, wire);
    }

    // Fifty megabytes start at once and "&Abort" ends them before the next line: the file is
    // read, counted and held once, not again as a list of its lines.
    void hugeFileStartsAndAborts_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<qsizetype>("lines");
        const qsizetype size = 50LL << 20;
        QTest::newRow("50 MB of fifty-byte lines")
            << QByteArray("a line of a big file, fifty bytes with its break\n") << size / 50;
        QTest::newRow("50 MB of line breaks") << QByteArray("\n") << size;
    }
    void hugeFileStartsAndAborts()
    {
        QFETCH(QByteArray, line);
        QFETCH(qsizetype, lines);
        const QString path = files_.write(line.repeated(lines));
        const double fileBytes = double(QFileInfo(path).size());
        TwoStations link(settings_, QStringLiteral("H"), kWidth);
        link.b->CheckBox2->setChecked(true);

        const double heapBefore = heapInUse();
        double heapAtAbort = 0;
        int echoedAtAbort = -1;
        int rangeAtAbort = -1;
        whenever(link.a.form.get(), [&] {
            if (echoed(link.a).size() < 3)
                return false;
            heapAtAbort = heapInUse();
            echoedAtAbort = int(echoed(link.a).size());
            rangeAtAbort = writing_->ProgressBar1->maximum();
            writing_->Button1->click();
            return true;
        });
        link.a->SendTextFile(path);

        QCOMPARE(rangeAtAbort, int(lines));
        QVERIFY(echoedAtAbort >= 3);
        QCOMPARE(int(echoed(link.a).size()), echoedAtAbort);
        QCOMPARE(writing_->ProgressBar1->value(), echoedAtAbort);
        QVERIFY(!writing_->isVisible());
        QVERIFY(prompts_.messages.isEmpty());
        // The file once, and little beside it. (Under the address sanitizer the allocator
        // reports nothing, and this holds trivially.)
        QVERIFY2(heapAtAbort - heapBefore < 1.25 * fileBytes,
                 qPrintable(QStringLiteral("%1 MB held for a file of %2 MB")
                                .arg((heapAtAbort - heapBefore) / 1e6)
                                .arg(fileBytes / 1e6)));
        const QByteArray text = line.left(line.size() - 1);
        verifyHeardWhole(link, wireFor(Lines(echoedAtAbort, text)));
    }

    // What is no regular file is refused before anything is shown or sent: a pipe would hold
    // the window until something writes into it, a device such as /dev/zero never ends.
    void fileThatIsNoFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("a pipe") << QStringLiteral("pipe.txt");
        QTest::newRow("a device that never ends") << QStringLiteral("/dev/zero");
    }
    void fileThatIsNoFile()
    {
        QFETCH(QString, path);
        if (!path.startsWith(QLatin1Char('/'))) {
            path = files_.filePath(path);
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        TwoStations link(settings_, QStringLiteral("P"), kWidth);
        prompts_.fileAnswers << path;
        link.a->Button11->click();
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.at(0).text,
                 QStringLiteral("Cannot open file \"%1\". Not a regular file").arg(path));
        QVERIFY(!writing_->isVisible());
        QCOMPARE(echoed(link.a), QStringList());
        QCOMPARE(link.a.bytesToModule(), size_t(0));
    }
};

QTEST_MAIN(TestFileFaults)
#include "tst_filefaults.moc"

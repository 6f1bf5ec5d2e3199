// Typed lines and text files between two stations on one simulated air: what goes on the
// wire, what the other station's "Received" pane shows, the echo, the progress window with
// "&Abort", and each way a transfer can fail.

#include "Stations.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/Writing.h"
#include "serial/Radiocom.h"
#include "sim/SimulatedModules.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "support/TextFiles.h"
#include "support/Whenever.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <unistd.h>

namespace {

// Counts how often a window is shown, and runs onShow at each showing.
class ShowCounter : public QObject {
public:
    explicit ShowCounter(QWidget *w) : QObject(w) { w->installEventFilter(this); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show) {
            ++shows;
            if (onShow)
                onShow();
        }
        return QObject::eventFilter(o, e);
    }
    int shows = 0;
    std::function<void()> onShow;
};

QStringList echoed(const Station &s)
{
    return s->SentMemo->Lines().mid(1); // the pane starts with one empty line
}

// The received pane's characters without its line structure: packets start new lines and
// their line breaks break lines, so only the characters are comparable.
QString receivedChars(const Station &s)
{
    return s->RecMemo->Lines().join(QString());
}

QString withoutBreaks(const QByteArray &bytes)
{
    QByteArray b = bytes;
    b.replace('\r', QByteArray()).replace('\n', QByteArray());
    return QString::fromLatin1(b);
}

} // namespace

class TestTextSend : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerSimulatedModules();
        writing_ = std::make_unique<TWritingForm>();
        WritingForm = writing_.get();
        QVERIFY(files_.isValid());
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
        writing_->ProgressBar1->setRange(0, 100);
        writing_->ProgressBar1->setValue(0);
    }

    // ---- Typed lines ------------------------------------------------------------------

    void enterSendsTheTypedLine()
    {
        TwoStations link(settings_, QStringLiteral("T"), 5);
        link.a->SendEdit->setText(QStringLiteral("hello"));
        QTest::keyClick(link.a->SendEdit, Qt::Key_Return);
        QTRY_COMPARE(link.a.dataSent(), QByteArray("hello"));
        QCOMPARE(echoed(link.a), QStringList{QStringLiteral("hello")});
        QCOMPARE(link.a->SendEdit->text(), QStringLiteral("hello"));
        QTRY_COMPARE(link.b->RecMemo->Lines(), (QStringList{QString(), QStringLiteral("hello")}));
        QCOMPARE(link.a->Memo1->Lines(), QStringList{QString()});

        // Enter on the number pad does the same; other keys only type.
        QTest::keyClick(link.a->SendEdit, Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_COMPARE(link.a.dataSent(), QByteArray("hellohello"));
        QTest::keyClick(link.a->SendEdit, Qt::Key_X);
        QCOMPARE(link.a->SendEdit->text(), QStringLiteral("hellox"));
        QTest::qWait(50);
        QCOMPARE(link.a.dataSent(), QByteArray("hellohello"));
    }

    void enterInAnEmptyLineSendsNothing()
    {
        TwoStations link(settings_, QStringLiteral("E"), 5);
        QTest::keyClick(link.a->SendEdit, Qt::Key_Return);
        QTest::qWait(50);
        QCOMPARE(link.a.bytesToModule(), size_t(0));
        QCOMPARE(link.a->Memo1->Lines(), QStringList{QString()});
        QCOMPARE(link.a->SentMemo->Lines(), QStringList{QString()});
    }

    // A line the port refuses is tried once more, filled with zeros up to W; each failure is
    // reported, and the line is echoed only when an attempt went out.
    void refusedLineIsRetriedPadded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("reopenAtFirstError");
        QTest::addColumn<int>("errors");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QStringList>("echo");
        QTest::newRow("closed port, both attempts fail")
            << "abc" << 8 << false << 2 << QByteArray() << QStringList();
        QTest::newRow("second attempt goes out padded")
            << "abc" << 8 << true << 1 << QByteArray("abc00000") << QStringList{"abc"};
        QTest::newRow("a line of W is not retried")
            << "abcdefgh" << 8 << true << 1 << QByteArray() << QStringList();
        QTest::newRow("a line longer than W is not retried")
            << "abcdefghij" << 8 << true << 1 << QByteArray() << QStringList();
    }
    void refusedLineIsRetriedPadded()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(bool, reopenAtFirstError);
        QFETCH(int, errors);
        QFETCH(QByteArray, wire);
        QFETCH(QStringList, echo);
        TwoStations link(settings_, QStringLiteral("R"), width);
        TMainForm &f = *link.a.form;
        f.SerialConnector->SetComStatus(false);
        if (reopenAtFirstError)
            prompts_.onBeep = [&f] { f.SerialConnector->SetComStatus(true); };
        f.SendEdit->setText(text);
        QTest::keyClick(f.SendEdit, Qt::Key_Return);
        QCOMPARE(f.Memo1->Lines().count(QStringLiteral("Comm. Error!")), errors);
        QCOMPARE(prompts_.beeps, errors);
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(echoed(link.a), echo);
        QTest::qWait(20);
        QTRY_COMPARE(link.a.dataSent(), wire);
        QCOMPARE(link.a.bytesToModule(), size_t(wire.size()));
    }

    // ---- Files ------------------------------------------------------------------------

    // Every line reaches the other station whole, with CR LF, in packets of exactly W bytes
    // (the last one filled with spaces), each followed by 10 ms; each line is echoed once.
    void fileLinesGoOutWhole_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("wire");
        const auto rows = [](const char *name, const QByteArray &file, int width,
                             const QStringList &lines, const QByteArray &wire) {
            QTest::newRow(name) << file << width << lines << wire;
        };
        rows("CR LF", "one\r\ntwo\r\n", 8, {"one", "two"}, "one\r\n   two\r\n   ");
        rows("LF only", "one\ntwo\n", 8, {"one", "two"}, "one\r\n   two\r\n   ");
        rows("CR only", "one\rtwo\r", 8, {"one", "two"}, "one\r\n   two\r\n   ");
        rows("last line without a break", "one\r\ntwo", 8, {"one", "two"}, "one\r\n   two\r\n   ");
        rows("empty lines between", "a\n\n\r\nb", 4, {"a", "", "", "b"},
             "a\r\n \r\n  \r\n  b\r\n ");
        rows("one line break is one empty line", "\r\n", 8, {""}, "\r\n      ");
        rows("a zero byte ends the text", QByteArray("ab\ncd\0ef\ngh", 11), 8, {"ab", "cd"},
             "ab\r\n    cd\r\n    ");
        rows("line of W with CR LF", "abcdef\r\n", 8, {"abcdef"}, "abcdef\r\n");
        rows("line of W-1 with CR LF", "abcde\r\n", 8, {"abcde"}, "abcde\r\n ");
        rows("line of W+1 with CR LF", "abcdefg\r\n", 8, {"abcdefg"}, "abcdefg\r\n       ");
        rows("line of several packets", "abcdefghijklmnopqrstu\n", 8, {"abcdefghijklmnopqrstu"},
             "abcdefghijklmnopqrstu\r\n ");
        rows("8-bit characters", "gr\xFC\xDF\n", 8, {QString::fromLatin1("gr\xFC\xDF")},
             "gr\xFC\xDF\r\n  ");
        rows("width 25", "The quick brown fox jumps over the lazy dog\n", 25,
             {"The quick brown fox jumps over the lazy dog"},
             "The quick brown fox jumps over the lazy dog\r\n     ");
    }
    void fileLinesGoOutWhole()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, width);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, wire);
        TwoStations link(settings_, QStringLiteral("F"), width);
        TMainForm &f = *link.a.form;
        f.RecMemo->AddLine(QStringLiteral("from before"));
        ShowCounter shown(writing_.get());
        int rangeWhenShown = -1;
        shown.onShow = [&] { rangeWhenShown = writing_->ProgressBar1->maximum(); };
        f.SendTextFile(files_.write(file));

        QCOMPARE(echoed(link.a), lines);
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(shown.shows, 1);
        QVERIFY(!writing_->isVisible());
        QCOMPARE(writing_->windowTitle(), QStringLiteral("Sending text File"));
        QCOMPARE(rangeWhenShown, int(lines.size()));
        QCOMPARE(writing_->ProgressBar1->value(), int(lines.size()));
        QCOMPARE(writing_->ProgressBar1->maximum(), int(lines.size()));
        QCOMPARE(f.RecMemo->Lines(), QStringList{QString()});

        QTRY_COMPARE(link.a.dataSent(), wire);
        QCOMPARE(link.a.bytesToModule(), size_t(wire.size()));
        // Each packet of W bytes went out together, and the line stood idle for 10 ms
        // between the last byte of one and the first of the next (stamps are stop-bit ends).
        const std::vector<SimNs> at = link.a.dataSentTimes();
        const SimNs byteTime = 10 * 1000000000LL / 115200;
        for (qsizetype i = width; i < wire.size(); i += width) {
            const SimNs gap = at[size_t(i)] - at[size_t(i - 1)];
            QVERIFY2(gap >= 10 * kSimMilli + byteTime,
                     qPrintable(QStringLiteral("packet at %1: %2 ms").arg(i).arg(gap / 1e6)));
        }
        // The other station heard every packet, and its pane shows every line whole. Its
        // receive handling reads whatever is queued once W bytes are: when it runs late, in
        // the middle of a packet, it reads the front of that packet with the ones before, and
        // the rest (fewer than W bytes) waits in the queue for the next data.
        QTRY_COMPARE(link.b.dataReceived(), wire);
        // A file shorter than W leaves nothing to wait for in the pane's length: wait for the
        // receive handling to have taken the data.
        QTRY_VERIFY(link.b->RecCount >= 1);
        const QString all = withoutBreaks(wire);
        QTRY_VERIFY2(all.size() - receivedChars(link.b).size() < width,
                     qPrintable(receivedChars(link.b)));
        QVERIFY(all.startsWith(receivedChars(link.b)));
    }

    void progressEndsAtNOfN()
    {
        TwoStations link(settings_, QStringLiteral("G"), 8);
        writing_->ProgressBar1->setValue(3); // left from an earlier transfer
        QList<int> positions;
        connect(writing_->ProgressBar1, &QProgressBar::valueChanged, link.a.form.get(),
                [&](int v) { positions << v; });
        link.a->SendTextFile(files_.write("1\n2\n3\n4\n"));
        QCOMPARE(positions, (QList<int>{0, 1, 2, 3, 4}));
        QCOMPARE(writing_->ProgressBar1->maximum(), 4);
        QVERIFY(!writing_->isVisible());
    }

    // "&Abort" is noticed before the next line: the lines sent so far stay echoed, and the
    // wire carries exactly those lines.
    void abortStopsBeforeTheNextLine()
    {
        TwoStations link(settings_, QStringLiteral("A"), 8);
        QByteArray file;
        for (int i = 0; i < 40; ++i)
            file += "line " + QByteArray::number(i).rightJustified(2, '0') + " of the file\n";
        int echoedAtAbort = -1;
        whenever(link.a.form.get(), [&] {
            if (echoed(link.a).size() < 3)
                return false;
            echoedAtAbort = int(echoed(link.a).size());
            writing_->Button1->click();
            return true;
        });
        link.a->SendTextFile(files_.write(file));
        QVERIFY(echoedAtAbort >= 3);
        QCOMPARE(echoed(link.a).size(), echoedAtAbort);
        QVERIFY(!writing_->isVisible());
        QVERIFY(writing_->Aborted);
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(writing_->ProgressBar1->value(), echoedAtAbort);
        // 19 bytes with CR LF: three packets of eight per line.
        QTRY_COMPARE(link.a.dataSent().size(), qsizetype(echoedAtAbort) * 24);
        QTest::qWait(50);
        QCOMPARE(link.a.dataSent().size(), qsizetype(echoedAtAbort) * 24);
        // The next transfer starts unaborted.
        link.a->SendTextFile(files_.write("again\n"));
        QCOMPARE(echoed(link.a).last(), QStringLiteral("again"));
    }

    // The ways out of a transfer besides "&Abort": closing the progress window aborts it (it
    // would otherwise go on with no way to stop it), and closing the main window writes the
    // settings, stops the transfer after the line in progress and closes once it returned.
    void otherWaysToStopATransfer_data()
    {
        QTest::addColumn<bool>("mainWindow");
        QTest::newRow("progress window closed") << false;
        QTest::newRow("main window closed") << true;
    }
    void otherWaysToStopATransfer()
    {
        QFETCH(bool, mainWindow);
        TwoStations link(settings_, QStringLiteral("W"), 8);
        int closeEvents = 0;
        struct CloseCounter : QObject {
            int *n;
            explicit CloseCounter(int *count) : n(count) {}
            bool eventFilter(QObject *o, QEvent *e) override
            {
                if (e->type() == QEvent::Close)
                    ++*n;
                return QObject::eventFilter(o, e);
            }
        } counter(&closeEvents);
        link.a->installEventFilter(&counter);
        settings_.remove();
        QByteArray file;
        for (int i = 0; i < 40; ++i)
            file += "line " + QByteArray::number(i).rightJustified(2, '0') + " of the file\n";
        int echoedAtStop = -1;
        whenever(link.a.form.get(), [&] {
            if (echoed(link.a).size() < 3)
                return false;
            echoedAtStop = int(echoed(link.a).size());
            if (mainWindow)
                link.a->close();
            else
                writing_->reject(); // the close box or Escape
            return true;
        });
        link.a->SendTextFile(files_.write(file));
        QVERIFY(echoedAtStop >= 3);
        QCOMPARE(echoed(link.a).size(), echoedAtStop);
        QVERIFY(!writing_->isVisible());
        QVERIFY(!link.a->FileSending);
        if (mainWindow) {
            // Refused while the transfer ran, done once it returned; written once.
            QCOMPARE(closeEvents, 2);
            QVERIFY(settings_.read().contains("COM=0"));
        } else {
            QCOMPARE(closeEvents, 0);
        }
        link.a->removeEventFilter(&counter);
    }

    // One transfer at a time: Send File pressed during a transfer does nothing.
    void sendFileDuringATransferDoesNothing()
    {
        TwoStations link(settings_, QStringLiteral("D"), 8);
        const QString second = files_.write("second file\n", QStringLiteral("second.txt"));
        prompts_.fileAnswers << second;
        bool pressed = false;
        whenever(link.a.form.get(), [&] {
            if (echoed(link.a).isEmpty())
                return false;
            link.a->Button11->click();
            pressed = true;
            return true;
        });
        link.a->SendTextFile(files_.write("one\ntwo\nthree\nfour\n"));
        QVERIFY(pressed);
        QVERIFY(prompts_.dialogTitles.isEmpty());
        QCOMPARE(prompts_.fileAnswers.size(), 1); // the dialog never opened
        prompts_.fileAnswers.clear();
        QCOMPARE(echoed(link.a), QStringList({"one", "two", "three", "four"}));
    }

    // The main window stays usable during a transfer, but what it sends meanwhile goes out
    // between two lines, never inside one.
    void typedLineDuringAFileGoesBetweenLines()
    {
        TwoStations link(settings_, QStringLiteral("I"), 8);
        TMainForm &f = *link.a.form;
        QByteArray file;
        for (int i = 0; i < 12; ++i)
            file += "line " + QByteArray::number(i).rightJustified(2, '0') + " of the file\n";
        f.SendEdit->setText(QStringLiteral("XY"));
        // Enter pressed every few milliseconds, whatever the transfer is doing.
        int typed = 0;
        QElapsedTimer since;
        since.start();
        whenever(&f, [&] {
            if (since.elapsed() < 7)
                return false;
            since.restart();
            QTest::keyClick(f.SendEdit, Qt::Key_Return);
            return ++typed == 3;
        });
        f.SendTextFile(files_.write(file));
        QCOMPARE(echoed(link.a).size(), 12 + 3);
        QTRY_COMPARE(link.a.dataSent().size(), 12 * 24 + 3 * 2);
        // Each line is three packets of eight; take the typed lines out and every line is
        // whole, in order.
        const QByteArray wire = link.a.dataSent();
        QByteArray lines;
        for (qsizetype at = 0; at < wire.size();) {
            if (wire.mid(at, 2) == "XY") {
                at += 2;
                continue;
            }
            QCOMPARE(wire.mid(at, 24),
                     QByteArray("line ") +
                         QByteArray::number(int(lines.size() / 24)).rightJustified(2, '0') +
                         " of the file\r\n   ");
            lines += wire.mid(at, 24);
            at += 24;
        }
        QCOMPARE(lines.size(), 12 * 24);
    }

    // The port closed under a transfer: the progress window goes before the message, the
    // lines sent so far stay echoed.
    void writeFailure_data()
    {
        QTest::addColumn<int>("linesBefore");
        QTest::newRow("port closed before the first packet") << 0;
        QTest::newRow("port closed after two lines") << 2;
    }
    void writeFailure()
    {
        QFETCH(int, linesBefore);
        TwoStations link(settings_, QStringLiteral("D"), 8);
        TMainForm &f = *link.a.form;
        QByteArray file;
        for (int i = 0; i < 30; ++i)
            file += "text line " + QByteArray::number(i) + "\n";
        if (linesBefore == 0)
            f.SerialConnector->SetComStatus(false);
        whenever(&f, [&] {
            if (echoed(link.a).size() < linesBefore)
                return false;
            f.SerialConnector->SetComStatus(false);
            return true;
        });
        bool visibleAtMessage = true;
        prompts_.onCritical = [&] { visibleAtMessage = writing_->isVisible(); };
        f.SendTextFile(files_.write(file));
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.at(0).caption, QStringLiteral("Error!"));
        QCOMPARE(prompts_.messages.at(0).text,
                 QStringLiteral("Cannot Perform Write Operation to Modul!"));
        QCOMPARE(prompts_.messages.at(0).owner, &f);
        QVERIFY(!visibleAtMessage);
        QVERIFY(!writing_->isVisible());
        QCOMPARE(echoed(link.a).size(), linesBefore);
        QCOMPARE(writing_->ProgressBar1->value(), linesBefore);
        // No "Comm. Error!": file packets report through the message box only.
        QCOMPARE(f.Memo1->Lines(), QStringList{QString()});
    }

    void emptyFileIsRefused()
    {
        TwoStations link(settings_, QStringLiteral("Z"), 8);
        ShowCounter shown(writing_.get());
        link.a->RecMemo->AddLine(QStringLiteral("kept"));
        link.a->SendTextFile(files_.write(QByteArray()));
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.at(0).caption, QStringLiteral("Error!"));
        QCOMPARE(prompts_.messages.at(0).text, QStringLiteral("Null length File!"));
        QCOMPARE(shown.shows, 0);
        QCOMPARE(link.a->RecMemo->Lines().size(), 2);
        QTest::qWait(20);
        QCOMPARE(link.a.bytesToModule(), size_t(0));
        // A file whose first byte is zero has no lines either.
        link.a->SendTextFile(files_.write(QByteArray("\0abc\n", 5)));
        QCOMPARE(prompts_.texts(), (QStringList{"Null length File!", "Null length File!"}));
    }

    void widthZeroSendsNothing()
    {
        TwoStations link(settings_, QStringLiteral("O"), 0);
        ShowCounter shown(writing_.get());
        // Not even read: a missing file is no error.
        link.a->SendTextFile(files_.filePath(QStringLiteral("missing.txt")));
        link.a->SendTextFile(files_.write("abc\n"));
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(shown.shows, 0);
        QCOMPARE(echoed(link.a), QStringList());
        QCOMPARE(link.a.bytesToModule(), size_t(0));
    }

    // A file that cannot be read gives one error box naming the file and the cause, through
    // the handler; nothing is sent and the progress window is not shown.
    void unreadableFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing") << "missing.txt"
                                 << "No such file or directory";
        QTest::newRow("a directory") << "folder.txt"
                                     << "Is a directory";
        if (::geteuid() != 0) // root reads through any permission
            QTest::newRow("no permission") << "locked.txt"
                                           << "Permission denied";
    }
    void unreadableFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, cause);
        QDir(files_.path()).mkpath(QStringLiteral("folder.txt"));
        const QString locked = files_.write("secret\n", QStringLiteral("locked.txt"));
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        TwoStations link(settings_, QStringLiteral("U"), 8);
        ShowCounter shown(writing_.get());
        const QString path = files_.filePath(name);
        prompts_.fileAnswers << path;
        link.a->Button11->click();
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY2(prompts_.messages.at(0).text.contains(path),
                 qPrintable(prompts_.texts().join("")));
        QVERIFY2(prompts_.messages.at(0).text.contains(cause),
                 qPrintable(prompts_.texts().join("")));
        QCOMPARE(shown.shows, 0);
        QCOMPARE(echoed(link.a), QStringList());
        QCOMPARE(link.a.bytesToModule(), size_t(0));
    }

    // Send File asks for a file with the dialog's settings; cancelling sends nothing.
    void sendFileThroughTheDialog()
    {
        TwoStations link(settings_, QStringLiteral("O"), 8);
        link.a->Button11->click();
        QCOMPARE(prompts_.dialogTitles, QStringList{"Open Text File"});
        QCOMPARE(prompts_.dialogDirs, QStringList{QDir::currentPath()});
        QCOMPARE(prompts_.dialogFilters, QStringList{"Text Files (*.txt)"});
        QCOMPARE(echoed(link.a), QStringList());
        QVERIFY(prompts_.messages.isEmpty());

        prompts_.fileAnswers << files_.write("chosen\n");
        link.a->Button11->click();
        QCOMPARE(echoed(link.a), QStringList{"chosen"});
        QTRY_COMPARE(link.a.dataSent(), QByteArray("chosen\r\n"));
        QCOMPARE(prompts_.dialogTitles.size(), 2);
    }

    // The progress window as the operator finds it, and its "&Abort" flag across showings.
    void progressWindow()
    {
        TWritingForm w;
        QCOMPARE(w.windowTitle(), QStringLiteral("WritingForm"));
        QCOMPARE(w.Button1->text(), QStringLiteral("&Abort"));
        QCOMPARE(w.ProgressBar1->minimum(), 0);
        QCOMPARE(w.ProgressBar1->maximum(), 100);
        QVERIFY(!w.isModal());
        QVERIFY(!w.Aborted);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect desk = w.screen()->availableGeometry();
        QVERIFY(qAbs(w.frameGeometry().center().x() - desk.center().x()) <= 1);
        QVERIFY(qAbs(w.frameGeometry().center().y() - desk.center().y()) <= 1);
        w.Button1->click();
        QVERIFY(w.Aborted);
        w.hide();
        QVERIFY(w.Aborted);
        w.show();
        QVERIFY(!w.Aborted);
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    TextFiles files_;
    std::unique_ptr<TWritingForm> writing_;
};

QTEST_MAIN(TestTextSend)
#include "tst_textsend.moc"

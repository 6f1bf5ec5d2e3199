// The View menu's reading options, the find bar and the send line's history, in the main
// window on a pseudo-terminal: the options change what the panes show, never what is counted
// or recorded, and the settings file keeps everything else when a tick is remembered.

#include "app/FindBar.h"
#include "app/InputHistory.h"
#include "app/Memo.h"
#include "app/PaneRecorder.h"
#include "app/Radio.h"
#include "serial/Radiocom.h"
#include "support/PtyStation.h"
#include "support/RecordingPrompts.h"
#include "support/TextFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

namespace {

// Bytes from the module's side, one packet: fed once the last arrival has been handled.
void feed(PtyStation &s, const QByteArray &bytes)
{
    const auto delivered = [&s] { return s.main->SerialConnector->NotificationsDelivered(); };
    uint64_t d;
    do {
        d = delivered();
        QTest::qWait(20);
    } while (delivered() != d);
    s.device->write(bytes);
    QTRY_VERIFY(delivered() > d);
}

QStringList received(const PtyStation &s)
{
    return s.main->RecMemo->Lines().mid(1);
}

// The record file's texts, without the record's own stamp and the pane's name.
QStringList recordTexts(const QString &path)
{
    QFile f(path);
    QStringList out;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (!line.isEmpty())
                out << QString::fromUtf8(line.mid(line.indexOf("\tReceived\t") + 10));
    return out;
}

// How the record writes control characters.
QStringList pictured(QStringList lines)
{
    for (QString &l : lines)
        for (QChar &c : l)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = QChar(c.unicode() == 0x7F ? char16_t(0x2421) : char16_t(0x2400 + c.unicode()));
    return lines;
}

const QRegularExpression kStamp(QStringLiteral("^\\d\\d:[0-5]\\d:[0-5]\\d\\.\\d\\d\\d "));

} // namespace

class TestReading : public QObject {
    Q_OBJECT

private slots:
    void init() { prompts_.clear(); }

    // One stream for every row: a line split across two packets, its CR LF across the next
    // two, UTF-8 for a micro sign (C2 B5), 0x00, 0x7F and 0xFF (no UTF-8), and a last line
    // without a line end.
    void optionsShapeThePaneOnly_data()
    {
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QStringList>("lines");
        const QString latin = QString::fromLatin1("d\xC2\xB5");
        const QString utf8 = QStringLiteral("d\u00B5");
        const QString ctl = QString::fromLatin1("\0\x7F", 2);
        const QString bad = QStringLiteral("\uFFFD");
        const QString y = QString::fromLatin1("\xFF");
        const QStringList plainHex{" 61 62", " 63 0D", " 0A 64 C2 B5", " 00 7F FF 0A", " 65 66"};

        QTest::newRow("all off: a line a packet, as always")
            << QStringList() << false << QStringList{"ab", "c", "", "", latin, ctl + y, "", "ef"};
        QTest::newRow("all off, hex box") << QStringList() << true << plainHex;
        QTest::newRow("time stamps") << QStringList{"TimeStamps1"} << false
                                     << QStringList{"ab", "c", "", "", latin, ctl + y, "", "ef"};
        QTest::newRow("UTF-8") << QStringList{"Utf8Text1"} << false
                               << QStringList{"ab", "c", "", "", utf8, ctl + bad, "", "ef"};
        QTest::newRow("UTF-8 leaves the hex box alone")
            << QStringList{"Utf8Text1"} << true << plainHex;
        QTest::newRow("hex and text")
            << QStringList{"HexAndText1"} << false
            << QStringList{" 61 62  ab", " 63 0D  c.", " 0A 64 C2 B5  ." + latin,
                           " 00 7F FF 0A  .." + y + ".", " 65 66  ef"};
        QTest::newRow("hex and text, UTF-8")
            << QStringList{"HexAndText1", "Utf8Text1"} << false
            << QStringList{" 61 62  ab", " 63 0D  c.", " 0A 64 C2 B5  ." + utf8,
                           " 00 7F FF 0A  .." + bad + ".", " 65 66  ef"};
        QTest::newRow("whole lines")
            << QStringList{"WholeLines1"} << false << QStringList{"abc", latin + ctl + y, "ef"};
        QTest::newRow("whole lines, UTF-8, time stamps")
            << QStringList{"WholeLines1", "Utf8Text1", "TimeStamps1"} << false
            << QStringList{"abc", utf8 + ctl + bad, "ef"};
        QTest::newRow("whole lines, hex box: every byte")
            << QStringList{"WholeLines1"} << true
            << QStringList{" 61 62 63 0D 0A", " 64 C2 B5 00 7F FF 0A", " 65 66"};
        QTest::newRow("whole lines, hex and text, UTF-8")
            << QStringList{"WholeLines1", "HexAndText1", "Utf8Text1"} << false
            << QStringList{" 61 62 63 0D 0A  abc..",
                           " 64 C2 B5 00 7F FF 0A  " + utf8 + ".." + bad + ".", " 65 66  ef"};
    }
    void optionsShapeThePaneOnly()
    {
        QFETCH(QStringList, ticks);
        QFETCH(bool, hex);
        QFETCH(QStringList, lines);
        PtyStation s(settings_);
        TMainForm &f = *s.main;
        for (const QString &tick : ticks)
            f.findChild<QAction *>(tick)->trigger();
        f.CheckBox2->setChecked(hex);
        const QString record =
            files_.filePath(QStringLiteral("%1.txt").arg(QTest::currentDataTag()));
        QString error;
        QVERIFY(f.Recorder->start(record, error));

        const QList<QByteArray> packets{"ab", "c\r", "\nd\xC2\xB5", QByteArray("\x00\x7F\xFF\n", 4),
                                        "ef"};
        for (const QByteArray &p : packets)
            feed(s, p);
        // A line still open is shown after a second of quiet.
        QTRY_COMPARE(received(s).size(), lines.size());
        QStringList shown = received(s);
        if (ticks.contains(QStringLiteral("TimeStamps1"))) {
            for (QString &line : shown) {
                QVERIFY2(kStamp.match(line).hasMatch(), qPrintable(line));
                line.remove(0, 13);
            }
        }
        QCOMPARE(shown, lines);

        // Counted and recorded a packet at a time, as without the options.
        QCOMPARE(f.RecCount, float(packets.size()));
        QCOMPARE(f.EditLeng->text(), QStringLiteral("2"));
        const QStringList plain =
            hex ? QStringList{" 61 62", " 63 0D", " 0A 64 C2 B5", " 00 7F FF 0A", " 65 66"}
                : QStringList{"ab",
                              "c",
                              "",
                              "",
                              QString::fromLatin1("d\xC2\xB5"),
                              QString::fromLatin1("\0\x7F\xFF", 3),
                              "",
                              "ef"};
        QCOMPARE(recordTexts(record), pictured(plain));
    }

    void findAcrossThePane()
    {
        PtyStation s(settings_);
        TMainForm &f = *s.main;
        f.show();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QTRY_VERIFY(!f.ConfigReadActive); // the first show's Read Config has timed out
        for (const char *line : {"alpha one\n", "beta\n", "Alpha two alpha\n", "gamma\n"})
            feed(s, line);

        // From the send line the bar opens over the Received pane.
        f.SendEdit->setFocus();
        QTest::keyClick(f.SendEdit, Qt::Key_F, Qt::ControlModifier);
        FindBar &bar = *f.FindBar1;
        QCOMPARE(bar.Pane(), f.RecMemo);
        QCOMPARE(bar.parentWidget(), f.RecMemo->parentWidget());
        QVERIFY(bar.Pattern->hasFocus());
        QTest::keyClicks(bar.Pattern, QStringLiteral("alpha"));
        QCOMPARE(bar.Count->text(), QStringLiteral("1 of 3"));
        const auto highlights = [](TMemo *pane) {
            return pane->MatchRects(pane->viewport()->rect()).size();
        };
        QCOMPARE(highlights(f.RecMemo), 3); // every match in view
        const auto go = [&](Qt::Key key, Qt::KeyboardModifiers mods, const char *count) {
            QTest::keyClick(bar.Pattern, key, mods);
            QCOMPARE(bar.Count->text(), QLatin1String(count));
            QCOMPARE(f.RecMemo->textCursor().selectedText().toLower(), QStringLiteral("alpha"));
        };
        go(Qt::Key_Return, Qt::NoModifier, "2 of 3");
        go(Qt::Key_Return, Qt::NoModifier, "3 of 3");
        go(Qt::Key_Return, Qt::NoModifier, "1 of 3"); // round the end
        go(Qt::Key_Return, Qt::ShiftModifier, "3 of 3");
        go(Qt::Key_F3, Qt::NoModifier, "1 of 3");
        go(Qt::Key_F3, Qt::ShiftModifier, "3 of 3");
        bar.MatchCase->setChecked(true);
        QCOMPARE(bar.Count->text(), QStringLiteral("1 of 2"));

        // A match in a line that arrives while the bar is open is counted and found.
        feed(s, "an alpha more\n");
        QTRY_COMPARE(bar.Count->text(), QStringLiteral("1 of 3"));
        go(Qt::Key_Return, Qt::ShiftModifier, "3 of 3");
        QCOMPARE(f.RecMemo->textCursor().block().text(), QStringLiteral("an alpha more"));
        QCOMPARE(highlights(f.RecMemo), 3);

        // Over the pane with the focus; the one it leaves loses its highlights.
        f.SentMemo->setFocus();
        QTest::keyClick(f.SentMemo, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(bar.Pane(), f.SentMemo);
        QCOMPARE(highlights(f.RecMemo), 0);
        QCOMPARE(bar.Count->text(), QStringLiteral("No matches"));
        QTest::keyClick(bar.Pattern, Qt::Key_Escape);
        QVERIFY(bar.isHidden());
        QVERIFY(f.SentMemo->hasFocus());
        QTest::keyClick(f.SentMemo, Qt::Key_F3); // open again: the window goes with the bar open
        QVERIFY(bar.IsOpen());
    }

    // The settings file keeps every other section, key and comment when a tick is remembered,
    // and the next start reads the ticks back.
    void ticksRemembered()
    {
        const QByteArray start = "; the console's port\n[Port]\nCOM=0\nBaud=0\n\n[Devices]\n"
                                 "; by id\nCOM1=/nonexistent/tty\n[Mine]\nkey = kept ; as it was\n";
        QVERIFY(settings_.write(start));
        {
            TMainForm f;
            f.TimeStamps1->trigger();
            f.WholeLines1->trigger();
            f.TimeStamps1->trigger();
            QCOMPARE(settings_.read(), start + "\n[View]\nTime Stamps=0\nWhole Lines=1\n");
            f.WholeLines1->trigger();
            f.TimeStamps1->trigger();
            f.Memo1->AddLine(QStringLiteral("stamped"));
            QVERIFY(kStamp.match(f.Memo1->Lines().last()).hasMatch());
        }
        TMainForm again;
        QVERIFY(again.TimeStamps1->isChecked());
        QVERIFY(!again.WholeLines1->isChecked());
        again.Memo1->AddLine(QStringLiteral("stamped"));
        QVERIFY(kStamp.match(again.Memo1->Lines().last()).hasMatch());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void historyRecallsLinesSent()
    {
        PtyStation s(settings_);
        QLineEdit *field = s.main->SendEdit;
        const auto send = [field](const QString &text) {
            field->clear();
            QTest::keyClicks(field, text);
            QTest::keyClick(field, Qt::Key_Return);
        };
        const auto key = [field](Qt::Key k, const char *shown) {
            QTest::keyClick(field, k);
            QCOMPARE(field->text(), QLatin1String(shown));
        };
        for (const char *line : {"one", "two", "two", "three"})
            send(QLatin1String(line));
        QCOMPARE(field->text(), QStringLiteral("three")); // kept after Enter
        key(Qt::Key_Up, "two");                           // the field shows "three" already
        key(Qt::Key_Up, "one");
        key(Qt::Key_Up, "one");
        key(Qt::Key_Down, "two");
        key(Qt::Key_Down, "three");
        key(Qt::Key_Down, "three");
        field->setText(QStringLiteral("draft"));
        key(Qt::Key_Up, "three");
        key(Qt::Key_Down, "draft");

        for (int i = 0; i < InputHistory::MaxLines + 5; ++i)
            send(QStringLiteral("line %1").arg(i));
        const QStringList kept = s.main->SendHistory->Lines();
        QCOMPARE(kept.size(), InputHistory::MaxLines);
        QCOMPARE(kept.first(), QStringLiteral("line 5"));
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    TextFiles files_;
};

QTEST_MAIN(TestReading)
#include "tst_reading.moc"

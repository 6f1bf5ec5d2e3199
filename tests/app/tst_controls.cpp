// The main window's own kinds of control: the spin box rules, radio groups, drop-down lists
// and text panes.

#include "app/ComboBox.h"
#include "app/FormParts.h"
#include "app/Memo.h"
#include "app/PaintPacer.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Box {
    Box(int min, int max, int step, int value)
    {
        s.SetMinValue(min);
        s.SetMaxValue(max);
        s.SetIncrement(step);
        s.SetValue(value);
    }
    void loseFocus()
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&s, &out);
    }
    QLineEdit *edit() { return s.findChild<QLineEdit *>(); }
    TSpinEdit s;
};

struct PaintCounter : QObject {
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        count += e->type() == QEvent::Paint;
        return false;
    }
    int count = 0;
};

} // namespace

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void spinValueIsTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("textAfterRead");
        QTest::newRow("in range") << "5" << 5 << "5";
        QTest::newRow("above range, not yet clamped") << "200" << 200 << "200";
        QTest::newRow("empty gives the minimum") << "" << 10 << "10";
        QTest::newRow("letters give the minimum") << "abc" << 10 << "10";
        QTest::newRow("sign alone gives the minimum") << "-" << 10 << "10";
        QTest::newRow("hex") << "$20" << 32 << "$20";
    }
    void spinValueIsTheText()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(QString, textAfterRead);
        Box b(10, 127, 1, 50);
        b.s.SetText(text);
        QCOMPARE(b.s.Text(), text); // any text may stand until someone reads it
        QCOMPARE(b.s.Value(), value);
        QCOMPARE(b.s.Text(), textAfterRead);
    }

    void spinSetValueClamps_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("shown");
        QTest::newRow("below") << 5 << "10";
        QTest::newRow("above") << 2000 << "1000";
        QTest::newRow("off the step") << 105 << "105";
        QTest::newRow("at the maximum") << 1000 << "1000";
    }
    void spinSetValueClamps()
    {
        QFETCH(int, asked);
        QFETCH(QString, shown);
        Box b(10, 1000, 10, 100);
        b.s.SetValue(asked);
        QCOMPARE(b.s.Text(), shown);
    }

    void spinChangeOnEveryTextChange()
    {
        Box b(0, 64, 1, 0);
        QSignalSpy change(&b.s, &TSpinEdit::Change);
        b.s.SetValue(5);
        QCOMPARE(change.count(), 1);
        b.s.SetValue(5); // same text: no change
        b.s.SetText(QStringLiteral("5"));
        QCOMPARE(change.count(), 1);
        b.s.stepBy(1);
        QCOMPARE(b.s.Text(), QStringLiteral("6"));
        QCOMPARE(change.count(), 2);
        b.edit()->clear();
        QTest::keyClicks(b.edit(), QStringLiteral("42"));
        QCOMPARE(b.s.Text(), QStringLiteral("42"));
        QCOMPARE(change.count(), 5); // cleared, "4", "42"
        // A maximum below the value clamps the text, and that is a change too.
        b.s.SetMaxValue(30);
        QCOMPARE(b.s.Text(), QStringLiteral("30"));
        QCOMPARE(change.count(), 6);
        QCOMPARE(b.s.Value(), 30);
    }

    void spinTypingIsLenientAndFocusLossClamps_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterFocusLoss");
        QTest::newRow("above") << "200"
                               << "127";
        QTest::newRow("below") << "-5"
                               << "0";
        QTest::newRow("letters") << "abc"
                                 << "0";
        QTest::newRow("empty") << ""
                               << "0";
        QTest::newRow("in range") << "99"
                                  << "99";
    }
    void spinTypingIsLenientAndFocusLossClamps()
    {
        QFETCH(QString, typed);
        QFETCH(QString, afterFocusLoss);
        Box b(0, 127, 1, 2);
        b.edit()->clear();
        QTest::keyClicks(b.edit(), typed);
        QCOMPARE(b.s.Text(), typed);
        QSignalSpy change(&b.s, &TSpinEdit::Change);
        b.loseFocus();
        QCOMPARE(b.s.Text(), afterFocusLoss);
        QCOMPARE(change.count(), typed == afterFocusLoss ? 0 : 1);
    }

    void spinSteps()
    {
        Box b(10, 1000, 10, 105);
        b.s.stepBy(1);
        QCOMPARE(b.s.Text(), QStringLiteral("115"));
        b.s.SetValue(995);
        b.s.stepBy(1);
        QCOMPARE(b.s.Text(), QStringLiteral("1000"));
        b.s.SetText(QString());
        b.s.stepBy(1); // from the minimum, as an emptied box reads
        QCOMPARE(b.s.Text(), QStringLiteral("20"));
    }

    // A width typed digit by digit can make the data length maximum negative for a moment;
    // the box keeps its minimum and recovers when the maximum comes back.
    void spinMaximumBelowMinimumKeepsMinimum()
    {
        Box b(0, 61, 1, 20);
        b.s.SetMaxValue(-38);
        QCOMPARE(b.s.MinValue(), 0);
        b.s.SetValue(-38);
        QCOMPARE(b.s.Text(), QStringLiteral("0"));
        b.s.SetMaxValue(61);
        b.s.SetValue(70);
        QCOMPARE(b.s.Text(), QStringLiteral("61"));
        b.s.SetValue(-1);
        QCOMPARE(b.s.Text(), QStringLiteral("0"));
    }

    void radioGroupClickOnEveryIndexChange()
    {
        TRadioGroup g(QStringLiteral("CRC"), {QStringLiteral("8 Bits"), QStringLiteral("16 Bits")},
                      2);
        QSignalSpy click(&g, &TRadioGroup::Click);
        QCOMPARE(g.ItemIndex(), -1);
        g.SetItemIndex(1);
        QCOMPARE(g.ItemIndex(), 1);
        QCOMPARE(click.count(), 1);
        g.SetItemIndex(1);
        QCOMPARE(click.count(), 1);
        g.Button(0)->click();
        QCOMPARE(g.ItemIndex(), 0);
        QCOMPARE(click.count(), 2);
        g.Button(0)->click(); // already chosen
        QCOMPARE(click.count(), 2);
        g.SetItemIndex(-1);
        QCOMPARE(g.ItemIndex(), -1);
        QVERIFY(!g.Button(0)->isChecked() && !g.Button(1)->isChecked());
        QCOMPARE(click.count(), 3);
        g.SetItemIndex(5);
        QCOMPARE(g.ItemIndex(), -1);
        QCOMPARE(click.count(), 3);
        g.Button(1)->click(); // exclusive again after clearing
        g.Button(0)->click();
        QVERIFY(!g.Button(1)->isChecked());
    }

    void comboIndexAndTypedText()
    {
        TComboBox c({QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")});
        c.SetItemIndex(2);
        QCOMPARE(c.Text(), QStringLiteral("38400"));
        c.SetItemIndex(7);
        QCOMPARE(c.ItemIndex(), -1);
        QCOMPARE(c.Text(), QString());
        c.SetItemIndex(-1);
        QCOMPARE(c.Text(), QString());
        c.SetItemIndex(0);
        // Typing deselects and keeps what was typed; Enter adds nothing to the list.
        c.lineEdit()->selectAll();
        QTest::keyClicks(c.lineEdit(), QStringLiteral("4800"));
        QCOMPARE(c.ItemIndex(), -1);
        QCOMPARE(c.Text(), QStringLiteral("4800"));
        QTest::keyClick(c.lineEdit(), Qt::Key_Return);
        QCOMPARE(c.count(), 3);
        QCOMPARE(c.ItemIndex(), -1);
    }

    void memoLines()
    {
        TMemo m;
        QCOMPARE(m.Lines(), QStringList{QString()});
        QVERIFY(m.isReadOnly());
        m.AddLine(QStringLiteral("Reset"));
        m.AddLine(QString());
        m.AddLine(QStringLiteral("a\r\nb\rc\nd\r\r\ne\r"));
        QCOMPARE(m.Lines(),
                 (QStringList{QString(), QStringLiteral("Reset"), QString(), QStringLiteral("a"),
                              QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                              QString(), QStringLiteral("e"), QString()}));
        m.Clear();
        QCOMPARE(m.Lines(), QStringList{QString()});
        m.AddLine(QStringLiteral("OK"));
        QCOMPARE(m.Lines(), (QStringList{QString(), QStringLiteral("OK")}));
        // Lines gathered for the document reach it when the event loop runs; while they keep
        // coming, FlushGapMs after the last hand-over, several together.
        QTest::qWait(TMemo::FlushGapMs + 5);
        m.AddLine(QStringLiteral("Reset"));
        QCoreApplication::processEvents();
        QCOMPARE(m.toPlainText(), QStringLiteral("\nOK\nReset"));
        QElapsedTimer since;
        since.start();
        m.AddLine(QStringLiteral("Sleep."));
        m.AddLine(QStringLiteral("Wake Up"));
        QCoreApplication::processEvents();
        if (since.elapsed() < TMemo::FlushGapMs)
            QCOMPARE(m.toPlainText(), QStringLiteral("\nOK\nReset"));
        QTRY_COMPARE(m.toPlainText(), QStringLiteral("\nOK\nReset\nSleep.\nWake Up"));
    }

    // A pane keeps its last MaxLines lines, whether they reach it in batches or all at once
    // (the event loop held up meanwhile): a flood of received data cannot fill the memory.
    void memoKeepsItsLastLines_data()
    {
        QTest::addColumn<bool>("eventLoopBetween");
        QTest::newRow("the event loop running") << true;
        QTest::newRow("all before the event loop runs") << false;
    }
    void memoKeepsItsLastLines()
    {
        QFETCH(bool, eventLoopBetween);
        TMemo m;
        const int added = 3 * TMemo::MaxLines;
        for (int i = 0; i < added; ++i) {
            m.AddLine(QString::number(i));
            if (eventLoopBetween && i % 1000 == 0)
                QCoreApplication::processEvents();
        }
        const QStringList lines = m.Lines();
        QCOMPARE(lines.size(), TMemo::MaxLines);
        QCOMPARE(lines.first(), QString::number(added - TMemo::MaxLines));
        QCOMPARE(lines.last(), QString::number(added - 1));
        m.AddLine(QStringLiteral("next"));
        QCOMPARE(m.Lines().size(), TMemo::MaxLines);
        QCOMPARE(m.Lines().last(), QStringLiteral("next"));
    }

    // A pane's scroll bar skips repaints that would draw it the same: what the window shows
    // must still be what a pane holding those lines draws afresh, at every size of the pane.
    void memoScrollBarShowsWhatThePaneHolds()
    {
        const auto shown = [](TMemo &m) {
            const QScrollBar *bar = m.verticalScrollBar();
            return m.screen()
                ->grabWindow(m.winId())
                .copy(QRect(bar->mapTo(&m, QPoint(0, 0)), bar->size()))
                .toImage();
        };
        const auto pane = [](TMemo &m) {
            m.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            m.resize(240, 160);
            m.show();
            return QTest::qWaitForWindowExposed(&m);
        };
        TMemo grown;
        QVERIFY(pane(grown));
        int lines = 0;
        for (const int total : {1, 2, 8, 9, 40, 41, 300, 301, 2000}) {
            while (lines < total)
                grown.AddLine(QString::number(lines++));
            grown.Lines(); // hands the lines over now
            TMemo fresh;
            for (int i = 0; i < lines; ++i)
                fresh.AddLine(QString::number(i));
            fresh.Lines();
            QVERIFY(pane(fresh));
            QTRY_VERIFY2(shown(grown) == shown(fresh), qPrintable(QString::number(total)));
        }
        // Hundreds of lines more leave the slider where it was: the bar is not drawn again.
        PaintCounter paints(grown.verticalScrollBar());
        for (int i = 0; i < 300; ++i)
            grown.AddLine(QString::number(lines++));
        grown.Lines();
        QTest::qWait(50);
        QCOMPARE(paints.count, 0);
    }

    // Frames behind a counter are repainted with it from a picture of themselves: what they
    // show must be what the style draws, in a frame within a frame as in the window, also
    // after the window has been resized.
    // In a window whose paints are paced, lines that keep coming go over with the window's
    // paint (no wake-up of their own); with no paint to come, the timer still hands them over.
    void memoLinesGoWithThePacedPaint()
    {
        QWidget window;
        auto *m = new TMemo(&window);
        auto *counter = new QLineEdit(&window);
        auto *row = FormParts::Tight(new QHBoxLayout(&window));
        row->addWidget(m);
        row->addWidget(counter);
        new PaintPacer(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        m->AddLine(QStringLiteral("first")); // after a quiet spell: over at once
        QTRY_COMPARE(m->toPlainText(), QStringLiteral("\nfirst"));
        QTest::qWait(50);
        PaintCounter paints(counter);
        m->AddLine(QStringLiteral("second")); // within the gap: it waits
        counter->setText(QStringLiteral("1"));
        QTRY_VERIFY(paints.count > 0);
        QCOMPARE(m->toPlainText(), QStringLiteral("\nfirst\nsecond"));
        m->AddLine(QStringLiteral("third"));
        QTRY_COMPARE(m->toPlainText(), QStringLiteral("\nfirst\nsecond\nthird"));
    }

    void framesBehindACounterLookAsDrawn()
    {
        QWidget window;
        QGroupBox *outer = FormParts::Frame(QStringLiteral("Settings"), &window);
        QGroupBox *inner = FormParts::Frame(QStringLiteral("Data Test"), outer);
        QLineEdit *counter = FormParts::Edit("Counter", QStringLiteral("0"), inner);
        FormParts::Tight(new QHBoxLayout(&window))->addWidget(outer);
        FormParts::Tight(new QHBoxLayout(outer), 12)->addWidget(inner);
        FormParts::Tight(new QHBoxLayout(inner), 12)->addWidget(counter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const QSize size : {QSize(260, 140), QSize(320, 180)}) {
            window.resize(size);
            window.repaint(); // drawn whole: the titles and the style's frames
            const QImage drawn = window.screen()->grabWindow(window.winId()).toImage();
            for (const char *text : {"1", "12", "123", "0"}) {
                counter->setText(QLatin1String(text));
                QTest::qWait(20);
            }
            QTRY_COMPARE(window.screen()->grabWindow(window.winId()).toImage(), drawn);
        }
    }

    // A line longer than MaxLineLength goes on in the next lines, every character kept: laid
    // out whole, a megabyte without a space froze the window for most of a minute.
    void memoBreaksLongLines()
    {
        TMemo m;
        QString big;
        for (int i = 0; big.size() < (1 << 20); ++i)
            big += QLatin1Char(char('a' + i % 26));
        m.AddLine(big);
        m.AddLine(QStringLiteral("short\r\n") + big.left(TMemo::MaxLineLength + 1));
        const QStringList lines = m.Lines();
        const int pieces = (1 << 20) / TMemo::MaxLineLength;
        QCOMPARE(lines.size(), 1 + pieces + 3);
        for (const QString &line : lines)
            QVERIFY(line.size() <= TMemo::MaxLineLength);
        QCOMPARE(lines.mid(1, pieces).join(QString()), big);
        QCOMPARE(lines.mid(pieces + 1),
                 (QStringList{QStringLiteral("short"), big.left(TMemo::MaxLineLength),
                              big.mid(TMemo::MaxLineLength, 1)}));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

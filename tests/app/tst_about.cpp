// The help window, as a real dialog on the offscreen platform, and the timing diagrams it
// draws, read from their descriptions and from the laid-out scenes the painter draws.

#include "app/About.h"
#include "app/TimingDiagram.h"
#include "app/TimingDiagramView.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>

using Level = TimingDiagram::Level;

namespace {

QStringList traceNames(const TimingDiagram &d)
{
    QStringList names;
    for (const TimingDiagram::Trace &t : d.traces)
        names << t.name;
    return names;
}

// Shows the dialog modally, presses OK from inside the modal loop and returns exec()'s result.
// A second timer ends a loop that OK failed to end, so a fault fails the test instead of
// hanging it.
int execAndPressOk(TAboutForm &form)
{
    QTimer::singleShot(0, form.Button1,
                       [&form] { QTest::mouseClick(form.Button1, Qt::LeftButton); });
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, &form, [&form] { form.done(-1); });
    rescue.start(5000);
    return form.exec();
}

// A line's pixels as a rectangle (lines here are horizontal or vertical).
QRect lineRect(const QLine &l)
{
    return QRect(l.p1(), l.p2()).normalized();
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void codeLinesExact();
    void codesPaneReadOnlyAndReachable();
    void windowFrame();
    void tabs_data();
    void tabs();
    void firstShowingOnTransmit();
    void laterShowingKeepsTab();
    void okEndsModalShowing();
    void repeatedShowingsAddNoLines();
    void aboutPage();
    void signalOrder_data();
    void signalOrder();
    void transmitTiming();
    void receiveTiming();
    void programmingTiming();
    void sleepTiming();
    void textsClearOfDrawing_data();
    void textsClearOfDrawing();
};

void TestAbout::codeLinesExact()
{
    TAboutForm form;
    const QStringList expected = {
        QString(),
        QStringLiteral("S         Sleep"),
        QStringLiteral("R        Read All Config Data"),
        QStringLiteral("C[X]     Channel[0-127]"),
        QStringLiteral("B[X]     Serial BaudRate"),
        QStringLiteral("            X=1  9.600 Baud"),
        QStringLiteral("            X=2 19.200 Baud"),
        QStringLiteral("            X=4 32.600 Baud"),
        QStringLiteral("            X=8 56.700 Baud"),
        QStringLiteral("P[X]     TX Power"),
        QStringLiteral("            X=1  0dBm"),
        QStringLiteral("            X=2 -5dBm"),
        QStringLiteral("A[XXXXX] Address Ch. 1"),
        QStringLiteral("W[X]     Address Width[1-5]"),
        QStringLiteral("L[X]     Data Width (Bytes)"),
    };
    QCOMPARE(form.Memo1->toPlainText().split(QLatin1Char('\n')), expected);
    QCOMPARE(form.Memo1->document()->blockCount(), 15);
}

void TestAbout::codesPaneReadOnlyAndReachable()
{
    TAboutForm form;
    form.show();
    form.PageControl1->setCurrentWidget(form.Programming);
    QCoreApplication::processEvents();

    QVERIFY(form.Memo1->isReadOnly());
    QVERIFY(form.Memo1->isEnabled()); // a disabled pane could not be scrolled
    QCOMPARE(form.Memo1->accessibleName(), QStringLiteral("Codes"));
    QCOMPARE(form.Codes->title(), QStringLiteral("Codes"));
    QVERIFY(form.Programming->isAncestorOf(form.Memo1));
    // The columns line up: the narrowest and the widest characters take one advance.
    const QFontMetricsF m(form.Memo1->font());
    for (const char c : {'W', '0', ' '})
        QCOMPARE(m.horizontalAdvance(QLatin1Char(c)), m.horizontalAdvance(QLatin1Char('i')));
    // Nothing of the pane is cut off by the frames it sits in.
    for (QWidget *w = form.Memo1; w != &form; w = w->parentWidget()) {
        const QRect inParent(w->mapToParent(QPoint(0, 0)), w->size());
        QVERIFY2(w->parentWidget()->rect().contains(inParent), qPrintable(w->objectName()));
    }
    // The last code line can be brought into the pane's view, whatever the font's height.
    QScrollBar *bar = form.Memo1->verticalScrollBar();
    QVERIFY(bar->maximum() == 0 || bar->isVisible());
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    const QTextBlock last = form.Memo1->document()->lastBlock();
    QCOMPARE(last.text(), QStringLiteral("L[X]     Data Width (Bytes)"));
    QTextCursor end(last);
    end.movePosition(QTextCursor::EndOfBlock);
    const QRect line =
        form.Memo1->cursorRect(QTextCursor(last)).united(form.Memo1->cursorRect(end));
    QVERIFY(form.Memo1->viewport()->rect().contains(line));

    QTest::keyClicks(form.Memo1, QStringLiteral("X"));
    QCOMPARE(form.Memo1->document()->blockCount(), 15);
}

void TestAbout::windowFrame()
{
    TAboutForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Help"));
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint)); // else the platform adds its defaults
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinMaxButtonsHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(form.minimumSize(), QSize(1023, 565));
    QCOMPARE(form.maximumSize(), QSize(1023, 565));
    QCOMPARE(form.PageControl1->size(), QSize(905, 521));
    QCOMPARE(form.Button1->text(), QStringLiteral("OK"));
    QCOMPARE(form.Button1->accessibleName(), QStringLiteral("OK"));
    // OK at the bottom right, clear of the tabs and inside the window.
    const QRect ok = form.Button1->geometry();
    QVERIFY(ok.left() > form.PageControl1->geometry().right());
    QVERIFY(ok.top() > form.rect().center().y());
    QVERIFY(form.rect().contains(ok));
}

void TestAbout::tabs_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("first: Transmit") << 0 << "Transmit"
                                     << "Transmit";
    QTest::newRow("second: Receive") << 1 << "Receive"
                                     << "Receive";
    QTest::newRow("third: Programming") << 2 << "Programming"
                                        << "Programming";
    QTest::newRow("fourth: Sleep") << 3 << "Sleep"
                                   << "Sleep";
    QTest::newRow("fifth: About") << 4 << "About"
                                  << "About";
}

void TestAbout::tabs()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    TAboutForm form;
    QCOMPARE(form.PageControl1->count(), 5);
    QCOMPARE(form.PageControl1->widget(index)->objectName(), name);
    QCOMPARE(form.PageControl1->tabText(index), caption);
    QCOMPARE(form.PageControl1->widget(index)->accessibleName(), caption);
}

void TestAbout::firstShowingOnTransmit()
{
    TAboutForm form;
    form.show();
    QCOMPARE(form.PageControl1->currentWidget(), form.Transmit);
}

void TestAbout::laterShowingKeepsTab()
{
    TAboutForm form;
    form.show();
    form.PageControl1->setCurrentWidget(form.Sleep);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(form.isHidden());

    form.show();
    QCOMPARE(form.PageControl1->currentWidget(), form.Sleep);
}

void TestAbout::okEndsModalShowing()
{
    TAboutForm form;
    QCOMPARE(execAndPressOk(form), int(QDialog::Accepted));
    QVERIFY(form.isHidden());
    // The window lives on and can be shown again.
    QCOMPARE(execAndPressOk(form), int(QDialog::Accepted));
}

void TestAbout::repeatedShowingsAddNoLines()
{
    TAboutForm form;
    const QString first = form.Memo1->toPlainText();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(execAndPressOk(form), int(QDialog::Accepted));
    QCOMPARE(form.Memo1->toPlainText(), first);
    QCOMPARE(form.Memo1->document()->blockCount(), 15);
}

void TestAbout::aboutPage()
{
    TAboutForm form;
    form.show();
    form.PageControl1->setCurrentWidget(form.About);
    QCoreApplication::processEvents();

    QCOMPARE(form.AboutFrame->title(), QStringLiteral("About"));
    QVERIFY(form.AboutFrame->autoFillBackground());
    QCOMPARE(form.AboutFrame->palette().color(QPalette::Window), QColor(0, 255, 255));
    QList<QLabel *> labels = form.AboutFrame->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 2);
    std::sort(labels.begin(), labels.end(), [](QLabel *a, QLabel *b) { return a->y() < b->y(); });
    QCOMPARE(labels.at(0)->text(), QStringLiteral("Veltrane Ltd."));
    QCOMPARE(labels.at(1)->text(), QStringLiteral("2.4GHz Radio Communication- Veltrane Ltd."));
    // In the middle of the tab.
    const QPoint middle = form.AboutFrame->geometry().center();
    const QPoint page = form.About->rect().center();
    QVERIFY(qAbs(middle.x() - page.x()) <= 2);
    QVERIFY(qAbs(middle.y() - page.y()) <= 2);
}

void TestAbout::signalOrder_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Transmit: RX, Ready, Radio link")
        << 0 << "Transmit" << QStringList{"RX", "Ready", "Radio link"};
    QTest::newRow("Receive: Radio link, Ready, TX")
        << 1 << "Receive" << QStringList{"Radio link", "Ready", "TX"};
    QTest::newRow("Programming: Progr., Ready, RX")
        << 2 << "Programming" << QStringList{"Progr.", "Ready", "RX"};
    QTest::newRow("Sleep: Progr., RX, Ready")
        << 3 << "Sleep Mode" << QStringList{"Progr.", "RX", "Ready"};
}

void TestAbout::signalOrder()
{
    QFETCH(int, tab);
    QFETCH(QString, frame);
    QFETCH(QStringList, names);
    TAboutForm form;
    const auto *view = form.PageControl1->widget(tab)->findChild<TimingDiagramView *>();
    QVERIFY(view);
    const TimingDiagram &d = view->diagram();
    QCOMPARE(d.title, frame);
    QCOMPARE(qobject_cast<QGroupBox *>(view->parentWidget())->title(), frame);
    QCOMPARE(traceNames(d), names);
    for (int i = 1; i < d.traces.size(); ++i)
        QVERIFY(d.traces.at(i).y > d.traces.at(i - 1).y);
    for (const TimingDiagram::Trace &t : d.traces) {
        for (const TimingDiagram::Pulse &p : t.pulses)
            QVERIFY(d.left < p.from && p.from < p.to && p.to < d.right);
        for (int i = 1; i < t.cells.size(); ++i)
            QVERIFY(t.cells.at(i) > t.cellEnd(i - 1));
    }
}

void TestAbout::transmitTiming()
{
    const TimingDiagram d = TimingDiagram::transmit();
    const TimingDiagram::Trace &rx = d.traces.at(0);
    const TimingDiagram::Trace &ready = d.traces.at(1);
    const TimingDiagram::Trace &radio = d.traces.at(2);

    QCOMPARE(rx.cells.size(), 5);
    QCOMPARE(rx.frames.size(), 1);
    QCOMPARE(rx.frames.at(0).count, 5);
    QCOMPARE(rx.frames.at(0).label, QStringLiteral("Eg. 5 bytes 900 uSec."));
    QCOMPARE(radio.cells.size(), 6);
    QVERIFY(radio.cells.first() > rx.cellEnd(4));

    QCOMPARE(ready.pulses.size(), 1);
    const TimingDiagram::Pulse up = ready.pulses.at(0);
    QCOMPARE(up.level, Level::Raised);
    QVERIFY(up.from > rx.cells.first() && up.from < rx.cellEnd(0)); // inside the first character
    QCOMPARE(up.to, radio.cellEnd(5));                              // the packet's end

    QCOMPARE(d.measures.size(), 1);
    const TimingDiagram::Measure &m = d.measures.at(0);
    QCOMPARE(m.from, rx.cellEnd(4));
    QCOMPARE(m.to, radio.cells.first());
    QCOMPARE(m.label, QStringLiteral("200 uSec."));
    QVERIFY(d.markerBottom > radio.y);

    QCOMPARE(d.notes.size(), 2);
    const TimingDiagram::Note &tt = d.notes.at(0);
    QCOMPARE(tt.text, QStringLiteral("Tt."));
    QVERIFY(tt.anchor.x() > radio.cells.first() && tt.anchor.x() < radio.cellEnd(5));
    QVERIFY(tt.anchor.y() > radio.y);
    const TimingDiagram::Note &formula = d.notes.at(1);
    QCOMPARE(formula.text.split(QLatin1Char('\n')),
             QStringList({"Tt.= (Addr. w. + Data w. + 16 CRC) [bits] * 1bit time.",
                          "1bit time = 1uSec (if RF Data Rate = 1MB/s)  = 4uSec (if RF Data "
                          "Rate = 250 KB/s)"}));
    QVERIFY(formula.anchor.x() > radio.cellEnd(5));
    QCOMPARE(formula.anchor.y(), tt.anchor.y());
}

void TestAbout::receiveTiming()
{
    const TimingDiagram d = TimingDiagram::receive();
    const TimingDiagram::Trace &radio = d.traces.at(0);
    const TimingDiagram::Trace &ready = d.traces.at(1);
    const TimingDiagram::Trace &tx = d.traces.at(2);

    QCOMPARE(radio.cells.size(), 6);
    QCOMPARE(tx.cells.size(), 6);
    QCOMPARE(ready.pulses.size(), 1);
    const TimingDiagram::Pulse up = ready.pulses.at(0);
    QCOMPARE(up.level, Level::Raised);
    QVERIFY(up.from > radio.cellEnd(5));
    QVERIFY(up.from < tx.cells.first());
    QVERIFY(up.to > tx.cellEnd(5));
    QVERIFY(d.measures.isEmpty());
    QVERIFY(d.notes.isEmpty());
}

void TestAbout::programmingTiming()
{
    const TimingDiagram d = TimingDiagram::programming();
    const TimingDiagram::Trace &progr = d.traces.at(0);
    const TimingDiagram::Trace &ready = d.traces.at(1);
    const TimingDiagram::Trace &rx = d.traces.at(2);

    QCOMPARE(progr.pulses.size(), 1);
    QCOMPARE(ready.pulses.size(), 1);
    const TimingDiagram::Pulse low = progr.pulses.at(0);
    const TimingDiagram::Pulse up = ready.pulses.at(0);
    QCOMPARE(low.level, Level::Lowered);
    QCOMPARE(up.level, Level::Raised);
    QCOMPARE(up.from, low.from);
    QCOMPARE(up.to, low.to);
    QCOMPARE(rx.cells.size(), 6);
    QVERIFY(rx.cells.first() > low.from);
    QVERIFY(rx.cellEnd(5) < low.to);
}

void TestAbout::sleepTiming()
{
    const TimingDiagram d = TimingDiagram::sleep();
    const TimingDiagram::Trace &progr = d.traces.at(0);
    const TimingDiagram::Trace &rx = d.traces.at(1);
    const TimingDiagram::Trace &ready = d.traces.at(2);

    QCOMPARE(d.notes.size(), 1);
    QCOMPARE(
        d.notes.at(0).text,
        QStringLiteral("To enter Sleep mode, send S character. To wake up sand one character."));
    QVERIFY(d.notes.at(0).anchor.y() < progr.y - TimingDiagram::LevelStep);

    QCOMPARE(progr.pulses.size(), 1);
    const TimingDiagram::Pulse low = progr.pulses.at(0);
    QCOMPARE(low.level, Level::Lowered);

    QCOMPARE(rx.cells.size(), 2);
    QCOMPARE(rx.frames.size(), 2);
    QCOMPARE(rx.frames.at(0).first, 0);
    QCOMPARE(rx.frames.at(0).count, 1);
    QCOMPARE(rx.frames.at(0).label, QStringLiteral("S"));
    QCOMPARE(rx.frames.at(1).first, 1);
    QCOMPARE(rx.frames.at(1).count, 1);
    QCOMPARE(rx.frames.at(1).label, QStringLiteral("One character, this will be lost."));
    QVERIFY(rx.cells.at(0) > low.from && rx.cellEnd(0) < low.to);
    QCOMPARE(rx.dotted.size(), 1);
    const TimingDiagram::Span asleep = rx.dotted.at(0);
    QVERIFY(asleep.from > rx.cellEnd(0) && asleep.to < rx.cells.at(1));

    QCOMPARE(ready.pulses.size(), 1);
    const TimingDiagram::Pulse up = ready.pulses.at(0);
    QCOMPARE(up.level, Level::Raised);
    QVERIFY(up.from > rx.cellEnd(0) && up.from > low.to); // after "S" and after Progr. is back
    QVERIFY(up.from < asleep.from && asleep.to < up.to);  // raised through the dotted stretch
    QCOMPARE(ready.dotted.size(), 1);
    QCOMPARE(ready.dotted.at(0).from, asleep.from);
    QCOMPARE(ready.dotted.at(0).to, asleep.to);
    QVERIFY(up.to > rx.cellEnd(1));

    QCOMPARE(d.measures.size(), 2);
    QCOMPARE(d.measures.at(0).from, rx.cellEnd(0));
    QCOMPARE(d.measures.at(0).to, up.from);
    QCOMPARE(d.measures.at(0).label, QStringLiteral("15uSec."));
    QCOMPARE(d.measures.at(1).from, rx.cellEnd(1));
    QCOMPARE(d.measures.at(1).to, up.to);
    QCOMPARE(d.measures.at(1).label, QStringLiteral("7mSec"));
    QVERIFY(d.markerBottom > ready.y);
}

void TestAbout::textsClearOfDrawing_data()
{
    QTest::addColumn<int>("tab");
    QTest::newRow("Transmit") << 0;
    QTest::newRow("Receive") << 1;
    QTest::newRow("Programming") << 2;
    QTest::newRow("Sleep") << 3;
}

// Every label and note lies inside the diagram's widget, and no line, box or other text runs
// through it, as laid out with the font the window really uses.
void TestAbout::textsClearOfDrawing()
{
    QFETCH(int, tab);
    TAboutForm form;
    form.show();
    form.PageControl1->setCurrentIndex(tab);
    QCoreApplication::processEvents();
    const auto *view = form.PageControl1->widget(tab)->findChild<TimingDiagramView *>();
    QVERIFY(view->width() >= view->diagram().size.width());
    QVERIFY(view->height() >= view->diagram().size.height());

    const TimingDiagramView::Scene s = view->scene();
    QVector<QRect> solids;
    for (const QVector<QLine> *lines : {&s.lines, &s.dotted, &s.markers}) {
        for (const QLine &l : *lines)
            solids << lineRect(l);
    }
    solids << s.cells << s.frames;

    for (int i = 0; i < s.texts.size(); ++i) {
        const TimingDiagramView::Text &t = s.texts.at(i);
        QVERIFY2(view->rect().contains(t.rect), qPrintable(t.text));
        const QRect inside = t.rect.adjusted(1, 1, -1, -1);
        for (const QRect &r : solids)
            QVERIFY2(!inside.intersects(r), qPrintable(t.text));
        for (int j = i + 1; j < s.texts.size(); ++j)
            QVERIFY2(!t.rect.intersects(s.texts.at(j).rect), qPrintable(t.text));
    }
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"

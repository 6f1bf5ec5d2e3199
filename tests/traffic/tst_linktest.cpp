// The link test between two stations on one simulated air: test packets of every width,
// SendTest on a closed port, the continuous send with Stop, Exit and nesting, the
// missed-packet count and the two Clr buttons.

#include "Stations.h"
#include "app/Lamp.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "serial/Radiocom.h"
#include "sim/SimulatedModules.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "support/Whenever.h"
#include "traffic/CounterText.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QByteArray kAlphabet("abcdefghijklmnopqrstuvwzxyz1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ");

int sentLines(const Station &s)
{
    return int(s->SentMemo->Lines().size()) - 1; // the pane starts with one empty line
}

} // namespace

class TestLinkTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerSimulatedModules();
        QVERIFY(QString::fromLatin1(TMainForm::TestAlphabet).toLatin1() == kAlphabet);
    }

    void init() { prompts_.clear(); }

    // The counters read as whole numbers, up to where a float stops counting; anything else
    // keeps the shortest form of ten digits.
    void counterTexts()
    {
        const QList<QPair<float, QString>> rows = {{0.0f, "0"},
                                                   {1.0f, "1"},
                                                   {12.0f, "12"},
                                                   {16777216.0f, "16777216"},
                                                   {16777216.0f + 1.0f, "16777216"},
                                                   {0.5f, "0.5"},
                                                   {-3.0f, "-3"},
                                                   {3.0e10f, "3.000000102e+10"}};
        for (const auto &[value, text] : rows)
            QCOMPARE(counterText(value), text);
    }

    void testPacketOfEachWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("packet");
        QTest::newRow("5: abcde") << 5 << QByteArray("abcde");
        QTest::newRow("25: a to w, z, x") << 25 << QByteArray("abcdefghijklmnopqrstuvwzx");
        QTest::newRow("64: the whole 63 characters") << 64 << kAlphabet;
        QTest::newRow("0: empty, passed on like any other") << 0 << QByteArray();
    }
    void testPacketOfEachWidth()
    {
        QFETCH(int, width);
        QFETCH(QByteArray, packet);
        TwoStations link(settings_, QStringLiteral("W"), width);
        link.a->Timer1->start(1000);
        link.a->Button10->click();
        QVERIFY(!link.a->Timer1->isActive());
        QVERIFY(!link.a->TX->isChecked());
        QCOMPARE(link.a->SentMemo->Lines(), (QStringList{QString(), QString::fromLatin1(packet)}));
        QTRY_COMPARE(link.a.dataSent(), packet);
        QCOMPARE(link.a.bytesToModule(), size_t(packet.size()));
        QCOMPARE(link.a->Memo1->Lines(), QStringList{QString()});
        // A station listening on the same width shows the packet and counts it.
        if (width > 0 && width <= 31) {
            QTRY_COMPARE(link.b->RecDataNum->text(), QStringLiteral("1"));
            QCOMPARE(link.b->RecMemo->Lines(),
                     (QStringList{QString(), QString::fromLatin1(packet)}));
            QCOMPARE(link.b->EditLeng->text(), QString::number(width));
        }
        // Sending the same width again sends the same text.
        link.a->Button10->click();
        QTRY_COMPARE(link.a.dataSent(), packet + packet);
    }

    // The width is read once the window has run what was pending: a change made then (the
    // module's configuration being taken in) counts for this packet, not the next one.
    void widthReadAfterTheWindowHasRun()
    {
        TwoStations link(settings_, QStringLiteral("WR"), 25);
        QTimer::singleShot(0, link.a.form.get(), [&link] { link.a->DataW1TX->SetValue(5); });
        link.a->Button10->click();
        QTRY_COMPARE(link.a.dataSent(), QByteArray("abcde"));
    }

    // The lamps are seen on the screen: Tx is painted lit before the packet's first byte has
    // begun to leave, and Rx lights in the next paint after a packet was taken in one go
    // (its tick has gone by then), then goes dark again.
    void lampsAreSeen()
    {
        TwoStations link(settings_, QStringLiteral("LAMP"), 25, 0); // 9600 bit/s
        for (const Station *s : {&link.a, &link.b}) {
            (*s)->show();
            QVERIFY(QTest::qWaitForWindowExposed(s->form.get()));
        }
        const auto onScreen = [](QWidget *w) {
            return w->screen()
                ->grabWindow(w->window()->winId())
                .copy(QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()))
                .toImage();
        };
        TLamp *rx = link.b->RX;
        QTest::qWait(100); // past the start-up's paints
        const QImage dark = onScreen(rx);
        rx->setChecked(true);
        QTRY_VERIFY(onScreen(rx) != dark);
        const QImage lit = onScreen(rx);
        rx->setChecked(false);
        QTRY_COMPARE(onScreen(rx), dark);

        // When Tx was first painted ticked.
        SimNs litTx = kSimNever;
        struct PaintTime : QObject {
            std::function<void()> paint;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint)
                    paint();
                return false;
            }
        } paints;
        paints.paint = [&] {
            if (link.a->TX->isChecked())
                litTx = std::min(litTx, simNow());
        };
        link.a->TX->installEventFilter(&paints);
        link.a->Button10->click();
        QTRY_COMPARE(link.a.dataSent().size(), 25);
        const SimNs byteTime = 10 * 1000000000LL / 9600;
        QVERIFY(litTx < link.a.dataSentTimes().front() - byteTime);

        QTRY_COMPARE(link.b->RecCount, 1.0f);
        QVERIFY(!rx->isChecked());
        QTRY_COMPARE(onScreen(rx), lit);
        QTRY_COMPARE(onScreen(rx), dark);
    }

    void sendTestWithThePortClosed()
    {
        TwoStations link(settings_, QStringLiteral("C"), 5);
        link.a->SerialConnector->SetComStatus(false);
        link.a->Button10->click();
        QCOMPARE(link.a->Memo1->Lines(), (QStringList{QString(), QStringLiteral("Comm. Error!")}));
        QCOMPARE(link.a->StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(prompts_.beeps, 1);
        QCOMPARE(link.a->SentMemo->Lines(), QStringList{QString()});
        QVERIFY(!link.a->TX->isChecked());
        QVERIFY(prompts_.messages.isEmpty());
    }

    // Packets leave about every 100 ms, each is counted at the other station, and Stop ends
    // the loop after the pass in progress.
    void continuousSendCountedAtTheOtherStation()
    {
        TwoStations link(settings_, QStringLiteral("S"), 25);
        link.a->Timer1->start(1000);
        bool timerRan = false;
        whenever(link.a.form.get(), [&] {
            timerRan = timerRan || link.a->Timer1->isActive();
            if (link.b->RecCount < 5)
                return false;
            link.a->Button9->click();
            return true;
        });
        link.a->Button4->click(); // returns when the loop has ended
        QVERIFY(!timerRan);
        QVERIFY(!link.a->ContSend);
        QCOMPARE(link.a->ContSendLoops, 0);
        const int sent = sentLines(link.a);
        QVERIFY(sent >= 5);
        QTRY_COMPARE(link.b->RecCount, float(sent));
        QCOMPARE(link.b->RecDataNum->text(), QString::number(sent));
        const QString packet = QString::fromLatin1(kAlphabet.left(25));
        for (const QString &line : link.b->RecMemo->Lines().mid(1))
            QCOMPARE(line, packet);

        const QByteArray wire = link.a.dataSent();
        QCOMPARE(wire.size(), sent * 25);
        // The 100 ms pause holds on the wire: the line stands idle that long between the last
        // byte of one packet and the first of the next (stamps are stop-bit ends).
        const std::vector<SimNs> at = link.a.dataSentTimes();
        const SimNs byteTime = 10 * 1000000000LL / 115200;
        for (int i = 1; i < sent; ++i) {
            const SimNs gap = at[size_t(i) * 25] - at[size_t(i) * 25 - 1];
            QVERIFY2(gap >= 100 * kSimMilli + byteTime, qPrintable(QString::number(gap / 1e6)));
        }
        QVERIFY(prompts_.messages.isEmpty());
    }

    // Stop pressed with no loop running only stops the missed-packet timer.
    void stopWithoutALoop()
    {
        TwoStations link(settings_, QStringLiteral("P"), 25);
        link.a->Timer1->start(1000);
        link.a->Button9->click();
        QVERIFY(!link.a->Timer1->isActive());
        QVERIFY(!link.a->ContSend);
        QTest::qWait(150);
        QCOMPARE(link.a.dataSent(), QByteArray());
    }

    // Exit ends the program at once; File, Exit writes the settings and the program ends when
    // the send is stopped. Either way the window stays until the loop has returned.
    void closeDuringTheLoop_data()
    {
        QTest::addColumn<bool>("exitButton");
        QTest::newRow("Exit button") << true;
        QTest::newRow("File, Exit, then Stop") << false;
    }
    void closeDuringTheLoop()
    {
        QFETCH(bool, exitButton);
        TwoStations link(settings_, QStringLiteral("X"), 25);
        TMainForm &f = *link.a.form;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.PortIndex = 3; // what the close is to write
        int sentAtClose = -1;
        int written = 0;
        whenever(&f, [&] {
            if (sentAtClose < 0) {
                if (sentLines(link.a) < 2)
                    return false;
                sentAtClose = sentLines(link.a);
                if (exitButton)
                    f.Button1->click();
                else
                    f.Exit1->trigger();
                written = settings_.read().contains("COM=3") ? 1 : 0;
                f.PortIndex = 5; // a second write would show this
                if (exitButton)
                    return true;
                return false;
            }
            // After File, Exit the window stays and the send goes on until Stop.
            if (!f.isVisible() || sentLines(link.a) < sentAtClose + 2)
                return false;
            f.Button9->click();
            return true;
        });
        f.Button4->click();
        QCOMPARE(written, 1);
        QVERIFY(!f.isVisible());
        QCOMPARE(f.ContSendLoops, 0);
        QVERIFY(settings_.read().contains("COM=3"));
        // The Exit button ends the loop with the pass in progress (its packet may still have
        // been ahead of it).
        if (exitButton)
            QVERIFY(sentLines(link.a) - sentAtClose <= 1);
        else
            QVERIFY(sentLines(link.a) >= sentAtClose + 2);
        QVERIFY(prompts_.messages.isEmpty());
    }

    // Cont.Send pressed during a continuous send runs a second loop inside the first; both
    // share ContSend, so one Stop ends both.
    void secondContSendNestsInTheFirst()
    {
        TwoStations link(settings_, QStringLiteral("N"), 5);
        TMainForm &f = *link.a.form;
        QList<int> depths;
        int sentWhenNested = 0;
        QTimer::singleShot(150, &f, [&] {
            depths << f.ContSendLoops;
            QTimer::singleShot(250, &f, [&] {
                depths << f.ContSendLoops;
                sentWhenNested = sentLines(link.a);
                f.Button9->click();
            });
            f.Button4->click();
            depths << f.ContSendLoops;
        });
        f.Button4->click();
        depths << f.ContSendLoops;
        QCOMPARE(depths, (QList<int>{1, 2, 1, 0}));
        QVERIFY(!f.ContSend);
        // After the Stop each loop only completed the pass it was in.
        QVERIFY(sentLines(link.a) - sentWhenNested <= 2);
        QTRY_COMPARE(link.a.dataSent().size(), qsizetype(sentLines(link.a)) * 5);
    }

    // After the last packet one miss is counted every WaitTime, never before the first
    // packet; a packet starts the interval again, Stop ends the count.
    void missedPacketsAfterTheLastPacket()
    {
        TwoStations link(settings_, QStringLiteral("M"), 25);
        Station &b = link.b;
        b->WaitTime->SetValue(50);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> received, missed;
        connect(b->RecDataNum, &QLineEdit::textChanged, [&] { received << clock.nsecsElapsed(); });
        connect(b->RecDataErr, &QLineEdit::textChanged, [&] { missed << clock.nsecsElapsed(); });

        QTest::qWait(200);
        QVERIFY(!b->Timer1->isActive());
        QCOMPARE(b->RecDataErr->text(), QString());

        link.a->Button10->click();
        QTRY_VERIFY(missed.size() >= 3);
        QCOMPARE(received.size(), 1);
        QCOMPARE(b->ErrCount, float(missed.size()));
        QCOMPARE(b->RecDataErr->text(), QString::number(missed.size()));
        for (int k = 0; k < 3; ++k)
            QVERIFY(missed[k] - received[0] >= (k + 1) * 50 * qint64(1000000));

        // A packet restarts the interval.
        link.a->Button10->click();
        QTRY_COMPARE(received.size(), 2);
        const auto firstMissAfter = [&missed](qint64 t) {
            for (const qint64 m : missed)
                if (m > t)
                    return m;
            return qint64(-1);
        };
        QTRY_VERIFY(firstMissAfter(received.last()) > 0);
        QVERIFY(firstMissAfter(received.last()) - received.last() >= 50 * qint64(1000000));

        b->Button9->click();
        const float stopped = b->ErrCount;
        QTest::qWait(150);
        QCOMPARE(b->ErrCount, stopped);
    }

    void clearButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::newRow("Clr beside Rec. Data") << "Button3"
                                              << "RecDataNum";
        QTest::newRow("Clr beside Data Error") << "Button6"
                                               << "RecDataErr";
    }
    void clearButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        TwoStations link(settings_, QStringLiteral("L"), 25);
        Station &b = link.b;
        b->WaitTime->SetValue(100);
        auto *clr = b->findChild<QPushButton *>(button);
        auto *shown = b->findChild<QLineEdit *>(field);
        QVERIFY(clr && shown);
        b->RecCount = 7;
        b->ErrCount = 7;
        clr->click();
        QCOMPARE(shown->text(), QStringLiteral("0"));
        QCOMPARE(field == QLatin1String("RecDataNum") ? b->RecCount : b->ErrCount, 0.0f);
        QCOMPARE(field == QLatin1String("RecDataNum") ? b->ErrCount : b->RecCount, 7.0f);
        // The next count after a packet shows 1: a packet, or the first miss after it.
        QStringList texts;
        connect(shown, &QLineEdit::textChanged, b.form.get(),
                [&texts](const QString &v) { texts << v; });
        link.a->Button10->click();
        QTRY_VERIFY(!texts.isEmpty());
        QCOMPARE(texts.first(), QStringLiteral("1"));
    }

    // A counter that has reached the end of a 32-bit float's whole numbers stays there and
    // is still shown as a whole number.
    void missedCountAtItsCeiling()
    {
        TwoStations link(settings_, QStringLiteral("F"), 25);
        link.b->ErrCount = 16777216.0f;
        link.b->WaitTime->SetValue(10);
        link.b->Timer1->setInterval(10);
        link.b->Timer1->start();
        QTRY_VERIFY(!link.b->RecDataErr->text().isEmpty());
        QCOMPARE(link.b->RecDataErr->text(), QStringLiteral("16777216"));
        QVERIFY(link.b->Timer1->isActive());
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
};

QTEST_MAIN(TestLinkTest)
#include "tst_linktest.moc"

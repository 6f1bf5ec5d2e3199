// What the module sends, end to end through a real tty: the test plays the module on the far
// end of a pseudo-terminal and feeds exact bytes, the configuration dump in its edge cases and
// in pieces, radio data in both display forms, and the reads that come back short.

#include "app/ComboBox.h"
#include "app/Lamp.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <initializer_list>
#include <memory>
#include <utility>

namespace {

// The dump of a module in its power-on configuration, with some bytes changed.
QByteArray dump(std::initializer_list<std::pair<int, int>> changes = {})
{
    QByteArray d("\x41\x01\x02\x03\xFF\xA0", 6);
    d += QByteArray(5, char(0xE7));
    d += QByteArray(5, char(0xC2));
    d += QByteArray("\xC8\x00\xC8\x00", 4);
    for (const auto &[at, value] : changes)
        d[at] = char(value);
    return d;
}

// A main window whose COM1 is the near end of a pseudo-terminal.
class PtyStation {
public:
    explicit PtyStation(const IsolatedSettings &settings)
    {
        settings.write("[Port]\nCOM=0\nBaud=0\n[Devices]\nCOM1=" + pty.path().toUtf8() + "\n");
        form = std::make_unique<TMainForm>();
    }

    uint64_t delivered() const { return form->SerialConnector->NotificationsDelivered(); }

    // Lets the line events already queued run (a command's completed write, say), so that
    // the next event is the arrival of the next bytes fed.
    void settle()
    {
        uint64_t d;
        do {
            d = delivered();
            QTest::qWait(20);
        } while (delivered() != d);
    }

    // Bytes from the module's side, and the receive handler run on them.
    void feed(const QByteArray &bytes)
    {
        settle();
        const uint64_t before = delivered();
        pty.write(bytes);
        QTRY_VERIFY(delivered() > before);
    }

    // "Read Config." with the "R" taken off the line; the reply time-out is held off unless
    // the test waits for it.
    void startRead(bool withTimeout = false)
    {
        form->Button5->click();
        QCOMPARE(pty.read(1), QByteArray("R"));
        if (!withTimeout)
            form->Timer2->stop();
    }

    QStringList log() const { return form->Memo1->Lines().mid(1); }
    QStringList received() const { return form->RecMemo->Lines().mid(1); }

    PtyPair pty;
    std::unique_ptr<TMainForm> form;
};

} // namespace

class TestReceive : public QObject {
    Q_OBJECT

private slots:
    void init() { prompts_.clear(); }

    void dumpIntoControls_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("power");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("address1");
        QTest::addColumn<QString>("address2");
        QTest::addColumn<QList<int>>("payloads");
        QTest::addColumn<QString>("maxData");
        const QString e7 = QStringLiteral("E7E7E7E7E7"), c2 = QStringLiteral("C2C2C2C2C2");
        const QList<int> sim{25, 0, 25, 0};

        QTest::newRow("power-on dump") << dump() << 2 << 0 << 1 << "5" << e7 << c2 << sim << "61";
        QTest::newRow("width byte 0x83 is 4")
            << dump({{5, 0x83}}) << 2 << 0 << 1 << "4" << e7 << c2 << sim << "61";
        // Written as text, outside the box's range; the rule counts no address bytes.
        QTest::newRow("width byte 0x1F is 0")
            << dump({{5, 0x1F}}) << 2 << 0 << 1 << "0" << e7 << c2 << sim << "62";
        QTest::newRow("address bytes as upper-case digits") << dump({{6, 0x0A},
                                                                     {7, 0xB1},
                                                                     {8, 0x00},
                                                                     {9, 0x12},
                                                                     {10, 0xFF},
                                                                     {11, 0},
                                                                     {12, 1},
                                                                     {13, 2},
                                                                     {14, 3},
                                                                     {15, 4}})
                                                            << 2 << 0 << 1 << "5"
                                                            << "0AB10012FF"
                                                            << "0001020304" << sim << "61";
        // The selection before the read is "-10 dBm".
        QTest::newRow("power code 5 keeps the selection")
            << dump({{3, 5}}) << 2 << 2 << 1 << "5" << e7 << c2 << sim << "61";
        QTest::newRow("power code 0 is -20 dBm")
            << dump({{3, 0}}) << 2 << 3 << 1 << "5" << e7 << c2 << sim << "61";
        QTest::newRow("rate byte 2 is 1Mbs")
            << dump({{4, 2}}) << 2 << 0 << 1 << "5" << e7 << c2 << sim << "61";
        QTest::newRow("rate byte 0 is 250Kbs")
            << dump({{4, 0}}) << 2 << 0 << 0 << "5" << e7 << c2 << sim << "61";
        QTest::newRow("payload widths in bits, remainder dropped")
            << dump({{16, 0x80}, {17, 0x0F}, {18, 0xFF}, {19, 0x07}}) << 2 << 0 << 1 << "5" << e7
            << c2 << QList<int>{16, 1, 31, 0} << "61";
        QTest::newRow("channel 200 shows 127")
            << dump({{2, 200}}) << 127 << 0 << 1 << "5" << e7 << c2 << sim << "61";
    }
    void dumpIntoControls()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, channel);
        QFETCH(int, power);
        QFETCH(int, rate);
        QFETCH(QString, width);
        QFETCH(QString, address1);
        QFETCH(QString, address2);
        QFETCH(QList<int>, payloads);
        QFETCH(QString, maxData);
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        // Everything the dump sets starts elsewhere.
        f.Channel->SetValue(50);
        f.PowerCombo->SetItemIndex(2);
        f.RFDataRate->SetItemIndex(-1);
        f.ShockBurstBox->setChecked(false);
        f.DualChannelBox->setChecked(true);
        f.CRCRadioGroup->SetItemIndex(0);
        f.EditAddress1->setText(QStringLiteral("x"));

        s.startRead();
        s.feed(bytes);
        QCOMPARE(s.log(), (QStringList{QStringLiteral("Read Config"), QStringLiteral("OK")}));
        QCOMPARE(f.Channel->Value(), channel);
        QCOMPARE(f.PowerCombo->ItemIndex(), power);
        QCOMPARE(f.RFDataRate->ItemIndex(), rate);
        QCOMPARE(f.Address_W->Text(), width);
        QCOMPARE(f.EditAddress1->text(), address1);
        QCOMPARE(f.EditAddress2->text(), address2);
        QCOMPARE((QList<int>{f.DataW1->Value(), f.DataW2->Value(), f.DataW1TX->Value(),
                             f.DataW2TX->Value()}),
                 payloads);
        QVERIFY(f.ShockBurstBox->isChecked());
        QVERIFY(!f.DualChannelBox->isChecked());
        QCOMPARE(f.CRCRadioGroup->ItemIndex(), 1);
        // The input rules ran on the values read back, the CRC choice last.
        QCOMPARE(f.MaxDataL->text(), maxData);
        QCOMPARE(f.DataW1->MaxValue(), maxData.toInt());
        QVERIFY(!f.ConfigReadActive);
        QVERIFY(!f.ConfigReplyPending);
        QVERIFY(!f.RX->isChecked());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void dumpInPieces()
    {
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        s.startRead();
        s.feed(dump().left(19));
        QVERIFY(f.RX->isChecked()); // something came, nothing was taken
        QCOMPARE(f.ConfigByteCount, 0);
        QVERIFY(f.ConfigReadActive);
        s.feed(dump().mid(19));
        QCOMPARE(s.log(), (QStringList{QStringLiteral("Read Config"), QStringLiteral("OK")}));
        QCOMPARE(f.DataW1->Value(), 25);
    }

    // Bytes behind the dump stay queued and are data to the next event.
    void dumpFollowedByData()
    {
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        s.startRead();
        s.feed(dump({{16, 0}}) + "vwxyz");
        QCOMPARE(s.log().last(), QStringLiteral("OK"));
        QCOMPARE(f.DataW1->Value(), 0);
        s.settle();
        QCOMPARE(s.received(), QStringList());
        s.feed("!");
        QCOMPARE(s.received(), QStringList{QStringLiteral("vwxyz!")});
        QCOMPARE(f.EditLeng->text(), QStringLiteral("6"));
        QCOMPARE(f.RecCount, 1.0f);
    }

    // Not decoded; the reply time-out ends the wait, and the window is back in data mode.
    void dumpWithWrongMarker()
    {
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        s.startRead(true);
        s.feed(dump({{0, 0x42}}));
        QVERIFY(!f.RX->isChecked());
        QCOMPARE(f.Channel->Value(), 2);
        QVERIFY(f.ConfigReadActive);
        QTRY_COMPARE(s.log(),
                     (QStringList{QStringLiteral("Read Config"), QStringLiteral("Comm. Error!")}));
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(prompts_.beeps, 1);
        s.feed("abc");
        QCOMPARE(s.received(), QStringList{QStringLiteral("abc")});
    }

    // After a wrong first batch every batch is stored, up to the end of the buffer; what
    // comes beyond it is read and dropped.
    void sixthBatchDropped()
    {
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        s.startRead();
        s.feed(dump({{0, 0x42}}));
        for (int batch = 2; batch <= 6; ++batch) {
            s.feed(QByteArray(20, char(batch)));
            QCOMPARE(f.ConfigByteCount, std::min(20 * batch, 100));
        }
        QCOMPARE(f.SerialConnector->Line()->queuedInput(), 0);
        QCOMPARE(int(f.ReplyBuffer[0]), 0x42);
        for (int i = 80; i < 100; ++i)
            QCOMPARE(int(f.ReplyBuffer[i]), 5);
        QCOMPARE(s.log(), QStringList{QStringLiteral("Read Config")});
        QCOMPARE(s.received(), QStringList());
    }

    // The event was raised with a count, and the port closed before the read: nothing came.
    void readAfterPortClosed_data()
    {
        QTest::addColumn<bool>("dumpMode");
        QTest::newRow("data mode") << false;
        QTest::newRow("dump mode") << true;
    }
    void readAfterPortClosed()
    {
        QFETCH(bool, dumpMode);
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        if (dumpMode)
            s.startRead();
        f.SerialConnector->SetComStatus(false);
        f.OnReceive(20);
        QVERIFY(!f.RX->isChecked());
        QCOMPARE(s.received(), QStringList());
        QCOMPARE(f.RecCount, 0.0f);
        QCOMPARE(f.RecDataNum->text(), QString());
        QCOMPARE(f.EditLeng->text(), QString());
        QVERIFY(!f.Timer1->isActive());
        QCOMPARE(f.ConfigByteCount, 0);
        QCOMPARE(f.ConfigReadActive, dumpMode);
        QVERIFY(!s.log().contains(QStringLiteral("OK")));
    }

    // Fewer bytes queued than the event announced: the packet is what was read.
    void shortRead()
    {
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        s.settle();
        s.pty.write("abc");
        for (int i = 0; i < 200 && f.SerialConnector->Line()->queuedInput() < 3; ++i)
            QThread::msleep(5);
        f.OnReceive(8);
        QCOMPARE(s.received(), QStringList{QStringLiteral("abc")});
        QCOMPARE(f.EditLeng->text(), QStringLiteral("3"));
        QCOMPARE(f.RecDataNum->text(), QStringLiteral("1"));
        // The arrival's own event finds the queue empty.
        s.settle();
        QCOMPARE(f.RecCount, 1.0f);
    }

    void dataModeWaitsForAWholePacket()
    {
        PtyStation s(settings_);
        TMainForm &f = *s.form;
        f.DataW1->SetValue(8);
        f.WaitTime->SetValue(250);
        s.feed("abc");
        QVERIFY(f.RX->isChecked());
        s.feed("def");
        QVERIFY(f.RX->isChecked());
        QCOMPARE(s.received(), QStringList());
        QCOMPARE(f.EditLeng->text(), QString());
        s.feed("ghi");
        QCOMPARE(s.received(), QStringList{QStringLiteral("abcdefghi")});
        QCOMPARE(f.EditLeng->text(), QStringLiteral("9"));
        QCOMPARE(f.RecDataNum->text(), QStringLiteral("1"));
        QVERIFY(!f.RX->isChecked());
        QVERIFY(f.Timer1->isActive());
        QCOMPARE(f.Timer1->interval(), 250);
    }

    void display_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("hex") << true << QByteArray("\x41\x0D") << QStringList{" 41 0D"};
        QTest::newRow("hex, high bytes and zero")
            << true << QByteArray("\xFF\x80\x00", 3) << QStringList{" FF 80 00"};
        QTest::newRow("text with CR LF")
            << false << QByteArray("ab\r\ncd") << QStringList{"ab", "cd"};
        QTest::newRow("text, 8-bit characters")
            << false << QByteArray("\xE9t\xE9") << QStringList{QString::fromLatin1("\xE9t\xE9")};
    }
    void display()
    {
        QFETCH(bool, hex);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        PtyStation s(settings_);
        s.form->CheckBox2->setChecked(hex);
        s.feed(bytes);
        QCOMPARE(s.received(), lines);
        QCOMPARE(s.form->EditLeng->text(), QString::number(bytes.size()));
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
};

QTEST_MAIN(TestReceive)
#include "tst_receive.moc"
